// CWindowsSerialPort over the termios backend on a real pseudo-terminal:
// the test holds the master side and reads the slave's settings.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "protocol/CControllerLink.h"
#include "serial/CWindowsSerialPort.h"
#include "serial/PortDevicePath.h"

namespace {

// COM7 is pointed at the pseudo-terminal.
constexpr int kPortIndex = 6;

class TermiosPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        slaveName = name;
        setenv(ComPortEnvironmentName(kPortIndex).c_str(), name, 1);
        ASSERT_EQ(tcgetattr(slave, &original), 0);
    }
    void TearDown() override {
        unsetenv(ComPortEnvironmentName(kPortIndex).c_str());
        if (master >= 0) close(master);
        close(slave);
    }

    std::unique_ptr<CWindowsSerialPort> OpenPort() {
        return std::make_unique<CWindowsSerialPort>(kPortIndex, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    }

    termios SlaveTermios() const {
        termios t{};
        tcgetattr(slave, &t);
        return t;
    }

    void FromController(const std::string& bytes) {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        // Wait until the bytes are readable on the port's side.
        pollfd p{slave, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 1000), 1);
    }

    std::string ToController(size_t count) {
        std::string bytes;
        char buffer[64];
        while (bytes.size() < count) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 1000) != 1) break;
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<size_t>(n));
        }
        return bytes;
    }

    int master = -1;
    int slave = -1;
    std::string slaveName;
    termios original{};
};

TEST_F(TermiosPortTest, OpensTheLineAtNineThousandSixHundredWithTwoStopBits) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0) << port->ErrorName(port->Status());

    const termios t = SlaveTermios();
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(cfgetispeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL));
}

TEST_F(TermiosPortTest, SettingsAreAppliedAgainThoughThePtyDropsParity) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    // The same line again: the pseudo-terminal refuses it for the parity bit
    // alone, which the port must not take for a failure.
    EXPECT_EQ(port->SetLineParameters(-1, -1, -1, -1), 0);
    EXPECT_EQ(port->SetLineParameters(9600, 'E', 8, 1), 0);
}

TEST_F(TermiosPortTest, SetLineParametersChangesAcceptedRatesOnly) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    EXPECT_EQ(port->SetLineParameters(38400, -1, -1, -1), 0);
    EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(SlaveTermios())), B38400);
    EXPECT_EQ(port->SetLineParameters(57600, -1, -1, -1), 0);
    EXPECT_EQ(cfgetospeed(&static_cast<const termios&>(SlaveTermios())), B38400);
    EXPECT_EQ(port->SetLineParameters(19200, -1, -1, 0), 0);
    const termios t = SlaveTermios();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST_F(TermiosPortTest, ShortReadEndsAfterTheBlockTimeWithWhatArrived) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    FromController(
        "\x1c"
        "A\x07");

    uint8_t buffer[10] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->ReadWithTimeout(buffer, 10, 0), kSerialTimeout);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(port->ByteCount(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3),
              "\x1c"
              "A\x07");
    EXPECT_GE(took, std::chrono::milliseconds(90));
    EXPECT_LT(took, std::chrono::milliseconds(400));
}

TEST_F(TermiosPortTest, WrittenBytesReachTheOtherEnd) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    const uint8_t frame[] = {0x1B, 0x41, 0x48, 0x0D};
    EXPECT_EQ(port->WriteWithTimeout(frame, 4, 0), 0);
    EXPECT_EQ(port->ByteCount(), 4u);
    EXPECT_EQ(ToController(4),
              "\x1b"
              "AH\r");
}

TEST_F(TermiosPortTest, FlushInputEmptiesWhatIsQueued) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    FromController("stale reply\n");
    EXPECT_EQ(port->FlushInput(), 0);
    uint8_t buffer[16];
    EXPECT_EQ(port->ReadWithTimeout(buffer, 16, 0), kSerialTimeout);
    EXPECT_EQ(port->ByteCount(), 0u);
}

