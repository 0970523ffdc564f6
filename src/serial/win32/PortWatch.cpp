#include "serial/PortWatch.h"

#include <windows.h>

// Windows announces devices to windows (WM_DEVICECHANGE), not to a
// descriptor; until that is wired up, callers look again from time to time.
struct PortWatch::Impl {};

PortWatch::PortWatch(const InventoryRoot&) : m_impl(std::make_unique<Impl>()) {}
PortWatch::~PortWatch() = default;
bool PortWatch::Active() const { return false; }
int PortWatch::Descriptor() const { return -1; }
bool PortWatch::TakeChanges() { return false; }

bool PortWatch::Wait(int timeoutMs) {
    if (timeoutMs > 0) Sleep(static_cast<DWORD>(timeoutMs));
    return false;
}
