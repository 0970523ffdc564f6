#include <cstdio>
#include <iomanip>
#include <optional>

#include "CommandEnv.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "model/PsfFile.h"

namespace {

// A code byte as text: the character when it is printable, else its value.
std::string CodeText(uint8_t code) {
    if (code >= 0x20 && code < 0x7F) return std::string(1, static_cast<char>(code));
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", code);
    return buffer;
}

template <std::size_t N>
std::optional<std::string> OptionText(const PsfOption (&table)[N], int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= N) return std::nullopt;
    return std::string(table[index].text);
}

struct CodedField {
    const char* label;
    const char* key;
    uint8_t code;
    std::optional<std::string> text;  // nothing for a code in no table
};

const char* ModeText(SerialTransmissionMode mode) {
    switch (mode) {
    case SerialTransmissionMode::MeasurementResult: return "Measurement Mode Result";
    case SerialTransmissionMode::AllMode: return "All Mode";
    case SerialTransmissionMode::None: break;
    }
    return "No Serial Communication";
}

const char* ModeKey(SerialTransmissionMode mode) {
    switch (mode) {
    case SerialTransmissionMode::MeasurementResult: return "measurement_result";
    case SerialTransmissionMode::AllMode: return "all";
    case SerialTransmissionMode::None: break;
    }
    return "none";
}

std::vector<CodedField> CodedFields(const CPsfRecord& record) {
    return {
        {"Controller ID", "controller_id", record.GetControllerId(),
         OptionText(kControllerIds, LookupControllerId(record.GetControllerId()))},
        {"Baud Rate", "baud_rate", record.GetBaudCode(),
         OptionText(kBaudRates, LookupBaudRate(record.GetBaudCode()))},
        {"Control Mode", "control_mode", record.GetControlMode(),
         OptionText(kControlModes, LookupControlMode(record.GetControlMode()))},
        {"Scanning Method", "scanning_method", record.GetScanningMethod(),
         OptionText(kScanningMethods, LookupScanningMethod(record.GetScanningMethod()))},
        {"Meas 1", "meas1_mode", record.GetMeasMode(0),
         OptionText(kMeasurementModes, LookupMeasurementMode(record.GetMeasMode(0)))},
        {"Meas 2", "meas2_mode", record.GetMeasMode(1),
         OptionText(kMeasurementModes, LookupMeasurementMode(record.GetMeasMode(1)))},
    };
}

void PrintText(std::ostream& out, const std::string& path, const CPsfRecord& record) {
    const auto line = [&out](const std::string& label) -> std::ostream& {
        return out << std::left << std::setw(24) << label;
    };
    const bool serial = record.GetTransmissionMode() != SerialTransmissionMode::None;
    const auto onOff = [](uint8_t bit) { return bit ? "on" : "off"; };
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", record.Data()[8]);

    line("File") << path << "\n";
    line("Addressed controller") << CodeText(record.Data()[0]) << "\n";
    line("Command letter") << CodeText(record.Data()[1]) << "\n";
    for (const CodedField& field : CodedFields(record)) {
        line(field.label) << (field.text ? *field.text : "unknown code " + CodeText(field.code)) << "\n";
    }
    line("Serial Transmission") << ModeText(record.GetTransmissionMode()) << " (flags " << flags
                                << ")\n";
    // The options mean something only while serial transmission is on.
    if (serial) {
        line("Transmission Type") << (record.GetBinary() ? "Binary" : "ASCII") << "\n";
        line("Suppress Clear Data") << onOff(record.GetSuppressClearData()) << "\n";
        line("Suppress Header") << onOff(record.GetSuppressHeader()) << "\n";
        line("Compress Data") << onOff(record.GetCompressData()) << "\n";
    }
    line("Scan #") << static_cast<int>(record.GetScanCount()) << "\n";

    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    out << "\n"
        << std::left << std::setw(11) << "Output" << std::setw(17) << "Source" << std::right
        << std::setw(10) << "Set low" << std::setw(10) << "Set high" << std::setw(10) << "Hyst low"
        << std::setw(11) << "Hyst high" << "\n";
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const DiscreteOutput& o = outputs[k];
        const auto code = static_cast<uint8_t>(o.source);
        const auto source = OptionText(kOutputSources, LookupOutputSource(code));
        out << std::left << std::setw(11) << ("#" + std::to_string(k + 1)) << std::setw(17)
            << (source ? *source : "code " + CodeText(code)) << std::right << std::setw(10)
            << o.setPointLow << std::setw(10) << o.setPointHigh << std::setw(10) << o.hysteresisLow
            << std::setw(11) << o.hysteresisHigh << "\n";
    }
}

// A code with its text, or null for a code in no table.
Json CodeJson(uint8_t code, const std::optional<std::string>& text) {
    return {{"code", CodeText(code)}, {"text", text ? Json(*text) : Json(nullptr)}};
}

void PrintJson(std::ostream& out, const std::string& path, const CPsfRecord& record) {
    Json json = {{"file", path},
                 {"addressed_id", CodeText(record.Data()[0])},
                 {"command", CodeText(record.Data()[1])}};
    for (const CodedField& field : CodedFields(record)) json[field.key] = CodeJson(field.code, field.text);
    json["transmission_flags"] = static_cast<int>(record.Data()[8]);
    json["transmission_mode"] = ModeKey(record.GetTransmissionMode());
    json["binary"] = record.GetBinary() != 0;
    json["suppress_clear_data"] = record.GetSuppressClearData() != 0;
    json["suppress_header"] = record.GetSuppressHeader() != 0;
    json["compress_data"] = record.GetCompressData() != 0;
    json["scan_count"] = static_cast<int>(record.GetScanCount());

    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    Json list = Json::array();
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const DiscreteOutput& o = outputs[k];
        const auto code = static_cast<uint8_t>(o.source);
        list.push_back({{"output", k + 1},
                        {"source", CodeJson(code, OptionText(kOutputSources, LookupOutputSource(code)))},
                        {"set_point_low", static_cast<int>(o.setPointLow)},
                        {"set_point_high", static_cast<int>(o.setPointHigh)},
                        {"hysteresis_low", static_cast<int>(o.hysteresisLow)},
                        {"hysteresis_high", static_cast<int>(o.hysteresisHigh)}});
    }
    json["outputs"] = std::move(list);
    out << JsonLine(json);
}

}  // namespace

int ShowPsfFile(CommandEnv& env, const std::string& path) {
    CPsfRecord record;
    if (const int status = ReadPsfFile(record, path); status != kPsfOk) {
        env.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    if (env.global.json) {
        PrintJson(env.out, path, record);
    } else {
        PrintText(env.out, path, record);
    }
    return kExitOk;
}
