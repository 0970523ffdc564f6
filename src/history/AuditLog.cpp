#include "history/AuditLog.h"

#include <cerrno>
#include <filesystem>

#include "history/ChangeHistory.h"
#include "platform/AppendFile.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIdentity.h"
#include "platform/Sha256.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr size_t kMaxLogBytes = 256u * 1024 * 1024;
// Long enough for a slow disk, short enough that a hung holder is reported.
constexpr int kLockWaitMs = 5000;
const std::string kFirstPrev(64, '0');

std::string Folder(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

std::string LastLine(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
    const size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return start == std::string::npos ? text.substr(0, end)
                                      : text.substr(start + 1, end - start - 1);
}

}  // namespace

std::string AuditLine(const WriteRecord& r, const std::string& result, const std::string& message,
                      const std::string& prevHex) {
    const ProcessIdentity self = CurrentProcessIdentity();
    const std::optional<ControllerHardware>& hw = r.controller.hardware;
    Json json = {{"time", IsoLocalTime(r.time)},
                 {"user", CurrentUserName()},
                 {"host", self.host},
                 {"program", RecordingProgramName()},
                 {"version", RecordingProgramVersion()},
                 {"device", r.device},
                 {"stable_path", r.stablePath},
                 {"controller_id", ControllerIdText(r.controller.id)},
                 {"part_number", hw ? hw->partNumber : ""},
                 {"firmware", hw ? hw->firmware : ""},
                 {"command", r.command},
                 {"what", WriteKindName(r.kind)},
                 {"fingerprint_before", r.fingerprintBefore},
                 {"fingerprint_after", r.fingerprintAfter},
                 {"changes", ChangesJson(r.changes)},
                 {"result", result}};
    if (!message.empty()) json["message"] = message;
    json["prev"] = prevHex;
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

AuditLog::ChainCheck VerifyAuditChain(const std::vector<std::string>& lines) {
    AuditLog::ChainCheck check;
    check.lines = lines.size();
    std::string expected = kFirstPrev;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Json json = Json::parse(lines[i], nullptr, false);
        const size_t number = i + 1;
        if (json.is_discarded() || !json.is_object() || !json.contains("prev") ||
            !json["prev"].is_string()) {
            check.brokenLine = number;
            check.why = "it is not an audit line";
            return check;
        }
        if (json["prev"].get<std::string>() != expected) {
            check.brokenLine = number;
            check.why = number == 1 ? "lines before it were removed"
                                    : "line " + std::to_string(number - 1) +
                                          " was changed, or lines between them were removed";
            return check;
        }
        expected = DigestHex(Sha256(lines[i]));
    }
    return check;
}

std::string AuditLineText(const std::string& text) {
    const Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object()) return text;
    const auto field = [&line](const char* key) {
        const auto at = line.find(key);
        return at != line.end() && at->is_string() ? at->get<std::string>() : std::string();
    };
    std::string out = field("time") + "  " + field("user") + "@" + field("host") + "  " +
                      field("device") + "  controller " + field("controller_id") + "  " +
                      field("command") + "  " + field("what") + " " + field("fingerprint_before") +
                      " -> " + field("fingerprint_after") + "  " + field("result");
    if (!field("message").empty()) out += ": " + field("message");
    return out;
}

std::vector<std::string> AuditLinesOfDevice(const std::vector<std::string>& lines,
                                            const std::string& device,
                                            const std::string& stablePath, size_t count) {
    std::vector<std::string> found;
    for (auto it = lines.rbegin(); it != lines.rend() && found.size() < count; ++it) {
        const Json line = Json::parse(*it, nullptr, false);
        if (line.is_discarded() || !line.is_object()) continue;
        const auto matches = [&line](const char* key, const std::string& value) {
            const auto at = line.find(key);
            return !value.empty() && at != line.end() && at->is_string() &&
                   at->get<std::string>() == value;
        };
        if (matches("device", device) || matches("stable_path", stablePath)) found.push_back(*it);
    }
    return {found.rbegin(), found.rend()};
}

std::optional<std::time_t> AuditLineTime(const std::string& line) {
    const Json json = Json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("time") ||
        !json["time"].is_string())
        return std::nullopt;
    const std::string time = json["time"].get<std::string>();
    // "2026-12-07T10:02:03+01:00"
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, oh = 0, om = 0;
    char sign = 0;
    if (std::sscanf(time.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &y, &mo, &d, &h, &mi, &s,
                    &sign, &oh, &om) != 9 ||
        (sign != '+' && sign != '-'))
        return std::nullopt;
    char stamp[20];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02dZ", y, mo, d, h, mi, s);
    std::time_t wall = 0;
    if (!ParseUtcStamp(stamp, wall)) return std::nullopt;
    const long offset = (oh * 60L + om) * 60L * (sign == '-' ? -1 : 1);
    return wall - offset;
}

AuditLog::AuditLog(std::string path) : m_path(std::move(path)) {}

std::string AuditLog::DefaultPath() {
    const std::string state = StateFolder();
    return state.empty() ? state : state + "/audit.log";
}

bool AuditLog::CheckWritable(std::string& error) const {
    if (m_path.empty()) {
        error = "There is no folder for the audit log (neither XDG_STATE_HOME nor HOME is set).";
        return false;
    }
    if (int err = 0; !MakeFolders(Folder(m_path), err)) {
        error = "Unable to create folder '" + Folder(m_path) + "' - " + ErrorText(err);
        return false;
    }
    AppendFile file;
    uint64_t size = 0;
    if (file.Open(m_path, size, error)) return true;
    error = "Unable to open file '" + m_path + "' - " + error;
    return false;
}

bool AuditLog::Append(const WriteRecord& record, const std::string& result,
                      const std::string& message, std::string& error) const {
    if (!CheckWritable(error)) return false;
    AppendFile file;
    uint64_t size = 0;
    std::string why;
    if (!file.Open(m_path, size, why) || !file.Lock(kLockWaitMs, why)) {
        error = "Unable to append to file '" + m_path + "' - " + why;
        return false;
    }
    // Under the lock: nobody appends between this read and the write.
    std::string text;
    if (!ReadSmallFile(m_path, kMaxLogBytes, text, why)) {
        error = "Unable to read file '" + m_path + "' - " + why;
        return false;
    }
    const std::string last = LastLine(text);
    std::string line =
        AuditLine(record, result, message, last.empty() ? kFirstPrev : DigestHex(Sha256(last)));
    // A last line cut short by a crash must not swallow this one.
    if (!text.empty() && text.back() != '\n') line = "\n" + line;
    if (!file.Write(line + "\n")) {
        error = "Unable to append to file '" + m_path + "' - " + ErrorText(errno);
        return false;
    }
    return true;
}

bool AuditLog::ReadLines(std::vector<std::string>& lines, std::string& error) const {
    lines.clear();
    std::error_code missing;
    if (!std::filesystem::exists(m_path, missing)) return true;
    std::string text;
    if (!ReadSmallFile(m_path, kMaxLogBytes, text, error)) {
        error = "Unable to read file '" + m_path + "' - " + error;
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

AuditLog::ChainCheck AuditLog::Verify() const {
    std::vector<std::string> lines;
    std::string error;
    if (!ReadLines(lines, error)) {
        ChainCheck check;
        check.brokenLine = 1;
        check.why = error;
        return check;
    }
    return VerifyAuditChain(lines);
}
