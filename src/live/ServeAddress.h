#pragma once

#include <optional>
#include <string>
#include <vector>

// Where the phone view listens: one address of this computer and a port
// (0: any free one, chosen when the server starts).
struct ServeAddress {
    std::string address;
    int port = 0;
};

// "[ADDR:]PORT": an IPv4 address, or an IPv6 one in brackets, then the port
// from 0 to 65535. Without ADDR the default below. Nothing, with a one-line
// reason in error, for anything else.
std::optional<ServeAddress> ParseServeAddress(const std::string& text, std::string& error);

// Whether the text is an address of that family, as the system reads it.
bool IsIpv4Address(const std::string& text);
bool IsIpv6Address(const std::string& text);

// This computer's IPv4 addresses, those other than loopback first
// (127.0.0.1 last), in the order the system lists its interfaces.
std::vector<std::string> LocalIpv4Addresses();
// $VELTRIX_PHONE_ADDRESS when set, else the first non-loopback IPv4
// address, where a phone on the same network can reach the view; 127.0.0.1
// when there is none.
std::string DefaultServeAddress();
