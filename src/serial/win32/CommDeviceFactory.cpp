#include "serial/CommDeviceFactory.h"

#include "serial/win32/Win32CommDevice.h"

std::unique_ptr<CommDevice> MakeCommDevice(const std::string& path) { return std::make_unique<Win32CommDevice>(path); }

// The device namespace reaches COM10 and above too, which the bare name
// "COM10" does not.
std::string DefaultComDevicePath(int portIndex) { return "\\\\.\\COM" + std::to_string(portIndex + 1); }

const char* DefaultComDeviceTemplate() { return "\\\\.\\COM<N>"; }
