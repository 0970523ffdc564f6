#pragma once

#include <string>

// "Test" in Port Devices: opens a device as a command would (at 9600 baud),
// probes for a controller and closes it again. Nothing else is sent.
struct DeviceTestResult {
    bool found = false;  // a controller answered
    std::string text;    // what to tell the user, one or two lines
};

DeviceTestResult TestDevice(const std::string& devicePath, int portIndex);
