#include "serial/PortDetails.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// "ttyUSB10" after "ttyUSB9".
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            size_t endA = i, endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA]))) ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB]))) ++endB;
            const std::string numA = a.substr(i, endA - i), numB = b.substr(j, endB - j);
            if (numA.size() != numB.size()) return numA.size() < numB.size();
            if (numA != numB) return numA < numB;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> NamesWithPrefix(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// The kernel registers ttyS0 to ttyS3 whether or not a UART is there; the
// serial core says which are real (a port type other than 0, "unknown").
bool HasUart(const fs::path& ttyClass, const std::string& name) {
    const std::string type = FirstLine(ttyClass / name / "type");
    if (!type.empty()) return type != "0";
    std::error_code error;
    // No type attribute: a placeholder sits on the platform bus.
    return fs::read_symlink(ttyClass / name / "device" / "subsystem", error).filename() != "platform";
}

// The udev database entry of a tty: its "E:" properties.
std::map<std::string, std::string> UdevProperties(const InventoryRoot& root, const fs::path& ttyDir) {
    std::map<std::string, std::string> properties;
    const std::string devnum = FirstLine(ttyDir / "dev");
    if (devnum.empty()) return properties;
    std::ifstream in(root.UdevData() + "/c" + devnum);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("E:", 0) != 0) continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos) properties[line.substr(2, equals - 2)] = line.substr(equals + 1);
    }
    return properties;
}

std::string Get(const std::map<std::string, std::string>& properties, const std::string& key) {
    const auto found = properties.find(key);
    return found == properties.end() ? std::string() : found->second;
}

// The USB device a tty belongs to: the nearest parent with an idVendor.
fs::path UsbDeviceOf(const fs::path& ttyDir) {
    std::error_code error;
    fs::path at = fs::canonical(ttyDir / "device", error);
    if (error) return {};
    for (int depth = 0; depth < 8 && !at.empty() && at != at.root_path(); ++depth, at = at.parent_path()) {
        if (fs::exists(at / "idVendor", error)) return at;
    }
    return {};
}

const char* UartName(const std::string& type) {
    static const std::map<std::string, const char*> kNames = {
        {"1", "8250"}, {"2", "16450"}, {"3", "16550"}, {"4", "16550A"}, {"5", "Cirrus"}, {"6", "16650"},
        {"7", "16650V2"}, {"8", "16750"}, {"9", "Startech"}, {"10", "16C950"}, {"11", "16654"}, {"12", "16850"},
    };
    const auto found = kNames.find(type);
    return found == kNames.end() ? nullptr : found->second;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += ", ";
        text += part;
    }
    return text;
}

// The by-id link of the device, else its by-path link.
std::string StableLinkTo(const fs::path& device, const InventoryRoot& root) {
    for (const char* folder : {"by-id", "by-path"}) {
        std::error_code error;
        std::vector<std::string> links;
        for (const auto& entry : fs::directory_iterator(root.Dev() + "/serial/" + folder, error)) {
            std::error_code linkError;
            if (fs::canonical(entry.path(), linkError) == device && !linkError) links.push_back(entry.path().string());
        }
        if (!links.empty()) return *std::min_element(links.begin(), links.end());
    }
    return {};
}

void DescribeUsb(const fs::path& ttyDir, const std::map<std::string, std::string>& udev, PortDetails& details) {
    const fs::path usb = UsbDeviceOf(ttyDir);
    std::string vendor = usb.empty() ? "" : FirstLine(usb / "manufacturer");
    std::string product = usb.empty() ? "" : FirstLine(usb / "product");
    std::string serial = usb.empty() ? "" : FirstLine(usb / "serial");
    const std::string vendorId = usb.empty() ? Get(udev, "ID_VENDOR_ID") : FirstLine(usb / "idVendor");
    const std::string productId = usb.empty() ? Get(udev, "ID_MODEL_ID") : FirstLine(usb / "idProduct");
    // What the device does not say about itself, the udev hardware database may.
    if (vendor.empty()) vendor = Get(udev, "ID_VENDOR_FROM_DATABASE");
    if (product.empty()) product = Get(udev, "ID_MODEL_FROM_DATABASE");
    if (serial.empty()) serial = Get(udev, "ID_SERIAL_SHORT");
    if (!vendorId.empty() && !productId.empty()) details.usbId = vendorId + ":" + productId;
    const std::string name = vendor.empty() || product.empty() ? vendor + product : vendor + " " + product;
    details.description = Join({name.empty() && !details.usbId.empty() ? "USB serial adapter" : name, details.usbId,
                                 serial.empty() ? "" : "serial " + serial,
                                 details.driver.empty() ? "" : "driver " + details.driver});
}

