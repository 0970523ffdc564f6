#include "AlignmentSetup.h"

#include "ExitCodes.h"
#include "StopSignals.h"
#include "command/AlignmentPsf.h"
#include "model/PsfFile.h"
#include "platform/FreshFileName.h"

int PrepareForAlignment(CommandEnv& env, CliSession& session, CDiagnosticsRecord& record,
                        const std::string& commandName, const std::string& savePath) {
    CControllerLink& link = *session.Link();
    if (const int rc = session.ReadOperationalDiagnostics(record); rc != kExitOk) return rc;
    CControllerLink::DelayMs(1000);
    if (StopSignals::Raised()) {
        env.ui.Report("Stopped before the controller was changed.");
        return kExitOk;
    }
    if (const int rc = session.ReadAndJournalOriginal(commandName); rc != kExitOk) return rc;
    CPsfRecord working = MakeAlignmentPsf(session.OriginalPsf());
    session.SetRestoreFlag(1);
    if (!link.SendPsf(working)) {
        env.ui.Report("Unable to output PSF.");
        session.RestoreIfChanged(savePath);
        return kExitController;
    }
    return kExitOk;
}

std::string FreshOriginalName() { return FreshStampedName("veltrix-original-", ".PSF"); }

int CheckSavePath(CommandEnv& env, const std::string& path) {
    if (CheckPsfFileWritable(path) == kPsfOk) return kExitOk;
    env.ui.Report(FormatPsfFileError(kPsfCreateFailed));
    return kExitFile;
}
