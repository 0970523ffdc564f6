#include "history/ChangeHistory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIdentity.h"
#include "platform/ReadOnlyFile.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kFormat = "veltrix history 1";
constexpr const char* kSuffix = ".json";
constexpr size_t kMaxEntryBytes = 256 * 1024;
constexpr long kSecondsPerDay = 86400;

std::string FileNameFor(const WriteRecord& record) {
    // Entries of one second sort by process and count; the count keeps two
    // writes of one process in one second apart.
    static std::atomic<unsigned> count{0};
    char name[96];
    std::snprintf(name, sizeof name, "%s-%07ld-%04u-%s%s", UtcStamp(record.time).c_str(),
                  CurrentProcessIdentity().pid % 10000000, ++count % 10000,
                  WriteKindName(record.kind), kSuffix);
    return name;
}

bool IsEntryName(const std::string& name) {
    std::time_t t = 0;
    return ParseUtcStamp(name, t) && name.size() > std::char_traits<char>::length(kSuffix) &&
           name.compare(name.size() - std::char_traits<char>::length(kSuffix), std::string::npos,
                        kSuffix) == 0;
}

Json IdentityJson(const ControllerIdentity& identity) {
    Json json = {{"id", ControllerIdText(identity.id)}};
    if (identity.hardware) {
        json["part_number"] = identity.hardware->partNumber;
        json["date_code"] = identity.hardware->dateCode;
        json["firmware"] = identity.hardware->firmware;
        json["boards"] = identity.hardware->boards;
    }
    return json;
}

ControllerIdentity IdentityFrom(const Json& json) {
    ControllerIdentity identity;
    const std::string id = json.value("id", "");
    identity.id = id.size() == 1 ? static_cast<uint8_t>(id[0]) : 0;
    if (json.contains("part_number"))
        identity.hardware =
            ControllerHardware{json.value("part_number", ""), json.value("date_code", ""),
                               json.value("firmware", ""), json.value("boards", "")};
    return identity;
}

bool ParseEntryJson(const std::string& text, WriteRecord& record, std::string& problem);

}  // namespace

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string& text,
                   std::string& error) {
    ReadOnlyFile file;
    if (!file.Open(path)) {
        error = ErrorText(errno);
        return false;
    }
    const long size = file.Size();
    if (size < 0 || static_cast<size_t>(size) > maxBytes) {
        error = size < 0 ? "it cannot be read" : "it is too large";
        return false;
    }
    text.resize(static_cast<size_t>(size));
    if (size > 0 &&
        file.ReadFromStart(reinterpret_cast<uint8_t*>(text.data()), text.size()) < text.size()) {
        error = "it cannot be read in full";
        return false;
    }
    return true;
}

std::string SerializeHistoryEntry(const WriteRecord& r) {
    Json json = {{"format", kFormat},
                 {"time", IsoLocalTime(r.time)},
                 {"unix_time", static_cast<long long>(r.time)},
                 {"device", r.device},
                 {"stable_path", r.stablePath},
                 {"controller", IdentityJson(r.controller)},
                 {"command", r.command},
                 {"what", WriteKindName(r.kind)}};
    if (r.kind == WriteKind::Blanking) json["channels"] = r.channels;
    json["replaced"] = BytesHex(r.before);
    json["sent"] = BytesHex(r.after);
    json["fingerprint_before"] = r.fingerprintBefore;
    json["fingerprint_after"] = r.fingerprintAfter;
    json["changes"] = ChangesJson(r.changes);
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ParseHistoryEntry(const std::string& text, WriteRecord& record, std::string& problem) {
    // A field of the wrong type throws; a damaged file is a problem, not a crash.
    try {
        return ParseEntryJson(text, record, problem);
    } catch (const nlohmann::json::exception&) {
        problem = "a damaged history entry";
        return false;
    }
}

namespace {

bool ParseEntryJson(const std::string& text, WriteRecord& record, std::string& problem) {
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object() || json.value("format", "") != kFormat) {
        problem = "not a history entry";
        return false;
    }
    WriteRecord r;
    const std::optional<WriteKind> kind = WriteKindNamed(json.value("what", ""));
    if (!kind || !json.contains("unix_time") || !json["unix_time"].is_number_integer() ||
        !BytesFromHex(json.value("replaced", ""), r.before) ||
        !BytesFromHex(json.value("sent", ""), r.after)) {
        problem = "a damaged history entry";
        return false;
    }
    r.kind = *kind;
    r.time = static_cast<std::time_t>(json["unix_time"].get<long long>());
    r.device = json.value("device", "");
    r.stablePath = json.value("stable_path", "");
    if (json.contains("controller") && json["controller"].is_object())
        r.controller = IdentityFrom(json["controller"]);
    r.command = json.value("command", "");
    r.channels = json.value("channels", 0);
    r.fingerprintBefore = json.value("fingerprint_before", "");
    r.fingerprintAfter = json.value("fingerprint_after", "");
    if (json.contains("changes")) r.changes = ChangesFromJson(json["changes"]);
    record = std::move(r);
    return true;
}

}  // namespace

