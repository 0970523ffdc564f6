#pragma once


#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/PortDetails.h"
#include "support/ScopedTempDir.h"

// A machine's serial devices as files below a scratch root: /dev nodes (plain
// files), their by-id and by-path links, the sysfs tree of the tty class and
// the USB devices behind it, the udev database, /proc and /usr/bin. What the
// port inventory reads, without owning any hardware.
class FakeSerialTree {
  public:
    struct Usb {
        std::string vendorId, productId;
        std::string manufacturer, product, serial;  // empty: the device does not say
        std::string driver;                          // of the tty's device
    };

    FakeSerialTree() { std::filesystem::create_directories(Root() + "/dev"); }

    const std::string& Root() const { return m_dir.Path(); }
    InventoryRoot Inventory() const { return {Root()}; }
    std::string Dev(const std::string& name) const { return Root() + "/dev/" + name; }

    // A tty node with its sysfs entry; devnum "188:0" names its udev record.
    void Tty(const std::string& name, const std::string& devnum) {
        Write("/dev/" + name, "");
        Write(TtyClass(name) + "/dev", devnum + "\n");
    }
    // A tty of a USB adapter: the USB device with its descriptor strings
    // two levels above the tty's device, as for ttyUSB and ttyACM.
    void UsbTty(const std::string& name, const std::string& devnum, const std::string& port, const Usb& usb) {
        Tty(name, devnum);
        const std::string device = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
        Write(device + "/idVendor", usb.vendorId + "\n");
        Write(device + "/idProduct", usb.productId + "\n");
        if (!usb.manufacturer.empty()) Write(device + "/manufacturer", usb.manufacturer + "\n");
        if (!usb.product.empty()) Write(device + "/product", usb.product + "\n");
        if (!usb.serial.empty()) Write(device + "/serial", usb.serial + "\n");
        const std::string ttyDevice = device + "/" + port + ":1.0/" + name;
        std::filesystem::create_directories(Root() + ttyDevice);
        Link(Root() + ttyDevice, TtyClass(name) + "/device");
        Driver(name, usb.driver);
    }
    // A UART: ttyS with the serial core's port type (0: no UART behind it).
    void Uart(const std::string& name, const std::string& devnum, int type, const std::string& driver) {
        Tty(name, devnum);
        Write(TtyClass(name) + "/type", std::to_string(type) + "\n");
        std::filesystem::create_directories(Root() + "/sys/devices/platform/serial8250/" + name);
        Link(Root() + "/sys/devices/platform/serial8250/" + name, TtyClass(name) + "/device");
        Driver(name, driver);
    }
    void Driver(const std::string& name, const std::string& driver) {
        if (driver.empty()) return;
        std::filesystem::create_directories(Root() + "/sys/bus/drivers/" + driver);
        std::error_code error;
        std::filesystem::create_directory_symlink(Root() + "/sys/bus/drivers/" + driver,
                                                  std::filesystem::canonical(Root() + TtyClass(name) + "/device", error) /
                                                      "driver",
                                                  error);
    }
    // Properties of the udev database for a device number.
    void Udev(const std::string& devnum, const std::vector<std::string>& properties) {
        std::string text;
        for (const std::string& property : properties) text += "E:" + property + "\n";
        Write("/run/udev/data/c" + devnum, text);
    }
    // /dev/serial/<kind>/<name> -> ../../<tty>, as udev makes them.
    void SerialLink(const std::string& kind, const std::string& name, const std::string& tty) {
        Link("../../" + tty, "/dev/serial/" + kind + "/" + name);
    }
    // A process with the given file open as descriptor 3.
    void Process(const std::string& pid, const std::string& comm, const std::string& open) {
        Write("/proc/" + pid + "/comm", comm + "\n");
        std::filesystem::create_directories(Root() + "/proc/" + pid + "/fd");
        if (!open.empty()) Link(open, "/proc/" + pid + "/fd/3");
    }
    void Program(const std::string& path) { Write(path, "#!/bin/sh\n"); }
    void Remove(const std::string& path) { std::filesystem::remove(Root() + path); }

  private:
    static std::string TtyClass(const std::string& name) { return "/sys/class/tty/" + name; }
    void Write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(Root() + path).parent_path());
        std::ofstream(Root() + path) << text;
    }
    void Link(const std::string& target, const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(Root() + path).parent_path());
        std::filesystem::create_symlink(target, Root() + path);
    }

    ScopedTempDir m_dir;
};
