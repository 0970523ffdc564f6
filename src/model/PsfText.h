#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/CPsfRecord.h"

// The parameter set in words, for reports and the command-line tool. A code
// that is in no option table has no text: the caller shows the code.

// The character of a printable code, else its value as "0x1F".
std::string PsfCodeText(uint8_t code);

// The six fields chosen from an option table, labelled as the PSF
// configuration dialog labels them.
struct PsfCodedField {
    const char* label;  // "Controller ID"
    const char* key;    // "controller_id"
    uint8_t code;
    std::optional<std::string> text;  // nothing for a code in no table
};
std::vector<PsfCodedField> PsfCodedFields(const CPsfRecord& record);

// The option buttons' words for the transmission mode, and a key for it.
const char* TransmissionModeText(SerialTransmissionMode mode);
const char* TransmissionModeKey(SerialTransmissionMode mode);

// The source of a discrete output as the outputs editor lists it.
std::optional<std::string> OutputSourceText(uint8_t code);
