// The controller link's own operations: finding the controller, switching
// rates, the checksum and the delay. The port is the real one over a fake
// device whose responder plays the controller.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "protocol/CControllerLink.h"
#include "serial/CWindowsSerialPort.h"
#include "support/FakeCommDevice.h"

namespace {

const std::vector<uint8_t> kProbe = {0xF8};

class ControllerLinkTest : public ::testing::Test {
  protected:
    ControllerLinkTest() {
        auto owned = std::make_unique<FakeCommDevice>();
        device = owned.get();
        link = std::make_unique<CControllerLink>(std::make_unique<CWindowsSerialPort>(
            std::move(owned), 1, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
        device->statesSet.clear();
    }

    // A controller that answers the probe only when the line runs at baud.
    void ControllerAt(uint32_t baud, std::vector<uint8_t> reply) {
        device->responder = [baud, reply](FakeCommDevice& d, const std::vector<uint8_t>& bytes) {
            if (bytes == kProbe && d.state.baud == baud) d.ArriveAfter(20, reply);
        };
    }

    std::vector<uint32_t> RatesSet() const {
        std::vector<uint32_t> rates;
        for (const CommState& s : device->statesSet) rates.push_back(s.baud);
        return rates;
    }

    VirtualClock clock;
    ScopedClock scoped{clock};
    FakeCommDevice* device = nullptr;
    std::unique_ptr<CControllerLink> link;
};

TEST_F(ControllerLinkTest, ConnectFindsControllerOnlyAt38400) {
    ControllerAt(38400, {0x1C, 0x41, 0x07, 0x0A});
    ProbeInfo info;
    const uint32_t start = clock.TickMs();

    EXPECT_EQ(link->Connect(info), 1);

    EXPECT_EQ(RatesSet(), (std::vector<uint32_t>{9600, 19200, 38400}));
    EXPECT_EQ(device->writes, (std::vector<std::vector<uint8_t>>{kProbe, kProbe, kProbe}));
    EXPECT_EQ(link->BaudIndex(), 2);
    EXPECT_EQ(link->ControllerId(), 0x41);
    EXPECT_EQ(info.id, 0x41);
    EXPECT_EQ(info.extra, 0x07);
    // Two silent rates of 500 to 600 ms each, then the answering one.
    const uint32_t took = clock.TickMs() - start;
    EXPECT_GE(took, 1500u);
    EXPECT_LE(took, 1800u);
}

TEST_F(ControllerLinkTest, ConnectRecognisesReplyAfterGarbage) {
    ControllerAt(9600, {0x00, 0xFF, 0x1C, 0x0A, 0x55, 0x1C, 0x42, 0x30, 0x0A});
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 1);
    EXPECT_EQ(info.id, 0x42);
    EXPECT_EQ(info.extra, 0x30);
    EXPECT_EQ(link->BaudIndex(), 0);
    EXPECT_EQ(device->writes.size(), 1u);
}

TEST_F(ControllerLinkTest, ConnectRefusesReplyFollowedByAnotherByte) {
    // At 9600 the reply is followed by one more byte; at 19200 it ends the
    // input as it should.
    device->responder = [](FakeCommDevice& d, const std::vector<uint8_t>&) {
        if (d.state.baud == 9600) d.ArriveAfter(20, {0x1C, 0x41, 0x00, 0x0A, 0x0D});
        if (d.state.baud == 19200) d.ArriveAfter(20, {0x1C, 0x43, 0x00, 0x0A});
    };
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 1);
    EXPECT_EQ(RatesSet(), (std::vector<uint32_t>{9600, 19200}));
    EXPECT_EQ(link->BaudIndex(), 1);
    EXPECT_EQ(info.id, 0x43);
}

TEST_F(ControllerLinkTest, ConnectWithoutControllerKeepsBaudIndex) {
    ASSERT_EQ(link->SelectBaud(1), 1);
    device->statesSet.clear();
    ProbeInfo info{0x11, 0x22};
    const uint32_t start = clock.TickMs();

    EXPECT_EQ(link->Connect(info), 0);

    EXPECT_EQ(RatesSet(), (std::vector<uint32_t>{19200, 38400, 9600}));
    EXPECT_EQ(device->writes.size(), 3u);
    EXPECT_EQ(link->BaudIndex(), 1);
    EXPECT_EQ(link->ControllerId(), 0);
    EXPECT_EQ(info.id, 0x11);
    // The port stays at the last rate tried.
    EXPECT_EQ(device->state.baud, 9600u);
    const uint32_t took = clock.TickMs() - start;
    EXPECT_GE(took, 1500u);
    EXPECT_LE(took, 1800u);

    // The next attempt starts from the link's rate again.
    device->statesSet.clear();
    ControllerAt(19200, {0x1C, 0x41, 0x00, 0x0A});
    EXPECT_EQ(link->Connect(info), 1);
    EXPECT_EQ(RatesSet(), (std::vector<uint32_t>{19200}));
}

TEST_F(ControllerLinkTest, ConnectDiscardsWhatWaitedBeforeTheProbe) {
    device->Arrive({0x1C, 0x41, 0x00, 0x0A});
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 0);
    EXPECT_GE(device->purgeInputCalls, 1);
}

