#include "InterruptFlag.h"

#include <csignal>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

volatile std::sig_atomic_t g_signal = 0;
struct sigaction g_previous[kSignalCount];

void OnSignal(int signal) { g_signal = signal; }

}  // namespace

InterruptFlag::InterruptFlag() {
    g_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // One signal asks for a clean end; the next one is not caught any more.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptFlag::~InterruptFlag() {
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

bool InterruptFlag::Raised() { return g_signal != 0; }

int InterruptFlag::Signal() { return g_signal; }
