#pragma once

#include <string>

// The lock keys shown by the status bar's CAP, NUM and SCRL panes. Qt has
// no portable query for them; on Linux the kernel exposes the keyboard LEDs
// under /sys/class/leds as "<device>::capslock" and so on, which the display
// server keeps in step with the lock state. Without such LEDs (a virtual
// display, a remote session) every lock reads as off.
struct KeyLockState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

KeyLockState ReadKeyLockState(const std::string& ledRoot = "/sys/class/leds");
