#pragma once

// Installs the event-pump hook that the serial layer runs while a timed
// transfer waits: one pass over the pending Qt events, so windows repaint
// and timers run during an exchange.
//
// While a looping dialog has registered itself as the waiting dialog, user
// input is processed too (its Stop buttons must work; the dialog keeps its
// other commands disabled). Otherwise input waits until the exchange is
// over: a click or key that reached a handler mid-exchange could start a
// second transfer on the same port.
void InstallQtEventPump();
void RemoveQtEventPump();
