// The parallel controller search over fake devices, on the real clock (each
// worker has its own device; nothing is shared but the search's records).
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "command/ControllerSearch.h"
#include "support/FakeCommDevice.h"

namespace {

// Answers the probe with controller B at the rate given, and the
// diagnostics request with part number 70000, date code 1102, firmware 2.3
// and two 16-channel boards on each bar.
void Controller(FakeCommDevice& device, uint32_t baud) {
    device.responder = [baud](FakeCommDevice& d, const std::vector<uint8_t>& bytes) {
        if (d.state.baud != baud) return;
        if (bytes == std::vector<uint8_t>{0xF8}) d.Arrive({0x1C, 'B', 'x', 0x0A});
        if (bytes.size() == 4 && bytes[2] == 'H')
            d.Arrive({0x1C, 'B', 'I', 0x00, 0x01, 0x11, 0x70, 0x04, 0x4E, 0x23, 0x40, 0x40, 0xC0, 0xC0, 0x0A});
    };
}

using Devices = std::map<std::string, std::function<void(FakeCommDevice&)>>;

ControllerSearch::DeviceMaker Make(const Devices& devices) {
    return [devices](const std::string& path) {
        auto device = std::make_unique<FakeCommDevice>();
        devices.at(path)(*device);
        return device;
    };
}

TEST(ControllerSearchTest, EachDeviceGetsItsOwnOutcome) {
    const Devices devices = {
        {"fast", [](FakeCommDevice& d) { Controller(d, 9600); }},
        {"slow", [](FakeCommDevice& d) { Controller(d, 38400); }},
        {"silent", [](FakeCommDevice&) {}},
        {"held", [](FakeCommDevice& d) {
             d.failOpen = true;
             d.openError = kCommErrHardwareInUse;
         }},
    };
    ControllerSearch search({"fast", "slow", "silent", "held"}, Make(devices));
    ASSERT_TRUE(search.Wait(20000));
    const std::vector<DeviceProbe> probes = search.Snapshot();
    ASSERT_EQ(probes.size(), 4u);

    for (int i : {0, 1}) {
        SCOPED_TRACE(probes[i].path);
        ASSERT_EQ(probes[i].state, DeviceProbe::State::Found);
        const FoundController& found = *probes[i].controller;
        EXPECT_EQ(found.id, 'B');
        EXPECT_TRUE(found.diagnosticsRead);
        EXPECT_EQ(DescribeFoundController(found).substr(1),
                  std::string(" at ") + (i == 0 ? "9600" : "38400") +
                      " baud, part number 70000, date code 1102, firmware 2.3, Operational");
        EXPECT_EQ(probes[i].baud, found.baud);
    }
    EXPECT_EQ(probes[2].state, DeviceProbe::State::NoAnswer);
    EXPECT_FALSE(probes[2].controller);
    EXPECT_EQ(probes[3].state, DeviceProbe::State::OpenFailed);
    EXPECT_EQ(probes[3].error, "Port in use");
}

TEST(ControllerSearchTest, CancelEndsEveryProbeAtItsNextWait) {
    const Devices silent = {{"a", [](FakeCommDevice&) {}}, {"b", [](FakeCommDevice&) {}},
                            {"c", [](FakeCommDevice&) {}}};
    ControllerSearch search({"a", "b", "c"}, Make(silent));
    EXPECT_FALSE(search.Wait(150));  // three silent rates take far longer
    const auto start = std::chrono::steady_clock::now();
    search.Cancel();
    ASSERT_TRUE(search.Wait(2000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    for (const DeviceProbe& probe : search.Snapshot()) EXPECT_EQ(probe.state, DeviceProbe::State::Cancelled);
}

}  // namespace
