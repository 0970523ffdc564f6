// The port inventory on a fake machine: device nodes, their stable links,
// sysfs and the udev database, /proc.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "serial/PortDevicePath.h"
#include "serial/PortInventory.h"
#include "serial/PortWatch.h"
#include "support/FakeSerialTree.h"
#include "support/ScopedEnv.h"

namespace {

const char* kFtdiById = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

class PortInventoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ForgetChosenPortDevices();
        tree.UsbTty("ttyUSB0", "188:0", "1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio"});
        tree.SerialLink("by-id", kFtdiById, "ttyUSB0");
        tree.SerialLink("by-path", "pci-0000:00:14.0-usb-0:1:1.0-port0", "ttyUSB0");
        // A CH340 names nothing itself; udev's hardware database does.
        tree.UsbTty("ttyUSB1", "188:1", "1-3", {"1a86", "7523", "", "", "", "ch341"});
        tree.Udev("188:1", {"ID_VENDOR_FROM_DATABASE=QinHeng Electronics",
                            "ID_MODEL_FROM_DATABASE=CH340 serial converter", "ID_MM_DEVICE_IGNORE=1"});
        tree.UsbTty("ttyACM0", "166:0", "1-2", {"2341", "0043", "Arduino (www.arduino.cc)", "", "75830", "cdc_acm"});
        tree.SerialLink("by-path", "pci-0000:00:14.0-usb-0:2:1.0", "ttyACM0");
        tree.Uart("ttyS0", "4:64", 4, "serial8250");
        tree.Uart("ttyS1", "4:65", 0, "serial8250");  // registered, no UART behind it
        tree.Uart("ttyAMA0", "204:64", 32, "uart-pl011");  // an AMBA port
        tree.Tty("rfcomm0", "216:0");
        tree.Tty("tty1", "4:1");  // a console, not a serial port
    }

    FakeSerialTree tree;
};

TEST_F(PortInventoryTest, ListsTheSerialDevicesPresentInTheOrderAUserLooksForThem) {
    EXPECT_EQ(PresentSerialDevices(tree.Inventory()),
              (std::vector<std::string>{tree.Dev("ttyUSB0"), tree.Dev("ttyUSB1"), tree.Dev("ttyACM0"),
                                        tree.Dev("ttyAMA0"), tree.Dev("rfcomm0"), tree.Dev("ttyS0")}));
}

