#pragma once

#include <string>
#include <vector>

// What the OS tells about a serial device beyond its path: the seam under
// the port inventory (PortInventory.h). posix/: sysfs, the udev database and
// /proc, as libudev reads them, below a root that only tests move; win32/:
// what the registry's COM list gives.

// Where the OS part looks: <root>/dev, <root>/sys, <root>/run/udev,
// <root>/proc and <root>/usr/bin. Empty is the machine itself.
struct InventoryRoot {
    std::string root;

    std::string Dev() const { return root + "/dev"; }
    std::string Sys() const { return root + "/sys"; }
    std::string UdevData() const { return root + "/run/udev/data"; }
    std::string Proc() const { return root + "/proc"; }
    std::string Path(const std::string& absolute) const { return root + absolute; }
};

struct PortHolder {
    long pid = 0;
    std::string name;  // the process's command name

    bool operator==(const PortHolder&) const = default;
};

struct PortDetails {
    bool present = false;     // the path leads to something that can be opened
    std::string stablePath;   // /dev/serial/by-id/..., else by-path; empty when none
    // USB vendor and product, their ids, serial number and driver
    // ("FTDI FT232R USB UART, 0403:6001, serial A50285BI, driver ftdi_sio"),
    // or what kind of port it is.
    std::string description;
    std::string usbId;        // "0403:6001"; empty for a device not on USB
    std::string driver;       // "ftdi_sio", "cdc_acm", "serial8250"
    // The udev property ID_MM_DEVICE_IGNORE is set: ModemManager keeps off.
    bool modemManagerIgnores = false;
};

// Details of the device at path (a node, or a link to one).
PortDetails ReadPortDetails(const std::string& path, const InventoryRoot& root = {});

// Processes other than this one that hold the device open; those of other
// users are visible to root only.
std::vector<PortHolder> ProcessesHoldingDevice(const std::string& path, const InventoryRoot& root = {});

// The serial device nodes present, in the order a user looks for them:
// ttyUSB, ttyACM, ttyAMA, rfcomm, then the ttyS with a real UART behind
// them, each in numeric order. Links (by-id, by-path) are not listed.
std::vector<std::string> PresentSerialDevices(const InventoryRoot& root = {});

// Programs known to take serial adapters away from everybody else.
struct InterferingServices {
    bool known = false;                // the OS has such programs (Linux)
    bool modemManagerRunning = false;  // probes every new serial device
    bool brlttyInstalled = false;      // claims CH340 and CP210x adapters
};
InterferingServices FindInterferingServices(const InventoryRoot& root = {});
