#include "dialogs/diagnostics/DiagnosticsView.h"

#include <algorithm>

namespace {

void AddBoards(std::vector<DiagnosticsBoardRow>& rows, const BoardInfo* boards, int count,
               const char* bar) {
    // The record stores at most kMaxBoards per bar; a larger count must not
    // read past them.
    const int stored = std::clamp(count, 0, CDiagnosticsRecord::kMaxBoards);
    for (int i = 0; i < stored; ++i)
        rows.push_back({std::to_string(i + 1), BoardTypeText(boards[i].channelCount), bar,
                        BoardErrorText(boards[i].errorCode)});
}

}  // namespace

DiagnosticsView MakeDiagnosticsView(const CDiagnosticsRecord& record) {
    DiagnosticsView view;
    view.systemState = SystemStateName(record.systemState);
    // A bar without boards did not answer at all, which says more than the
    // state's "Emitter Error" or "Receiver Error".
    if (record.emitterBoardCount >= 1) {
        view.emitterBoards = std::to_string(record.emitterBoardCount);
    } else {
        view.emitterBoards = "No Response From Emitter";
        view.systemState = "Sensor Not Responding";
    }
    if (record.receiverBoardCount >= 1) {
        view.receiverBoards = std::to_string(record.receiverBoardCount);
    } else {
        view.receiverBoards = "No Response From Receiver";
        view.systemState = "Sensor Not Responding";
    }
    view.partNumber = record.partNumber;
    view.dateCode = record.dateCode;
    view.firmwareVersion = record.firmwareVersion;
    AddBoards(view.boards, record.emitterBoards, record.emitterBoardCount, "E");
    AddBoards(view.boards, record.receiverBoards, record.receiverBoardCount, "R");
    return view;
}
