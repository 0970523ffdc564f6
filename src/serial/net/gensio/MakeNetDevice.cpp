#include "serial/net/FailedNetDevice.h"
#include "serial/net/NetDevice.h"
#include "serial/net/gensio/GensioDevice.h"

std::unique_ptr<CommDevice> MakeNetDevice(const std::string& path) {
    std::string error;
    std::optional<NetDeviceName> name = ParseNetDeviceName(path, &error);
    if (!name) return std::make_unique<FailedNetDevice>(kCommErrBadId, error);
    return std::make_unique<GensioDevice>(std::move(*name));
}
