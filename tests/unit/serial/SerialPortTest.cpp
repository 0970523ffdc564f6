// CWindowsSerialPort over a fake device: the open sequence, the mapping
// between settings and the device state, error translation and the
// device-backed operations.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "serial/CWindowsSerialPort.h"
#include "support/FakeCommDevice.h"

namespace {

class SerialPortTest : public ::testing::Test {
  protected:
    SerialPortTest() {
        // A line as another program might have left it.
        device->state = CommState{19200, 0, 7, 0, true, true, false};
    }

    // Opens with the controller link's settings unless told otherwise.
    std::unique_ptr<CWindowsSerialPort> Open(long baud = 9600, int parity = 'E', int wordLength = 8,
                                             int stopBits = 1) {
        return std::make_unique<CWindowsSerialPort>(std::move(owned), 4, baud, parity, wordLength,
                                                    stopBits, 0, 0, 0, 0, 0);
    }

    VirtualClock clock;
    ScopedClock scoped{clock};
    std::unique_ptr<FakeCommDevice> owned = std::make_unique<FakeCommDevice>();
    FakeCommDevice* device = owned.get();
};

TEST_F(SerialPortTest, OpenAppliesControllerLineAndKeepsWhatItFound) {
    auto port = Open();

    ASSERT_EQ(port->Status(), 0);
    EXPECT_EQ(port->PortIndex(), 4);
    EXPECT_EQ(device->state, (CommState{9600, 2, 8, 2, false, false, true}));
    EXPECT_EQ(device->statesSet.size(), 1u);
    // RTS first, then DTR, both dropped.
    EXPECT_EQ(device->modemLines, (std::vector<std::pair<ModemLine, bool>>{
                                      {ModemLine::Rts, false}, {ModemLine::Dtr, false}}));
    EXPECT_TRUE(device->timeoutsSet);
    EXPECT_EQ(device->timeouts, (CommTimeouts{95, 200}));

    const SerialSettings& saved = port->SavedSettings();
    EXPECT_EQ(saved.baud, 19200);
    EXPECT_EQ(saved.parity, 'N');
    EXPECT_EQ(saved.wordLength, 7);
    EXPECT_EQ(saved.stopBits, 0);
    EXPECT_EQ(saved.dtr, -1);
    EXPECT_EQ(saved.rts, -1);
    EXPECT_EQ(saved.xonXoff, 1);
    EXPECT_EQ(port->SavedDeviceState(), (CommState{19200, 0, 7, 0, true, true, false}));

    const SerialSettings& current = port->CurrentSettings();
    EXPECT_EQ(current.baud, 9600);
    EXPECT_EQ(current.parity, 'E');
    EXPECT_EQ(current.stopBits, 1);
    EXPECT_EQ(current.xonXoff, 0);
}

TEST_F(SerialPortTest, ReadDeviceStateMapsTheDeviceLine) {
    auto port = Open();
    device->state = CommState{9600, 2, 8, 0, false, false, true};
    ASSERT_EQ(port->ReadDeviceState(), 0);
    const SerialSettings& s = port->CurrentSettings();
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'E');
    EXPECT_EQ(s.wordLength, 8);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.dtr, -1);
    EXPECT_EQ(s.rts, -1);
    EXPECT_EQ(s.xonXoff, 0);

    device->state = CommState{0xFF10, 7, 6, 5, true, false, true};
    ASSERT_EQ(port->ReadDeviceState(), 0);
    EXPECT_EQ(s.baud, -1);
    EXPECT_EQ(s.parity, '?');
    EXPECT_EQ(s.wordLength, 6);
    EXPECT_EQ(s.stopBits, -1);
    EXPECT_EQ(s.xonXoff, 1);

    device->state.parity = 3;
    device->state.stopBits = 1;
    port->ReadDeviceState();
    EXPECT_EQ(s.parity, 'M');
    EXPECT_EQ(s.stopBits, 1);
}

TEST_F(SerialPortTest, OnlyAcceptedRatesReachTheDevice) {
    auto port = Open();
    EXPECT_EQ(port->SetLineParameters(38400, -1, -1, -1), 0);
    EXPECT_EQ(device->state.baud, 38400u);
    // 57600 is not one of them: the line keeps its rate and the call succeeds.
    EXPECT_EQ(port->SetLineParameters(57600, -1, -1, -1), 0);
    EXPECT_EQ(device->state.baud, 38400u);
    EXPECT_EQ(port->CurrentSettings().baud, 57600);
    EXPECT_EQ(port->SetLineParameters(19200, -1, -1, -1), 0);
    EXPECT_EQ(device->state.baud, 19200u);
    EXPECT_EQ(port->SetLineParameters(1200, -1, -1, -1), 0);
    EXPECT_EQ(device->state.baud, 1200u);
    EXPECT_EQ(port->SetLineParameters(115200, -1, -1, -1), 0);
    EXPECT_EQ(device->state.baud, 1200u);
}

