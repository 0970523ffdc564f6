#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"
#include "model/ControllerIdentity.h"
#include "platform/ProcessIdentity.h"

// The blanking a controller held before a command cleared or changed it:
// the channel count the command worked with and the 48-byte block.
struct OriginalBlanking {
    int channels = 0;
    std::array<uint8_t, CBlankingMap::kBlockBytes> block{};

    static OriginalBlanking From(const CBlankingMap& map);
    CBlankingMap ToMap() const;
    bool operator==(const OriginalBlanking&) const = default;
};

// One entry of the recovery journal: what a controller held before a command
// sent it a temporary parameter set or temporary blanking, and who did that.
struct RecoveryEntry {
    std::string device;    // the path the port was opened at
    std::string resolved;  // what that path led to then (symbolic links followed)
    int comNumber = 0;     // 0 when the device was named by its path
    uint8_t controllerId = 0;
    // The rest of the controller's identity; entries of earlier versions
    // have the id alone.
    std::optional<ControllerHardware> hardware;
    std::string command;   // "Alignment", "beams", ...
    std::time_t started = 0;
    ProcessIdentity writer;
    std::optional<CPsfRecord> psf;
    std::optional<OriginalBlanking> blanking;

    bool Empty() const { return !psf && !blanking; }
    ControllerIdentity Identity() const { return {controllerId, hardware}; }
    bool operator==(const RecoveryEntry&) const = default;
};

// The entry as the journal stores it: "key value" text lines, values
// percent-encoded, ending with a CRC-32 of everything before it.
std::string SerializeRecoveryEntry(const RecoveryEntry& entry);

enum class EntryProblem { None, Foreign, Corrupt };
// Parses a stored entry. Foreign: not written by this program's journal
// format (another format or version); Corrupt: ours, but damaged. problem
// says what is wrong in words.
EntryProblem ParseRecoveryEntry(const std::string& text, RecoveryEntry& entry, std::string& problem);

// "COM2", or the device path when there is no COM number.
std::string EntryPortName(const RecoveryEntry& entry);
// The local time a command started, as "2026-12-07 10:02".
std::string FormatStartTime(std::time_t started);
// What the entry would put back, in the words of the questions:
// "parameter set", "blanking fields", or both joined by "and".
std::string EntryContents(const RecoveryEntry& entry);
// The question that offers to send an entry's originals back.
std::string RecoveryQuestion(const RecoveryEntry& entry);
