#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// A scripted sequence of measurement results, so that a demo or a test can
// show what the host does with given values (zeros, a frozen low, repeats)
// instead of what the beams would give. Each scan the controller answers in
// measurement mode takes the next pair; after the last pair the sequence
// starts again (repeat) or the last pair stays.
struct MeasurementScript {
    using Pair = std::array<uint16_t, 2>;  // measurement 1, measurement 2

    std::vector<Pair> values;
    bool repeat = false;
    size_t next = 0;

    bool Active() const { return !values.empty(); }
    // The pair the next answered scan carries.
    Pair Current() const;
    void Advance();
};

// "0,0,15,12" (both measurements read each value) or "5/7,6/8" (measurement
// 1 / measurement 2), values 0 to 65535. False with a one-line message in
// error for anything else.
bool ParseMeasurementScript(const std::string& text, std::vector<MeasurementScript::Pair>& values,
                            std::string& error);

}  // namespace sim