TEST_F(SerialPortTest, StopBitSettingOneMeansTwoStopBits) {
    auto port = Open(9600, 'E', 8, 0);
    EXPECT_EQ(device->state.stopBits, 0);
    port->SetLineParameters(-1, -1, -1, 1);
    EXPECT_EQ(device->state.stopBits, 2);
    port->SetLineParameters(-1, -1, -1, 0);
    EXPECT_EQ(device->state.stopBits, 0);
    port->SetLineParameters(-1, -1, -1, 2);
    EXPECT_EQ(device->state.stopBits, 2);
    port->SetLineParameters(-1, -1, -1, 3);
    EXPECT_EQ(device->state.stopBits, 2);
}

TEST_F(SerialPortTest, UnknownParityAndWordLengthLeaveTheDeviceAsItWas) {
    auto port = Open();
    EXPECT_EQ(port->SetLineParameters(-1, 'o', 7, -1), 0);
    EXPECT_EQ(device->state.parity, 1);
    EXPECT_EQ(device->state.byteSize, 7);
    EXPECT_EQ(port->SetLineParameters(-1, 'x', 9, -1), 0);
    EXPECT_EQ(device->state.parity, 1);
    EXPECT_EQ(device->state.byteSize, 7);
    port->SetLineParameters(-1, 'S', 5, -1);
    EXPECT_EQ(device->state.parity, 4);
    EXPECT_EQ(device->state.byteSize, 5);
    port->SetLineParameters(-1, 'M', -1, -1);
    EXPECT_EQ(device->state.parity, 3);
    port->SetLineParameters(-1, 'N', -1, -1);
    EXPECT_EQ(device->state.parity, 0);
}

TEST_F(SerialPortTest, FailedOpenNamesTheCauseAndTouchesNothingLater) {
    device->failOpen = true;
    device->openError = kCommErrBadId;
    auto missing = Open();
    EXPECT_EQ(missing->Status(), kSerialPortNotFound);
    EXPECT_STREQ(missing->ErrorName(missing->Status()), "Port not found");
    EXPECT_FALSE(missing->IsOpen());

    uint8_t buffer[4];
    EXPECT_EQ(missing->ReadBlock(buffer, 4), kSerialPortNotFound);
    EXPECT_EQ(missing->WriteByte(1), kSerialPortNotFound);
    EXPECT_EQ(missing->SetLineParameters(19200, -1, -1, -1), kSerialPortNotFound);
    EXPECT_EQ(missing->InputOverflowSeen(0), kSerialPortNotFound);
    EXPECT_EQ(missing->SendBreak(10), kSerialPortNotFound);
    EXPECT_EQ(missing->FlushInput(), kSerialPortNotFound);
    EXPECT_EQ(missing->ReadWithTimeout(buffer, 4, 500), kSerialPortNotFound);
    EXPECT_EQ(missing->WriteWithTimeout("x", 500), kSerialPortNotFound);
    EXPECT_EQ(device->readCalls + device->writeCalls + device->purgeInputCalls, 0);
    EXPECT_TRUE(device->statesSet.empty());
    EXPECT_TRUE(device->breaks.empty());
    EXPECT_EQ(clock.TickMs(), 1000u);
}

TEST_F(SerialPortTest, RefusedDeviceStateFailsTheOpen) {
    device->failSetState = true;
    auto port = Open();
    EXPECT_EQ(port->Status(), kSerialGeneralError);
    uint8_t buffer[2];
    EXPECT_EQ(port->ReadBlock(buffer, 2), kSerialGeneralError);
    EXPECT_EQ(device->readCalls, 0);
}

TEST_F(SerialPortTest, UnreadableDeviceStateIsNotOverwritten) {
    device->failGetState = true;
    auto port = Open();
    EXPECT_EQ(port->Status(), kSerialGeneralError);
    EXPECT_TRUE(device->statesSet.empty());
}

TEST_F(SerialPortTest, TranslateCommErrorTable) {
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-1), -197);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-2), -191);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-3), -192);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-4), -194);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-5), -193);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-10), -196);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-11), -95);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-12), -97);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(-6), -200);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(0), -200);
    EXPECT_EQ(CWindowsSerialPort::TranslateCommError(2), -200);
}

TEST_F(SerialPortTest, PortErrorNames) {
    auto port = Open();
    EXPECT_STREQ(port->ErrorName(-190), "Handshake line in use");
    EXPECT_STREQ(port->ErrorName(-191), "Port already open");
    EXPECT_STREQ(port->ErrorName(-192), "Port not open");
    EXPECT_STREQ(port->ErrorName(-193), "Default parameters in error");
    EXPECT_STREQ(port->ErrorName(-150), "Undefined error");
    EXPECT_STREQ(port->ErrorName(-201), "Undefined error");
    EXPECT_STREQ(port->ErrorName(-85), "Undefined error");
    EXPECT_STREQ(port->ErrorName(-97), "Illegal baud rate");
    EXPECT_STREQ(port->ErrorName(-200), "General Error");
    EXPECT_STREQ(port->ErrorName(-199), "???");
    EXPECT_STREQ(port->ErrorName(0), "Success");
    EXPECT_STREQ(port->ErrorName(5), "???");
}

