#include "serial/net/FailedNetDevice.h"
#include "serial/net/NetDevice.h"

// This build has no network library: every device server name says so.
std::unique_ptr<CommDevice> MakeNetDevice(const std::string&) {
    return std::make_unique<FailedNetDevice>(kCommErrBadId, kNetDevicesUnavailable);
}
