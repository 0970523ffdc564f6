#pragma once

#include <string>

#include "serial/CommDevice.h"

// What the user sees while a device is slow to open (a device server that
// takes its time to accept the connection). From the first moment: the wait
// cursor, and the event pump, so that the window goes on painting. After
// kOpenNoticeMs, "Connecting to PATH..." through the UI services (the status
// bar of the desktop program, a line on stderr from veltrixctl), taken down
// when the wait ends. A connect that is done at once shows nothing at all.
//
// For devices opened on the UI thread only: the pump must not run elsewhere.
DeviceWaitHook OpenProgress(const std::string& devicePath);

inline constexpr int kOpenNoticeMs = 700;
