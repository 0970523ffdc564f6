// The base class: timed transfers, settings, error names and the debug
// report, over a port whose block transfers are scripted step by step.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"
#include "serial/RS232.h"

namespace {

// One scripted block transfer: what it returns, how many bytes it moves and
// how long it takes.
struct Step {
    int result;
    int bytes;
    uint32_t ms = 0;
};

class ScriptedPort : public RS232 {
  public:
    std::deque<Step> reads;
    std::deque<Step> writes;
    std::vector<uint8_t> written;
    std::vector<int> readSizes;
    std::vector<int> writeSizes;
    uint8_t nextByte = 'a';

    void SetStatus(int status) { m_status = status; }
    void SetFields(int index, uint32_t count, int32_t elapsed) {
        m_portIndex = index;
        m_byteCount = count;
        m_elapsedMs = elapsed;
    }
    SerialSettings& Saved() { return m_saved; }
    SerialSettings& Current() { return m_current; }

    int ReadBlock(uint8_t* buffer, int count) override {
        readSizes.push_back(count);
        Step step = reads.empty() ? Step{kSerialTimeout, 0, 95} : reads.front();
        if (!reads.empty()) reads.pop_front();
        const int moved = std::min(step.bytes, count);
        for (int i = 0; i < moved; ++i) buffer[i] = nextByte++;
        m_byteCount = static_cast<uint32_t>(moved);
        GetClock().SleepMs(step.ms);
        return step.result;
    }
    int WriteBlock(const uint8_t* buffer, int count) override {
        writeSizes.push_back(count);
        Step step = writes.empty() ? Step{0, count, 1} : writes.front();
        if (!writes.empty()) writes.pop_front();
        const int moved = std::min(step.bytes, count);
        written.insert(written.end(), buffer, buffer + moved);
        m_byteCount = static_cast<uint32_t>(moved);
        GetClock().SleepMs(step.ms);
        return step.result;
    }
    int ReadByte() override { return kSerialNotSupported; }
    int WriteByte(int) override { return kSerialNotSupported; }
    int SetLineParameters(long, int, int, int) override { return 0; }
    int ParityErrorSeen(int) override { return 0; }
    int BreakSeen(int) override { return 0; }
    int FramingErrorSeen(int) override { return 0; }
    int OverrunSeen(int) override { return 0; }
};

class RS232Test : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEventPumpHook([this] { ++pumps; });
    }
    void TearDown() override { SetEventPumpHook(nullptr); }

    std::string Written() const { return std::string(port.written.begin(), port.written.end()); }

    VirtualClock clock;
    ScopedClock scoped{clock};
    ScriptedPort port;
    int pumps = 0;
};

TEST_F(RS232Test, WriteOfTextSendsSecondTextAfterItAndCountsBoth) {
    const int result = port.WriteWithTimeout("AB\x1b", 500, "CD\r");

    EXPECT_EQ(result, 0);
    EXPECT_EQ(Written(),
              "AB\x1b"
              "CD\r");
    EXPECT_EQ(port.writeSizes, (std::vector<int>{3, 3}));
    EXPECT_EQ(port.ByteCount(), 6u);
    EXPECT_EQ(port.ElapsedMs(), 2);
    EXPECT_EQ(pumps, 1);
}

TEST_F(RS232Test, WriteKeepsGoingAfterShortBlocksUntilAllWent) {
    port.writes = {{kSerialTimeout, 2, 200}, {kSerialTimeout, 1, 200}, {0, 3, 10}};
    EXPECT_EQ(port.WriteWithTimeout("abcdef", -1), 0);
    EXPECT_EQ(Written(), "abcdef");
    EXPECT_EQ(port.writeSizes, (std::vector<int>{6, 4, 3}));
    EXPECT_EQ(port.ByteCount(), 6u);
    EXPECT_EQ(port.ElapsedMs(), 410);
    EXPECT_EQ(pumps, 3);
}

TEST_F(RS232Test, WriteWithTimeoutZeroMakesOneAttempt) {
    port.writes = {{kSerialTimeout, 2, 200}};
    EXPECT_EQ(port.WriteWithTimeout("abcdef", 0), kSerialTimeout);
    EXPECT_EQ(port.writeSizes.size(), 1u);
    EXPECT_EQ(port.ByteCount(), 2u);
}

