#pragma once

#include <cstdint>
#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"
#include "model/ControllerIdentity.h"
#include "model/WriteChanges.h"

// One write to a controller as the change history and the audit log keep
// it: when, where, to which controller, by which command, what the
// controller held before and what it was sent.
enum class WriteKind { Psf, Blanking, PartNumber };

// "psf", "blanking", "partnumber".
const char* WriteKindName(WriteKind kind);
// In words: "parameter set", "blanking fields", "part number and date code".
const char* WriteKindText(WriteKind kind);
std::optional<WriteKind> WriteKindNamed(const std::string& name);

struct WriteRecord {
    std::time_t time = 0;
    std::string device;      // as the port was opened
    std::string stablePath;  // a name that survives re-plugging (/dev/serial/by-id/...), else the
                             // resolved path
    ControllerIdentity controller;
    std::string command;  // "psf put", "Send PSF", "history restore 3"
    WriteKind kind = WriteKind::Psf;
    // The bytes replaced and the bytes sent: a parameter set's 154-byte
    // image; a blanking map's bytes, channels saying how many channels;
    // part number and date code as the 'X' request carries them (6 bytes).
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;
    int channels = 0;
    std::string fingerprintBefore;
    std::string fingerprintAfter;
    std::vector<FieldChange> changes;  // before -> after

    // Filled from values; the changes and fingerprints with them.
    void SetPsf(const CPsfRecord& replaced, const CPsfRecord& sent);
    void SetBlanking(const CBlankingMap& replaced, const CBlankingMap& sent);
    void SetPartNumber(uint32_t partNumberBefore, uint16_t dateCodeBefore, uint32_t partNumberAfter,
                       uint16_t dateCodeAfter);

    // What the write replaced is not known (a restore, or a controller
    // that could not be read): no bytes, fingerprint or changes before.
    void ForgetBefore();

    // The controller as it should answer after this write: a set carries
    // the controller's id, the part number write its part number and date
    // code. What a restore of this entry compares the controller with.
    ControllerIdentity IdentityAfter() const;

    // What was replaced, as values: nothing when the bytes do not fit.
    std::optional<CPsfRecord> ReplacedPsf() const;
    std::optional<CBlankingMap> ReplacedBlanking() const;
    bool ReplacedPartNumber(uint32_t& partNumber, uint16_t& dateCode) const;
};

// The program that writes the records ("veltrixctl", "2.1.0"); set once
// at start-up by each program.
void SetRecordingProgram(const std::string& name, const std::string& version);
const std::string& RecordingProgramName();
const std::string& RecordingProgramVersion();

// Lower-case hex of bytes, and back (false on anything but pairs of hex digits).
std::string BytesHex(const std::vector<uint8_t>& bytes);
bool BytesFromHex(const std::string& hex, std::vector<uint8_t>& bytes);

// [{"field", "old", "new"}] and back.
nlohmann::ordered_json ChangesJson(const std::vector<FieldChange>& changes);
std::vector<FieldChange> ChangesFromJson(const nlohmann::ordered_json& json);
// "A", or the code as "0x1F".
std::string ControllerIdText(uint8_t id);