// The process at the other end of a pseudo-terminal holds its master (a
// simulator, a terminal); it is the line itself, not a program in the way.
bool ServesPseudoTerminal(const fs::path& process, const std::string& index) {
    std::error_code error;
    for (const fs::directory_entry& fd : fs::directory_iterator(process / "fd", error)) {
        std::error_code linkError;
        if (fs::read_symlink(fd.path(), linkError).filename() != "ptmx" || linkError) continue;
        std::ifstream info(process / "fdinfo" / fd.path().filename());
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("tty-index:", 0) != 0) continue;
            std::string value = line.substr(10);
            value.erase(0, value.find_first_not_of(" \t"));
            if (value == index) return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> PresentSerialDevices(const InventoryRoot& root) {
    const fs::path dev = root.Dev();
    const fs::path ttyClass = root.Sys() + "/class/tty";
    std::vector<std::string> devices;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyAMA", "rfcomm", "ttyS"}) {
        for (const std::string& name : NamesWithPrefix(dev, prefix)) {
            if (std::string(prefix) == "ttyS" && !HasUart(ttyClass, name)) continue;
            devices.push_back((dev / name).string());
        }
    }
    return devices;
}

PortDetails ReadPortDetails(const std::string& path, const InventoryRoot& root) {
    PortDetails details;
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    if (error) {
        details.description = "not present";
        return details;
    }
    details.present = true;
    details.stablePath = StableLinkTo(device, root);

    const std::string name = device.filename().string();
    const fs::path ttyDir = fs::path(root.Sys()) / "class" / "tty" / name;
    const std::map<std::string, std::string> udev = UdevProperties(root, ttyDir);
    details.driver = fs::read_symlink(ttyDir / "device" / "driver", error).filename().string();
    if (details.driver.empty()) details.driver = Get(udev, "ID_USB_DRIVER");
    details.modemManagerIgnores = !Get(udev, "ID_MM_DEVICE_IGNORE").empty() && Get(udev, "ID_MM_DEVICE_IGNORE") != "0";

    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0 || !UsbDeviceOf(ttyDir).empty()) {
        DescribeUsb(ttyDir, udev, details);
    } else if (name.rfind("rfcomm", 0) == 0) {
        details.description = "Bluetooth serial port";
    } else if (device.parent_path().filename() == "pts") {
        details.description = "pseudo-terminal";
    } else if (const char* uart = UartName(FirstLine(ttyDir / "type"))) {
        details.description = Join({std::string("UART ") + uart, details.driver.empty() ? "" : "driver " + details.driver});
    } else {
        details.description = Join({"serial port", details.driver.empty() ? "" : "driver " + details.driver});
    }
    return details;
}

std::vector<PortHolder> ProcessesHoldingDevice(const std::string& path, const InventoryRoot& root) {
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error) return {};
    const std::string self = std::to_string(::getpid());
    const std::string ptyIndex = target.parent_path().filename() == "pts" ? target.filename().string() : "";
    std::vector<PortHolder> holders;
    for (const fs::directory_entry& process : fs::directory_iterator(root.Proc(), error)) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        std::error_code fdError;
        for (const fs::directory_entry& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == target && !linkError) {
                if (ptyIndex.empty() || !ServesPseudoTerminal(process.path(), ptyIndex))
                    holders.push_back({std::stol(pid), FirstLine(process.path() / "comm")});
                break;
            }
        }
    }
    std::sort(holders.begin(), holders.end(), [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return holders;
}

InterferingServices FindInterferingServices(const InventoryRoot& root) {
    InterferingServices services;
    services.known = true;
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator(root.Proc(), error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (FirstLine(process.path() / "comm") == "ModemManager") services.modemManagerRunning = true;
    }
    for (const char* program : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty", "/sbin/brltty"}) {
        if (fs::exists(root.Path(program), error)) services.brlttyInstalled = true;
    }
    return services;
}
