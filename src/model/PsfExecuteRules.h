#pragma once

#include <cstdint>
#include <string>

#include "model/CPsfRecord.h"
#include "model/PsfChoices.h"

// The rules of trying a parameter set out with the live measurement display,
// shared by the PSF configuration dialog's Execute and `veltrixctl monitor`.

// "Choose a Baud Rate before Execute." for the first of the six lists that
// shows no selection, else empty. Such a set cannot be tried: there is no
// rate for the port to follow and no mode to show.
std::string MissingChoiceMessage(const PsfChoices& choices);

// The message that refuses to try a set out, else empty: both measurements
// off, or one of them segmented.
std::string ExecuteRefusal(const CPsfRecord& chosen);

// Which measurements the scans carry: 0 only measurement 1, 1 only
// measurement 2, 2 both.
int MeasurementSelector(uint8_t meas1Code, uint8_t meas2Code);
inline bool SelectorShowsMeas1(int selector) { return selector == 0 || selector == 2; }
inline bool SelectorShowsMeas2(int selector) { return selector == 1 || selector == 2; }

// The set sent for the try-out: the chosen one answering every host request
// with binary measurement results and their header (Host control, Measurement
// Mode Result, Binary, Suppress header off). Suppress clear data and Compress
// data stay as chosen.
CPsfRecord MakeTrialPsf(const CPsfRecord& chosen);