ChangeHistory::ChangeHistory(std::string folder) : m_folder(std::move(folder)) {}

std::string ChangeHistory::DefaultFolder() {
    const std::string state = StateFolder();
    return state.empty() ? state : state + "/history";
}

bool ChangeHistory::CheckWritable(std::string& error) const {
    if (m_folder.empty()) {
        error =
            "There is no folder for the change history (neither XDG_STATE_HOME nor HOME is set).";
        return false;
    }
    if (int err = 0; !MakeFolders(m_folder, err)) {
        error = "Unable to create folder '" + m_folder + "' - " + ErrorText(err);
        return false;
    }
    const AtomicWriteResult check = ::CheckWritable(m_folder + "/check" + kSuffix);
    if (check.ok()) return true;
    error = "Unable to write to folder '" + m_folder + "' - " + ErrorText(check.error);
    return false;
}

bool ChangeHistory::Keep(const WriteRecord& record, std::string& error, std::string* path) const {
    if (!CheckWritable(error)) return false;
    WriteRecord stamped = record;
    if (stamped.time == 0) stamped.time = std::time(nullptr);
    const std::string file = m_folder + "/" + FileNameFor(stamped);
    const std::string text = SerializeHistoryEntry(stamped);
    const AtomicWriteResult result = WriteFileAtomically(file, text.data(), text.size());
    if (!result.ok()) {
        error = "Unable to create file '" + file + "' - " + ErrorText(result.error);
        return false;
    }
    if (path) *path = file;
    Prune(std::time(nullptr));
    return true;
}

std::vector<std::string> ChangeHistory::NamesNewestFirst() const {
    std::vector<std::string> names;
    std::error_code error;
    if (m_folder.empty()) return names;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (IsEntryName(name) && entry.is_regular_file(error)) names.push_back(name);
    }
    std::sort(names.rbegin(), names.rend());
    return names;
}

std::vector<ChangeHistory::Item> ChangeHistory::List() const {
    std::vector<Item> items;
    for (const std::string& name : NamesNewestFirst()) {
        Item item;
        item.path = m_folder + "/" + name;
        std::string text;
        WriteRecord record;
        if (!ReadSmallFile(item.path, kMaxEntryBytes, text, item.problem)) {
            item.problem = "it cannot be read: " + item.problem;
        } else if (ParseHistoryEntry(text, record, item.problem)) {
            item.record = std::move(record);
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<ChangeHistory::Item> ChangeHistory::Load(int number) const {
    std::vector<Item> items = List();
    if (number < 1 || static_cast<size_t>(number) > items.size()) return std::nullopt;
    return std::move(items[static_cast<size_t>(number) - 1]);
}

int ChangeHistory::Prune(std::time_t now, size_t keepEntries, int keepDays) const {
    const std::vector<std::string> names = NamesNewestFirst();
    const std::time_t cutoff = now - static_cast<std::time_t>(keepDays) * kSecondsPerDay;
    int removed = 0;
    for (size_t i = keepEntries; i < names.size(); ++i) {
        std::time_t when = 0;
        if (!ParseUtcStamp(names[i], when) || when >= cutoff) continue;
        std::error_code error;
        if (fs::remove(m_folder + "/" + names[i], error)) ++removed;
    }
    return removed;
}
