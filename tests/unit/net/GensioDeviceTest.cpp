// The device server backend against a server in this process: bytes and
// time-outs as the RS232 contract has them, and every way a connection can
// fail ending in a clear failure, never a hang or a killed process.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackServer.h"
#include "serial/CWindowsSerialPort.h"
#include "serial/DeviceForPath.h"
#include "serial/net/gensio/GensioDevice.h"
#include "support/posix/UnansweredPort.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string Url(const char* scheme, int port) {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port);
}

}  // namespace

TEST(GensioDeviceTest, RawTcpMovesBytesAndTimesOutLikeALine) {
    LoopbackServer server([](int socket) { LoopbackServer::Echo(socket, 2000); });
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(Url("tcp", server.Port()));
    ASSERT_TRUE(device->Open()) << device->FailureText();

    // The line is the server's: nothing to read back, nothing to refuse.
    CommState state;
    ASSERT_TRUE(device->GetState(state));
    EXPECT_EQ(state.baud, kCommRateUnknown);
    state.baud = 38400;
    EXPECT_TRUE(device->SetState(state));
    EXPECT_TRUE(device->SetModemLine(ModemLine::Dtr, false));
    EXPECT_TRUE(device->PurgeInput());

    const uint8_t request[] = {0xF8, 0x41, 0x53};
    int sent = 0;
    ASSERT_TRUE(device->Write(request, 3, sent));
    EXPECT_EQ(sent, 3);
    uint8_t reply[8] = {};
    int got = 0;
    ASSERT_TRUE(device->Read(reply, 3, got));
    ASSERT_EQ(got, 3);
    EXPECT_EQ(std::string(reply, reply + 3), std::string(request, request + 3));

    // Nothing more comes: a short read after the read time-out, not a failure.
    const auto start = Clock::now();
    ASSERT_TRUE(device->Read(reply, 8, got));
    EXPECT_EQ(got, 0);
    EXPECT_GE(MsSince(start), 90);
    EXPECT_LT(MsSince(start), 500);
    device->Close();
    EXPECT_FALSE(device->IsOpen());
}

// A server that goes away under us: reads and writes fail as a device that
// went away does, and writing into the closed connection does not kill the
// program with SIGPIPE (the desktop program does not ignore it).
TEST(GensioDeviceTest, ADroppedConnectionIsADeviceThatWentAway) {
    LoopbackServer server([](int socket) {
        char first[1];
        ::recv(socket, first, 1, 0);
    });
    const std::string url = Url("tcp", server.Port());
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(url);
    ASSERT_TRUE(device->Open()) << device->FailureText();
    uint8_t buffer[4] = {1, 2, 3, 4};
    int count = 0;
    bool failed = false;
    for (int i = 0; i < 50 && !failed; ++i) {
        failed = !device->Write(buffer, 4, count) || !device->Read(buffer, 4, count);
    }
    ASSERT_TRUE(failed);
    EXPECT_TRUE(device->Gone());
    EXPECT_EQ(device->FailureText(), "127.0.0.1:" + std::to_string(server.Port()) +
                                         " closed the connection");
    EXPECT_FALSE(device->Write(buffer, 4, count));
    EXPECT_TRUE(device->Gone());
}

// Writing while the closed connection has not been noticed yet: the socket
// answers with EPIPE, which must not raise SIGPIPE.
TEST(GensioDeviceTest, WritingIntoAConnectionClosedUnnoticedKillsNothing) {
    LoopbackServer server([](int) { std::this_thread::sleep_for(std::chrono::milliseconds(150)); });
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(Url("tcp", server.Port()));
    ASSERT_TRUE(device->Open()) << device->FailureText();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const uint8_t bytes[4] = {1, 2, 3, 4};
    int sent = 0;
    device->Write(bytes, 4, sent);  // taken by the socket; the peer answers with a reset
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(device->Write(bytes, 4, sent));
    EXPECT_TRUE(device->Gone());
}

TEST(GensioDeviceTest, AServerThatTurnsUsAwayIsQuoted) {
    LoopbackServer server([](int socket) { LoopbackServer::Send(socket, "Port already in use\r\n"); });
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(Url("tcp", server.Port()));
    EXPECT_FALSE(device->Open());
    EXPECT_EQ(device->LastError(), kCommErrHardwareInUse);
    EXPECT_EQ(device->FailureText(), "127.0.0.1:" + std::to_string(server.Port()) +
                                         " closed the connection: \"Port already in use\"");
}