TEST_F(TermiosPortTest, MissingDeviceIsPortNotFound) {
    setenv(ComPortEnvironmentName(kPortIndex).c_str(), "/dev/veltrix-no-such-port", 1);
    auto port = OpenPort();
    EXPECT_LT(port->Status(), 0);
    EXPECT_EQ(port->Status(), kSerialPortNotFound);
    EXPECT_STREQ(port->ErrorName(port->Status()), "Port not found");
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(TermiosPortTest, SecondOpenIsPortInUseUntilTheFirstCloses) {
    auto first = OpenPort();
    ASSERT_EQ(first->Status(), 0);
    auto second = OpenPort();
    EXPECT_EQ(second->Status(), kSerialPortInUse);
    EXPECT_STREQ(second->ErrorName(second->Status()), "Port in use");
    second.reset();
    // The refused open must not have released the first port's hold.
    auto third = OpenPort();
    EXPECT_EQ(third->Status(), kSerialPortInUse);
    third.reset();

    first.reset();
    auto again = OpenPort();
    EXPECT_EQ(again->Status(), 0);
}

TEST_F(TermiosPortTest, ClosingRestoresTheLineAsFound) {
    ASSERT_TRUE(original.c_lflag & ICANON);
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    ASSERT_FALSE(SlaveTermios().c_lflag & ICANON);
    port.reset();
    const termios t = SlaveTermios();
    EXPECT_TRUE(t.c_lflag & ICANON);
    EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&original));
}

TEST_F(TermiosPortTest, HandshakingLeftByAnotherProgramIsOffWhileOpenAndBackAfterClose) {
    termios left = original;
    left.c_cflag |= CRTSCTS | HUPCL;
    left.c_iflag |= IXON | IXOFF | IXANY;
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &left), 0);
    const termios before = SlaveTermios();
    ASSERT_TRUE(before.c_cflag & CRTSCTS) << "this pseudo-terminal does not keep CRTSCTS";

    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    const termios open = SlaveTermios();
    EXPECT_FALSE(open.c_cflag & CRTSCTS);
    EXPECT_FALSE(open.c_cflag & HUPCL);
    EXPECT_FALSE(open.c_iflag & (IXON | IXOFF | IXANY));
    // Bytes go both ways although the other side never raised CTS.
    FromController("\x1c" "A" "A" "\n");
    uint8_t reply[4];
    EXPECT_EQ(port->ReadWithTimeout(reply, 4, 500), 0);
    const uint8_t probe = 0xF8;
    EXPECT_EQ(port->WriteWithTimeout(&probe, 1, 200), 0);
    EXPECT_EQ(ToController(1), std::string(1, '\xF8'));

    port.reset();
    const termios after = SlaveTermios();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST_F(TermiosPortTest, VanishedDeviceFailsTheReadAtOnce) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    close(master);
    master = -1;
    uint8_t buffer[4];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->ReadWithTimeout(buffer, 4, 3000), kSerialGeneralError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(TermiosPortTest, LinkFindsAControllerThatAnswersOnlyAt38400) {
    auto port = OpenPort();
    ASSERT_EQ(port->Status(), 0);
    CControllerLink link(std::move(port));

    // The controller side: answers each probe only while the line runs at
    // 38400 (the pseudo-terminal shows the port's speed on the slave).
    int probes = 0;
    std::thread controller([this, &probes] {
        while (probes < 3) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 3000) != 1) return;
            char byte = 0;
            if (read(master, &byte, 1) != 1) return;
            if (static_cast<uint8_t>(byte) != 0xF8) continue;
            ++probes;
            if (cfgetospeed(&static_cast<const termios&>(SlaveTermios())) == B38400) {
                const ssize_t n = write(master,
                                        "\x1c"
                                        "Q\x05\n",
                                        4);
                (void)n;
                return;
            }
        }
    });
    ProbeInfo info;
    const int found = link.Connect(info);
    controller.join();

    EXPECT_EQ(found, 1);
    EXPECT_EQ(probes, 3);
    EXPECT_EQ(link.BaudIndex(), 2);
    EXPECT_EQ(info.id, 'Q');
    EXPECT_EQ(info.extra, 0x05);
}

}  // namespace
