#include "station/RecipeFiles.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "model/BfsFile.h"
#include "model/PsfCodes.h"
#include "model/PsfFile.h"
#include "platform/ErrorText.h"
#include "platform/ReadOnlyFile.h"

namespace {

constexpr long kMaxRecipeBytes = 64 * 1024;

std::string SystemText(const std::string& path, int error) {
    return "Unable to open file '" + path + "' - " + ErrorText(error);
}

// One part of a version: "0" to "15", no sign, no leading zero.
bool IsVersionPart(const std::string& text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    if (text.size() == 2 && text[0] == '0') return false;
    return std::stoi(text) <= 15;
}

}  // namespace

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.starts_with('/')) return name;
    return folder + "/" + name;
}

bool ReadRecipeText(const std::string& path, std::string& text, std::string& problem) {
    ReadOnlyFile file;
    if (!file.Open(path)) {
        problem = SystemText(path, errno);
        return false;
    }
    const long size = file.Size();
    if (size < 0 || size > kMaxRecipeBytes) {
        problem = size < 0 ? "is not a file that can be read" : "is larger than a recipe can be (64 KiB)";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file.ReadFromStart(bytes.data(), bytes.size()) != bytes.size()) {
        problem = "Error reading from file '" + path + "' - " + ErrorText(errno);
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

size_t TooDeeplyNestedLine(const std::string& text) {
    size_t line = 1;
    int depth = 0, dots = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\n') {
            ++line;
            dots = 0;
        } else if (c == '#') {
            at = std::min(text.find('\n', at), text.size()) - 1;
        } else if (c == '"' || c == '\'') {
            // A string, perhaps of several lines: skipped, its line breaks counted.
            const std::string quote = text.compare(at, 3, std::string(3, c)) == 0 ? std::string(3, c) : std::string(1, c);
            size_t end = at + quote.size();
            while (end < text.size() && text.compare(end, quote.size(), quote) != 0) {
                if (c == '"' && text[end] == '\\') ++end;
                if (end < text.size() && text[end] == '\n') ++line;
                ++end;
            }
            at = std::min(end + quote.size(), text.size()) - 1;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxRecipeNesting) return line;
        } else if (c == ']' || c == '}') {
            depth = std::max(depth - 1, 0);
        } else if (c == '.' && ++dots > kMaxRecipeNesting) {
            return line;
        }
    }
    return 0;
}

bool ReadRecipePsf(const std::string& path, CPsfRecord& psf, std::string& problem) {
    if (const int status = ReadPsfFile(psf, path); status != kPsfOk) {
        problem = FormatPsfFileError(status);
        return false;
    }
    const std::vector<std::string> odd = FieldsOutsideTables(psf);
    if (odd.empty()) return true;
    problem = "'" + path + "' holds codes in no option table:";
    for (size_t i = 0; i < odd.size(); ++i) problem += (i ? ", " : " ") + odd[i];
    return false;
}

bool ReadRecipeBlanking(const std::string& path, std::optional<int> expectChannels, CBlankingMap& map,
                        std::string& problem) {
    ReadOnlyFile file;
    if (!file.Open(path)) {
        problem = SystemText(path, errno);
        return false;
    }
    uint8_t bytes[kBfsFileSize + 1] = {};
    const long size = file.Size();
    const size_t read = size == kBfsFileSize ? file.ReadFromStart(bytes, kBfsFileSize) : 0;
    problem = ParseBfsImage(bytes, size == kBfsFileSize ? static_cast<long>(read) : size, map);
    if (!problem.empty()) {
        problem = "'" + path + "': " + problem;
        return false;
    }
    const int limit = expectChannels.value_or(CBlankingMap::kBlockBytes * 8);
    if (map.BlankedCount(limit) == 0) return true;
    int channel = limit;
    while (!map.IsBlanked(channel)) ++channel;
    problem = "'" + path + "' blanks channel " + std::to_string(channel + 1) + ", beyond the " +
              std::to_string(limit) + (expectChannels ? " channels the recipe expects" : " a controller can blank");
    return false;
}

bool IsFirmwareVersion(const std::string& text) {
    const size_t dot = text.find('.');
    return dot != std::string::npos && IsVersionPart(text.substr(0, dot)) && IsVersionPart(text.substr(dot + 1));
}
