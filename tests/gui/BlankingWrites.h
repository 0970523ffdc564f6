#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sim/SimulatedPort.h"

// The 48-byte blocks of the blanking writes the simulated controller heard,
// in order.
inline std::vector<std::vector<uint8_t>> BlankingWrites(const sim::SimulatedLine& line) {
    std::vector<std::vector<uint8_t>> blocks;
    for (const sim::LogEntry& e : line.RequestLog())
        if (e.kind == "W") blocks.emplace_back(e.request.begin() + 3, e.request.begin() + 51);
    return blocks;
}

// A blanking block that starts with these bytes, zero after them.
inline std::vector<uint8_t> BlockOf(std::initializer_list<int> leading) {
    std::vector<uint8_t> block(48, 0);
    size_t k = 0;
    for (int b : leading) block[k++] = static_cast<uint8_t>(b);
    return block;
}
