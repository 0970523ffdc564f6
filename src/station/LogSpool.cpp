#include "station/LogSpool.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/Sha256.h"
#include "station/UnitColumns.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtension = ".json";

// Two records of one process finished in the same millisecond keep their order.
std::atomic<unsigned> g_sequence{0};

std::string FileNameFor(const UnitRecord& unit) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "%013lld-%06u-", static_cast<long long>(unit.finishedAtMs),
                  g_sequence.fetch_add(1) % 1000000);
    return prefix + unit.recordUid + kExtension;
}

std::string ToText(const UnitRecord& unit) {
    nlohmann::ordered_json record;
    for (size_t column = 0; column < kUnitColumns.size(); ++column)
        record[std::string(kUnitColumns[column])] = ColumnText(unit, column);
    return nlohmann::ordered_json{{"spooled_unit", record}}.dump(2) + "\n";
}

std::optional<UnitRecord> FromText(const std::string& text, std::string& why) {
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("spooled_unit") ||
        !json["spooled_unit"].is_object()) {
        why = "it is not a spooled unit";
        return std::nullopt;
    }
    const auto& record = json["spooled_unit"];
    UnitRecord unit;
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string name(kUnitColumns[column]);
        const auto value = record.find(name);
        if (value == record.end() || !value->is_string() || !SetColumnText(unit, column, value->get<std::string>())) {
            why = "its " + name + " is missing or does not read";
            return std::nullopt;
        }
    }
    if (unit.recordUid.empty()) {
        why = "it has no record uid";
        return std::nullopt;
    }
    return unit;
}

}  // namespace

std::string LogSpool::FolderFor(const LogTarget& target) {
    const std::string data = DataFolder();
    if (data.empty()) return {};
    return data + "/spool/" + DigestHex(Sha256(target.shown)).substr(0, 16);
}

bool LogSpool::Add(const UnitRecord& unit, std::string& error) {
    if (m_folder.empty()) {
        error = "there is no data folder for the spool: set XDG_DATA_HOME or HOME";
        return false;
    }
    int folderError = 0;
    if (!MakeFolders(m_folder, folderError)) {
        error = "unable to create the spool folder '" + m_folder + "' - " + ErrorText(folderError);
        return false;
    }
    const std::string path = m_folder + "/" + FileNameFor(unit);
    const std::string text = ToText(unit);
    const AtomicWriteResult result = WriteFileAtomically(path, text.data(), text.size());
    if (result.ok()) return true;
    error = "unable to write the spool file '" + path + "' - " + ErrorText(result.error);
    return false;
}

std::vector<std::string> LogSpool::Files() const {
    std::vector<std::string> names;
    std::error_code code;
    for (fs::directory_iterator it(m_folder, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        // Dot files are the temporaries of a write in progress.
        if (name.empty() || name[0] == '.' || !name.ends_with(kExtension)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<LogSpool::Entry> LogSpool::List() const {
    std::vector<Entry> entries;
    for (const std::string& name : Files()) {
        Entry entry;
        entry.path = m_folder + "/" + name;
        std::ifstream in(entry.path, std::ios::binary);
        std::error_code code;
        // Sent and removed by another station since the folder was read.
        if (!in && !fs::exists(entry.path, code) && !code) continue;
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad() || !in.is_open()) {
            entry.why = "it could not be read";
        } else {
            entry.unit = FromText(text, entry.why);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

size_t LogSpool::Count() const { return Files().size(); }

bool LogSpool::Remove(const Entry& entry, std::string& error) {
    std::error_code code;
    // Gone already: another station sent it at the same time.
    if (fs::remove(entry.path, code) || !code) return true;
    error = "unable to remove the spool file '" + entry.path + "' - " + code.message();
    return false;
}

bool LogSpool::SetAside(const Entry& entry, std::string& error) {
    std::error_code code;
    fs::rename(entry.path, entry.path + ".damaged", code);
    if (!code || code == std::errc::no_such_file_or_directory) return true;
    error = "unable to rename the spool file '" + entry.path + "' - " + code.message();
    return false;
}
