#include "model/PsfFields.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <optional>

#include "model/DiscreteOutputRules.h"
#include "model/PsfChoices.h"

namespace {

// Command-line names of kOutputSources, entry for entry.
constexpr const char* kSourceNames[] = {"off",      "meas1",     "meas2",  "meas1-inv",
                                        "meas2-inv", "alarm",    "trigger"};
static_assert(std::size(kSourceNames) == std::size(kOutputSources));
constexpr int kSourcesOnEveryOutput = 5;  // alarm and trigger: output 16 only

constexpr const char* kTransmissionNames[] = {"none", "meas", "all"};
constexpr const char* kOptionKeys[] = {"type", "suppress-clear", "suppress-header", "compress"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string UnknownCode(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "unknown 0x%02X", static_cast<unsigned>(code & 0xFF));
    return text;
}

template <std::size_t N>
std::string TextOf(const PsfOption (&table)[N], uint8_t code) {
    for (const PsfOption& option : table)
        if (option.code == code) return option.text;
    return UnknownCode(code);
}

template <std::size_t N>
std::optional<uint8_t> CodeOf(const PsfOption (&table)[N], const std::string& value) {
    for (const PsfOption& option : table)
        if (Lower(option.text) == Lower(value)) return option.code;
    return std::nullopt;
}

template <std::size_t N>
std::string Choices(const PsfOption (&table)[N]) {
    std::string list;
    for (const PsfOption& option : table) list += (list.empty() ? "" : ", ") + std::string(option.text);
    return list;
}

const char* OnOff(uint8_t bit) { return bit ? "on" : "off"; }

std::string OutputText(const DiscreteOutput& output) {
    const int index = LookupOutputSource(static_cast<uint8_t>(output.source));
    std::string text = index >= 0 ? kSourceNames[index] : UnknownCode(output.source);
    for (int column = kFirstValueColumn; column <= kLastValueColumn; ++column)
        text += "," + std::to_string(OutputValue(output, column));
    return text;
}

std::optional<long> ParseNumber(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const long value = std::stol(text);
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// One output setting: SOURCE alone keeps the four values, SOURCE,A,B,C,D sets them.
bool SetOutput(DiscreteOutput outputs[], const std::string& key, const std::string& value,
               std::string& error, std::vector<int>& touched) {
    const std::optional<long> n = ParseNumber(key.substr(7), 1, kDiscreteOutputCount);
    if (!n) {
        error = "unknown key '" + key + "': outputs are output.1 to output.16";
        return false;
    }
    const std::vector<std::string> parts = Split(Lower(value), ',');
    const auto* name = std::find(std::begin(kSourceNames), std::end(kSourceNames), parts[0]);
    if (name == std::end(kSourceNames)) {
        error = key + ": '" + parts[0] +
                "' is not one of off, meas1, meas2, meas1-inv, meas2-inv, alarm, trigger";
        return false;
    }
    const int index = static_cast<int>(name - std::begin(kSourceNames));
    if (index >= kSourcesOnEveryOutput && *n != kDiscreteOutputCount) {
        error = key + ": " + parts[0] + " is offered on output.16 only";
        return false;
    }
    if (parts.size() != 1 && parts.size() != 5) {
        error = key + ": give SOURCE or SOURCE,A,B,C,D";
        return false;
    }
    DiscreteOutput& output = outputs[*n - 1];
    output.source = kOutputSources[index].code;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::optional<long> v = ParseNumber(parts[i], 0, 65535);
        if (!v) {
            error = key + ": '" + parts[i] + "' is not a number from 0 to 65535";
            return false;
        }
        SetOutputValue(output, kFirstValueColumn + static_cast<int>(i) - 1,
                       static_cast<uint16_t>(*v));
    }
    touched.push_back(static_cast<int>(*n));
    return true;
}

template <std::size_t N>
bool SetCode(const PsfOption (&table)[N], const std::string& key, const std::string& value,
             uint8_t& byte, std::string& error) {
    const std::optional<uint8_t> code = CodeOf(table, value);
    if (!code) {
        error = key + ": '" + value + "' is not one of " + Choices(table);
        return false;
    }
    byte = *code;
    return true;
}

bool SetOnOff(const std::string& key, const std::string& value, bool& flag, std::string& error) {
    const std::string v = Lower(value);
    if (v != "on" && v != "off") {
        error = key + ": '" + value + "' is not on or off";
        return false;
    }
    flag = v == "on";
    return true;
}

}  // namespace

std::vector<PsfField> PsfFieldsOf(const CPsfRecord& record) {
    std::vector<PsfField> fields = {
        {"id", TextOf(kControllerIds, record.GetControllerId()), "Controller ID"},
        {"baud", TextOf(kBaudRates, record.GetBaudCode()), "Baud Rate"},
        {"control", TextOf(kControlModes, record.GetControlMode()), "Control Mode Selection"},
        {"scanning", TextOf(kScanningMethods, record.GetScanningMethod()), "Scanning Method"},
        {"meas1", TextOf(kMeasurementModes, record.GetMeasMode(0)), "Meas 1"},
        {"meas2", TextOf(kMeasurementModes, record.GetMeasMode(1)), "Meas 2"},
        {"transmission", kTransmissionNames[IndexOfTransmissionMode(record.GetTransmissionMode())],
         "Serial Transmission"},
        {"type", record.GetBinary() ? "binary" : "ascii", "Transmission Type"},
        {"suppress-clear", OnOff(record.GetSuppressClearData()), "Suppress Clear Data"},
        {"suppress-header", OnOff(record.GetSuppressHeader()), "Suppress Header"},
        {"compress", OnOff(record.GetCompressData()), "Compress Data"},
        {"scans", std::to_string(record.GetScanCount()), "Scan Count"},
    };
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    for (int k = 0; k < kDiscreteOutputCount; ++k)
        fields.push_back(
            {"output." + std::to_string(k + 1), OutputText(outputs[k]), "Output #" + std::to_string(k + 1)});
    return fields;
}

