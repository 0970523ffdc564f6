#pragma once

#include <cstdint>
#include <string>

#include "model/CPsfRecord.h"

// The rules of the discrete outputs editor, by grid column: 1 the source,
// 2 set point low (A), 3 set point high (B), 4 hysteresis low (C),
// 5 hysteresis high (D). A measurement output keeps C < A <= B < D with A and
// B in 1 to 384; a Trigger output uses A only; Off and Alarm use none.
inline constexpr int kOutputSourceColumn = 1;
inline constexpr int kFirstValueColumn = 2;
inline constexpr int kLastValueColumn = 5;
inline constexpr uint16_t kMaxSetPoint = 384;

inline constexpr uint8_t kSourceOff = 'x';
inline constexpr uint8_t kSourceAlarm = 'w';
inline constexpr uint8_t kSourceTrigger = 'v';

// Whether a value column (2 to 5) is locked for an output with that source.
bool IsValueColumnLocked(int32_t sourceCode, int column);

// The value of a column (2 to 5) of an output, and setting it.
uint16_t OutputValue(const DiscreteOutput& output, int column);
void SetOutputValue(DiscreteOutput& output, int column, uint16_t value);

// The rule of a value column, run when the user leaves a cell of it: clamps
// that column and pushes the neighbours it compares along. Returns whether
// anything changed (the editor then beeps once and rewrites the row).
bool ApplyValueRule(int column, DiscreteOutput& output);

// A cell's text as a value: optional blanks and sign, then leading digits
// (none gives 0), reduced to the low 16 bits, so "-1" reads 65535 and
// "70000" 4464.
uint16_t ParseOutputValue(const std::string& text);

// Whether an output's values are consistent for its source (the order above
// for the measurement sources, with D at most 385; A in 1 to 384 for
// Trigger; anything for Off and Alarm).
bool OutputValuesConsistent(const DiscreteOutput& output);
