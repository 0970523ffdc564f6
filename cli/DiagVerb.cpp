#include <algorithm>
#include <iomanip>

#include "CliSession.h"
#include "ExitCodes.h"
#include "JsonWriter.h"
#include "Verbs.h"

namespace {

constexpr const char* kUsage = "Usage: veltrixctl [OPTIONS] diag\n";
constexpr const char* kHelp =
    "\nReads the controller's diagnostics block: system state, part number, date\n"
    "code, firmware version and the boards of the emitter and receiver bars\n"
    "with their channel counts and error codes.\n";

// The record keeps at most kMaxBoards per bar even when more board bytes came.
int StoredBoards(int count) { return std::clamp(count, 0, CDiagnosticsRecord::kMaxBoards); }

void WriteBarJson(JsonWriter& json, const char* key, int channels, const BoardInfo* boards,
                  int count) {
    json.Key(key).BeginObject().Field("channels", channels).Key("boards").BeginArray();
    for (int i = 0; i < StoredBoards(count); ++i) {
        json.BeginObject()
            .Field("channels", static_cast<int>(boards[i].channelCount))
            .Field("error", static_cast<int>(boards[i].errorCode))
            .Field("type", BoardTypeText(boards[i].channelCount))
            .Field("error_text", BoardErrorText(boards[i].errorCode))
            .EndObject();
    }
    json.EndArray().EndObject();
}

void PrintBar(std::ostream& out, const char* name, int channels, const BoardInfo* boards, int count) {
    out << std::left << std::setw(15) << name << channels << " channels on " << count
        << (count == 1 ? " board\n" : " boards\n");
    if (count <= 0) return;
    out << "  " << std::setw(7) << "Board" << std::setw(11) << "Type" << "Error\n";
    for (int i = 0; i < StoredBoards(count); ++i) {
        const std::string error = BoardErrorText(boards[i].errorCode);
        out << "  " << std::setw(7) << i + 1 << std::setw(11) << BoardTypeText(boards[i].channelCount)
            << static_cast<int>(boards[i].errorCode);
        if (!error.empty()) out << "  " << error;
        out << "\n";
    }
}

}  // namespace

int RunDiag(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseVerbArgs(context, args, {}, kUsage, kHelp, 0, 0, parsed, exitCode)) return exitCode;

    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;

    CDiagnosticsRecord record;
    if (!session.Link()->RequestDiagnostics(record)) {
        context.ui.Report("Error reading diagnostics");
        return kExitController;
    }

    if (context.global.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("system_state", record.systemState)
            .Field("system_state_text", SystemStateName(record.systemState))
            .Field("part_number", record.partNumber)
            .Field("date_code", record.dateCode)
            .Field("firmware", record.firmwareVersion)
            .Field("id", std::string(1, static_cast<char>(session.Link()->ControllerId())));
        WriteBarJson(json, "emitter", record.emitterChannelTotal, record.emitterBoards,
                     record.emitterBoardCount);
        WriteBarJson(json, "receiver", record.receiverChannelTotal, record.receiverBoards,
                     record.receiverBoardCount);
        json.EndObject();
        context.out << json.Text() << "\n";
        return kExitOk;
    }

    std::ostream& out = context.out;
    out << std::left << std::setw(15) << "System state" << SystemStateName(record.systemState) << " ("
        << record.systemState << ")\n"
        << std::setw(15) << "Part number" << record.partNumber << "\n"
        << std::setw(15) << "Date code" << record.dateCode << "\n"
        << std::setw(15) << "Firmware" << record.firmwareVersion << "\n";
    PrintBar(out, "Emitter", record.emitterChannelTotal, record.emitterBoards, record.emitterBoardCount);
    PrintBar(out, "Receiver", record.receiverChannelTotal, record.receiverBoards,
             record.receiverBoardCount);
    return kExitOk;
}