TEST_F(PortInventoryTest, DescribesEachDeviceFromSysfsAndTheUdevDatabase) {
    struct Case {
        std::string path;
        std::string stablePath;
        std::string description;
        std::string usbId;
        bool modemManagerIgnores;
    };
    const std::string byId = tree.Dev(std::string("serial/by-id/") + kFtdiById);
    const Case cases[] = {
        {tree.Dev("ttyUSB0"), byId, "FTDI FT232R USB UART, 0403:6001, serial A50285BI, driver ftdi_sio", "0403:6001",
         false},
        // Asked about by its link, it is the same device.
        {byId, byId, "FTDI FT232R USB UART, 0403:6001, serial A50285BI, driver ftdi_sio", "0403:6001", false},
        {tree.Dev("ttyUSB1"), "", "QinHeng Electronics CH340 serial converter, 1a86:7523, driver ch341", "1a86:7523",
         true},
        // Without a by-id link, the by-path link is what stays put.
        {tree.Dev("ttyACM0"), tree.Dev("serial/by-path/pci-0000:00:14.0-usb-0:2:1.0"),
         "Arduino (www.arduino.cc), 2341:0043, serial 75830, driver cdc_acm", "2341:0043", false},
        {tree.Dev("ttyS0"), "", "UART 16550A, driver serial8250", "", false},
        {tree.Dev("ttyAMA0"), "", "serial port, driver uart-pl011", "", false},
        {tree.Dev("rfcomm0"), "", "Bluetooth serial port", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const PortDetails details = ReadPortDetails(c.path, tree.Inventory());
        EXPECT_TRUE(details.present);
        EXPECT_EQ(details.stablePath, c.stablePath);
        EXPECT_EQ(details.description, c.description);
        EXPECT_EQ(details.usbId, c.usbId);
        EXPECT_EQ(details.modemManagerIgnores, c.modemManagerIgnores);
    }
}

TEST_F(PortInventoryTest, ComMappingsAndNamedPathsJoinTheListOncePerDevice) {
    const std::string byId = tree.Dev(std::string("serial/by-id/") + kFtdiById);
    ScopedEnv com3("VELTRIX_COM3", byId);
    ScopedEnv com9("VELTRIX_COM9", tree.Dev("ttyUSB0"));  // the same device again
    ScopedEnv com7("VELTRIX_COM7", tree.Dev("ttyUSB7"));  // not plugged in
    ScopedEnv com4("VELTRIX_COM4", "rfc2217://127.0.0.1:4001");  // a device server
    ChoosePortDevice(5, tree.Dev("ttyACM0"));
    const std::string elsewhere = tree.Root() + "/elsewhere";
    std::ofstream(elsewhere).put('x');

    const std::vector<InventoryPort> ports =
        TakePortInventory({tree.Dev("serial/by-path/pci-0000:00:14.0-usb-0:2:1.0"), elsewhere}, tree.Inventory());
    ForgetChosenPortDevices();

    std::vector<std::string> paths;
    for (const InventoryPort& port : ports) paths.push_back(port.path);
    EXPECT_EQ(paths, (std::vector<std::string>{tree.Dev("ttyUSB0"), tree.Dev("ttyUSB1"), tree.Dev("ttyACM0"),
                                               tree.Dev("ttyAMA0"), tree.Dev("rfcomm0"), tree.Dev("ttyS0"),
                                               "rfc2217://127.0.0.1:4001", tree.Dev("ttyUSB7"), elsewhere}));
    const auto port = [&](const std::string& path) {
        return *std::find_if(ports.begin(), ports.end(), [&](const InventoryPort& p) { return p.path == path; });
    };
    // The lowest COM number that leads to a device is the one it shows.
    EXPECT_EQ(port(tree.Dev("ttyUSB0")).com, 3);
    EXPECT_EQ(port(tree.Dev("ttyUSB0")).PathToStore(), byId);
    EXPECT_EQ(port(tree.Dev("ttyACM0")).com, 5);
    EXPECT_EQ(port(tree.Dev("ttyUSB1")).com, std::nullopt);
    const InventoryPort missing = port(tree.Dev("ttyUSB7"));
    EXPECT_EQ(missing.com, 7);
    EXPECT_FALSE(missing.details.present);
    EXPECT_FALSE(missing.access);
    EXPECT_EQ(missing.accessProblem, "the device is not present");
    // Nothing of a device server can be looked at without connecting.
    const InventoryPort server = port("rfc2217://127.0.0.1:4001");
    EXPECT_EQ(server.details.description, "serial device server (RFC 2217) at 127.0.0.1:4001");
    EXPECT_TRUE(server.access);
    EXPECT_EQ(server.com, 4);
}

TEST_F(PortInventoryTest, NamesTheGroupThatOwnsTheDeviceAndTheProcessesHoldingIt) {
    tree.Process("123", "minicom", tree.Dev("ttyUSB0"));
    tree.Process("456", "bash", "/dev/null");
    tree.Process(std::to_string(::getpid()), "veltrixctl", tree.Dev("ttyUSB0"));  // this process
    tree.Process("789", "screen", tree.Dev("ttyUSB0"));
    if (::geteuid() == 0) {
        if (const group* dialout = getgrnam("dialout")) ::chown(tree.Dev("ttyUSB0").c_str(), 0, dialout->gr_gid);
    }
    struct stat info {};
    ASSERT_EQ(::stat(tree.Dev("ttyUSB0").c_str(), &info), 0);
    const group* owner = getgrgid(info.st_gid);

    const InventoryPort port = DescribeInventoryPort(tree.Dev("ttyUSB0"), tree.Inventory());
    EXPECT_EQ(port.group, owner ? owner->gr_name : std::to_string(info.st_gid));
    EXPECT_EQ(port.heldBy, (std::vector<PortHolder>{{123, "minicom"}, {789, "screen"}}));
    EXPECT_TRUE(DescribeInventoryPort(tree.Dev("ttyUSB1"), tree.Inventory()).heldBy.empty());
}

TEST_F(PortInventoryTest, ADeviceThatVanishesLeavesTheListAndItsLinkLeadsNowhere) {
    const std::string byId = tree.Dev(std::string("serial/by-id/") + kFtdiById);
    tree.Remove("/dev/ttyUSB0");
    const std::vector<std::string> present = PresentSerialDevices(tree.Inventory());
    EXPECT_EQ(std::count(present.begin(), present.end(), tree.Dev("ttyUSB0")), 0);
    const PortDetails gone = ReadPortDetails(byId, tree.Inventory());
    EXPECT_FALSE(gone.present);
    EXPECT_EQ(gone.description, "not present");
    EXPECT_FALSE(DescribeInventoryPort(byId, tree.Inventory()).access);
}

TEST_F(PortInventoryTest, FindsTheServicesThatTakeAdaptersAway) {
    EXPECT_FALSE(FindInterferingServices(tree.Inventory()).modemManagerRunning);
    EXPECT_FALSE(FindInterferingServices(tree.Inventory()).brlttyInstalled);
    tree.Process("812", "ModemManager", "");
    tree.Program("/usr/bin/brltty");
    EXPECT_TRUE(FindInterferingServices(tree.Inventory()).modemManagerRunning);
    EXPECT_TRUE(FindInterferingServices(tree.Inventory()).brlttyInstalled);
}

}  // namespace

namespace {

TEST(PortWatchTest, TellsWhenADeviceOrItsLinksComeOrGo) {
    FakeSerialTree tree;
    PortWatch watch(tree.Inventory());
    ASSERT_TRUE(watch.Active());
    ASSERT_GE(watch.Descriptor(), 0);
    EXPECT_FALSE(watch.Wait(0));

    struct Step {
        const char* what;
        std::function<void()> change;
        bool noticed;
    };
    const Step steps[] = {
        {"an adapter plugged in", [&] { tree.Tty("ttyUSB0", "188:0"); }, true},
        {"udev adds its by-id link", [&] { tree.SerialLink("by-id", "usb-FTDI-port0", "ttyUSB0"); }, true},
        {"and another one later", [&] { tree.SerialLink("by-id", "usb-FTDI-port1", "ttyUSB0"); }, true},
        {"something else in /dev", [&] { std::ofstream(tree.Dev("kmsg2")).put('x'); }, false},
        {"the adapter pulled out", [&] { tree.Remove("/dev/ttyUSB0"); }, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(watch.Wait(step.noticed ? 2000 : 100), step.noticed);
        EXPECT_FALSE(watch.TakeChanges());  // taken once
    }
}

}  // namespace
