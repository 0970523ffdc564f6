#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>

#include "live/ServeAddress.h"

bool IsIpv4Address(const std::string& text) {
    IN_ADDR parsed{};
    return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

bool IsIpv6Address(const std::string& text) {
    IN6_ADDR parsed{};
    return ::inet_pton(AF_INET6, text.c_str(), &parsed) == 1;
}

std::vector<std::string> LocalIpv4Addresses() {
    std::vector<std::string> found;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG result = ::GetAdaptersAddresses(AF_INET, flags, nullptr, adapters, &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        result = ::GetAdaptersAddresses(AF_INET, flags, nullptr, adapters, &size);
    }
    if (result == NO_ERROR) {
        for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter; adapter = adapter->Next) {
            if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
                continue;
            for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
                 unicast = unicast->Next) {
                const auto* address = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
                char text[INET_ADDRSTRLEN] = {};
                if (!::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) continue;
                if (std::find(found.begin(), found.end(), text) == found.end()) found.emplace_back(text);
            }
        }
    }
    found.emplace_back("127.0.0.1");
    return found;
}
