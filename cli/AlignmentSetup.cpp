#include "AlignmentSetup.h"

#include <sys/stat.h>

#include <ctime>

#include "ExitCodes.h"
#include "StopSignals.h"
#include "command/AlignmentPsf.h"
#include "model/PsfFile.h"

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

std::string FreshOriginalName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = std::string("veltrix-original-") + stamp;
    std::string name = base + ".PSF";
    struct stat info {};
    for (int n = 1; ::lstat(name.c_str(), &info) == 0; ++n) name = base + "-" + std::to_string(n) + ".PSF";
    return name;
}

int CheckSavePath(CommandEnv& env, const std::string& path) {
    if (CheckPsfFileWritable(path) == kPsfOk) return kExitOk;
    env.ui.Report(FormatPsfFileError(kPsfCreateFailed));
    return kExitFile;
}
