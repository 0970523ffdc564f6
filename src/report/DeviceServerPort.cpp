#include "report/ReportEnvironment.h"
#include "serial/net/NetDeviceName.h"

// A device server has no file to describe: its address and what it carries.
bool DescribeDeviceServer(const std::string& devicePath, PortSection& port) {
    if (!IsNetDeviceName(devicePath)) return false;
    port.target = devicePath;
    const std::optional<NetDeviceName> name = ParseNetDeviceName(devicePath);
    if (!name) return true;
    port.server = name->Address();
    port.protocol = name->protocol == NetDeviceName::Protocol::Rfc2217
                        ? "RFC 2217: this tool sets the line at the server"
                        : "raw TCP: the line is set at the server; the controller is reached at "
                          "the server's rate";
    return true;
}
