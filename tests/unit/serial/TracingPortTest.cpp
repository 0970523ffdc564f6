// The support trace, the port factory and where COM n lives.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "serial/CWindowsSerialPort.h"
#include "serial/PortDevicePath.h"
#include "serial/PortFactory.h"
#include "serial/TracingPort.h"
#include "support/FakeCommDevice.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class TracingPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tracePath = dir.File("trace");
        WriteBytes(tracePath, {});
    }
    void TearDown() override { SetTraceFile(""); }

    ScopedTempDir dir;

    std::unique_ptr<RS232> FakePort(FakeCommDevice*& device) {
        auto owned = std::make_unique<FakeCommDevice>();
        device = owned.get();
        return std::make_unique<CWindowsSerialPort>(std::move(owned), 2, 9600, 'E', 8, 1, 0, 0, 0,
                                                    0, 0);
    }

    VirtualClock clock{5000};
    ScopedClock scoped{clock};
    std::string tracePath;
};

TEST_F(TracingPortTest, TraceShowsEveryBlockThatMovedBytes) {
    SetTraceFile(tracePath);
    FakeCommDevice* device = nullptr;
    std::unique_ptr<RS232> port = TraceIfEnabled(FakePort(device));
    ASSERT_NE(dynamic_cast<TracingPort*>(port.get()), nullptr);

    device->responder = [](FakeCommDevice& d, const std::vector<uint8_t>&) {
        d.ArriveAfter(12, {0x1C, 0x41, 0x49, 0x0A});
    };
    clock.Advance(1234);
    const uint8_t request[] = {0x1B, 0x41, 0x48, 0x0D};
    EXPECT_EQ(port->WriteWithTimeout(request, 4, 0), 0);
    EXPECT_EQ(port->ByteCount(), 4u);
    uint8_t reply[8] = {};
    EXPECT_EQ(port->ReadWithTimeout(reply, 8, 0), kSerialTimeout);
    EXPECT_EQ(port->ByteCount(), 4u);
    EXPECT_EQ(reply[1], 0x41);
    EXPECT_EQ(port->SetLineParameters(19200, -1, -1, -1), 0);
    EXPECT_EQ(port->CurrentSettings().baud, 19200);
    EXPECT_EQ(port->SetLineParameters(57600, -1, -1, -1), 0);
    port.reset();

    const std::string trace = ReadFile(tracePath);
    ASSERT_EQ(trace.rfind("0.000 START 20", 0), 0u) << trace;
    EXPECT_EQ(trace.substr(trace.find('\n') + 1),
              "0.000 OPEN COM3 9600 status 0 Success\n"
              "1.234 TX 1B 41 48 0D  |.AH.|  H read diagnostics\n"
              "1.329 RX 1C 41 49 0A  |.AI.|  I diagnostics reply\n"
              "1.329 BAUD 19200\n"
              "1.329 BAUD 57600\n"
              "1.329 CLOSE COM3\n");
}

