#pragma once

#include <cstdint>
#include <string>

// How one block on the line reads in the support trace:
//   TX 1B 41 44 0D  |.AD.|  D read PSF
// direction, the bytes in hex, the printable ones as text (others as '.'),
// and the name of the frame when the block starts one. A reply carries no
// hint of the request it answers (the probe and scan replies have no letter
// at all), so replies are named after the last request sent.

enum class TraceDirection { Transmit, Receive };

// What the last request sent was, for naming the replies that follow.
struct TraceRequest {
    enum class Kind { None, Probe, Scan, Framed };
    Kind kind = Kind::None;
    uint8_t letter = 0;
};

// Names a block and, for a request, updates last. Empty when the block does
// not start a frame (the middle of a reply split across reads).
std::string NameTraceBlock(TraceDirection direction, const uint8_t* bytes, int count,
                           TraceRequest& last);

// The whole line after the time stamp.
std::string FormatTraceBlock(TraceDirection direction, const uint8_t* bytes, int count,
                             TraceRequest& last);
