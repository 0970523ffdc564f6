// Decode of a diagnostics reply: never reads past the bytes given, never
// stores more boards than a bar has room for.
#include <climits>
#include <cstdint>

#include "model/CDiagnosticsRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDiagnosticsRecord record;
    int count = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    int result = record.Decode(data, count);
    if (record.emitterBoardCount < 0 || record.emitterBoardCount > CDiagnosticsRecord::kMaxBoards ||
        record.receiverBoardCount < 0 || record.receiverBoardCount > CDiagnosticsRecord::kMaxBoards)
        __builtin_trap();
    if (result == 1 && (record.systemState < 0 || record.systemState > 3)) __builtin_trap();
    if (result == 0 && record.systemState != 4) __builtin_trap();
    for (int i = 0; i < record.emitterBoardCount; ++i) {
        BoardTypeText(record.emitterBoards[i].channelCount);
        BoardErrorText(record.emitterBoards[i].errorCode);
    }
    SystemStateName(record.systemState);
    return 0;
}
