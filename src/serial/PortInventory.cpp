#include "serial/PortInventory.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "serial/PortDeviceList.h"
#include "serial/PortDevicePath.h"
#include "serial/net/NetDeviceName.h"

namespace fs = std::filesystem;

namespace {

// What two paths have in common when they lead to one device.
std::string Identity(const std::string& path) {
    if (IsNetDeviceName(path)) return path;
    std::error_code error;
    const fs::path canonical = fs::canonical(path, error);
    return error ? path : canonical.string();
}

struct ComMappings {
    std::map<std::string, int> chosen;    // identity -> lowest COM mapped to it
    std::map<std::string, int> defaults;  // identity -> COM whose default it is
    std::vector<std::pair<int, std::string>> chosenPaths;  // in COM order
};

ComMappings ReadComMappings() {
    ComMappings mappings;
    for (int com = 1; com <= kMaxComNumber; ++com) {
        const ComPortSource source = ResolveComPort(com - 1);
        const bool isDefault = source.kind == ComPortSource::Kind::Default;
        // Default devices that are not there map nothing.
        if (isDefault && !fs::exists(fs::path(source.path))) continue;
        auto& map = isDefault ? mappings.defaults : mappings.chosen;
        map.emplace(Identity(source.path), com);
        if (!isDefault) mappings.chosenPaths.emplace_back(com, source.path);
    }
    return mappings;
}

std::optional<int> ComOf(const ComMappings& mappings, const std::string& identity) {
    if (const auto found = mappings.chosen.find(identity); found != mappings.chosen.end()) return found->second;
    if (const auto found = mappings.defaults.find(identity); found != mappings.defaults.end()) return found->second;
    return std::nullopt;
}

// A serial device server is reached over the network: nothing of it can be
// looked at without connecting, and nobody here holds it.
InventoryPort DescribeServer(const std::string& path, const ComMappings& mappings) {
    InventoryPort port;
    port.path = path;
    port.details.present = true;
    const std::optional<NetDeviceName> name = ParseNetDeviceName(path);
    port.details.description = !name ? "not a device server name"
                               : name->protocol == NetDeviceName::Protocol::Rfc2217
                                   ? "serial device server (RFC 2217) at " + name->Address()
                                   : "serial device server (raw TCP) at " + name->Address();
    port.access = name.has_value();
    if (!name) port.accessProblem = "the name needs HOST:PORT";
    port.com = ComOf(mappings, path);
    return port;
}

InventoryPort Describe(const std::string& path, const InventoryRoot& root, const ComMappings& mappings) {
    if (IsNetDeviceName(path)) return DescribeServer(path, mappings);
    InventoryPort port;
    port.path = path;
    port.details = ReadPortDetails(path, root);
    const PortDevice access = DescribePortDevice(path);
    port.access = port.details.present && access.accessible;
    port.group = access.group;
    if (!port.details.present)
        port.accessProblem = "the device is not present";
    else if (!port.access)
        port.accessProblem = access.hint;
    port.heldBy = ProcessesHoldingDevice(path, root);
    port.com = ComOf(mappings, Identity(path));
    return port;
}

}  // namespace

std::vector<InventoryPort> TakePortInventory(const std::vector<std::string>& namedPaths, const InventoryRoot& root) {
    const ComMappings mappings = ReadComMappings();
    std::vector<std::string> paths = PresentSerialDevices(root);
    for (const auto& [com, path] : mappings.chosenPaths) paths.push_back(path);
    paths.insert(paths.end(), namedPaths.begin(), namedPaths.end());

    std::vector<InventoryPort> ports;
    std::vector<std::string> seen;
    for (const std::string& path : paths) {
        const std::string identity = Identity(path);
        if (std::find(seen.begin(), seen.end(), identity) != seen.end()) continue;
        seen.push_back(identity);
        ports.push_back(Describe(path, root, mappings));
    }
    return ports;
}

InventoryPort DescribeInventoryPort(const std::string& path, const InventoryRoot& root) {
    return Describe(path, root, ReadComMappings());
}

bool SameDevice(const std::string& a, const std::string& b) { return a == b || Identity(a) == Identity(b); }

std::optional<int> ComNumberOpening(const std::string& path) { return ComOf(ReadComMappings(), Identity(path)); }
