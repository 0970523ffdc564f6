#include "serial/CommDeviceFor.h"

#include "serial/TermiosDevice.h"
#include "serial/net/NetDevice.h"
#include "serial/net/NetDeviceName.h"

std::unique_ptr<CommDevice> MakeCommDevice(const std::string& path) {
    if (IsNetDeviceName(path)) return MakeNetDevice(path);
    return MakeTermiosDevice(path);
}
