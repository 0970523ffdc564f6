#include <algorithm>
#include <iomanip>
#include <sstream>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "StopSignals.h"
#include "command/ControllerSearch.h"
#include "model/CDiagnosticsRecord.h"
#include "serial/PortDevicePath.h"
#include "serial/PortInventory.h"

namespace {

struct PortsRequest {
    bool probe = false;
    std::vector<std::string> paths;
};

std::string HoldersText(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders) text += (text.empty() ? "" : ", ") + std::to_string(holder.pid) + " " + holder.name;
    return text.empty() ? "-" : text;
}

std::string ProbeText(const DeviceProbe& probe) {
    switch (probe.state) {
        case DeviceProbe::State::Found:
            return DescribeFoundController(*probe.controller);
        case DeviceProbe::State::OpenFailed:
            return "not opened: " + probe.error;
        case DeviceProbe::State::Cancelled:
            return "not probed to the end";
        default:
            return "no answer";
    }
}

Json ControllerJson(const DeviceProbe& probe) {
    if (!probe.controller) return nullptr;
    const FoundController& found = *probe.controller;
    const auto text = [&](const std::string& value) { return found.diagnosticsRead ? Json(value) : Json(nullptr); };
    return {{"id", std::string(1, static_cast<char>(found.id))},
            {"baud", found.baud},
            {"part_number", text(found.partNumber)},
            {"date_code", text(found.dateCode)},
            {"firmware", text(found.firmware)},
            {"state", text(SystemStateName(found.systemState))}};
}

Json PortJson(const InventoryPort& port, const DeviceProbe* probe) {
    Json holders = Json::array();
    for (const PortHolder& holder : port.heldBy) holders.push_back({{"pid", holder.pid}, {"name", holder.name}});
    Json json = {{"path", port.path},
                 {"stable_path", port.details.stablePath.empty() ? Json(nullptr) : Json(port.details.stablePath)},
                 {"description", port.details.description},
                 {"access", port.access},
                 {"access_problem", port.access ? Json(nullptr) : Json(port.accessProblem)},
                 {"held_by", std::move(holders)},
                 {"com", port.com ? Json(*port.com) : Json(nullptr)}};
    if (probe) json["controller"] = ControllerJson(*probe);
    return json;
}

// One row per device; below it, indented, the stable path and what keeps
// this user out, where there is one.
void PrintTable(std::ostream& out, const std::vector<InventoryPort>& ports, const std::vector<DeviceProbe>& probes) {
    std::vector<std::vector<std::string>> rows = {{"PATH", "COM", "ACCESS", "HELD BY"}};
    if (!probes.empty()) rows[0].push_back("CONTROLLER");
    rows[0].push_back("DESCRIPTION");
    for (size_t i = 0; i < ports.size(); ++i) {
        const InventoryPort& port = ports[i];
        std::vector<std::string> row = {port.path, port.com ? "COM" + std::to_string(*port.com) : "-",
                                        port.access ? "yes" : "no", HoldersText(port.heldBy)};
        if (!probes.empty()) row.push_back(ProbeText(probes[i]));
        row.push_back(port.details.description);
        rows.push_back(row);
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            line += rows[r][c];
            if (c + 1 < rows[r].size()) line += std::string(widths[c] - rows[r][c].size() + 2, ' ');
        }
        out << line << "\n";
        if (r == 0) continue;
        const InventoryPort& port = ports[r - 1];
        if (!port.details.stablePath.empty()) out << "    stable path: " << port.details.stablePath << "\n";
        if (!port.access) out << "    access: " << port.accessProblem << "\n";
    }
}

int Ports(CommandEnv& env, const PortsRequest& request) {
    std::vector<std::string> named = request.paths;
    if (env.global.device) named.push_back(*env.global.device);
    if (env.global.comNumber) named.push_back(ComPortDevicePath(*env.global.comNumber - 1));
    const std::vector<InventoryPort> ports = TakePortInventory(named);

    std::vector<DeviceProbe> probes;
    if (request.probe) {
        std::vector<std::string> paths;
        for (const InventoryPort& port : ports) paths.push_back(port.path);
        ControllerSearch search(paths);
        // Ctrl-C ends every probe at its next wait; the ports close as usual.
        while (!search.Wait(50))
            if (StopSignals::Raised()) search.Cancel();
        probes = search.Snapshot();
    }

    if (env.global.json) {
        Json list = Json::array();
        for (size_t i = 0; i < ports.size(); ++i) list.push_back(PortJson(ports[i], probes.empty() ? nullptr : &probes[i]));
        env.out << JsonLine(list);
    } else if (ports.empty()) {
        env.out << "No serial device found.\n";
    } else {
        PrintTable(env.out, ports, probes);
    }
    if (!request.probe) return kExitOk;
    const bool found = std::any_of(probes.begin(), probes.end(),
                                   [](const DeviceProbe& probe) { return probe.state == DeviceProbe::State::Found; });
    if (!found) env.ui.Report("No controller answered on any port.");
    return found ? kExitOk : kExitController;
}

}  // namespace

void AddPortsCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* ports = AddCommand(app, "ports", "the serial devices, and which holds a controller");
    ports->footer(
        "Lists every serial device present (ttyS with a UART, ttyUSB, ttyACM,\n"
        "ttyAMA, rfcomm), every device a COM number is mapped to ($VELTRIX_COM<N>\n"
        "or the settings) and each PATH given: its stable path (/dev/serial/by-id,\n"
        "else by-path), USB vendor, product, serial number and driver, whether you\n"
        "may open it and why not, the processes holding it and its COM number.\n"
        "--probe looks for a controller on every device at once (9600, 19200 and\n"
        "38400 baud) and reads the identity of each that answers; the exit status\n"
        "is then 1 when none answered. With --json: one array, an object per device.");
    const auto request = std::make_shared<PortsRequest>();
    ports->add_flag("--probe", request->probe, "look for a controller on every device")->disable_flag_override();
    ports->add_option("PATH", request->paths, "devices to list besides those found");
    RunWhenChosen(ports, env, [&env, request] { return Ports(env, *request); });
}
