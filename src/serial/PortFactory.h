#pragma once

#include <functional>
#include <memory>
#include <string>

#include "serial/RS232.h"

// How a command context obtains its port. The default opens the real device
// (CWindowsSerialPort over termios); tests install a factory that hands out
// simulated ports. Either is wrapped in a port that traces every byte while
// a trace is active (TraceLog.h).
//
// The returned port may have a non-zero status (a failed open); the caller
// reports it and destroys the port.
using PortFactory = std::function<std::unique_ptr<RS232>(int portIndex, long baud)>;

std::unique_ptr<RS232> OpenPort(int portIndex, long baud);
// The same on a device named by its path rather than by its COM number (an
// installed factory still decides, so tests keep their simulated ports).
std::unique_ptr<RS232> OpenPortAt(const std::string& devicePath, int portIndex, long baud);
void SetPortFactory(PortFactory factory);  // an empty factory restores the default
