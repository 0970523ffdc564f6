// The simulator's request parser on arbitrary host bytes, fed in bursts: it
// must neither crash nor lose or invent a byte (every byte comes back out,
// in order, in some request or as noise).
#include <cstdint>
#include <vector>

#include "sim/RequestParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the burst length, so bursts split frames too.
    const size_t burst = data[0] % 17 + 1;
    ++data;
    --size;

    sim::RequestParser parser;
    std::vector<sim::Request> out;
    for (size_t at = 0; at < size; at += burst) {
        const size_t count = size - at < burst ? size - at : burst;
        parser.Feed(data + at, count, out);
        parser.EndOfBurst(out);
    }
    parser.Reset(out);

    std::vector<uint8_t> seen;
    for (const sim::Request& request : out) {
        if (request.kind != sim::Request::Kind::Noise && request.bytes.empty()) __builtin_trap();
        seen.insert(seen.end(), request.bytes.begin(), request.bytes.end());
    }
    if (seen != std::vector<uint8_t>(data, data + size)) __builtin_trap();
    return 0;
}