TEST_F(TracingPortTest, WrapperReportsTheInnerPortsFailures) {
    SetTraceFile(tracePath);
    auto fake = std::make_unique<FakeCommDevice>();
    fake->failOpen = true;
    std::unique_ptr<RS232> port = TraceIfEnabled(
        std::make_unique<CWindowsSerialPort>(std::move(fake), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
    EXPECT_EQ(port->Status(), kSerialPortNotFound);
    EXPECT_STREQ(port->ErrorName(-150), "Undefined error");
    uint8_t buffer[4];
    EXPECT_EQ(port->ReadWithTimeout(buffer, 4, 100), kSerialPortNotFound);
    EXPECT_EQ(port->SetLineParameters(19200, -1, -1, -1), kSerialPortNotFound);
    port.reset();
    EXPECT_NE(ReadFile(tracePath).find("BAUD 19200 refused: Port not found"), std::string::npos);
}

TEST_F(TracingPortTest, UnwritableTraceLeavesThePortAlone) {
    SetTraceFile("/nonexistent-dir/trace.txt");
    FakeCommDevice* device = nullptr;
    std::unique_ptr<RS232> port = TraceIfEnabled(FakePort(device));
    EXPECT_EQ(dynamic_cast<TracingPort*>(port.get()), nullptr);
    EXPECT_EQ(port->Status(), 0);
}

TEST_F(TracingPortTest, EnvironmentNamesTheTraceUnlessAFileIsSet) {
    FakeCommDevice* device = nullptr;
    ScopedEnv restore("VELTRIX_TRACE");
    UnsetEnvironmentValue("VELTRIX_TRACE");
    SetTraceFile("");
    EXPECT_EQ(dynamic_cast<TracingPort*>(TraceIfEnabled(FakePort(device)).get()), nullptr);

    SetEnvironmentValue("VELTRIX_TRACE", tracePath);
    EXPECT_NE(dynamic_cast<TracingPort*>(TraceIfEnabled(FakePort(device)).get()), nullptr);
    EXPECT_NE(ReadFile(tracePath).find("OPEN COM3"), std::string::npos);

    const std::string other = tracePath + ".cli";
    SetTraceFile(other);
    EXPECT_NE(dynamic_cast<TracingPort*>(TraceIfEnabled(FakePort(device)).get()), nullptr);
    EXPECT_NE(ReadFile(other).find("OPEN COM3"), std::string::npos);
    UnsetEnvironmentValue("VELTRIX_TRACE");
}

class MapSettings : public SettingsStore {
  public:
    int GetInt(const std::string&, const std::string&, int value) override { return value; }
    void SetInt(const std::string&, const std::string&, int) override {}
    std::optional<std::string> GetString(const std::string& section,
                                         const std::string& key) override {
        auto it = values.find(section + "/" + key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override {
        values[section + "/" + key] = value;
    }
    std::map<std::string, std::string> values;
};

TEST(PortDevicePathTest, EnvironmentThenSettingsThenSerialDevice) {
    ScopedEnv restore("VELTRIX_COM12");
    UnsetEnvironmentValue("VELTRIX_COM12");
    SetSettings(nullptr);
    EXPECT_EQ(ComPortEnvironmentName(11), "VELTRIX_COM12");
    // The OS's own serial device of COM12.
    EXPECT_EQ(ComPortDevicePath(11), HavePosixFeatures() ? "/dev/ttyS11" : "\\\\.\\COM12");
    const std::string fallback = ComPortDevicePath(11);

    MapSettings settings;
    SetSettings(&settings);
    settings.SetString("Ports", "COM12", "");
    EXPECT_EQ(ComPortDevicePath(11), fallback);
    settings.SetString("Ports", "COM12", "/dev/ttyUSB0");
    settings.SetString("Ports", "COM2", "/dev/ttyACM0");
    EXPECT_EQ(ComPortDevicePath(11), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyACM0");

    SetEnvironmentValue("VELTRIX_COM12", "/dev/pts/7");
    EXPECT_EQ(ComPortDevicePath(11), "/dev/pts/7");
    UnsetEnvironmentValue("VELTRIX_COM12");
    SetSettings(nullptr);
}

TEST(PortFactoryTest, DefaultOpensTheResolvedDeviceAndInstalledFactoryReplacesIt) {
    ScopedEnv device("VELTRIX_COM24", "/nonexistent/veltrix-port");
    std::unique_ptr<RS232> port = OpenPort(23, 9600);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->Status(), kSerialPortNotFound);
    EXPECT_STREQ(port->ErrorName(port->Status()), "Port not found");
    EXPECT_EQ(port->PortIndex(), 23);

    int calls = 0;
    SetPortFactory([&calls](int index, long baud) -> std::unique_ptr<RS232> {
        ++calls;
        auto fake = std::make_unique<FakeCommDevice>();
        return std::make_unique<CWindowsSerialPort>(std::move(fake), index, baud, 'E', 8, 1, 0, 0,
                                                    0, 0, 0);
    });
    port = OpenPort(23, 19200);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(port->Status(), 0);
    EXPECT_EQ(port->CurrentSettings().baud, 19200);

    SetPortFactory(nullptr);
    EXPECT_EQ(OpenPort(23, 9600)->Status(), kSerialPortNotFound);
    EXPECT_EQ(calls, 1);
}

}  // namespace
