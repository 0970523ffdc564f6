#pragma once

#include <memory>

#include "serial/PortDetails.h"

// Tells when serial devices come or go (an adapter plugged in or pulled
// out, udev adding its links or changing a device's group). Linux: a udev
// monitor of the tty subsystem, which reports a device once udev has
// described it, and a watch on /dev and /dev/serial for machines without
// udev; Windows: no notice yet (Active() is false: look again from time to
// time).
//
// One thread: the one that made the watch. Descriptor() is for an event
// loop (readable when something changed; then call TakeChanges); Wait is
// for a loop of its own.
class PortWatch {
  public:
    explicit PortWatch(const InventoryRoot& root = {});
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;

    bool Active() const;
    int Descriptor() const;  // -1 when not Active()
    // Takes what arrived; true when a serial device may have come or gone.
    bool TakeChanges();
    // Waits up to timeoutMs for a change and takes it; true when one came.
    bool Wait(int timeoutMs);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