TEST_F(RS232Test, WriteStopsWhenTimeoutReachedWithBytesLeft) {
    for (int i = 0; i < 10; ++i) port.writes.push_back({kSerialTimeout, 1, 30});
    EXPECT_EQ(port.WriteWithTimeout("abcdefghij", 100), kSerialTimeout);
    // Blocks end at 30, 60, 90 and 120 ms; the time-out is tested between them.
    EXPECT_EQ(port.ByteCount(), 4u);
    EXPECT_EQ(port.ElapsedMs(), 120);
}

TEST_F(RS232Test, WriteReturnsBlockFailureWithBytesMovedSoFar) {
    port.writes = {{kSerialTimeout, 2, 5}, {kSerialGeneralError, 1, 5}};
    EXPECT_EQ(port.WriteWithTimeout("abcdef", -1), kSerialGeneralError);
    EXPECT_EQ(port.ByteCount(), 3u);
    EXPECT_EQ(port.writeSizes.size(), 2u);
}

TEST_F(RS232Test, FailedPortTransfersReturnStatusAndTouchNothing) {
    port.SetFields(0, 17, 99);
    port.SetStatus(kSerialPortNotFound);
    uint8_t buffer[8];
    EXPECT_EQ(port.WriteWithTimeout("abc", -1), kSerialPortNotFound);
    EXPECT_EQ(port.ByteCount(), 0u);
    EXPECT_EQ(port.ElapsedMs(), 0);
    port.SetFields(0, 17, 99);
    EXPECT_EQ(port.ReadWithTimeout(buffer, 8, -1), kSerialPortNotFound);
    EXPECT_EQ(port.ByteCount(), 0u);
    EXPECT_EQ(port.ElapsedMs(), 0);
    EXPECT_TRUE(port.writeSizes.empty());
    EXPECT_TRUE(port.readSizes.empty());
}

TEST_F(RS232Test, ReadWithTimeoutZeroMakesExactlyOneBlockRead) {
    port.reads = {{kSerialTimeout, 3, 95}, {0, 10, 0}};
    uint8_t buffer[10] = {};
    EXPECT_EQ(port.ReadWithTimeout(buffer, 10, 0), kSerialTimeout);
    EXPECT_EQ(port.readSizes, (std::vector<int>{10}));
    EXPECT_EQ(port.ByteCount(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");
    EXPECT_EQ(port.ElapsedMs(), 95);
}

TEST_F(RS232Test, ReadWithoutTimeoutCollectsPartialBlocksInOrder) {
    port.reads = {
        {kSerialTimeout, 2, 95}, {kSerialTimeout, 0, 95}, {kSerialTimeout, 3, 95}, {0, 2, 10}};
    uint8_t buffer[8] = {};
    EXPECT_EQ(port.ReadWithTimeout(buffer, 7, -1), 0);
    EXPECT_EQ(port.readSizes, (std::vector<int>{7, 5, 5, 2}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), "abcdefg");
    EXPECT_EQ(buffer[7], 0);
    EXPECT_EQ(port.ByteCount(), 7u);
    EXPECT_EQ(port.ElapsedMs(), 295);
    // One pump between block reads, and one after the last.
    EXPECT_EQ(pumps, 4);
}

TEST_F(RS232Test, ReadWithoutTimeoutStopsAtAFailureOtherThanTimeout) {
    port.reads = {{kSerialTimeout, 2, 95}, {kSerialGeneralError, 1, 0}, {0, 10, 0}};
    uint8_t buffer[10];
    EXPECT_EQ(port.ReadWithTimeout(buffer, 10, -1), kSerialGeneralError);
    EXPECT_EQ(port.readSizes.size(), 2u);
    EXPECT_EQ(port.ByteCount(), 3u);
}

TEST_F(RS232Test, ReadTimeoutIsTestedOnlyBetweenBlockReads) {
    uint8_t buffer[16];
    EXPECT_EQ(port.ReadWithTimeout(buffer, 16, 500), kSerialTimeout);
    // Blocks of 95 ms: the sixth ends at 570 ms, the first moment past 500.
    EXPECT_EQ(port.readSizes.size(), 6u);
    EXPECT_EQ(port.ElapsedMs(), 570);
    EXPECT_EQ(port.ByteCount(), 0u);
}

TEST_F(RS232Test, ApplySettingsKeepsWhatIsMinusOne) {
    port.Current() = SerialSettings{19200, 'O', 7, 2, 1, 0, 1};
    port.ApplySettings(-1, -1, -1, -1, -1, -1, -1, -1, -1);
    const SerialSettings& s = port.CurrentSettings();
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.parity, 'O');
    EXPECT_EQ(s.wordLength, 7);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.dtr, 1);
    EXPECT_EQ(s.rts, 0);
    EXPECT_EQ(s.xonXoff, 1);

    port.ApplySettings(9600, 'e', 8, 0, 0, 1, 0, 1, 1);
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, 'E');
    EXPECT_EQ(s.wordLength, 8);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.dtr, 0);
    EXPECT_EQ(s.rts, 1);
    EXPECT_EQ(s.xonXoff, 0);
}

