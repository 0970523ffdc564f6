#include "station/Recipe.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <toml.hpp>
#include <vector>

#include "model/PartNumbers.h"
#include "station/RecipeFiles.h"
#include "station/Utf8.h"

namespace {

constexpr std::array<std::string_view, 7> kKeys = {"psf",           "bfs",          "part_number",
                                                   "date_code",     "expect_firmware", "expect_channels",
                                                   "log"};

// Checks one [station] table, each refusal naming the file, line and key.
class RecipeReader {
public:
    RecipeReader(const std::string& path, std::string& error) : m_path(path), m_error(error) {}

    bool Fail(size_t line, std::string_view key, const std::string& message) {
        m_error = m_path + (line ? ":" + std::to_string(line) : std::string()) + ": " +
                  (key.empty() ? std::string() : std::string(key) + ": ") + message;
        return false;
    }
    bool Fail(const toml::value& value, std::string_view key, const std::string& message) {
        return Fail(value.location().line(), key, message);
    }

    // A key the recipe must or may have, as text.
    const toml::value* Find(const toml::value& table, std::string_view key) {
        const auto& entries = table.as_table();
        const auto it = entries.find(std::string(key));
        return it == entries.end() ? nullptr : &it->second;
    }
    bool Text(const toml::value& value, std::string_view key, std::string& text) {
        if (!value.is_string()) return Fail(value, key, "must be a text in quotes");
        text = value.as_string().str;
        if (text.empty()) return Fail(value, key, "must not be empty");
        return true;
    }

    // The first key, by line, that a recipe does not have.
    bool CheckKeys(const toml::value& table, bool topLevel) {
        const toml::value* first = nullptr;
        std::string firstKey;
        for (const auto& [key, value] : table.as_table()) {
            const bool known = topLevel ? key == "station"
                                        : std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
            if (known || (first && first->location().line() <= value.location().line())) continue;
            first = &value;
            firstKey = key;
        }
        if (!first) return true;
        return Fail(*first, firstKey,
                    topLevel ? "a recipe holds only the table [station]" : "is not a key of a recipe");
    }

private:
    const std::string& m_path;
    std::string& m_error;
};

bool ReadPartNumber(RecipeReader& reader, const toml::value& value, const ProfileFile* partNumbers,
                    StationRecipe& recipe) {
    if (!reader.Text(value, "part_number", recipe.partNumber)) return false;
    const std::string& text = recipe.partNumber;
    if (text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(text) > 4294967295ULL)
        return reader.Fail(value, "part_number", "'" + text + "' is not a decimal number from 0 to 4294967295");
    recipe.partNumberValue = static_cast<uint32_t>(std::stoull(text));
    if (partNumbers) {
        const std::vector<std::string> list = FillPartNumbers(*partNumbers);
        if (!list.empty() && std::find(list.begin(), list.end(), text) == list.end())
            return reader.Fail(value, "part_number", "'" + text + "' is not in the part-number list");
    }
    return true;
}

bool ReadExpectations(RecipeReader& reader, const toml::value& table, StationRecipe& recipe) {
    if (const toml::value* value = reader.Find(table, "date_code")) {
        if (!value->is_boolean()) return reader.Fail(*value, "date_code", "must be true or false");
        recipe.dateCode = value->as_boolean();
    }
    if (const toml::value* value = reader.Find(table, "expect_firmware")) {
        if (!reader.Text(*value, "expect_firmware", recipe.expectFirmware)) return false;
        if (!IsFirmwareVersion(recipe.expectFirmware))
            return reader.Fail(*value, "expect_firmware",
                               "'" + recipe.expectFirmware + "' is not a version from 0.0 to 15.15");
    }
    if (const toml::value* value = reader.Find(table, "expect_channels")) {
        const int64_t channels = value->is_integer() ? value->as_integer() : -1;
        if (channels < 8 || channels > kMaxEmitterChannels || channels % 8 != 0)
            return reader.Fail(*value, "expect_channels",
                               "must be a number of channels from 8 to " + std::to_string(kMaxEmitterChannels) +
                                   ", a multiple of 8");
        recipe.expectChannels = static_cast<int>(channels);
    }
    return true;
}

bool ReadFiles(RecipeReader& reader, const toml::value& table, const std::string& folder, StationRecipe& recipe) {
    std::string name, problem;
    if (const toml::value* value = reader.Find(table, "psf")) {
        if (!reader.Text(*value, "psf", name)) return false;
        recipe.psfPath = InFolder(folder, name);
        if (!ReadRecipePsf(recipe.psfPath, recipe.psf, problem)) return reader.Fail(*value, "psf", problem);
    }
    if (const toml::value* value = reader.Find(table, "bfs")) {
        if (!reader.Text(*value, "bfs", name)) return false;
        recipe.bfsPath = InFolder(folder, name);
        CBlankingMap map;
        if (!ReadRecipeBlanking(recipe.bfsPath, recipe.expectChannels, map, problem))
            return reader.Fail(*value, "bfs", problem);
        recipe.blanking = map;
    }
    if (const toml::value* value = reader.Find(table, "log")) {
        if (!reader.Text(*value, "log", name)) return false;
        recipe.log = ParseLogTarget(name, problem, folder);
        if (!recipe.log) return reader.Fail(*value, "log", problem);
    }
    return true;
}

// The syntax error's first line, without the parser's own prefix.
std::string SyntaxProblem(const std::string& what) {
    std::string line = what.substr(0, what.find('\n'));
    for (const std::string_view prefix : {"[error] "}) {
        if (line.starts_with(prefix)) line.erase(0, prefix.size());
    }
    if (line.starts_with("toml::")) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) line.erase(0, colon + 2);
    }
    return line;
}

}  // namespace

