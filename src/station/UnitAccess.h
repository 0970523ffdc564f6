#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "command/WriteOutcome.h"
#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"

// What the station does with the controller on its device. The cycle only
// talks through this, so its steps can be driven by a scripted unit in
// tests; OpenUnitAccess gives the real one. Nothing here shows a message.
//
// Writes are the verified ones of the command context: what the unit held
// goes to the change history first, the write is read back and compared,
// and the attempt is audited.
class UnitAccess {
public:
    virtual ~UnitAccess() = default;

    // Opens the device when it is closed and probes for a controller; true
    // when one answers. Opening fails quietly: no device is the normal state
    // of a station between two units.
    virtual bool Probe() = 0;
    // Closes the device until the next Probe, so that an adapter that is
    // pulled out and plugged in again is opened afresh.
    virtual void Release() = 0;

    // Reads false when the exchange failed.
    virtual bool ReadDiagnostics(CDiagnosticsRecord& record) = 0;
    virtual bool ReadPsf(CPsfRecord& psf) = 0;
    // held: what the unit holds, just read (kept in the history).
    virtual WriteOutcome WritePsf(const CPsfRecord& psf, const CPsfRecord& held) = 0;
    virtual WriteOutcome WriteBlanking(const CBlankingMap& map) = 0;
    virtual WriteOutcome WritePartNumber(uint32_t partNumber, uint32_t dateCode) = 0;
    // Why the last write was Refused: the history or the audit log could
    // not be written.
    virtual std::string RecordsProblem() const = 0;

    // The id the controller answered the last probe with ('A' to 'O'), 0
    // before any.
    virtual uint8_t ControllerId() const = 0;
    // The device went away during the last exchanges (a pulled adapter).
    virtual bool DeviceLost() const = 0;
};

// The controller on a device path; comNumber as the port layer names it (0
// for a device known by its path alone).
std::unique_ptr<UnitAccess> OpenUnitAccess(const std::string& devicePath, int comNumber);