TEST_F(RS232Test, BaseErrorNames) {
    EXPECT_STREQ(port.ErrorName(0), "Success");
    EXPECT_STREQ(port.ErrorName(-98), "Timeout");
    EXPECT_STREQ(port.ErrorName(-86), "XON/XOFF handshaking not supported");
    EXPECT_STREQ(port.ErrorName(-194), "Memory allocation error");
    EXPECT_STREQ(port.ErrorName(-196), "Port in use");
    EXPECT_STREQ(port.ErrorName(-199), "???");
    EXPECT_STREQ(port.ErrorName(-190), "???");
    EXPECT_STREQ(port.ErrorName(5), "???");
    EXPECT_STREQ(port.ErrorName(-85), "???");
}

TEST_F(RS232Test, DebugReportLines) {
    port.SetFields(2, 42, 1234);
    port.Saved() = SerialSettings{19200, 'N', 8, 0, -1, -1, 1};
    port.Current() = SerialSettings{9600, 'E', 8, 1, 0, 0, 0};
    char line[128];

    EXPECT_EQ(port.FormatDebugLine(nullptr, 0), 4);
    ASSERT_EQ(port.FormatDebugLine(line, 0), 0);
    EXPECT_EQ(std::string(line),
              "Base class: RS232  COM3   Status: Success" + std::string(35 - 7, ' '));
    ASSERT_EQ(port.FormatDebugLine(line, 1), 0);
    EXPECT_EQ(std::string(line), "Byte count:    42  Elapsed time:      1234  ");
    ASSERT_EQ(port.FormatDebugLine(line, 2), 0);
    EXPECT_EQ(std::string(line),
              "Saved port:  19200,N, 8, 0  DTR,RTS: -1,-1  XON/OFF,RTS/CTS,DTR/DSR:  1");
    ASSERT_EQ(port.FormatDebugLine(line, 3), 0);
    EXPECT_EQ(std::string(line),
              "Current port:   9600,E,8,1  DTR,RTS:  0, 0  XON/OFF,RTS/CTS,DTR/DSR:  0");

    std::strcpy(line, "untouched");
    EXPECT_EQ(port.FormatDebugLine(line, 4), kSerialIllegalLine);
    EXPECT_EQ(port.FormatDebugLine(line, -1), kSerialIllegalLine);
    EXPECT_STREQ(line, "untouched");
}

TEST_F(RS232Test, BaseFlushReadsThirtyTwoByteBlocksUntilNothingMoves) {
    port.reads = {{0, 32, 0}, {kSerialTimeout, 8, 95}, {kSerialTimeout, 0, 95}};
    EXPECT_EQ(port.FlushInput(), 0);
    EXPECT_EQ(port.readSizes, (std::vector<int>{32, 32, 32}));

    port.SetStatus(kSerialPortInUse);
    port.readSizes.clear();
    EXPECT_EQ(port.FlushInput(), kSerialPortInUse);
    EXPECT_TRUE(port.readSizes.empty());
}

TEST_F(RS232Test, BaseAnswersOptionalOperationsWithNotSupported) {
    EXPECT_EQ(port.SendBreak(10), kSerialNotSupported);
    EXPECT_EQ(port.InputOverflowSeen(1), kSerialNotSupported);
    EXPECT_EQ(port.XonXoff(1), kSerialNotSupported);
    EXPECT_EQ(port.Reserved1(0), kSerialNotSupported);
    EXPECT_EQ(port.Reserved2(0), kSerialNotSupported);
    EXPECT_EQ(port.Reserved3(0, 0), kSerialNotSupported);
    EXPECT_EQ(port.Reserved4(), kSerialNotSupported);
    EXPECT_EQ(port.Reserved5(), kSerialNotSupported);
    EXPECT_EQ(port.FlushOutput(), kSerialNotSupported);
    EXPECT_EQ(port.Idle(), 0);
    EXPECT_EQ(pumps, 1);
}

}  // namespace
