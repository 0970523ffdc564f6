#include "platform/EventPump.h"

#include <utility>

namespace {
EventPumpHook g_hook;
void* g_waitingDialog = nullptr;
}  // namespace

void SetEventPumpHook(EventPumpHook hook) { g_hook = std::move(hook); }

void RunEventPumpHook() {
    if (g_hook) g_hook();
}

void SetWaitingDialog(void* dialog) { g_waitingDialog = dialog; }

void* WaitingDialog() { return g_waitingDialog; }
