#include "model/DiscreteOutputRules.h"

#include <cctype>

namespace {

constexpr uint16_t kMaxHysteresisLow = kMaxSetPoint - 1;
constexpr uint16_t kMinHysteresisHigh = 2;
constexpr uint16_t kMaxHysteresisHigh = kMaxSetPoint + 1;

// Assigns and notes whether the value moved.
void Put(uint16_t& field, int value, bool& changed) {
    const auto v = static_cast<uint16_t>(value);
    if (field != v) changed = true;
    field = v;
}

void Clamp(uint16_t& field, uint16_t low, uint16_t high, bool& changed) {
    if (field < low) Put(field, low, changed);
    if (field > high) Put(field, high, changed);
}

// Column 2: A. Raising A pushes B (and D past it) up; lowering it to C or
// below pulls C under it.
void SetPointLowRule(DiscreteOutput& o, bool& changed) {
    Clamp(o.setPointLow, 1, kMaxSetPoint, changed);
    if (o.source == kSourceTrigger) return;
    if (o.setPointLow <= o.hysteresisLow) Put(o.hysteresisLow, o.setPointLow - 1, changed);
    if (o.setPointHigh < o.setPointLow) {
        Put(o.setPointHigh, o.setPointLow, changed);
        if (o.hysteresisHigh <= o.setPointLow) Put(o.hysteresisHigh, o.setPointLow + 1, changed);
    }
}

// Column 3: B.
void SetPointHighRule(DiscreteOutput& o, bool& changed) {
    Clamp(o.setPointHigh, 1, kMaxSetPoint, changed);
    if (o.setPointHigh >= o.hysteresisHigh) Put(o.hysteresisHigh, o.setPointHigh + 1, changed);
    if (o.setPointLow > o.setPointHigh) {
        Put(o.setPointLow, o.setPointHigh, changed);
        // C equal to the new A stays: only a C above B is pulled down.
        if (o.setPointHigh < o.hysteresisLow) Put(o.hysteresisLow, o.setPointHigh - 1, changed);
    }
}

// Column 4: C.
void HysteresisLowRule(DiscreteOutput& o, bool& changed) {
    if (o.hysteresisLow > kMaxHysteresisLow) Put(o.hysteresisLow, kMaxHysteresisLow, changed);
    if (o.hysteresisLow >= o.setPointLow) {
        Put(o.setPointLow, o.hysteresisLow + 1, changed);
        if (o.setPointHigh < o.setPointLow) {
            Put(o.setPointHigh, o.setPointLow, changed);
            if (o.hysteresisHigh <= o.setPointLow)
                Put(o.hysteresisHigh, o.setPointLow + 1, changed);
        }
    }
}

// Column 5: D.
void HysteresisHighRule(DiscreteOutput& o, bool& changed) {
    Clamp(o.hysteresisHigh, kMinHysteresisHigh, kMaxHysteresisHigh, changed);
    if (o.hysteresisHigh <= o.setPointHigh) {
        Put(o.setPointHigh, o.hysteresisHigh - 1, changed);
        if (o.setPointLow > o.setPointHigh) {
            Put(o.setPointLow, o.setPointHigh, changed);
            Put(o.hysteresisLow, o.hysteresisHigh - 2, changed);
        }
    }
}

}  // namespace

bool IsValueColumnLocked(int32_t sourceCode, int column) {
    if (column < kFirstValueColumn || column > kLastValueColumn) return false;
    if (sourceCode == kSourceOff || sourceCode == kSourceAlarm) return true;
    if (sourceCode == kSourceTrigger) return column != kFirstValueColumn;
    return false;
}

uint16_t OutputValue(const DiscreteOutput& output, int column) {
    switch (column) {
        case 2:
            return output.setPointLow;
        case 3:
            return output.setPointHigh;
        case 4:
            return output.hysteresisLow;
        case 5:
            return output.hysteresisHigh;
        default:
            return 0;
    }
}

void SetOutputValue(DiscreteOutput& output, int column, uint16_t value) {
    switch (column) {
        case 2:
            output.setPointLow = value;
            break;
        case 3:
            output.setPointHigh = value;
            break;
        case 4:
            output.hysteresisLow = value;
            break;
        case 5:
            output.hysteresisHigh = value;
            break;
        default:
            break;
    }
}

bool ApplyValueRule(int column, DiscreteOutput& output) {
    bool changed = false;
    switch (column) {
        case 2:
            SetPointLowRule(output, changed);
            break;
        case 3:
            SetPointHighRule(output, changed);
            break;
        case 4:
            HysteresisLowRule(output, changed);
            break;
        case 5:
            HysteresisHighRule(output, changed);
            break;
        default:
            break;
    }
    return changed;
}

uint16_t ParseOutputValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    // Only the low 16 bits are kept, so the sum may wrap as it goes.
    uint16_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = static_cast<uint16_t>(value * 10 + (text[i] - '0'));
    return negative ? static_cast<uint16_t>(-value) : value;
}

bool OutputValuesConsistent(const DiscreteOutput& o) {
    const auto inSetPointRange = [](uint16_t v) { return v >= 1 && v <= kMaxSetPoint; };
    if (o.source == kSourceOff || o.source == kSourceAlarm) return true;
    if (o.source == kSourceTrigger) return inSetPointRange(o.setPointLow);
    return inSetPointRange(o.setPointLow) && inSetPointRange(o.setPointHigh) &&
           o.hysteresisLow < o.setPointLow && o.setPointLow <= o.setPointHigh &&
           o.setPointHigh < o.hysteresisHigh && o.hysteresisHigh <= kMaxHysteresisHigh;
}
