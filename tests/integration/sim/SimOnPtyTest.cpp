#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "SimProcess.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "model/ScanReply.h"
#include "protocol/CControllerLink.h"
#include "serial/CWindowsSerialPort.h"

namespace {

constexpr int kPortIndex = 41;  // COM42, pointed at the simulator below

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "veltrix-sim-" + std::to_string(getpid()) + "-" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The simulator's slave opened as COM42 by the system's own serial port.
std::unique_ptr<CControllerLink> OpenLink(const std::string& device) {
    setenv("VELTRIX_COM42", device.c_str(), 1);
    auto port = std::make_unique<CWindowsSerialPort>(kPortIndex, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    if (port->Status() != 0) return nullptr;
    return std::make_unique<CControllerLink>(std::move(port));
}

TEST(SimOnPty, ControllerAt38400IsFoundFrom9600AndStopsCleanly) {
    const std::string linkPath = TempPath("link");
    const std::string logPath = TempPath("log");
    SimProcess sim({"--baud", "38400", "--id", "C", "--link", linkPath, "--log", logPath});
    ASSERT_TRUE(sim.WaitReady()) << sim.Stderr();
    EXPECT_EQ(sim.Field("link"), linkPath);
    EXPECT_NE(sim.ReadyLine().find("\"baud\":38400"), std::string::npos);

    {
        // Opened through the symlink, as a user would.
        auto link = OpenLink(linkPath);
        ASSERT_TRUE(link);
        ProbeInfo info;
        ASSERT_EQ(link->Connect(info), 1);
        EXPECT_EQ(link->BaudIndex(), 2);
        EXPECT_EQ(info.id, 'C');
    }
    // The two probes at the wrong rates reached the simulator and were not answered.
    const std::string log = ReadFile(logPath);
    EXPECT_NE(log.find("\"speed\":9600,\"kind\":\"noise\",\"rx\":\"f8\",\"reply\":null"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"speed\":19200,\"kind\":\"noise\""), std::string::npos);
    EXPECT_NE(log.find("\"speed\":38400,\"kind\":\"probe\",\"rx\":\"f8\",\"reply\":\"1c43430a\""),
              std::string::npos);
    // Idle between requests: a spinning simulator would have used the whole
    // second and a half of probing.
    EXPECT_LE(sim.CpuTicks(), 10);

    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(lstat(linkPath.c_str(), &st), 0) << "the symlink outlived the simulator";
}

TEST(SimOnPty, WrongLineSpeedGetsNoAnswer) {
    SimProcess sim({"--baud", "19200"});
    ASSERT_TRUE(sim.WaitReady()) << sim.Stderr();
    auto link = OpenLink(sim.Device());
    ASSERT_TRUE(link);
    RS232& port = link->Port();
    const uint8_t probe = 0xF8;
    uint8_t reply[8] = {};
    ASSERT_EQ(port.WriteWithTimeout(&probe, 1, 0), 0);
    EXPECT_EQ(port.ReadWithTimeout(reply, 4, 300), kSerialTimeout);
    EXPECT_EQ(port.ByteCount(), 0u);

    ASSERT_EQ(port.SetLineParameters(19200, -1, -1, -1), 0);
    ASSERT_EQ(port.WriteWithTimeout(&probe, 1, 0), 0);
    ASSERT_EQ(port.ReadWithTimeout(reply, 4, 300), 0);
    EXPECT_EQ(reply[0], 0x1C);
    EXPECT_EQ(reply[1], 'A');
    EXPECT_EQ(reply[3], 0x0A);
    link.reset();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimOnPty, CommandsChangeTheStateFileAndFollowANewRate) {
    const std::string statePath = TempPath("state");
    SimProcess sim({"--emitter", "16,8:17", "--receiver", "16", "--state", statePath});
    ASSERT_TRUE(sim.WaitReady()) << sim.Stderr();
    EXPECT_NE(ReadFile(statePath).find("\"part_number\":123456"), std::string::npos);

    auto link = OpenLink(sim.Device());
    ASSERT_TRUE(link);
    ASSERT_EQ(link->WritePartNumber(70000, 1102), 1);
    EXPECT_NE(ReadFile(statePath).find("\"part_number\":70000,\"date_code\":1102"),
              std::string::npos);

    CDiagnosticsRecord diagnostics;
    ASSERT_EQ(link->RequestDiagnostics(diagnostics), 1);
    EXPECT_EQ(diagnostics.partNumber, "70000");
    EXPECT_EQ(diagnostics.emitterChannelTotal, 24);
    EXPECT_EQ(diagnostics.systemState, 3);

    // Into all mode at 19200: acknowledged at 9600, then the controller moves.
    CPsfRecord psf;
    ASSERT_EQ(link->ReadPsf(psf), 1);
    psf.SetBaudCode('B');
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    ASSERT_EQ(link->SendPsf(psf), 1);
    EXPECT_NE(ReadFile(statePath).find("\"baud\":19200"), std::string::npos);
    ASSERT_EQ(link->SelectBaud(1), 1);
    CBeamBitScan scan(24);
    EXPECT_EQ(link->RequestScan(scan), 1);
    EXPECT_EQ(scan.Statistics().madeCount, 24);

    link.reset();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimOnPty, PacedRepliesTakeTheirWireTime) {
    SimProcess sim({"--pace", "--scan-channels", "384"});
    ASSERT_TRUE(sim.WaitReady()) << sim.Stderr();
    auto link = OpenLink(sim.Device());
    ASSERT_TRUE(link);
    CPsfRecord psf;
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    ASSERT_EQ(link->SendPsf(psf), 1);

    // 51 bytes at 9600 baud, 12 bits each: 63.75 ms on the wire.
    RS232& port = link->Port();
    const uint8_t request[] = {0xF8, 'A', 'S'};
    uint8_t reply[64] = {};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(port.WriteWithTimeout(request, 3, 0), 0);
    ASSERT_EQ(port.ReadWithTimeout(reply, 51, 1000), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::microseconds(63750));
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
    EXPECT_EQ(reply[0], 0x1C);
    EXPECT_EQ(reply[50], 0x0A);
    link.reset();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimOnPty, HangUpTakesTheDeviceAway) {
    SimProcess sim({"--fault", "hangup:1"});
    ASSERT_TRUE(sim.WaitReady()) << sim.Stderr();
    auto link = OpenLink(sim.Device());
    ASSERT_TRUE(link);
    ProbeInfo info;
    ASSERT_EQ(link->Connect(info), 1);
    // The next command fails at once or by its time-outs; it never hangs.
    const auto start = std::chrono::steady_clock::now();
    CDiagnosticsRecord diagnostics;
    EXPECT_EQ(link->RequestDiagnostics(diagnostics), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    link.reset();
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimOnPty, BadOptionExitsWithStatus2AndAMessage) {
    SimProcess sim({"--baud", "57600"});
    EXPECT_EQ(sim.Wait(), 2);
    EXPECT_NE(sim.Stderr().find("--baud must be 9600, 19200 or 38400"), std::string::npos);
}

}  // namespace
