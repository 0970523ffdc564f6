#include "model/PsfJson.h"

#include "model/PsfText.h"

namespace {

using Json = nlohmann::ordered_json;

// A code with its text, or null for a code in no table.
Json CodeJson(uint8_t code, const std::optional<std::string>& text) {
    return {{"code", PsfCodeText(code)}, {"text", text ? Json(*text) : Json(nullptr)}};
}

}  // namespace

void AppendPsfJson(Json& json, const CPsfRecord& record) {
    for (const PsfCodedField& field : PsfCodedFields(record)) json[field.key] = CodeJson(field.code, field.text);
    json["transmission_flags"] = static_cast<int>(record.Data()[8]);
    json["transmission_mode"] = TransmissionModeKey(record.GetTransmissionMode());
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
                        {"source", CodeJson(code, OutputSourceText(code))},
                        {"set_point_low", static_cast<int>(o.setPointLow)},
                        {"set_point_high", static_cast<int>(o.setPointHigh)},
                        {"hysteresis_low", static_cast<int>(o.hysteresisLow)},
                        {"hysteresis_high", static_cast<int>(o.hysteresisHigh)}});
    }
    json["outputs"] = std::move(list);
}
