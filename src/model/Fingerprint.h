#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"

// Configuration fingerprints: the first 8 hex digits, in capitals, of the
// SHA-256 of what a controller holds. Two sets with the same fingerprint are
// the same set; the technician compares them at a glance ("3FA2C01B").

// Over bytes 2 to 153 of the set: bytes 0 and 1 say where a set travelled
// (the addressed id, the command letter), not what it is.
std::string PsfFingerprint(const CPsfRecord& record);
// Over the channel count (two bytes, high byte first) and the map's bytes.
std::string BlankingFingerprint(const CBlankingMap& map);
// Over the part number and date code as the 'X' request carries them (four
// bytes and two, high bytes first).
std::string PartNumberFingerprint(uint32_t partNumber, uint16_t dateCode);
// The same over any bytes.
std::string FingerprintOf(const uint8_t* data, size_t size);
