#pragma once

#include <string>

#include "station/UnitRecord.h"

// A unit as a station would record it: every column filled, times n seconds
// apart so that their order is plain.
inline UnitRecord SampleUnit(int n, UnitRecord::Result result = UnitRecord::Result::Pass) {
    UnitRecord unit;
    unit.startedAtMs = 1773568923004 + n * 1000;
    unit.finishedAtMs = unit.startedAtMs + 640;
    unit.station = "line1";
    unit.device = "/dev/ttyUSB" + std::to_string(n % 2);
    unit.controllerId = "A";
    unit.partNumber = "123456";
    unit.dateCode = "2611";
    unit.firmware = "2.3";
    unit.layout = "E 16+16 R 16+16";
    unit.psfFingerprint = "9f86d081884c7d65";
    unit.blankingFingerprint = "60303ae22b998861";
    unit.result = result;
    if (result == UnitRecord::Result::Fail) unit.reason = "diagnostics: Receiver Error";
    unit.operatorName = "Jörg";
    unit.recordUid = NewRecordUid();
    return unit;
}
