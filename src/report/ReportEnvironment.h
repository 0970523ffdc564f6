#pragma once

#include <string>
#include <vector>

#include "report/ServiceReport.h"

// What the report says about the machine and the serial device, found
// without opening the device.

// Now, this program (its version line, as --version prints it) and the
// system it runs on.
HostSection DescribeHost(const std::string& toolVersion);

// The device as configured (path and where the path came from), what it
// resolves to, its type, mode and owners, whether this user may open it
// (and if not, how to get access) and which other processes hold it open.
// A serial device server (rfc2217://, tcp://) is described by its address
// and protocol instead.
PortSection DescribePort(int comNumber, const std::string& devicePath, const std::string& source);
// The server's part of that, shared by every OS: false (nothing filled in)
// when devicePath names no device server.
bool DescribeDeviceServer(const std::string& devicePath, PortSection& port);

// Processes other than this one with path (after resolving links) open, as
// "1234 minicom"; processes of other users are visible to root only.
std::vector<std::string> ProcessesHolding(const std::string& path,
                                          const std::string& procRoot = "/proc");

// "crw-rw----" for a mode.
std::string ModeString(unsigned mode);
