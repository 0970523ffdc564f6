#pragma once

#include <cstdint>

// The protocol's 16-bit additive checksum: the sum of count unsigned bytes
// modulo 65536 (0 for count <= 0). Carried high byte first.
inline uint16_t Checksum16(const uint8_t* bytes, int count) {
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}
