#pragma once

#include <cstdint>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "model/WriteChanges.h"
#include "protocol/CControllerLink.h"

// After a write was acknowledged: reads what the controller now holds and
// compares it with what was sent, byte for byte (a set's bytes 2 to 153, a
// map's bytes, part number and date code from the diagnostics). A
// controller that acknowledged and stored something else (a flash fault, a
// byte damaged on the line) is caught here.
enum class ReadBack { Same, Different, Unreadable };

// differences: FieldChange{field, sent, held} (see WriteChanges.h).
ReadBack ReadBackPsf(CControllerLink& link, const CPsfRecord& sent,
                     std::vector<FieldChange>& differences);
ReadBack ReadBackBlanking(CControllerLink& link, const CBlankingMap& sent,
                          std::vector<FieldChange>& differences);
// held gets the diagnostics read (the controller's identity after the write).
ReadBack ReadBackPartNumber(CControllerLink& link, uint32_t partNumber, uint16_t dateCode,
                            std::vector<FieldChange>& differences, CDiagnosticsRecord& held);

// The part number and date code of diagnostics as numbers; false when they
// are not the decimal numbers the controller sends.
bool PartNumberOf(const CDiagnosticsRecord& record, uint32_t& partNumber, uint16_t& dateCode);
