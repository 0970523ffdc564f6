#include "platform/KeyLockState.h"

#include <filesystem>
#include <fstream>

namespace {

// On when any keyboard's LED of that kind is lit.
bool AnyLedLit(const std::filesystem::path& root, const std::string& suffix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::ifstream file(entry.path() / "brightness");
        int brightness = 0;
        if (file >> brightness && brightness > 0) return true;
    }
    return false;
}

}  // namespace

KeyLockState ReadKeyLockState(const std::string& ledRoot) {
    KeyLockState state;
    state.caps = AnyLedLit(ledRoot, "::capslock");
    state.num = AnyLedLit(ledRoot, "::numlock");
    state.scroll = AnyLedLit(ledRoot, "::scrolllock");
    return state;
}
