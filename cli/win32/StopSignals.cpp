#include "StopSignals.h"

#include <windows.h>

namespace {

// The exit status of the first event that came; 0 while none came.
volatile LONG g_status = 0;
volatile LONG g_restoring = 0;

int StatusOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return 130;  // as SIGINT
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return 129;  // as SIGHUP: the terminal went away
        default:
            return 0;
    }
}

// Runs on a thread of its own, which the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int status = StatusOf(event);
    if (status == 0) return FALSE;
    InterlockedCompareExchange(&g_status, status, 0);
    if (g_restoring) {
        static const char kText[] = "Restoring the original parameter set...\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), kText, sizeof kText - 1, &written, nullptr);
    }
    if (status == 129) {
        // Returning would end the process at once. Waiting here lets the
        // command restore the controller and return from main, which ends
        // the process (and this thread) with its exit status; Windows
        // itself ends it about 5 s after a close.
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

StopSignals::StopSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

// The handler stays until the process has ended: a Ctrl-C that comes while
// a finished run exits must not turn it into one killed by the event.
StopSignals::~StopSignals() = default;

bool StopSignals::Raised() { return g_status != 0; }

int StopSignals::ExitStatus(int result) { return g_status != 0 ? static_cast<int>(g_status) : result; }

const char* StopSignals::StatusHelp() {
    return "130 a run stopped by Ctrl-C or Ctrl-Break, 129 by closing its console\n"
           "(after its restore).";
}

RestoringScope::RestoringScope() { g_restoring = 1; }

RestoringScope::~RestoringScope() { g_restoring = 0; }
