#include "serial/DeviceForPath.h"

#include "serial/CommDeviceFactory.h"
#include "serial/net/NetDevice.h"
#include "serial/net/NetDeviceName.h"

std::unique_ptr<CommDevice> MakeDeviceForPath(const std::string& path) {
    if (IsNetDeviceName(path)) return MakeNetDevice(path);
    return MakeCommDevice(path);
}
