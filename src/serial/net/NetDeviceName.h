#pragma once

#include <optional>
#include <string>

// Serial device servers on the network, named where a device path goes
// (--device, VELTRIX_COM<n>, Port Devices):
//
//   rfc2217://HOST:PORT  telnet with the COM-PORT-OPTION of RFC 2217: line
//                        settings, purges, modem lines and break go to the
//                        server, so probing switches rates as on a local line;
//   tcp://HOST:PORT      raw bytes: the line is set up at the server, and the
//                        controller is reached at whatever rate that is.
//
// HOST is a host name, an IPv4 address, or an IPv6 address in brackets
// ([::1]); PORT is 1 to 65535.
struct NetDeviceName {
    enum class Protocol { Rfc2217, Tcp };
    Protocol protocol = Protocol::Rfc2217;
    std::string host;  // without the brackets of an IPv6 address
    int port = 0;

    // "127.0.0.1:2000", "[::1]:2000"
    std::string Address() const;
};

// True when the path starts with one of the two schemes, well-formed or not:
// such a path never names a file.
bool IsNetDeviceName(const std::string& path);
// The parsed name; nothing (and, when error is given, why) for a path that is
// not a well-formed device server name.
std::optional<NetDeviceName> ParseNetDeviceName(const std::string& path,
                                                std::string* error = nullptr);

// Over tcp:// the tool cannot set the line rate: the controller answers at the
// rate the server's line is set to, whichever rate the probe "tried".
bool RateIsTheServers(const std::string& devicePath);
inline constexpr const char* kServersRate = "the server's rate";
// How messages name the rate a controller answered at: "38400 baud", or "the
// server's rate" over tcp://.
std::string LineRateText(const std::string& devicePath, long baud);
// The probe's failure: "No controller answered at 9600, 19200 or 38400
// baud.", or "... at the server's rate." over tcp://.
std::string NoControllerText(const std::string& devicePath);
