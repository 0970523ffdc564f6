#pragma once

#include <string>
#include <vector>

#include "model/CDiagnosticsRecord.h"

// What the Diagnostics dialog shows for a record: the texts of its fields and
// one row per board. Qt-free, so the filling rules are tested directly.
struct DiagnosticsBoardRow {
    std::string board;     // number within its bar, from 1
    std::string channels;  // BoardTypeText
    std::string bar;       // "E" emitter, "R" receiver
    std::string error;     // BoardErrorText
};

struct DiagnosticsView {
    std::string systemState;
    std::string emitterBoards;
    std::string receiverBoards;
    std::string partNumber;
    std::string dateCode;
    std::string firmwareVersion;
    std::vector<DiagnosticsBoardRow> boards;  // emitter boards first, then receiver boards
};

DiagnosticsView MakeDiagnosticsView(const CDiagnosticsRecord& record);
