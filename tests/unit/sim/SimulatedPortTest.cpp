#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "serial/PortFactory.h"
#include "sim/SimulatedPort.h"

namespace {

class SimulatedPortTest : public ::testing::Test {
  protected:
    VirtualClock clock{5000};
    ScopedClock scope{clock};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    sim::SimulatedPort port{line, 0, 9600};
    uint8_t buffer[64] = {};
    const uint8_t probe = 0xF8;
};

TEST_F(SimulatedPortTest, ShortReadWaitsOneBlockTimeAndTimesOut) {
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    EXPECT_EQ(port.ReadBlock(buffer, 10), kSerialTimeout);
    EXPECT_EQ(port.ByteCount(), 4u);
    EXPECT_EQ(clock.TickMs(), 5000u + sim::SimulatedPort::kBlockReadMs);
    EXPECT_EQ(buffer[0], 0x1C);
    EXPECT_EQ(buffer[3], 0x0A);
    // A complete read costs no time.
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    EXPECT_EQ(port.ReadBlock(buffer, 4), 0);
    EXPECT_EQ(clock.TickMs(), 5000u + sim::SimulatedPort::kBlockReadMs);
}

TEST_F(SimulatedPortTest, ControllerAnswersOnlyAtItsRate) {
    line->Model().SetBaud(19200);
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    EXPECT_EQ(port.ReadBlock(buffer, 4), kSerialTimeout);
    EXPECT_EQ(port.ByteCount(), 0u);
    // A rate the device does not take leaves the line as it was.
    ASSERT_EQ(port.SetLineParameters(57600, -1, -1, -1), 0);
    EXPECT_EQ(port.LineSpeed(), 9600);
    ASSERT_EQ(port.SetLineParameters(19200, -1, -1, -1), 0);
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    EXPECT_EQ(port.ReadBlock(buffer, 4), 0);
    ASSERT_EQ(line->RequestLog().size(), 2u);
    EXPECT_EQ(line->RequestLog()[0].lineSpeed, 9600);
    EXPECT_FALSE(line->RequestLog()[0].answered);
    EXPECT_TRUE(line->RequestLog()[1].answered);
}

TEST_F(SimulatedPortTest, PacedRepliesArriveAtWireSpeed) {
    line->pace = true;
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    // One character out, four back, 12 bits each at 9600: 6.25 ms.
    EXPECT_EQ(port.ReadBlock(buffer, 4), 0);
    EXPECT_EQ(clock.TickMs(), 5007u);

    // A delayed reply is still on the wire when the input is flushed.
    line->Faults().delayMs = 300;
    ASSERT_EQ(port.WriteBlock(&probe, 1), 0);
    clock.Advance(100);
    EXPECT_EQ(port.FlushInput(), 0);
    EXPECT_EQ(port.Pending(), 4u);
    clock.Advance(300);
    EXPECT_EQ(port.FlushInput(), 0);
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(SimulatedPortTest, FailedOpenReturnsItsStatusEverywhere) {
    line->openStatus = kSerialPortNotFound;
    sim::SimulatedPort failed(line, 3, 9600);
    EXPECT_EQ(failed.Status(), kSerialPortNotFound);
    EXPECT_EQ(failed.WriteBlock(&probe, 1), kSerialPortNotFound);
    EXPECT_EQ(failed.ReadBlock(buffer, 1), kSerialPortNotFound);
    EXPECT_EQ(failed.SetLineParameters(9600, -1, -1, -1), kSerialPortNotFound);
    EXPECT_TRUE(line->RequestLog().empty());
}

TEST_F(SimulatedPortTest, PortFactoryHandsOutPortsOnTheSameController) {
    sim::ScopedSimulatedPorts ports(line);
    auto first = OpenPort(1, 9600);
    ASSERT_EQ(first->WriteBlock(&probe, 1), 0);
    first.reset();
    auto second = OpenPort(1, 9600);
    ASSERT_EQ(second->WriteBlock(&probe, 1), 0);
    EXPECT_EQ(second->PortIndex(), 1);
    EXPECT_EQ(line->RequestLog().size(), 2u);
    EXPECT_EQ(line->portsOpened, 3);  // the fixture's port too
}

}  // namespace
