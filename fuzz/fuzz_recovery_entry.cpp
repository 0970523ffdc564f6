// Parsing a recovery journal entry: any text is either refused with a reason
// or gives an entry that, written again, reads back the same. Nothing taken
// from a refused text reaches the entry.
#include <cstdint>
#include <string>

#include "command/RecoveryEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RecoveryEntry entry;
    entry.device = "untouched";
    std::string problem;
    if (ParseRecoveryEntry(text, entry, problem) != EntryProblem::None) {
        if (entry.device != "untouched" || problem.empty()) __builtin_trap();
        return 0;
    }
    RecoveryEntry again;
    if (ParseRecoveryEntry(SerializeRecoveryEntry(entry), again, problem) != EntryProblem::None) __builtin_trap();
    if (!(again == entry)) __builtin_trap();
    RecoveryQuestion(entry);
    return 0;
}
