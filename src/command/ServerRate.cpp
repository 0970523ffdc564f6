#include "command/ServerRate.h"

#include "protocol/CControllerLink.h"
#include "serial/net/NetDeviceName.h"

namespace {

std::string RateOf(const CPsfRecord& psf) {
    const int index = LookupBaudRate(psf.GetBaudCode());
    return index >= 0 ? std::string(kBaudRates[index].text) + " baud"
                      : "the code '" + std::string(1, static_cast<char>(psf.GetBaudCode())) + "'";
}

std::string LineKeepsItsRate(const std::string& devicePath) {
    return "the line through " + devicePath + " keeps the rate the device server gives it";
}

}  // namespace

std::string ServerRateWarning(const std::string& devicePath, const CPsfRecord& toSend,
                              const CPsfRecord* controllers) {
    if (!RateIsTheServers(devicePath)) return {};
    if (!controllers) {
        return std::string("The controller may stop answering at ") + kServersRate +
               ": this parameter set gives it " + RateOf(toSend) +
               ", its own set could not be read, and " + LineKeepsItsRate(devicePath) + ".";
    }
    if (controllers->GetBaudCode() == toSend.GetBaudCode()) return {};
    return std::string("The controller will stop answering at ") + kServersRate +
           ": this parameter set changes its baud rate from " + RateOf(*controllers) + " to " +
           RateOf(toSend) + ", and " + LineKeepsItsRate(devicePath) + ".";
}

std::string CheckServerRate(CControllerLink& link, const std::string& devicePath,
                            const CPsfRecord& toSend) {
    if (!RateIsTheServers(devicePath)) return {};
    CPsfRecord controllers;
    const bool read = link.ReadPsfChecked(controllers) != 0;
    return ServerRateWarning(devicePath, toSend, read ? &controllers : nullptr);
}

std::string TrialRateRefusal(const std::string& devicePath, const CPsfRecord& trial,
                             const CPsfRecord& controllers) {
    if (!RateIsTheServers(devicePath) || trial.GetBaudCode() == controllers.GetBaudCode())
        return {};
    return "A trial at " + RateOf(trial) + " cannot be followed: " + LineKeepsItsRate(devicePath) +
           ", and the controller's own set could not be sent back. Choose its own rate, " +
           RateOf(controllers) + ".";
}