TEST_F(SerialPortTest, ShortReadCountsWhatArrived) {
    auto port = Open();
    device->Arrive({0x1C, 0x41, 0x49});
    uint8_t buffer[10] = {};
    EXPECT_EQ(port->ReadWithTimeout(buffer, 10, 0), kSerialTimeout);
    EXPECT_EQ(port->ByteCount(), 3u);
    EXPECT_EQ(buffer[2], 0x49);
    EXPECT_EQ(port->ElapsedMs(), 95);
    EXPECT_EQ(device->readCalls, 1);
}

TEST_F(SerialPortTest, VanishedDeviceFailsReadsInsteadOfTimingOut) {
    auto port = Open();
    device->failReads = true;
    uint8_t buffer[4];
    EXPECT_EQ(port->ReadBlock(buffer, 4), kSerialTimeout);

    device->gone = true;
    EXPECT_EQ(port->ReadBlock(buffer, 4), kSerialGeneralError);
    EXPECT_EQ(port->ReadWithTimeout(buffer, 4, -1), kSerialGeneralError);
    EXPECT_EQ(port->ReadByte(), kSerialGeneralError);
}

TEST_F(SerialPortTest, WritesReportShortAndFailedTransfers) {
    auto port = Open();
    const uint8_t frame[] = {0x1B, 0x41, 0x48, 0x0D};
    EXPECT_EQ(port->WriteBlock(frame, 4), 0);
    EXPECT_EQ(port->ByteCount(), 4u);

    device->writeLimit = 1;
    EXPECT_EQ(port->WriteBlock(frame, 4), kSerialTimeout);
    EXPECT_EQ(port->ByteCount(), 1u);

    device->failWrites = true;
    EXPECT_EQ(port->WriteBlock(frame, 4), kSerialGeneralError);
    EXPECT_EQ(port->ByteCount(), 0u);
    EXPECT_EQ(port->WriteByte(0x41), kSerialTimeout);
}

TEST_F(SerialPortTest, LineErrorQueriesReadAndClearTheirBit) {
    auto port = Open();
    device->lineErrors = kLineErrParity | kLineErrBreak;
    EXPECT_EQ(port->ParityErrorSeen(0), 1);
    EXPECT_EQ(port->ParityErrorSeen(-1), 1);
    EXPECT_EQ(port->ParityErrorSeen(1), 1);
    EXPECT_EQ(port->ParityErrorSeen(0), 0);
    EXPECT_EQ(port->BreakSeen(0), 1);
    EXPECT_EQ(port->FramingErrorSeen(0), 0);
    EXPECT_EQ(port->OverrunSeen(0), 0);

    // The overflow query replaces the flags with the device's report.
    device->lineErrors = kLineErrInputOverflow;
    EXPECT_EQ(port->InputOverflowSeen(1), 1);
    EXPECT_EQ(port->ErrorFlags(), 0u);
    EXPECT_EQ(port->BreakSeen(0), 0);
}

TEST_F(SerialPortTest, SendBreakHoldsTheBreakForTheTime) {
    auto port = Open();
    const uint32_t start = clock.TickMs();
    EXPECT_EQ(port->SendBreak(250), 0);
    EXPECT_EQ(device->breaks, (std::vector<bool>{true, false}));
    EXPECT_GE(clock.TickMs() - start, 250u);
    EXPECT_LT(clock.TickMs() - start, 260u);
}

TEST_F(SerialPortTest, XonXoffQueriesAndSwitchesFlowControl) {
    auto port = Open();
    const size_t writes = device->statesSet.size();
    EXPECT_EQ(port->XonXoff(-1), 0);
    EXPECT_EQ(device->statesSet.size(), writes);
    EXPECT_EQ(port->XonXoff(5), 1);
    EXPECT_TRUE(device->state.outXonXoff);
    EXPECT_TRUE(device->state.inXonXoff);
    EXPECT_EQ(port->XonXoff(0), 0);
    EXPECT_FALSE(device->state.outXonXoff);
}

TEST_F(SerialPortTest, FlushesPurgeTheDeviceQueues) {
    auto port = Open();
    device->Arrive({1, 2, 3});
    EXPECT_EQ(port->FlushInput(), 0);
    EXPECT_EQ(device->Pending(), 0u);
    EXPECT_EQ(device->readCalls, 0);
    EXPECT_EQ(port->FlushOutput(), 0);
    EXPECT_EQ(device->purgeOutputCalls, 1);

    device->failPurge = true;
    EXPECT_EQ(port->FlushInput(), kSerialGeneralError);
    EXPECT_EQ(port->FlushOutput(), kSerialGeneralError);
}

TEST_F(SerialPortTest, DestructionClosesTheDevice) {
    struct ObservedDevice : FakeCommDevice {
        explicit ObservedDevice(int* closes) : closes(closes) {}
        void Close() override {
            FakeCommDevice::Close();
            ++*closes;
        }
        int* closes;
    };
    int closes = 0;
    auto port = std::make_unique<CWindowsSerialPort>(std::make_unique<ObservedDevice>(&closes), 0,
                                                     9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(closes, 0);
    port.reset();
    EXPECT_EQ(closes, 1);
}

}  // namespace
