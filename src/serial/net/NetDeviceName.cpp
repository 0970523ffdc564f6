#include "serial/net/NetDeviceName.h"

#include <cctype>

namespace {

constexpr const char* kRfc2217Scheme = "rfc2217://";
constexpr const char* kTcpScheme = "tcp://";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Letters, digits, '.', '-' and '_' (names and IPv4 addresses); ':' and '%'
// only inside brackets (IPv6, with a zone). Nothing that could reach the
// connection string as a separator or an option.
bool HostCharacterOk(char c, bool bracketed) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '.' || c == '-' || c == '_') return true;
    return bracketed && (c == ':' || c == '%');
}

std::optional<NetDeviceName> Refuse(std::string* error, const std::string& path,
                                    const std::string& why) {
    if (error) *error = "'" + path + "' is not a device server name: " + why;
    return std::nullopt;
}

}  // namespace

std::string NetDeviceName::Address() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsNetDeviceName(const std::string& path) {
    return StartsWith(path, kRfc2217Scheme) || StartsWith(path, kTcpScheme);
}

std::optional<NetDeviceName> ParseNetDeviceName(const std::string& path, std::string* error) {
    NetDeviceName name;
    std::string rest;
    if (StartsWith(path, kRfc2217Scheme)) {
        name.protocol = NetDeviceName::Protocol::Rfc2217;
        rest = path.substr(std::char_traits<char>::length(kRfc2217Scheme));
    } else if (StartsWith(path, kTcpScheme)) {
        name.protocol = NetDeviceName::Protocol::Tcp;
        rest = path.substr(std::char_traits<char>::length(kTcpScheme));
    } else {
        return Refuse(error, path, "it starts with neither rfc2217:// nor tcp://");
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();

    const bool bracketed = !rest.empty() && rest.front() == '[';
    std::string::size_type colon;
    if (bracketed) {
        const auto close = rest.find(']');
        if (close == std::string::npos)
            return Refuse(error, path, "the '[' of the host has no ']'");
        name.host = rest.substr(1, close - 1);
        colon = close + 1;
        if (colon >= rest.size() || rest[colon] != ':')
            return Refuse(error, path, "HOST:PORT needs the port after the ']'");
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos) return Refuse(error, path, "it needs HOST:PORT");
        name.host = rest.substr(0, colon);
    }
    if (name.host.empty()) return Refuse(error, path, "the host is missing");
    for (const char c : name.host) {
        if (!HostCharacterOk(c, bracketed))
            return Refuse(error, path, std::string("the host may not contain '") + c + "'");
    }

    const std::string port = rest.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return Refuse(error, path, "the port must be a number from 1 to 65535");
    name.port = std::stoi(port);
    if (name.port < 1 || name.port > 65535)
        return Refuse(error, path, "the port must be a number from 1 to 65535");
    return name;
}

bool RateIsTheServers(const std::string& devicePath) { return StartsWith(devicePath, kTcpScheme); }

std::string LineRateText(const std::string& devicePath, long baud) {
    return RateIsTheServers(devicePath) ? kServersRate : std::to_string(baud) + " baud";
}

std::string NoControllerText(const std::string& devicePath) {
    return RateIsTheServers(devicePath)
               ? std::string("No controller answered at ") + kServersRate + "."
               : "No controller answered at 9600, 19200 or 38400 baud.";
}
