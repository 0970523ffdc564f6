#pragma once

#include <functional>

// The serial layer's Idle runs one pass of this hook while a timed transfer
// waits. The desktop program installs a hook that processes pending window
// events (so Stop buttons work during an exchange); the command-line tool and
// the unit tests install none. This is the only place events are pumped from.
using EventPumpHook = std::function<void()>;

void SetEventPumpHook(EventPumpHook hook);
// Runs the hook once if one is installed.
void RunEventPumpHook();

// The process-wide waiting-dialog slot: the dialog whose loop of exchanges is
// running, or nullptr. Opaque to the core; the desktop program's hook reads it.
void SetWaitingDialog(void* dialog);
void* WaitingDialog();
