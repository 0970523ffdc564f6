#include "station/Utf8.h"

#include <cstdint>

namespace {

// Length of the valid UTF-8 sequence at text[at], 0 when there is none
// (overlong forms, surrogates and code points beyond U+10FFFF included).
size_t SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead >= 0x01 && lead < 0x80) return 1;
    // The lead byte gives the length and the top bits of the code point.
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    uint32_t point = lead & (0x7F >> length);
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

size_t FindInvalidUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = SequenceLength(text, at);
        if (length == 0) return at;
        at += length;
    }
    return std::string_view::npos;
}

std::string CleanUtf8(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = SequenceLength(text, at);
        if (length == 0) {
            clean += "\xEF\xBF\xBD";
            ++at;
        } else {
            clean.append(text.substr(at, length));
            at += length;
        }
    }
    return clean;
}

