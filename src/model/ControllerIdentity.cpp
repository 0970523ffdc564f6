#include "model/ControllerIdentity.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Counts(const BoardInfo* boards, int count) {
    std::string text;
    for (int i = 0; i < std::min(count, CDiagnosticsRecord::kMaxBoards); ++i) {
        if (i > 0) text += ',';
        text += std::to_string(boards[i].channelCount);
    }
    return text;
}

std::string Differs(const char* what, const std::string& found, const std::string& expected) {
    return std::string(what) + " " + found + ", not " + expected;
}

std::string IdText(uint8_t id) {
    // Ids are letters; anything else shows as its code.
    if (id > 0x20 && id < 0x7F) return std::string(1, static_cast<char>(id));
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", id);
    return code;
}

}  // namespace

std::string BoardLayout(const CDiagnosticsRecord& record) {
    return Counts(record.emitterBoards, record.emitterBoardCount) + "/" +
           Counts(record.receiverBoards, record.receiverBoardCount);
}

ControllerHardware HardwareOf(const CDiagnosticsRecord& record) {
    return {record.partNumber, record.dateCode, record.firmwareVersion, BoardLayout(record)};
}

std::string IdentityDifference(const ControllerIdentity& expected, const ControllerIdentity& found) {
    if (expected.hardware) {
        // A controller that could not tell its hardware cannot be vouched for.
        if (!found.hardware) return "its diagnostics could not be read";
        const ControllerHardware& want = *expected.hardware;
        const ControllerHardware& have = *found.hardware;
        if (have.partNumber != want.partNumber) return Differs("part number", have.partNumber, want.partNumber);
        if (have.dateCode != want.dateCode) return Differs("date code", have.dateCode, want.dateCode);
        if (have.firmware != want.firmware) return Differs("firmware", have.firmware, want.firmware);
        if (have.boards != want.boards) return Differs("boards", have.boards, want.boards);
    }
    if (found.id != expected.id) return Differs("id", IdText(found.id), IdText(expected.id));
    return {};
}
