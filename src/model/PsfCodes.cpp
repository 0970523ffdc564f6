#include "model/PsfCodes.h"

#include <cstdio>

namespace {

std::string Quoted(uint8_t code) {
    char text[8];
    if (code >= 0x20 && code < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", code);
    else
        std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

}  // namespace

std::vector<std::string> FieldsOutsideTables(const CPsfRecord& record) {
    struct Field {
        const char* label;
        uint8_t code;
        int index;
    };
    const Field fields[] = {
        {"Controller ID", record.GetControllerId(), LookupControllerId(record.GetControllerId())},
        {"Baud Rate", record.GetBaudCode(), LookupBaudRate(record.GetBaudCode())},
        {"Control Mode", record.GetControlMode(), LookupControlMode(record.GetControlMode())},
        {"Scanning Method", record.GetScanningMethod(), LookupScanningMethod(record.GetScanningMethod())},
        {"Meas 1", record.GetMeasMode(0), LookupMeasurementMode(record.GetMeasMode(0))},
        {"Meas 2", record.GetMeasMode(1), LookupMeasurementMode(record.GetMeasMode(1))},
    };
    std::vector<std::string> outside;
    for (const Field& field : fields)
        if (field.index < 0) outside.push_back(std::string(field.label) + " " + Quoted(field.code));
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const auto code = static_cast<uint8_t>(outputs[k].source);
        if (LookupOutputSource(code) < 0)
            outside.push_back("Output #" + std::to_string(k + 1) + " source " + Quoted(code));
    }
    return outside;
}
