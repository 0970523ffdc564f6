#include "model/PsfChoices.h"

#include <cstddef>

namespace {

template <std::size_t N>
void StoreCode(const PsfOption (&table)[N], int index, uint8_t& byte) {
    // No selection: the byte stays, so an unknown code read from a file or a
    // controller is sent back as it came.
    if (index >= 0 && index < static_cast<int>(N)) byte = table[index].code;
}

}  // namespace

SerialTransmissionMode TransmissionModeOfIndex(int index) {
    switch (index) {
        case kTransmissionMeasurement:
            return SerialTransmissionMode::MeasurementResult;
        case kTransmissionAll:
            return SerialTransmissionMode::AllMode;
        default:
            return SerialTransmissionMode::None;
    }
}

int IndexOfTransmissionMode(SerialTransmissionMode mode) {
    switch (mode) {
        case SerialTransmissionMode::MeasurementResult:
            return kTransmissionMeasurement;
        case SerialTransmissionMode::AllMode:
            return kTransmissionAll;
        case SerialTransmissionMode::None:
            break;
    }
    return kTransmissionNone;
}

PsfChoices ChoicesFromRecord(const CPsfRecord& record) {
    PsfChoices choices;
    choices.controllerId = LookupControllerId(record.GetControllerId());
    choices.baudRate = LookupBaudRate(record.GetBaudCode());
    choices.controlMode = LookupControlMode(record.GetControlMode());
    choices.scanningMethod = LookupScanningMethod(record.GetScanningMethod());
    choices.meas1 = LookupMeasurementMode(record.GetMeasMode(0));
    choices.meas2 = LookupMeasurementMode(record.GetMeasMode(1));
    choices.transmissionMode = IndexOfTransmissionMode(record.GetTransmissionMode());
    choices.transmissionType = record.GetBinary() ? 1 : 0;
    choices.suppressClearData = record.GetSuppressClearData() != 0;
    choices.suppressHeader = record.GetSuppressHeader() != 0;
    choices.compressData = record.GetCompressData() != 0;
    return choices;
}

void StoreChoices(const PsfChoices& choices, CPsfRecord& record) {
    uint8_t* image = record.Data();
    StoreCode(kControllerIds, choices.controllerId, image[2]);
    StoreCode(kBaudRates, choices.baudRate, image[3]);
    StoreCode(kControlModes, choices.controlMode, image[4]);
    StoreCode(kScanningMethods, choices.scanningMethod, image[5]);
    StoreCode(kMeasurementModes, choices.meas1, image[6]);
    StoreCode(kMeasurementModes, choices.meas2, image[7]);
    if (choices.transmissionMode >= kTransmissionNone && choices.transmissionMode <= kTransmissionAll)
        record.SetTransmissionMode(TransmissionModeOfIndex(choices.transmissionMode));
    if (record.GetTransmissionMode() != SerialTransmissionMode::None) {
        if (choices.transmissionType >= 0) record.SetBinary(choices.transmissionType != 0);
        record.SetSuppressClearData(choices.suppressClearData);
        record.SetSuppressHeader(choices.suppressHeader);
        record.SetCompressData(choices.compressData);
    }
}

bool ApplyTransmissionModeRule(PsfChoices& choices, int modeIndex) {
    const bool none = modeIndex == kTransmissionNone;
    if (none) {
        choices.suppressClearData = false;
        choices.suppressHeader = false;
        choices.compressData = false;
    }
    return !none;
}

bool ApplyScanningMethodRule(PsfChoices& choices, uint8_t scanningCode) {
    if (scanningCode != kScanningEdgeCode) return true;
    choices.meas1 = kMeasLbbIndex;
    choices.meas2 = kMeasNoneIndex;
    return false;
}
