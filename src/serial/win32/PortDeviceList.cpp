#include "serial/PortDeviceList.h"

// Windows keeps no owner or group rules on COM ports: whoever is first may
// open one, and a port another program holds reads "Port in use" at open.
std::string AccessHint(const DeviceOwnership&, const UserIdentity&) { return {}; }

PortDevice DescribePortDevice(const std::string& path) {
    PortDevice device;
    device.path = path;
    device.target = path;
    device.accessible = true;
    return device;
}

bool DeviceAccessDenied(const std::string&) { return false; }
