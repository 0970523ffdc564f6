#include "serial/net/FailedNetDevice.h"
#include "serial/net/NetDevice.h"
#include "serial/net/NetDeviceName.h"

// This build has no network library: every device server name says so,
// after a malformed one has been told what is wrong with it, as in a build
// that has one.
std::unique_ptr<CommDevice> MakeNetDevice(const std::string& path) {
    std::string error;
    if (!ParseNetDeviceName(path, &error)) return std::make_unique<FailedNetDevice>(kCommErrBadId, error);
    return std::make_unique<FailedNetDevice>(kCommErrBadId, kNetDevicesUnavailable);
}
