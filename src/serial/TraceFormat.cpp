#include "serial/TraceFormat.h"

#include <cstdio>

#include "model/FrameBytes.h"

namespace {

const char* RequestName(uint8_t letter) {
    switch (letter) {
        case 'C': return "send PSF";
        case 'D': return "read PSF";
        case 'H': return "read diagnostics";
        case 'V': return "read blanking";
        case 'W': return "write blanking";
        case 'X': return "write part number";
        default: return "unknown request";
    }
}

const char* ReplyName(uint8_t letter) {
    switch (letter) {
        case 'E': return "PSF reply";
        case 'I': return "diagnostics reply";
        case 'J': return "acknowledge";
        case 'Y': return "blanking reply";
        default: return "unexpected reply";
    }
}

std::string Lettered(uint8_t letter, const char* name) {
    const char shown = letter >= 0x20 && letter < 0x7F ? static_cast<char>(letter) : '?';
    return std::string(1, shown) + " " + name;
}

}  // namespace

std::string NameTraceBlock(TraceDirection direction, const uint8_t* bytes, int count,
                           TraceRequest& last) {
    if (count <= 0) return {};
    if (direction == TraceDirection::Transmit) {
        if (bytes[0] == kProbeByte && count == 1) {
            last = {TraceRequest::Kind::Probe, 0};
            return "probe";
        }
        if (bytes[0] == kProbeByte && count >= 3) {
            last = {TraceRequest::Kind::Scan, bytes[2]};
            return Lettered(bytes[2], "scan request");
        }
        if (bytes[0] == kEsc && count >= 3) {
            last = {TraceRequest::Kind::Framed, bytes[2]};
            return Lettered(bytes[2], RequestName(bytes[2]));
        }
        return {};
    }
    // A reply starts with FS; anything else is the rest of one, or noise.
    if (bytes[0] != kFs) return {};
    switch (last.kind) {
        case TraceRequest::Kind::Probe: return "probe reply";
        case TraceRequest::Kind::Scan: return "scan reply";
        default: break;
    }
    if (count < 3) return "reply";
    return Lettered(bytes[2], ReplyName(bytes[2]));
}

std::string FormatTraceBlock(TraceDirection direction, const uint8_t* bytes, int count,
                             TraceRequest& last) {
    std::string line = direction == TraceDirection::Transmit ? "TX" : "RX";
    std::string text;
    for (int i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        line += hex;
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
    }
    line += "  |" + text + "|";
    const std::string name = NameTraceBlock(direction, bytes, count, last);
    if (!name.empty()) line += "  " + name;
    return line;
}
