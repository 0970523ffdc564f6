#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"

// What a write changes, or what a controller holds instead of what it was
// sent, field by field, in the words the program shows the fields in:
// "Baud Rate", "Scan Count", "Output #3", "Channel 17", "Part Number".
struct FieldChange {
    std::string field;
    std::string before;
    std::string after;

    bool operator==(const FieldChange&) const = default;
};

// The parameter-set fields whose values differ (bytes 2 to 153), in field
// order; values as 'psf show' spells them. Bytes that differ in no field
// (unused flag bits) are named "Byte N" with their values in hex.
std::vector<FieldChange> PsfChanges(const CPsfRecord& before, const CPsfRecord& after);
// The channels (counted from 1) whose blank state differs: "blanked" or
// "clear"; "Channels" when the maps differ in size.
std::vector<FieldChange> BlankingChanges(const CBlankingMap& before, const CBlankingMap& after);
// Part number ("%lu") and date code ("%04d") as the diagnostics show them.
std::vector<FieldChange> PartNumberChanges(uint32_t partNumberBefore, uint16_t dateCodeBefore,
                                           uint32_t partNumberAfter, uint16_t dateCodeAfter);
std::string PartNumberText(uint32_t partNumber);
std::string DateCodeText(uint16_t dateCode);

// A write that was acknowledged but not stored: what the controller holds
// against what it was sent. Build the list with the functions above as
// Changes(sent, held): before is what was sent, after what is held.
// "Baud Rate 19200 (sent 9600), Scan Count 2 (sent 1)".
std::string HeldInsteadText(const std::vector<FieldChange>& sentThenHeld);
// What follows a write's own failure text when the read-back differs:
// "\n\nThe controller acknowledged the write but holds different settings: "
// and HeldInsteadText.
std::string MismatchAddendum(const std::vector<FieldChange>& sentThenHeld);
