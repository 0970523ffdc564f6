#include "model/PsfCodes.h"

#include <cstdio>

namespace {

constexpr int kMinScanCount = 1;
constexpr int kMaxScanCount = 9;

std::string Quoted(uint8_t code) {
    char text[8];
    if (code >= 0x20 && code < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", code);
    else
        std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

std::string Sentences(const std::vector<UndefinedPsfField>& fields) {
    std::string text;
    for (const UndefinedPsfField& field : fields)
        text += (text.empty() ? "" : "\n") + DescribeUndefinedField(field);
    return text;
}

}  // namespace

std::vector<UndefinedPsfField> UndefinedPsfFields(const CPsfRecord& record) {
    using Kind = UndefinedPsfField::Kind;
    struct Coded {
        const char* label;
        const char* shortName;
        uint8_t code;
        int index;
    };
    const Coded lists[] = {
        {"Controller ID", "Controller ID", record.GetControllerId(),
         LookupControllerId(record.GetControllerId())},
        {"Baud Rate", "Baud Rate", record.GetBaudCode(), LookupBaudRate(record.GetBaudCode())},
        {"Control Mode Selection", "Control Mode", record.GetControlMode(),
         LookupControlMode(record.GetControlMode())},
        {"Scanning Method", "Scanning Method", record.GetScanningMethod(),
         LookupScanningMethod(record.GetScanningMethod())},
        {"Meas 1", "Meas 1", record.GetMeasMode(0), LookupMeasurementMode(record.GetMeasMode(0))},
        {"Meas 2", "Meas 2", record.GetMeasMode(1), LookupMeasurementMode(record.GetMeasMode(1))},
    };
    std::vector<UndefinedPsfField> undefined;
    for (const Coded& list : lists)
        if (list.index < 0) undefined.push_back({Kind::UnknownCode, list.label, list.shortName, list.code});
    const uint8_t scans = record.GetScanCount();
    if (scans < kMinScanCount || scans > kMaxScanCount)
        undefined.push_back({Kind::ScanCountOutOfRange, "Scan #", "Scan #", scans});
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const auto code = static_cast<uint8_t>(outputs[k].source);
        if (LookupOutputSource(code) >= 0) continue;
        const std::string name = "Output #" + std::to_string(k + 1) + " source";
        undefined.push_back({Kind::UnknownCode, name, name, code});
    }
    return undefined;
}

std::string DescribeUndefinedField(const UndefinedPsfField& field) {
    if (field.kind == UndefinedPsfField::Kind::ScanCountOutOfRange)
        return field.label + " holds " + std::to_string(field.value) + ", which is outside " +
               std::to_string(kMinScanCount) + " to " + std::to_string(kMaxScanCount) + ".";
    return field.label + " holds code " + Quoted(field.value) + ", which this program does not know.";
}

std::string UndefinedSetQuestion(const CPsfRecord& record) {
    const std::vector<UndefinedPsfField> fields = UndefinedPsfFields(record);
    if (fields.empty()) return {};
    // One field reads as one paragraph; several get a line each.
    return Sentences(fields) + (fields.size() == 1 ? " " : "\n\n") + "Send it anyway?";
}

std::string UndefinedSetLoadedNote(const CPsfRecord& record) {
    const std::vector<UndefinedPsfField> fields = UndefinedPsfFields(record);
    if (fields.empty()) return {};
    return Sentences(fields) +
           "\n\nThe file was loaded as it is. Send PSF asks before it sends these settings.";
}

std::vector<std::string> FieldsOutsideTables(const CPsfRecord& record) {
    std::vector<std::string> outside;
    for (const UndefinedPsfField& field : UndefinedPsfFields(record))
        if (field.kind == UndefinedPsfField::Kind::UnknownCode)
            outside.push_back(field.shortName + " " + Quoted(field.value));
    return outside;
}