TEST(GensioDeviceTest, AnRfc2217NameOnARawPortFailsInSeconds) {
    LoopbackServer server([](int socket) { LoopbackServer::ReadAll(socket, 10000); });
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(Url("rfc2217", server.Port()));
    const auto start = Clock::now();
    EXPECT_FALSE(device->Open());
    // The library gives the telnet negotiation about 4 s; we add at most
    // the answer time of the line settings.
    EXPECT_LT(MsSince(start), 6500);
    const std::string address = "127.0.0.1:" + std::to_string(server.Port());
    EXPECT_EQ(device->FailureText(), "No RFC 2217 answer from " + address +
                                         " (a raw TCP port is named tcp://" + address + ")");
    EXPECT_FALSE(device->IsOpen());
}

TEST(GensioDeviceTest, NoServerAtAllIsAPortNotFound) {
    int port = 0;
    {
        LoopbackServer gone([](int) {});
        port = gone.Port();
    }
    std::unique_ptr<CommDevice> device = MakeDeviceForPath(Url("rfc2217", port));
    EXPECT_FALSE(device->Open());
    EXPECT_EQ(device->LastError(), kCommErrBadId);
    EXPECT_NE(device->FailureText().find("refused"), std::string::npos) << device->FailureText();
}

// A server whose host swallows the connect: Open gives up on its time-out,
// telling its wait hook all along, and a lost device's next operations do
// not each wait as long again.
TEST(GensioDeviceTest, AServerThatDoesNotAnswerTimesOutAndIsNotAskedAgainAtOnce) {
    UnansweredPort server;
    ASSERT_NE(server.Port(), 0);
    std::string error;
    std::optional<NetDeviceName> name = ParseNetDeviceName(Url("tcp", server.Port()), &error);
    ASSERT_TRUE(name) << error;
    GensioDevice device(*name, 1000);
    std::vector<int> waited;
    device.SetWaitHook([&](int ms) { waited.push_back(ms); });

    auto start = Clock::now();
    EXPECT_FALSE(device.Open());
    EXPECT_GE(MsSince(start), 950);
    EXPECT_LT(MsSince(start), 2500);
    const std::string text = "No connection to 127.0.0.1:" + std::to_string(server.Port()) + " within 1 s";
    EXPECT_EQ(device.FailureText(), text);
    EXPECT_EQ(device.LastError(), kCommErrBadId);
    ASSERT_GE(waited.size(), 5u);
    EXPECT_EQ(waited.back(), -1);
    EXPECT_TRUE(std::is_sorted(waited.begin(), waited.end() - 1));
    EXPECT_GE(waited.end()[-2], 800);

    waited.clear();
    start = Clock::now();
    EXPECT_FALSE(device.Open());
    EXPECT_LT(MsSince(start), 100);
    EXPECT_EQ(device.FailureText(), text);
    EXPECT_TRUE(waited.empty());
}

// The port over a device server whose connection drops: the drop fails the
// read at once as a lost device (not a time-out), and the next operation
// connects again, by the same address, once the server is back.
TEST(GensioDeviceTest, ALostConnectionIsOpenedAgainOnceTheServerIsBack) {
    const auto echoOnceThenHangUp = [](int socket) {
        char buffer[16];
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n > 0) ::send(socket, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
    };
    auto server = std::make_unique<LoopbackServer>(echoOnceThenHangUp);
    const int port = server->Port();
    CWindowsSerialPort serial(MakeDeviceForPath(Url("tcp", port)), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    ASSERT_EQ(serial.Status(), 0) << serial.ErrorName(serial.Status());

    const uint8_t request[] = {0xF8, 'A', 'S'};
    uint8_t reply[8] = {};
    ASSERT_EQ(serial.WriteWithTimeout(request, 3, 0), 0);
    ASSERT_EQ(serial.ReadWithTimeout(reply, 3, 1000), 0);
    server.reset();  // the session has hung up

    const auto start = Clock::now();
    EXPECT_EQ(serial.ReadWithTimeout(reply, 3, 3000), kSerialGeneralError);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_TRUE(serial.DeviceLost());
    // Nobody listens: refused at once, still lost, still the one loss.
    EXPECT_EQ(serial.FlushInput(), kSerialPortNotFound);
    EXPECT_TRUE(serial.DeviceLost());

    server = std::make_unique<LoopbackServer>([](int socket) { LoopbackServer::Echo(socket, 2000); }, port);
    ASSERT_EQ(server->Port(), port);
    ASSERT_EQ(serial.WriteWithTimeout(request, 3, 0), 0);
    ASSERT_EQ(serial.ReadWithTimeout(reply, 3, 1000), 0);
    EXPECT_EQ(std::string(reply, reply + 3), std::string(request, request + 3));
    EXPECT_FALSE(serial.DeviceLost());
    EXPECT_EQ(serial.DeviceLossCount(), 1);
}
