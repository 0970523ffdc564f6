#include <cstdio>
#include <iomanip>

#include "CommandEnv.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "model/Fingerprint.h"
#include "model/PsfFile.h"
#include "model/PsfJson.h"
#include "model/PsfText.h"

namespace {

void PrintText(std::ostream& out, const std::string& path, const CPsfRecord& record) {
    const auto line = [&out](const std::string& label) -> std::ostream& {
        return out << std::left << std::setw(24) << label;
    };
    const bool serial = record.GetTransmissionMode() != SerialTransmissionMode::None;
    const auto onOff = [](uint8_t bit) { return bit ? "on" : "off"; };
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", record.Data()[8]);

    line("File") << path << "\n";
    line("Fingerprint") << PsfFingerprint(record) << "\n";
    line("Addressed controller") << PsfCodeText(record.Data()[0]) << "\n";
    line("Command letter") << PsfCodeText(record.Data()[1]) << "\n";
    for (const PsfCodedField& field : PsfCodedFields(record)) {
        line(field.label) << (field.text ? *field.text : "unknown code " + PsfCodeText(field.code)) << "\n";
    }
    line("Serial Transmission") << TransmissionModeText(record.GetTransmissionMode()) << " (flags " << flags
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
        const auto source = OutputSourceText(code);
        out << std::left << std::setw(11) << ("#" + std::to_string(k + 1)) << std::setw(17)
            << (source ? *source : "code " + PsfCodeText(code)) << std::right << std::setw(10)
            << o.setPointLow << std::setw(10) << o.setPointHigh << std::setw(10) << o.hysteresisLow
            << std::setw(11) << o.hysteresisHigh << "\n";
    }
}

void PrintJson(std::ostream& out, const std::string& path, const CPsfRecord& record) {
    Json json = {{"file", path},
                 {"addressed_id", PsfCodeText(record.Data()[0])},
                 {"command", PsfCodeText(record.Data()[1])},
                 {"fingerprint", PsfFingerprint(record)}};
    AppendPsfJson(json, record);
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
