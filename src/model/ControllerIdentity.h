#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/CDiagnosticsRecord.h"

// What tells one controller from another: the id it answers the probe
// with, and from its diagnostics the part number, date code, firmware and
// board layout. None of these is a serial number; together they tell a
// controller that was swapped on a line from the one that was there.
struct ControllerHardware {
    std::string partNumber;  // "123456"
    std::string dateCode;    // "1102"
    std::string firmware;    // "2.3"
    std::string boards;      // channel counts, emitter / receiver: "16,16/16,8"

    bool operator==(const ControllerHardware&) const = default;
};

struct ControllerIdentity {
    uint8_t id = 0;
    // Absent where only the id is known (journal entries of earlier
    // versions, a controller whose diagnostics could not be read).
    std::optional<ControllerHardware> hardware;

    bool operator==(const ControllerIdentity&) const = default;
};

ControllerHardware HardwareOf(const CDiagnosticsRecord& record);
// "16,16/16,8": the channel count of each emitter board, then of each
// receiver board (0 invalid, -1 undefined); error codes are left out.
std::string BoardLayout(const CDiagnosticsRecord& record);

// How found differs from expected, for messages: "part number 999, not
// 123456". Only what expected knows is compared; the first difference in
// the order part number, date code, firmware, boards, id is named. Empty
// when found is the controller expected.
std::string IdentityDifference(const ControllerIdentity& expected, const ControllerIdentity& found);