std::vector<PsfDifference> DiffPsf(const CPsfRecord& a, const CPsfRecord& b) {
    const std::vector<PsfField> fieldsA = PsfFieldsOf(a);
    const std::vector<PsfField> fieldsB = PsfFieldsOf(b);
    std::vector<PsfDifference> differences;
    for (size_t i = 0; i < fieldsA.size(); ++i)
        if (fieldsA[i].text != fieldsB[i].text)
            differences.push_back({fieldsA[i].name, fieldsA[i].text, fieldsB[i].text, fieldsA[i].label});
    return differences;
}

bool ApplyPsfSettings(CPsfRecord& record, const std::vector<std::string>& settings,
                      std::string& error) {
    CPsfRecord edited = record;
    uint8_t* image = edited.Data();
    PsfChoices options = ChoicesFromRecord(record);
    std::optional<int> transmission;
    std::vector<std::string> optionKeysGiven;
    DiscreteOutput outputs[kDiscreteOutputCount];
    edited.GetOutputs(outputs);
    std::vector<int> outputsSet;

    for (const std::string& setting : settings) {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos || equals == 0) {
            error = "'" + setting + "' is not KEY=VALUE";
            return false;
        }
        const std::string key = Lower(setting.substr(0, equals));
        const std::string value = setting.substr(equals + 1);
        bool ok = true;
        if (key == "id") {
            ok = SetCode(kControllerIds, key, value, image[2], error);
        } else if (key == "baud") {
            ok = SetCode(kBaudRates, key, value, image[3], error);
        } else if (key == "control") {
            ok = SetCode(kControlModes, key, value, image[4], error);
        } else if (key == "scanning") {
            ok = SetCode(kScanningMethods, key, value, image[5], error);
        } else if (key == "meas1" || key == "meas2") {
            ok = SetCode(kMeasurementModes, key, value, image[key == "meas1" ? 6 : 7], error);
        } else if (key == "transmission") {
            const auto* name = std::find(std::begin(kTransmissionNames),
                                         std::end(kTransmissionNames), Lower(value));
            ok = name != std::end(kTransmissionNames);
            if (ok) transmission = static_cast<int>(name - std::begin(kTransmissionNames));
            else error = key + ": '" + value + "' is not one of none, meas, all";
        } else if (key == "type") {
            const std::string v = Lower(value);
            ok = v == "ascii" || v == "binary";
            if (ok) options.transmissionType = v == "binary" ? 1 : 0;
            else error = key + ": '" + value + "' is not ascii or binary";
        } else if (key == "suppress-clear") {
            ok = SetOnOff(key, value, options.suppressClearData, error);
        } else if (key == "suppress-header") {
            ok = SetOnOff(key, value, options.suppressHeader, error);
        } else if (key == "compress") {
            ok = SetOnOff(key, value, options.compressData, error);
        } else if (key == "scans") {
            const std::optional<long> scans = ParseNumber(value, 1, 9);
            ok = scans.has_value();
            if (ok) edited.SetScanCount(static_cast<uint8_t>(*scans));
            else error = key + ": '" + value + "' is not a number from 1 to 9";
        } else if (key.rfind("output.", 0) == 0) {
            ok = SetOutput(outputs, key, value, error, outputsSet);
        } else {
            error = "unknown key '" + key + "'";
            ok = false;
        }
        if (!ok) return false;
        if (std::find(std::begin(kOptionKeys), std::end(kOptionKeys), key) != std::end(kOptionKeys))
            optionKeysGiven.push_back(key);
    }

    // The options are kept only with a transmission mode, as in the dialog,
    // where they are disabled without one.
    const int mode = transmission.value_or(IndexOfTransmissionMode(edited.GetTransmissionMode()));
    if (mode == kTransmissionNone && !optionKeysGiven.empty()) {
        error = optionKeysGiven.front() + " needs transmission meas or all";
        return false;
    }
    // The lists as just set; a code in no table stays as it is.
    PsfChoices choices = ChoicesFromRecord(edited);
    choices.transmissionMode = mode;
    choices.transmissionType = options.transmissionType;
    choices.suppressClearData = options.suppressClearData;
    choices.suppressHeader = options.suppressHeader;
    choices.compressData = options.compressData;
    ApplyTransmissionModeRule(choices, mode);
    ApplyScanningMethodRule(choices, edited.GetScanningMethod());
    StoreChoices(choices, edited);

    for (int n : outputsSet) {
        if (!OutputValuesConsistent(outputs[n - 1])) {
            error = "output." + std::to_string(n) + ": " + OutputText(outputs[n - 1]) +
                    (outputs[n - 1].source == kSourceTrigger
                         ? " refused: a trigger needs A from 1 to 384"
                         : " refused: the values must keep C < A <= B < D with A and B from 1 "
                           "to 384 and D at most 385");
            return false;
        }
    }
    edited.SetOutputs(outputs);
    record = edited;
    return true;
}