TEST_F(ControllerLinkTest, ConnectGivesUpAtOnceWhenTheProbeCannotBeSent) {
    device->writeLimit = 0;
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 0);
    EXPECT_EQ(RatesSet(), (std::vector<uint32_t>{9600}));
    EXPECT_EQ(device->readCalls, 0);
}

TEST_F(ControllerLinkTest, ConnectGivesUpAtOnceWhenTheDeviceWentAway) {
    device->failReads = true;
    device->gone = true;
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 0);
    EXPECT_EQ(device->writes.size(), 1u);
}

TEST_F(ControllerLinkTest, ConnectGivesUpWhenThePortRefusesARate) {
    device->failSetState = true;
    ProbeInfo info;
    EXPECT_EQ(link->Connect(info), 0);
    EXPECT_TRUE(device->writes.empty());
}

TEST_F(ControllerLinkTest, SelectBaudAtCurrentIndexTouchesNothing) {
    EXPECT_EQ(link->SelectBaud(0), 1);
    EXPECT_TRUE(device->statesSet.empty());

    EXPECT_EQ(link->SelectBaud(2), 1);
    EXPECT_EQ(link->BaudIndex(), 2);
    EXPECT_EQ(device->state.baud, 38400u);

    device->failSetState = true;
    EXPECT_EQ(link->SelectBaud(1), 0);
    EXPECT_EQ(link->BaudIndex(), 2);
    EXPECT_EQ(link->SelectBaud(3), 0);
    EXPECT_EQ(link->SelectBaud(-1), 0);
    EXPECT_EQ(link->BaudIndex(), 2);
}

TEST(ControllerLinkHelpers, Checksum16) {
    EXPECT_EQ(CControllerLink::Checksum16(nullptr, 0), 0);
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(CControllerLink::Checksum16(abc, 3), 0x0126);
    EXPECT_EQ(CControllerLink::Checksum16(abc, -1), 0);
    const std::vector<uint8_t> ones(300, 0xFF);
    EXPECT_EQ(CControllerLink::Checksum16(ones.data(), 300), 0x2AD4);
}

TEST(ControllerLinkHelpers, DelayWaitsOnTheClockAndDispatchesNothing) {
    VirtualClock clock;
    ScopedClock scoped(clock);
    int pumps = 0;
    SetEventPumpHook([&pumps] { ++pumps; });
    CControllerLink::DelayMs(100);
    EXPECT_EQ(clock.TickMs(), 1100u);
    CControllerLink::DelayMs(0);
    EXPECT_EQ(clock.TickMs(), 1100u);
    SetEventPumpHook(nullptr);
    EXPECT_EQ(pumps, 0);
}

TEST(ControllerLinkHelpers, ClearBufferZeroesOnlyTheFirstBytes) {
    uint8_t buffer[6] = {1, 2, 3, 4, 5, 6};
    CControllerLink::ClearBuffer(buffer, 0);
    CControllerLink::ClearBuffer(buffer, -4);
    EXPECT_EQ(buffer[0], 1);
    CControllerLink::ClearBuffer(buffer, 4);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 6), (std::vector<uint8_t>{0, 0, 0, 0, 5, 6}));
}

}  // namespace
