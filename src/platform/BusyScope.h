#pragma once

#include "platform/UiServices.h"

// Holds the mouse and shows the wait cursor for one exchange with the
// controller and the message that reports it, so that no click starts a
// second exchange on the same port meanwhile.
class BusyScope {
public:
    BusyScope() {
        Ui().CaptureMouse();
        Ui().BeginWaitCursor();
    }
    ~BusyScope() {
        Ui().EndWaitCursor();
        Ui().ReleaseMouse();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};
