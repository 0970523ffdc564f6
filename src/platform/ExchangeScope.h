#pragma once

#include "platform/UiServices.h"

// Holds the mouse and shows the wait cursor for one exchange with the
// controller and the message that reports it, so that no click starts a
// second exchange on the same port meanwhile.
class ExchangeScope {
public:
    ExchangeScope() {
        Ui().CaptureMouse();
        Ui().BeginWaitCursor();
    }
    ~ExchangeScope() {
        Ui().EndWaitCursor();
        Ui().ReleaseMouse();
    }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;
};
