#pragma once

// SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl-C, Ctrl-Break, closing the
// console, logoff and shutdown) end a veltrixctl run the clean way: each only
// raises a flag that commands read between exchanges, so the port is closed
// by the normal path (line settings restored, exclusive hold and lock
// released) and a controller that holds temporary settings gets its
// originals back first. None of them kills the process, so a second Ctrl-C
// cannot cut a restore short either (Windows still ends a process about 5 s
// after its console was closed). Installed once, in main, for the whole run.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    static bool Raised();
    // 128 + the number of the first signal that came (130 for SIGINT, 143
    // for SIGTERM, 129 for SIGHUP; on Windows 130 for Ctrl-C and Ctrl-Break,
    // 129 for a closed console, logoff and shutdown), so that scripts can
    // tell a stopped run from a complete one; result when none came.
    static int ExitStatus(int result);
    // The help's words for those exit statuses.
    static const char* StatusHelp();
};

// While one lives, a stop signal is answered on stderr with "Restoring the
// original parameter set..." and the run goes on until the restore is over.
class RestoringScope {
public:
    RestoringScope();
    ~RestoringScope();
    RestoringScope(const RestoringScope&) = delete;
    RestoringScope& operator=(const RestoringScope&) = delete;
};
