#pragma once

#include <cstdint>
#include <string>

struct BoardInfo {
    int16_t channelCount = 0;  // 8, 16, 0 invalid type, -1 undefined type
    uint8_t errorCode = 0;
};

// The decoded diagnostics block: identity, boards of both bars and the
// derived system state (0 emitter error, 1 receiver error, 2 both,
// 3 operational, 4 unknown).
class CDiagnosticsRecord {
public:
    static constexpr int kMaxBoards = 12;  // per bar

    CDiagnosticsRecord() { Reset(); }
    void Reset();
    // Decodes a reply frame (FS, id, 'I', block ... LF before offset 35);
    // 1 when a complete block was decoded.
    int Decode(const uint8_t* reply, int count);

    int emitterBoardCount = 0;
    int emitterChannelTotal = 0;
    int receiverBoardCount = 0;
    int receiverChannelTotal = 0;
    BoardInfo emitterBoards[kMaxBoards];
    BoardInfo receiverBoards[kMaxBoards];
    int systemState = 4;
    std::string partNumber;
    std::string dateCode;
    std::string firmwareVersion;
};

const char* SystemStateName(int state);
std::string BoardTypeText(int channelCount);
std::string BoardErrorText(int errorCode);
