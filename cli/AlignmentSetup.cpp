#include "AlignmentSetup.h"

#include <sys/stat.h>

#include <ctime>

#include "ExitCodes.h"
#include "command/AlignmentPsf.h"

int PrepareForAlignment(CommandEnv& env, CliSession& session, CDiagnosticsRecord& record) {
    CControllerLink& link = *session.Link();
    if (const int rc = session.ReadOperationalDiagnostics(record); rc != kExitOk) return rc;
    CControllerLink::DelayMs(1000);
    if (!link.ReadPsf(session.OriginalPsf())) {
        env.ui.Report("Unable to input PSF.");
        return kExitController;
    }
    CPsfRecord working = MakeAlignmentPsf(session.OriginalPsf());
    if (!link.SendPsf(working)) {
        env.ui.Report("Unable to output PSF.");
        return kExitController;
    }
    session.SetRestoreFlag(1);
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
