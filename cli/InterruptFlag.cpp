#include "InterruptFlag.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_raised = 0;
struct sigaction g_previousInt;
struct sigaction g_previousTerm;
struct sigaction g_previousHup;

void OnSignal(int) { g_raised = 1; }

}  // namespace

InterruptFlag::InterruptFlag() {
    g_raised = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // One signal asks for a clean end; the next one is not caught any more.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, &g_previousInt);
    sigaction(SIGTERM, &action, &g_previousTerm);
    sigaction(SIGHUP, &action, &g_previousHup);
}

InterruptFlag::~InterruptFlag() {
    sigaction(SIGINT, &g_previousInt, nullptr);
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGHUP, &g_previousHup, nullptr);
}

bool InterruptFlag::Raised() { return g_raised != 0; }
