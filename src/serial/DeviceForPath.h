#pragma once

#include <memory>
#include <string>

#include "serial/CommDevice.h"

// The device a path names: a serial device server for rfc2217:// and tcp://
// names (net/NetDeviceName.h), the OS's serial device (MakeCommDevice) for
// anything else.
std::unique_ptr<CommDevice> MakeDeviceForPath(const std::string& path);
