// The doctor's checks on a fake machine (the probe, which needs a real
// line, is run by the integration tests).
#include <gtest/gtest.h>

#include "command/PortDoctor.h"
#include "support/FakeSerialTree.h"

namespace {

class PortDoctorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.UsbTty("ttyUSB0", "188:0", "1-1", {"1a86", "7523", "", "", "", "ch341"});
        tree.SerialLink("by-id", "usb-1a86_USB_Serial-if00-port0", "ttyUSB0");
        tree.UsbTty("ttyACM0", "166:0", "1-2", {"2341", "0043", "Arduino", "Uno", "", "cdc_acm"});
    }

    std::vector<DoctorCheck> Examine(const std::string& path, std::optional<int> com, bool* allOk = nullptr) {
        std::vector<DoctorCheck> checks;
        const bool ok = ExamineSerialDevice({path, com, false, tree.Inventory()},
                                            [&](const DoctorCheck& check) { checks.push_back(check); });
        if (allOk) *allOk = ok;
        return checks;
    }

    FakeSerialTree tree;
};

TEST_F(PortDoctorTest, AHealthyDeviceGetsAnOkForEveryCheck) {
    bool allOk = false;
    const std::vector<DoctorCheck> checks = Examine(tree.Dev("ttyACM0"), 3, &allOk);
    EXPECT_TRUE(allOk);
    ASSERT_EQ(checks.size(), 5u);
    for (const DoctorCheck& check : checks) EXPECT_TRUE(check.ok) << check.text;
    EXPECT_EQ(checks[0].text,
              tree.Dev("ttyACM0") + " (COM3) is there: Arduino Uno, 2341:0043, driver cdc_acm");
    EXPECT_EQ(checks[3].text, "ModemManager is not running");
    EXPECT_EQ(checks[4].text, "brltty is not installed");
}

TEST_F(PortDoctorTest, EachProblemComesWithTheCommandThatMendsIt) {
    tree.Process("4242", "minicom", tree.Dev("ttyUSB0"));
    tree.Process("812", "ModemManager", "");
    tree.Program("/usr/bin/brltty");
    bool allOk = true;
    const std::vector<DoctorCheck> checks = Examine(tree.Dev("ttyUSB0"), std::nullopt, &allOk);
    EXPECT_FALSE(allOk);
    ASSERT_EQ(checks.size(), 5u);
    EXPECT_EQ(checks[2], (DoctorCheck{false, tree.Dev("ttyUSB0") + " is held by minicom (process 4242)",
                                      "close it, or: kill 4242"}));
    EXPECT_FALSE(checks[3].ok);
    EXPECT_EQ(checks[3].text, "ModemManager is running and probes " + tree.Dev("ttyUSB0") + " whenever it appears");
    EXPECT_EQ(checks[3].fix,
              "sudo systemctl disable --now ModemManager, or keep it off this adapter: echo "
              "'ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"' | "
              "sudo tee /etc/udev/rules.d/99-veltrix.rules");
    EXPECT_EQ(checks[4], (DoctorCheck{false,
                                      "brltty is installed and takes CH340 and CP210x adapters such as this one for "
                                      "braille displays",
                                      "sudo apt remove brltty"}));

    // An adapter brltty does not want, and one ModemManager was told to leave.
    tree.Udev("166:0", {"ID_MM_DEVICE_IGNORE=1"});
    const std::vector<DoctorCheck> arduino = Examine(tree.Dev("ttyACM0"), std::nullopt);
    EXPECT_EQ(arduino[3], (DoctorCheck{true, "ModemManager leaves " + tree.Dev("ttyACM0") + " alone", ""}));
    EXPECT_EQ(arduino[4], (DoctorCheck{true, "brltty is installed but leaves this adapter alone", ""}));
}

TEST_F(PortDoctorTest, AMissingDeviceListsThosePresentAndEndsTheChecks) {
    bool allOk = true;
    const std::vector<DoctorCheck> checks = Examine(tree.Dev("ttyS1"), 2, &allOk);
    EXPECT_FALSE(allOk);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].text, tree.Dev("ttyS1") + " (COM2) does not exist; present: " + tree.Dev("ttyUSB0") +
                                  ", " + tree.Dev("ttyACM0"));
    // Mapped by the link that survives re-plugging.
    EXPECT_EQ(checks[0].fix, "export VELTRIX_COM2=" + tree.Dev("serial/by-id/usb-1a86_USB_Serial-if00-port0"));
    EXPECT_EQ(Examine(tree.Dev("ttyS1"), std::nullopt)[0].fix,
              "veltrixctl --device " + tree.Dev("serial/by-id/usb-1a86_USB_Serial-if00-port0") + " doctor");

    tree.Remove("/dev/ttyUSB0");
    tree.Remove("/dev/ttyACM0");
    EXPECT_EQ(Examine(tree.Dev("ttyS1"), 2)[0],
              (DoctorCheck{false, tree.Dev("ttyS1") + " (COM2) does not exist, and no serial device is present",
                           "plug the adapter in, then: veltrixctl ports"}));
}

}  // namespace
