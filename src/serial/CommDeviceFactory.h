#pragma once

#include <memory>
#include <string>

#include "serial/CommDevice.h"

// The serial device of this OS for a path (posix/: the termios device;
// win32/: the Win32 COM device). Nothing is opened yet.
std::unique_ptr<CommDevice> MakeCommDevice(const std::string& path);

// The device COM n (port index n - 1) opens when nothing else names one:
// /dev/ttyS<n-1> on Linux, \\.\COM<n> on Windows.
std::string DefaultComDevicePath(int portIndex);

// How the help texts name that default: "/dev/ttyS<N-1>" or "\\.\COM<N>".
const char* DefaultComDeviceTemplate();
