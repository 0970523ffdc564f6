#include "command/DeviceTest.h"

#include "protocol/CControllerLink.h"
#include "serial/PortFactory.h"
#include "serial/net/NetDeviceName.h"

namespace {

constexpr long kBaudAtStart = 9600;  // where every command starts probing

}  // namespace

DeviceTestResult TestDevice(const std::string& devicePath, int portIndex) {
    std::unique_ptr<RS232> port = OpenPortAt(devicePath, portIndex, kBaudAtStart);
    const int status = port ? port->Status() : kSerialGeneralError;
    if (status != 0) {
        const char* name = port ? port->ErrorName(status) : BaseErrorName(status);
        return {false, "Unable to open " + devicePath + "\n" + name};
    }
    CControllerLink link(std::move(port));
    ProbeInfo info;
    if (!link.Connect(info)) return {false, NoControllerText(devicePath)};
    const std::string rate = LineRateText(devicePath, kLinkBaudRates[link.BaudIndex()]);
    return {true, "Controller " + std::string(1, static_cast<char>(info.id)) + " answered at " +
                      rate + "."};
}
