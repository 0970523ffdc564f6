#pragma once

#include <cstdint>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

// A decoded beam scan of N channels in which exactly the given channels are
// blocked (channels from 0).
inline CBeamBitScan ScanOf(int channelCount, const std::vector<int>& blocked) {
    CBeamBitScan scan(channelCount);
    std::vector<uint8_t> reply(static_cast<size_t>(scan.ExpectedLength()), 0);
    reply.front() = 0x1C;
    reply[1] = 'A';
    reply.back() = 0x0A;
    for (int c : blocked) reply[static_cast<size_t>(2 + c / 8)] |= static_cast<uint8_t>(1u << (c % 8));
    scan.Accept(reply.data(), static_cast<int>(reply.size()));
    return scan;
}

inline CBlankingMap MapOf(int channelCount, const std::vector<int>& blanked) {
    CBlankingMap map(channelCount);
    for (int c : blanked) map.Blank(c);
    return map;
}
