#pragma once

#include <cstdint>

// Control bytes of the controller protocol: requests run ESC id letter ... CR,
// replies FS id letter ... LF; the probe and the scan request start with 0xF8.
inline constexpr uint8_t kEsc = 0x1B;
inline constexpr uint8_t kCr = 0x0D;
inline constexpr uint8_t kFs = 0x1C;
inline constexpr uint8_t kLf = 0x0A;
inline constexpr uint8_t kProbeByte = 0xF8;
