#include "StopSignals.h"

#include <unistd.h>

#include <csignal>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_signal = 0;
volatile std::sig_atomic_t g_restoring = 0;

void OnSignal(int signal) {
    if (g_signal == 0) g_signal = signal;
    if (g_restoring) {
        static const char kText[] = "Restoring the original parameter set...\n";
        // write() is what a signal handler may call; nothing to do if it fails.
        if (::write(STDERR_FILENO, kText, sizeof kText - 1) < 0) return;
    }
}

}  // namespace

StopSignals::StopSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

// The handlers stay until the process has ended: a Ctrl-C that comes while
// a finished run exits must not turn it into one killed by a signal.
StopSignals::~StopSignals() = default;

bool StopSignals::Raised() { return g_signal != 0; }

int StopSignals::ExitStatus(int result) { return g_signal != 0 ? 128 + g_signal : result; }

const char* StopSignals::StatusHelp() {
    return "130, 143 or 129 a run stopped by SIGINT, SIGTERM or SIGHUP (after its\n"
           "restore).";
}

RestoringScope::RestoringScope() { g_restoring = 1; }

RestoringScope::~RestoringScope() { g_restoring = 0; }
