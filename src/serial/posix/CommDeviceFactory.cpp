#include "serial/CommDeviceFactory.h"

#include "serial/termios/TermiosDevice.h"

std::unique_ptr<CommDevice> MakeCommDevice(const std::string& path) { return MakeTermiosDevice(path); }

std::string DefaultComDevicePath(int portIndex) { return "/dev/ttyS" + std::to_string(portIndex); }

const char* DefaultComDeviceTemplate() { return "/dev/ttyS<N-1>"; }
