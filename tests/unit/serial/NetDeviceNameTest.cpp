// Device server names (rfc2217://, tcp://) as --device, VELTRIX_COM<n> and
// Port Devices take them, and the rate wording that depends on them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/CWindowsSerialPort.h"
#include "serial/DeviceForPath.h"
#include "serial/net/FailedNetDevice.h"
#include "serial/net/NetDevice.h"
#include "serial/net/NetDeviceName.h"

namespace {

struct GoodName {
    const char* path;
    NetDeviceName::Protocol protocol;
    const char* host;
    int port;
    const char* address;
};

struct BadName {
    const char* path;
    const char* why;
};

}  // namespace

TEST(NetDeviceNameTest, WellFormedNamesGiveProtocolHostAndPort) {
    using P = NetDeviceName::Protocol;
    const GoodName cases[] = {
        {"rfc2217://127.0.0.1:2217", P::Rfc2217, "127.0.0.1", 2217, "127.0.0.1:2217"},
        {"tcp://plant-gw_3.example:1", P::Tcp, "plant-gw_3.example", 1, "plant-gw_3.example:1"},
        {"tcp://[::1]:65535/", P::Tcp, "::1", 65535, "[::1]:65535"},
        {"rfc2217://[fe80::1%eth0]:4000", P::Rfc2217, "fe80::1%eth0", 4000, "[fe80::1%eth0]:4000"},
    };
    for (const GoodName& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_TRUE(IsNetDeviceName(c.path));
        const std::optional<NetDeviceName> name = ParseNetDeviceName(c.path);
        ASSERT_TRUE(name);
        EXPECT_EQ(name->protocol, c.protocol);
        EXPECT_EQ(name->host, c.host);
        EXPECT_EQ(name->port, c.port);
        EXPECT_EQ(name->Address(), c.address);
    }
}

TEST(NetDeviceNameTest, MalformedNamesAreRefusedWithTheReason) {
    const BadName cases[] = {
        {"rfc2217://host", "it needs HOST:PORT"},
        {"tcp://:4000", "the host is missing"},
        {"tcp://host:0", "the port must be a number from 1 to 65535"},
        {"tcp://host:65536", "the port must be a number from 1 to 65535"},
        {"tcp://host:40a", "the port must be a number from 1 to 65535"},
        {"tcp://host:", "the port must be a number from 1 to 65535"},
        // A comma or a parenthesis would reach the connection string.
        {"tcp://a,tcp,evil:4000", "the host may not contain ','"},
        {"rfc2217://a(x):1", "the host may not contain '('"},
        {"tcp://a b:1", "the host may not contain ' '"},
        {"tcp://::1:4000", "the host may not contain ':'"},
        {"tcp://[::1:4000", "the '[' of the host has no ']'"},
        {"tcp://[::1]4000", "HOST:PORT needs the port after the ']'"},
    };
    for (const BadName& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_TRUE(IsNetDeviceName(c.path));
        std::string error;
        EXPECT_FALSE(ParseNetDeviceName(c.path, &error));
        EXPECT_EQ(error, std::string("'") + c.path + "' is not a device server name: " + c.why);
    }
    for (const char* path : {"/dev/ttyUSB0", "RFC2217://h:1", "telnet://h:1", "tcp:/h:1", ""})
        EXPECT_FALSE(IsNetDeviceName(path)) << path;
}

TEST(NetDeviceNameTest, OnlyRawTcpLeavesTheRateToTheServer) {
    EXPECT_EQ(LineRateText("/dev/ttyS1", 19200), "19200 baud");
    EXPECT_EQ(LineRateText("rfc2217://h:1", 38400), "38400 baud");
    EXPECT_EQ(LineRateText("tcp://h:1", 9600), "the server's rate");
    EXPECT_EQ(NoControllerText("rfc2217://h:1"), "No controller answered at 9600, 19200 or 38400 baud.");
    EXPECT_EQ(NoControllerText("tcp://h:1"), "No controller answered at the server's rate.");
}

// The port reports the device's own words for a failed open: the reason a
// server could not be reached, or that this build has no device servers.
TEST(NetDeviceNameTest, PortNamesTheDevicesReasonForAFailedOpen) {
    CWindowsSerialPort unavailable(std::make_unique<FailedNetDevice>(kCommErrBadId, kNetDevicesUnavailable),
                                   0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(unavailable.Status(), kSerialPortNotFound);
    EXPECT_STREQ(unavailable.ErrorName(unavailable.Status()), kNetDevicesUnavailable);
    // Other codes keep their names from the tables.
    EXPECT_STREQ(unavailable.ErrorName(kSerialTimeout), "Timeout");
    EXPECT_STREQ(unavailable.ErrorName(-190), "Handshake line in use");

    // A malformed name never reaches the network.
    CWindowsSerialPort malformed(MakeDeviceForPath("rfc2217://nowhere"), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(malformed.Status(), kSerialPortNotFound);
    EXPECT_STREQ(malformed.ErrorName(malformed.Status()),
                 "'rfc2217://nowhere' is not a device server name: it needs HOST:PORT");
}
