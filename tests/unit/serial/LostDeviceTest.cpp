// A port whose device goes away: closed at once, opened again by the next
// operation that needs it, with the line as it was last set.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/Clock.h"
#include "serial/CWindowsSerialPort.h"
#include "support/FakeCommDevice.h"

namespace {

class LostDeviceTest : public ::testing::Test {
  protected:
    LostDeviceTest() {
        device->state = CommState{19200, 0, 7, 0, true, true, false};
        port = std::make_unique<CWindowsSerialPort>(std::move(owned), 1, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    }

    // The device fails every call the way an unplugged adapter does.
    void Unplug() {
        device->gone = true;
        device->failReads = device->failWrites = device->failPurge = device->failSetState = true;
    }
    void PlugBackIn() {
        device->gone = false;
        device->failReads = device->failWrites = device->failPurge = device->failSetState = false;
    }

    VirtualClock clock;
    ScopedClock scoped{clock};
    std::unique_ptr<FakeCommDevice> owned = std::make_unique<FakeCommDevice>();
    FakeCommDevice* device = owned.get();
    std::unique_ptr<CWindowsSerialPort> port;
    uint8_t buffer[8] = {};
};

TEST_F(LostDeviceTest, EveryOperationThatMeetsTheLossClosesTheDevice) {
    struct Case {
        const char* name;
        std::function<int(CWindowsSerialPort&, uint8_t*)> operation;
    };
    const Case cases[] = {
        {"read", [](CWindowsSerialPort& p, uint8_t* b) { return p.ReadWithTimeout(b, 4, 500); }},
        {"write", [](CWindowsSerialPort& p, uint8_t* b) { return p.WriteWithTimeout(b, 4, 0); }},
        {"flush", [](CWindowsSerialPort& p, uint8_t*) { return p.FlushInput(); }},
        {"rate", [](CWindowsSerialPort& p, uint8_t*) { return p.SetLineParameters(19200, -1, -1, -1); }},
        {"byte", [](CWindowsSerialPort& p, uint8_t*) { return p.ReadByte(); }},
    };
    int losses = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlugBackIn();
        ASSERT_EQ(port->FlushOutput(), 0);  // open again after the case before
        ASSERT_FALSE(port->DeviceLost());
        const int closes = device->closeCalls;
        const uint32_t start = clock.TickMs();
        Unplug();
        EXPECT_LT(c.operation(*port, buffer), 0);
        // At once: a lost device is not waited on.
        EXPECT_EQ(clock.TickMs(), start);
        EXPECT_TRUE(port->DeviceLost());
        EXPECT_EQ(port->DeviceLossCount(), ++losses);
        EXPECT_EQ(device->closeCalls, closes + 1);
        EXPECT_FALSE(device->open);
        // The port itself stays sound.
        EXPECT_EQ(port->Status(), 0);
    }
}

TEST_F(LostDeviceTest, TheNextOperationOpensItOnceAndPutsTheLineBack) {
    ASSERT_EQ(port->SetLineParameters(38400, -1, -1, -1), 0);
    Unplug();
    EXPECT_EQ(port->ReadBlock(buffer, 4), kSerialGeneralError);

    // Still unplugged: one open attempt per operation, its error returned.
    device->failOpen = true;
    device->openError = kCommErrBadId;
    const int opens = device->openCalls;
    EXPECT_EQ(port->FlushInput(), kSerialPortNotFound);
    EXPECT_EQ(device->openCalls, opens + 1);
    // A rate chosen meanwhile is what the device gets when it is back.
    EXPECT_EQ(port->SetLineParameters(19200, -1, -1, -1), kSerialPortNotFound);
    EXPECT_EQ(device->openCalls, opens + 2);
    EXPECT_TRUE(port->DeviceLost());

    // Plugged back in: the next exchange works on the device as it was set.
    PlugBackIn();
    device->failOpen = false;
    device->state = CommState{};  // a fresh device comes up at its defaults
    device->timeoutsSet = false;
    device->modemLines.clear();
    device->responder = [](FakeCommDevice& d, const std::vector<uint8_t>&) { d.Arrive({0x1C, 'A', 'x', 0x0A}); };
    const uint8_t probe = 0xF8;
    EXPECT_EQ(port->WriteWithTimeout(&probe, 1, 50), 0);
    EXPECT_EQ(port->ReadWithTimeout(buffer, 4, 500), 0);
    EXPECT_FALSE(port->DeviceLost());
    EXPECT_EQ(port->DeviceLossCount(), 1);
    EXPECT_EQ(device->openCalls, opens + 3);
    EXPECT_EQ(device->state, (CommState{19200, 2, 8, 2, false, false, true}));
    EXPECT_EQ(device->timeouts, (CommTimeouts{95, 200}));
    EXPECT_EQ(device->modemLines, (std::vector<std::pair<ModemLine, bool>>{{ModemLine::Rts, false},
                                                                           {ModemLine::Dtr, false}}));
    // What was found at the first open stays what was found.
    EXPECT_EQ(port->SavedSettings().baud, 19200);
    EXPECT_EQ(port->SavedSettings().wordLength, 7);
    EXPECT_EQ(port->SavedDeviceState(), (CommState{19200, 0, 7, 0, true, true, false}));
}

TEST_F(LostDeviceTest, AFailureThatIsNotALossLeavesTheDeviceOpen) {
    device->failReads = true;  // an error, but the device is there
    EXPECT_EQ(port->ReadBlock(buffer, 4), kSerialTimeout);
    device->failPurge = true;
    EXPECT_EQ(port->FlushInput(), kSerialGeneralError);
    EXPECT_FALSE(port->DeviceLost());
    EXPECT_EQ(device->closeCalls, 0);
    EXPECT_EQ(device->openCalls, 1);
}

}  // namespace
