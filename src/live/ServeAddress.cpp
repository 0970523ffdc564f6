#include "live/ServeAddress.h"

#include <cstdlib>

namespace {

std::optional<int> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535) return std::nullopt;
    return port;
}

}  // namespace

std::optional<ServeAddress> ParseServeAddress(const std::string& text, std::string& error) {
    std::string address;
    std::string port = text;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos) {
            error = "an IPv6 address goes in brackets before the port: [ADDR]:PORT";
            return std::nullopt;
        }
        address = text.substr(1, close - 1);
        port = text.substr(close + 2);
        if (!IsIpv6Address(address)) {
            error = "'" + address + "' is not an IPv6 address";
            return std::nullopt;
        }
    } else if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (!IsIpv4Address(address)) {
            error = "'" + address + "' is not an IPv4 address";
            return std::nullopt;
        }
    }
    const std::optional<int> number = ParsePort(port);
    if (!number) {
        error = "the port must be a number from 0 to 65535";
        return std::nullopt;
    }
    return ServeAddress{address.empty() ? DefaultServeAddress() : address, *number};
}

std::string DefaultServeAddress() {
    // A computer with several networks can be told which one phones are on.
    if (const char* chosen = std::getenv("VELTRIX_PHONE_ADDRESS"); chosen && *chosen) return chosen;
    const std::vector<std::string> addresses = LocalIpv4Addresses();
    return addresses.empty() ? std::string("127.0.0.1") : addresses.front();
}
