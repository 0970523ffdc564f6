#include "model/PsfText.h"

#include <cstdio>

namespace {

template <std::size_t N>
std::optional<std::string> OptionText(const PsfOption (&table)[N], int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return std::nullopt;
    return std::string(table[index].text);
}

}  // namespace

std::string PsfCodeText(uint8_t code) {
    if (code >= 0x20 && code < 0x7F) return std::string(1, static_cast<char>(code));
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", code);
    return buffer;
}

std::vector<PsfCodedField> PsfCodedFields(const CPsfRecord& record) {
    return {
        {"Controller ID", "controller_id", record.GetControllerId(),
         OptionText(kControllerIds, LookupControllerId(record.GetControllerId()))},
        {"Baud Rate", "baud_rate", record.GetBaudCode(),
         OptionText(kBaudRates, LookupBaudRate(record.GetBaudCode()))},
        {"Control Mode Selection", "control_mode", record.GetControlMode(),
         OptionText(kControlModes, LookupControlMode(record.GetControlMode()))},
        {"Scanning Method", "scanning_method", record.GetScanningMethod(),
         OptionText(kScanningMethods, LookupScanningMethod(record.GetScanningMethod()))},
        {"Meas 1", "meas1_mode", record.GetMeasMode(0),
         OptionText(kMeasurementModes, LookupMeasurementMode(record.GetMeasMode(0)))},
        {"Meas 2", "meas2_mode", record.GetMeasMode(1),
         OptionText(kMeasurementModes, LookupMeasurementMode(record.GetMeasMode(1)))},
    };
}

const char* TransmissionModeText(SerialTransmissionMode mode) {
    switch (mode) {
        case SerialTransmissionMode::MeasurementResult: return "Measurement Mode Result";
        case SerialTransmissionMode::AllMode: return "All Mode";
        case SerialTransmissionMode::None: break;
    }
    return "No Serial Communication";
}

const char* TransmissionModeKey(SerialTransmissionMode mode) {
    switch (mode) {
        case SerialTransmissionMode::MeasurementResult: return "measurement_result";
        case SerialTransmissionMode::AllMode: return "all";
        case SerialTransmissionMode::None: break;
    }
    return "none";
}

std::optional<std::string> OutputSourceText(uint8_t code) {
    return OptionText(kOutputSources, LookupOutputSource(code));
}
