#include "command/PortDoctor.h"

#include "command/ControllerSearch.h"
#include "serial/net/NetDeviceName.h"

namespace {

std::string Named(const DoctorRequest& request) {
    return request.com ? request.path + " (COM" + std::to_string(*request.com) + ")" : request.path;
}

DoctorCheck Ok(std::string text) { return {true, std::move(text), {}}; }
DoctorCheck Problem(std::string text, std::string fix) { return {false, std::move(text), std::move(fix)}; }

DoctorCheck CheckPresent(const DoctorRequest& request, const InventoryPort& port) {
    if (port.details.present) return Ok(Named(request) + " is there: " + port.details.description);
    std::string present;
    std::string first;
    for (const std::string& path : PresentSerialDevices(request.root)) {
        present += (present.empty() ? "" : ", ") + path;
        if (first.empty()) first = DescribeInventoryPort(path, request.root).PathToStore();
    }
    if (present.empty())
        return Problem(Named(request) + " does not exist, and no serial device is present",
                       "plug the adapter in, then: veltrixctl ports");
    const std::string fix = request.com ? "export VELTRIX_COM" + std::to_string(*request.com) + "=" + first
                                        : "veltrixctl --device " + first + " doctor";
    return Problem(Named(request) + " does not exist; present: " + present, fix);
}

DoctorCheck CheckAccess(const DoctorRequest& request, const InventoryPort& port) {
    if (port.access) return Ok("you may open " + request.path);
    return Problem("you may not open " + request.path + " (group " + port.group + ")", port.accessProblem);
}

DoctorCheck CheckHolders(const DoctorRequest& request, const InventoryPort& port) {
    if (port.heldBy.empty()) return Ok("no other program holds " + request.path);
    std::string holders;
    std::string pids;
    for (const PortHolder& holder : port.heldBy) {
        holders += (holders.empty() ? "" : ", ") + holder.name + " (process " + std::to_string(holder.pid) + ")";
        pids += " " + std::to_string(holder.pid);
    }
    return Problem(request.path + " is held by " + holders, "close it, or: kill" + pids);
}

DoctorCheck CheckModemManager(const DoctorRequest& request, const InventoryPort& port, bool running) {
    if (!running) return Ok("ModemManager is not running");
    if (port.details.modemManagerIgnores) return Ok("ModemManager leaves " + request.path + " alone");
    std::string fix = "sudo systemctl disable --now ModemManager";
    const std::string& usb = port.details.usbId;
    if (usb.size() == 9) {
        fix += ", or keep it off this adapter: echo 'ATTRS{idVendor}==\"" + usb.substr(0, 4) +
               "\", ATTRS{idProduct}==\"" + usb.substr(5) +
               "\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | sudo tee /etc/udev/rules.d/99-veltrix.rules";
    }
    return Problem("ModemManager is running and probes " + request.path + " whenever it appears", fix);
}

DoctorCheck CheckBrltty(const InventoryPort& port, bool installed) {
    if (!installed) return Ok("brltty is not installed");
    if (!BrlttyClaims(port.details)) return Ok("brltty is installed but leaves this adapter alone");
    return Problem("brltty is installed and takes CH340 and CP210x adapters such as this one for braille displays",
                   "sudo apt remove brltty");
}

DoctorCheck CheckController(const DoctorRequest& request) {
    ControllerSearch search({request.path});
    search.Wait();
    const DeviceProbe probe = search.Snapshot().front();
    switch (probe.state) {
        case DeviceProbe::State::Found:
            return Ok("controller " + DescribeFoundController(*probe.controller));
        case DeviceProbe::State::OpenFailed:
            return Problem(request.path + " does not open: " + probe.error,
                           "see the checks above, then: veltrixctl --device " + request.path + " probe");
        default:
            break;
    }
    return Problem("no controller answered at 9600, 19200 or 38400 baud",
                   "check the cable and the controller's power, then search every port: veltrixctl ports --probe");
}

}  // namespace

bool BrlttyClaims(const PortDetails& details) {
    return details.usbId == "1a86:7523" || details.usbId == "10c4:ea60" || details.driver == "ch341" ||
           details.driver == "cp210x";
}

bool ExamineSerialDevice(const DoctorRequest& request, const std::function<void(const DoctorCheck&)>& report) {
    bool allOk = true;
    const auto take = [&](const DoctorCheck& check) {
        allOk = allOk && check.ok;
        report(check);
    };
    const InventoryPort port = DescribeInventoryPort(request.path, request.root);
    take(CheckPresent(request, port));
    if (!port.details.present) return false;
    take(CheckAccess(request, port));
    take(CheckHolders(request, port));
    // ModemManager and brltty take local adapters, not device servers.
    const InterferingServices services = FindInterferingServices(request.root);
    if (services.known && !IsNetDeviceName(request.path)) {
        take(CheckModemManager(request, port, services.modemManagerRunning));
        take(CheckBrltty(port, services.brlttyInstalled));
    }
    if (request.probe) take(CheckController(request));
    return allOk;
}
