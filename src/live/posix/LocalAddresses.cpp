#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <arpa/inet.h>

#include <algorithm>

#include "live/ServeAddress.h"

bool IsIpv4Address(const std::string& text) {
    in_addr parsed{};
    return ::inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

bool IsIpv6Address(const std::string& text) {
    in6_addr parsed{};
    return ::inet_pton(AF_INET6, text.c_str(), &parsed) == 1;
}

std::vector<std::string> LocalIpv4Addresses() {
    std::vector<std::string> found;
    std::vector<std::string> loopback;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {"127.0.0.1"};
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (!(entry->ifa_flags & IFF_UP)) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (!::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) continue;
        auto& into = (entry->ifa_flags & IFF_LOOPBACK) ? loopback : found;
        if (std::find(into.begin(), into.end(), text) == into.end()) into.emplace_back(text);
    }
    ::freeifaddrs(list);
    if (std::find(loopback.begin(), loopback.end(), "127.0.0.1") == loopback.end())
        loopback.insert(loopback.begin(), "127.0.0.1");
    found.insert(found.end(), loopback.begin(), loopback.end());
    return found;
}
