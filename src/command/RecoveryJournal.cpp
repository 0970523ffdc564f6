#include "command/RecoveryJournal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/ReadOnlyFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSuffix = ".entry";
constexpr const char* kKeptMark = ".kept-";
// Far more than any entry; a bigger file is not one of ours.
constexpr long kMaxEntryBytes = 64 * 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The device a file name stands for; empty when the name is not one of ours.
std::string DeviceOfFileName(const std::string& name) {
    size_t end = name.rfind(kSuffix);
    if (end == std::string::npos || end == 0) return {};
    const std::string rest = name.substr(end + std::strlen(kSuffix));
    if (!rest.empty() && rest.rfind(kKeptMark, 0) != 0) return {};
    std::string device;
    for (size_t i = 0; i < end; ++i) {
        if (name[i] != '%') {
            device += name[i];
            continue;
        }
        if (i + 2 >= end || HexValue(name[i + 1]) < 0 || HexValue(name[i + 2]) < 0) return {};
        device += static_cast<char>(HexValue(name[i + 1]) * 16 + HexValue(name[i + 2]));
        i += 2;
    }
    return device;
}

}  // namespace

std::string ResolvedDevicePath(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

RecoveryJournal::RecoveryJournal(std::string folder) : m_folder(std::move(folder)) {}

std::string RecoveryJournal::DefaultFolder() {
    const std::string state = StateFolder();
    return state.empty() ? state : state + "/recovery";
}

std::string RecoveryJournal::FileNameFor(const std::string& device) {
    std::string name;
    for (const unsigned char c : device) {
        if (std::isalnum(c) || c == '.' || c == '_' || c == '-') {
            name += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            name += escaped;
        }
    }
    return name + kSuffix;
}

bool RecoveryJournal::Write(const RecoveryEntry& entry, std::string& error) const {
    if (m_folder.empty()) {
        error = "There is no folder for the recovery journal (neither XDG_STATE_HOME nor HOME is set).";
        return false;
    }
    if (int err = 0; !MakeFolders(m_folder, err)) {
        error = "Unable to create folder '" + m_folder + "' - " + ErrorText(err);
        return false;
    }
    const std::string path = m_folder + "/" + FileNameFor(entry.device);
    const std::string text = SerializeRecoveryEntry(entry);
    const AtomicWriteResult result = WriteFileAtomically(path, text.data(), text.size());
    if (result.ok()) return true;
    error = "Unable to create file '" + path + "' - " + ErrorText(result.error);
    return false;
}

RecoveryJournal::Item RecoveryJournal::Load(const std::string& name) const {
    Item item;
    item.path = m_folder + "/" + name;
    item.device = DeviceOfFileName(name);
    if (name.find(kKeptMark) != std::string::npos) {
        item.problem = EntryProblem::Corrupt;
        item.why = "set aside earlier as unusable";
    }

    ReadOnlyFile file;
    std::string text;
    long size = -1;
    if (file.Open(item.path)) size = file.Size();
    if (size < 0 || size > kMaxEntryBytes) {
        item.problem = EntryProblem::Foreign;
        item.why = size < 0 ? std::string("it cannot be read - ") + ErrorText(errno)
                            : "it is too large to be an entry";
        return item;
    }
    text.resize(static_cast<size_t>(size));
    if (size > 0 &&
        file.ReadFromStart(reinterpret_cast<uint8_t*>(text.data()), text.size()) < text.size()) {
        item.problem = EntryProblem::Corrupt;
        item.why = "it cannot be read in full";
        return item;
    }

    RecoveryEntry entry;
    std::string why;
    const EntryProblem problem = ParseRecoveryEntry(text, entry, why);
    if (problem != EntryProblem::None) {
        item.problem = problem;
        item.why = why;
        return item;
    }
    item.entry = entry;
    if (item.problem != EntryProblem::None) return item;
    if (entry.device != item.device) {
        item.problem = EntryProblem::Foreign;
        item.why = "it was made for another device (" + entry.device + ")";
    } else if (StateOf(entry.writer) == ProcessState::OtherHost) {
        item.problem = EntryProblem::Foreign;
        item.why = "it was made on another computer (" + entry.writer.host + ")";
    }
    return item;
}

std::vector<RecoveryJournal::Item> RecoveryJournal::List() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& found : fs::directory_iterator(m_folder, error)) {
        const std::string name = found.path().filename().string();
        // Dot files are temporaries of a write under way.
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        if (found.symlink_status(typeError).type() == fs::file_type::directory || typeError) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<Item> items;
    for (const std::string& name : names) items.push_back(Load(name));
    return items;
}

std::optional<RecoveryJournal::Item> RecoveryJournal::Find(const std::string& device,
                                                           const std::string& resolved) const {
    if (m_folder.empty()) return std::nullopt;
    const std::string name = FileNameFor(device);
    std::error_code error;
    if (fs::symlink_status(m_folder + "/" + name, error).type() != fs::file_type::not_found && !error)
        return Load(name);
    // The same device opened under another name (a by-id link, say), as
    // long as that name still leads there: a pseudo-terminal's number, or a
    // ttyUSB number, is soon given to another device.
    if (resolved.empty()) return std::nullopt;
    for (Item& item : List()) {
        if (item.device.empty() || item.path.find(kKeptMark) != std::string::npos) continue;
        if (item.entry && item.entry->resolved == resolved && ResolvedDevicePath(item.entry->device) == resolved)
            return item;
    }
    return std::nullopt;
}

bool RecoveryJournal::Remove(const Item& item, std::string& error) const {
    if (std::remove(item.path.c_str()) == 0 || errno == ENOENT) return true;
    error = "Unable to remove '" + item.path + "' - " + ErrorText(errno);
    return false;
}

std::string RecoveryJournal::SetAside(const Item& item, std::string& error) const {
    const std::string kept = item.path + kKeptMark + std::to_string(std::time(nullptr));
    if (std::rename(item.path.c_str(), kept.c_str()) == 0) return kept;
    error = "Unable to move '" + item.path + "' aside - " + ErrorText(errno);
    return {};
}
