#include "model/MeasurementStatistics.h"

#include "model/PsfExecuteRules.h"
#include "model/ScanReply.h"

void MeasurementStatistics::Update(uint16_t value) {
    present = value;
    if (!lowFrozen && (value < low || low == 0)) {
        if (value == 0 && low != 0 && low != kNoValue) lowFrozen = true;
        low = value;
    }
    if (value > high) high = value;
}

void UpdateStatistics(int selector, const CMeasurementValues& scan, MeasurementStatistics stats[2]) {
    if (SelectorShowsMeas1(selector)) stats[0].Update(scan.Value1());
    if (SelectorShowsMeas2(selector)) stats[1].Update(scan.Value2());
}
