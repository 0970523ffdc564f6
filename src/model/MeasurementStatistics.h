#pragma once

#include <cstdint>

class CMeasurementValues;

// Lowest, highest and present value of one measurement over a run.
//
// Zeros are passed over until a non-zero value has been seen (a measurement
// reads 0 while nothing is in the curtain); a zero that follows a non-zero
// low pins low at 0 until the next reset, so that a gap that opened once
// stays visible.
struct MeasurementStatistics {
    static constexpr uint32_t kNoValue = 0xFFFFFFFF;

    uint32_t low = kNoValue;
    uint16_t high = 0;
    uint16_t present = 0;
    bool lowFrozen = false;

    void Reset() { *this = MeasurementStatistics{}; }
    void Update(uint16_t value);
    bool operator==(const MeasurementStatistics&) const = default;
};

// Updates the statistics of the measurements a scan of that selector
// carries: stats[0] from value 1 (selector 0 or 2), stats[1] from value 2
// (selector 1 or 2).
void UpdateStatistics(int selector, const CMeasurementValues& scan, MeasurementStatistics stats[2]);
