#include "app/QtEventPump.h"

#include <QCoreApplication>

#include "platform/EventPump.h"

namespace {

void PumpOnce() {
    const QEventLoop::ProcessEventsFlags flags =
        WaitingDialog() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    // The program's only processEvents call.
    QCoreApplication::processEvents(flags);
}

}  // namespace

void InstallQtEventPump() { SetEventPumpHook(PumpOnce); }

void RemoveQtEventPump() { SetEventPumpHook(nullptr); }
