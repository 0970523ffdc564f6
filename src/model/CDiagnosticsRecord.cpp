#include "model/CDiagnosticsRecord.h"

#include <algorithm>
#include <cstdio>

#include "model/FrameBytes.h"

namespace {

constexpr int kFirstBoardOffset = 10;
constexpr int kBlockEnd = 35;  // the LF must come before this offset

constexpr int kEmitterProblem = 1;
constexpr int kReceiverProblem = 2;

int16_t ChannelsOfType(uint8_t board) {
    switch ((board >> 5) & 0x03) {
        case 0x01:
            return 8;
        case 0x02:
            return 16;
        case 0x03:
            return -1;
        default:
            return 0;
    }
}

}  // namespace

void CDiagnosticsRecord::Reset() {
    // The board arrays keep their contents: the counts say what is valid.
    emitterBoardCount = 0;
    emitterChannelTotal = 0;
    receiverBoardCount = 0;
    receiverChannelTotal = 0;
    systemState = 4;
    partNumber.clear();
    dateCode.clear();
    firmwareVersion.clear();
}

int CDiagnosticsRecord::Decode(const uint8_t* reply, int count) {
    Reset();
    if (!reply || count < 3 || reply[0] != kFs || reply[2] != 'I') return 0;
    // Only bytes that actually arrived are read; a block cut short is no block.
    if (count < kFirstBoardOffset) return 0;

    char text[32];
    unsigned long part = static_cast<unsigned long>(reply[3]) << 24 |
                         static_cast<unsigned long>(reply[4]) << 16 |
                         static_cast<unsigned long>(reply[5]) << 8 | reply[6];
    std::snprintf(text, sizeof text, "%lu", part);
    partNumber = text;
    std::snprintf(text, sizeof text, "%04d", reply[7] * 256 + reply[8]);
    dateCode = text;
    std::snprintf(text, sizeof text, "%d.%d", reply[9] >> 4, reply[9] & 0x0F);
    firmwareVersion = text;

    int problems = 0;
    const int end = std::min(count, kBlockEnd);
    for (int k = kFirstBoardOffset; k < end; ++k) {
        const uint8_t board = reply[k];
        if (board == kLf) {
            if (emitterBoardCount == 0) problems |= kEmitterProblem;
            if (receiverBoardCount == 0) problems |= kReceiverProblem;
            static constexpr int kStates[] = {3, 0, 1, 2};
            systemState = kStates[problems];
            return 1;
        }
        const bool receiver = (board & 0x80) != 0;
        int& boardCount = receiver ? receiverBoardCount : emitterBoardCount;
        int& channelTotal = receiver ? receiverChannelTotal : emitterChannelTotal;
        BoardInfo* boards = receiver ? receiverBoards : emitterBoards;
        const int problem = receiver ? kReceiverProblem : kEmitterProblem;
        if (boardCount == kMaxBoards) {
            // More boards than a bar can have: not stored and not counted, so
            // the counts always match the stored entries, but the bar is
            // marked so that the system never reads as operational.
            problems |= problem;
            continue;
        }
        BoardInfo& info = boards[boardCount++];
        info.channelCount = ChannelsOfType(board);
        info.errorCode = board & 0x1F;
        if (info.channelCount > 0)
            channelTotal += info.channelCount;
        else
            problems |= problem;
    }
    return 0;
}

const char* SystemStateName(int state) {
    static constexpr const char* kNames[] = {"Emitter Error", "Receiver Error", "Emit/Rcv Errors",
                                             "Operational", "Unknown"};
    return state >= 0 && state <= 4 ? kNames[state] : "Unknown";
}

std::string BoardTypeText(int channelCount) {
    if (channelCount == -1) return "Undefined";
    if (channelCount == 0) return "Invalid";
    return std::to_string(channelCount);
}

std::string BoardErrorText(int errorCode) {
    if (errorCode == 0) return "No Errors";
    if (errorCode >= 1 && errorCode <= 16) return "";
    if (errorCode == 17) return "End of Board";
    if (errorCode == 18) return "End of Scan";
    return std::to_string(errorCode) + " Invalid Error Code";
}
