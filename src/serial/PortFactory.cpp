#include "serial/PortFactory.h"

#include <utility>

#include "serial/CWindowsSerialPort.h"
#include "serial/PortDevicePath.h"
#include "serial/DeviceForPath.h"
#include "serial/OpenProgress.h"
#include "serial/TracingPort.h"

namespace {

PortFactory& InstalledFactory() {
    static PortFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<RS232> OpenPort(int portIndex, long baud) {
    return OpenPortAt(ComPortDevicePath(portIndex), portIndex, baud);
}

std::unique_ptr<RS232> OpenPortAt(const std::string& devicePath, int portIndex, long baud) {
    // Simulated ports are traced like real ones.
    if (const PortFactory& factory = InstalledFactory()) return TraceIfEnabled(factory(portIndex, baud));
    // The controller's line (on a device server too): even parity, 8 data
    // bits, stop-bit setting 1 (two stop bits), DTR and RTS dropped, no
    // handshaking.
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(devicePath);
    // Commands open their ports on the UI thread: a slow open may pump.
    device->SetWaitHook(OpenProgress(devicePath));
    return TraceIfEnabled(std::make_unique<CWindowsSerialPort>(std::move(device), portIndex, baud,
                                                               'E', 8, 1, 0, 0, 0, 0, 0));
}

void SetPortFactory(PortFactory factory) { InstalledFactory() = std::move(factory); }