std::optional<StationRecipe> LoadRecipe(const std::string& path, const ProfileFile* partNumbers,
                                        std::string& error) {
    std::string text, problem;
    if (!ReadRecipeText(path, text, problem)) {
        RecipeReader(path, error).Fail(0, {}, problem);
        return std::nullopt;
    }
    return ParseRecipe(text, path, partNumbers, error);
}

std::optional<StationRecipe> ParseRecipe(const std::string& text, const std::string& path,
                                         const ProfileFile* partNumbers, std::string& error) {
    RecipeReader reader(path, error);
    if (const size_t bad = FindInvalidUtf8(text); bad != std::string::npos) {
        reader.Fail(std::count(text.begin(), text.begin() + static_cast<long>(bad), '\n') + 1, {},
                    "is not UTF-8 text");
        return std::nullopt;
    }
    if (const size_t line = TooDeeplyNestedLine(text)) {
        reader.Fail(line, {}, "nested deeper than a recipe can be");
        return std::nullopt;
    }
    toml::value document;
    try {
        std::istringstream in(text);
        document = toml::parse(in, path);
    } catch (const toml::syntax_error& e) {
        reader.Fail(e.location().line(), {}, SyntaxProblem(e.what()));
        return std::nullopt;
    } catch (const std::exception& e) {
        reader.Fail(0, {}, std::string("does not read as TOML: ") + e.what());
        return std::nullopt;
    }
    if (!reader.CheckKeys(document, true)) return std::nullopt;
    const toml::value* table = reader.Find(document, "station");
    if (!table || !table->is_table()) {
        reader.Fail(table ? table->location().line() : 0, "station", "the recipe needs a table [station]");
        return std::nullopt;
    }
    if (!reader.CheckKeys(*table, false)) return std::nullopt;
    for (const std::string_view key : {"psf", "part_number"}) {
        if (!reader.Find(*table, key)) {
            reader.Fail(table->location().line(), key, "is required");
            return std::nullopt;
        }
    }

    StationRecipe recipe;
    recipe.path = path;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!ReadPartNumber(reader, *reader.Find(*table, "part_number"), partNumbers, recipe) ||
        !ReadExpectations(reader, *table, recipe) || !ReadFiles(reader, *table, folder, recipe))
        return std::nullopt;
    return recipe;
}
