#include <algorithm>
#include <iomanip>

#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"

namespace {

// The record keeps at most kMaxBoards per bar even when more board bytes came.
int StoredBoards(int count) { return std::clamp(count, 0, CDiagnosticsRecord::kMaxBoards); }

Json BarJson(int channels, const BoardInfo* boards, int count) {
    Json list = Json::array();
    for (int i = 0; i < StoredBoards(count); ++i) {
        list.push_back({{"channels", static_cast<int>(boards[i].channelCount)},
                        {"error", static_cast<int>(boards[i].errorCode)},
                        {"type", BoardTypeText(boards[i].channelCount)},
                        {"error_text", BoardErrorText(boards[i].errorCode)}});
    }
    return {{"channels", channels}, {"boards", std::move(list)}};
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

int Diag(CommandEnv& env) {
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;

    CDiagnosticsRecord record;
    if (!session.Link()->RequestDiagnostics(record)) {
        env.ui.Report("Error reading diagnostics");
        return kExitController;
    }

    if (env.global.json) {
        env.out << JsonLine(
            {{"system_state", record.systemState},
             {"system_state_text", SystemStateName(record.systemState)},
             {"part_number", record.partNumber},
             {"date_code", record.dateCode},
             {"firmware", record.firmwareVersion},
             {"id", std::string(1, static_cast<char>(session.Link()->ControllerId()))},
             {"emitter", BarJson(record.emitterChannelTotal, record.emitterBoards,
                                 record.emitterBoardCount)},
             {"receiver", BarJson(record.receiverChannelTotal, record.receiverBoards,
                                  record.receiverBoardCount)}});
        return kExitOk;
    }

    std::ostream& out = env.out;
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

}  // namespace

void AddDiagCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* diag = AddCommand(app, "diag", "diagnostics: state, boards, identity");
    diag->footer(
        "Reads the controller's diagnostics block: system state, part number, date\n"
        "code, firmware version and the boards of the emitter and receiver bars\n"
        "with their channel counts and error codes.");
    RunWhenChosen(diag, env, [&env] { return Diag(env); });
}
