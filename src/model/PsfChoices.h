#pragma once

#include <cstdint>

#include "model/CPsfRecord.h"

// What the PSF configuration dialog shows for a parameter set: the selected
// index of each list and radio group (-1 for none) and the three option
// check boxes. The dialog keeps its controls and this value in step; the
// rules below work on the value alone.
struct PsfChoices {
    int controllerId = -1;
    int baudRate = -1;
    int controlMode = -1;
    int scanningMethod = -1;
    int meas1 = -1;
    int meas2 = -1;
    int transmissionMode = -1;  // kTransmission* below
    int transmissionType = -1;  // 0 ASCII, 1 Binary
    bool suppressClearData = false;
    bool suppressHeader = false;
    bool compressData = false;

    bool operator==(const PsfChoices&) const = default;
};

// Indexes of the three transmission mode radio buttons.
inline constexpr int kTransmissionNone = 0;
inline constexpr int kTransmissionMeasurement = 1;
inline constexpr int kTransmissionAll = 2;

// Indexes into kMeasurementModes that the rules name.
inline constexpr int kMeasLbbIndex = 2;
inline constexpr int kMeasNoneIndex = 10;
inline constexpr uint8_t kMeasNoneCode = 'K';
inline constexpr uint8_t kMeasSegCode = 'J';
inline constexpr uint8_t kScanningEdgeCode = 'j';

// The lists, radio buttons and check boxes for a record. A code that is in
// no option table gives -1: that list shows no selection.
PsfChoices ChoicesFromRecord(const CPsfRecord& record);

// Fills record bytes 2 to 8 from the choices. A list with no selection keeps
// the byte as it stood, as does byte 8 with no transmission mode chosen; the
// Binary bit and the options are written only when the mode is not None.
// Bytes 0, 1 and 9 and the discrete outputs are never touched.
void StoreChoices(const PsfChoices& choices, CPsfRecord& record);

// Choosing "no serial communication" clears the three options. Returns
// whether the transmission type and option controls are enabled.
bool ApplyTransmissionModeRule(PsfChoices& choices, int modeIndex);

// Edge scanning works with the last blocked beam only: Meas 1 becomes LBB and
// Meas 2 None. Returns whether the two Meas lists are enabled.
bool ApplyScanningMethodRule(PsfChoices& choices, uint8_t scanningCode);

SerialTransmissionMode TransmissionModeOfIndex(int index);
int IndexOfTransmissionMode(SerialTransmissionMode mode);
