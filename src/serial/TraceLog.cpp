#include "serial/TraceLog.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "platform/LocalTime.h"

namespace {

struct TraceSetting {
    std::string path;  // empty: VELTRIX_TRACE decides
    std::shared_ptr<TraceLog> log;
    std::string failedPath;  // the path last reported as unopenable
    bool keepRecent = false;
    std::deque<std::string> recent;
    uint64_t rotateBytes = TraceLog::kDefaultRotateBytes;
};

TraceSetting& Setting() {
    static TraceSetting setting;
    return setting;
}

std::string StartLine() {
    char date[32] = "?";
    std::tm local{};
    if (ToLocalTime(std::time(nullptr), local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    return std::string("START ") + date;
}

}  // namespace

std::shared_ptr<TraceLog> TraceLog::Create(const std::string& path, std::string* error) {
    uint64_t size = 0;
    std::string reason;
    auto file = std::make_unique<AppendFile>();
    if (!file->Open(path, size, reason)) {
        if (error) *error = reason;
        return nullptr;
    }
    std::shared_ptr<TraceLog> log(new TraceLog(std::move(file), path, size));
    // The stamps restart at 0 with every trace; the date says when.
    log->Note(StartLine());
    return log;
}

std::shared_ptr<TraceLog> TraceLog::CreateInMemory() {
    std::shared_ptr<TraceLog> log(new TraceLog(nullptr, "", 0));
    log->Note(StartLine());
    return log;
}

TraceLog::TraceLog(std::unique_ptr<AppendFile> file, std::string path, uint64_t size)
    : m_file(std::move(file)), m_path(std::move(path)), m_size(size), m_startTick(GetClock().TickMs()) {}

TraceLog::~TraceLog() = default;

void TraceLog::Line(const std::string& text) {
    const uint32_t ms = GetClock().TickMs() - m_startTick;
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%u.%03u ", static_cast<unsigned>(ms / 1000),
                  static_cast<unsigned>(ms % 1000));
    const std::string line = stamp + text;

    TraceSetting& setting = Setting();
    if (setting.keepRecent) {
        setting.recent.push_back(line);
        while (setting.recent.size() > kRecentTraceLines) setting.recent.pop_front();
    }
    if (!m_file || !m_file->IsOpen()) return;
    if (m_size > 0 && m_size + line.size() + 1 > setting.rotateBytes) Rotate();
    if (m_file->IsOpen() && m_file->Write(line + "\n")) m_size += line.size() + 1;
}

void TraceLog::Rotate() {
    // Renames replace the older files in one step on every OS (Windows'
    // rename() would refuse to).
    for (int n = kKeptFiles - 1; n >= 1; --n)
        RenameReplacing(m_path + "." + std::to_string(n), m_path + "." + std::to_string(n + 1));
    m_file->Close();
    if (RenameReplacing(m_path, m_path + ".1") != 0) return;
    std::string ignored;
    if (!m_file->Open(m_path, m_size, ignored)) return;
    const std::string first = "0.000 " + StartLine() + " (continued from " + m_path + ".1)\n";
    if (m_file->Write(first)) m_size += first.size();
}

void TraceLog::Bytes(TraceDirection direction, const uint8_t* bytes, int count) {
    if (count <= 0) return;
    Line(FormatTraceBlock(direction, bytes, count, m_lastRequest));
}

void TraceLog::Note(const std::string& text) { Line(text); }

void SetTraceFile(const std::string& path) {
    TraceSetting& setting = Setting();
    setting.path = path;
    setting.log.reset();  // ports already traced keep their own reference
}

bool UseTraceFile(const std::string& path, std::string& error) {
    std::shared_ptr<TraceLog> log = TraceLog::Create(path, &error);
    if (!log) return false;
    SetTraceFile(path);
    Setting().log = std::move(log);
    return true;
}

std::string WantedTraceFile() {
    const TraceSetting& setting = Setting();
    if (!setting.path.empty()) return setting.path;
    const char* env = std::getenv("VELTRIX_TRACE");
    return env ? env : "";
}

std::shared_ptr<TraceLog> ActiveTraceLog() {
    TraceSetting& setting = Setting();
    const std::string path = WantedTraceFile();
    if (setting.log && setting.log->Path() == path) return setting.log;
    setting.log.reset();
    if (!path.empty()) {
        std::string error;
        setting.log = TraceLog::Create(path, &error);
        if (!setting.log && setting.failedPath != path) {
            std::fprintf(stderr, "veltrix: cannot open trace file %s: %s\n", path.c_str(),
                         error.c_str());
            setting.failedPath = path;
        }
    }
    if (!setting.log && setting.keepRecent) setting.log = TraceLog::CreateInMemory();
    return setting.log;
}

void KeepRecentTrace(bool keep) {
    TraceSetting& setting = Setting();
    setting.keepRecent = keep;
    if (keep) return;  // a file trace already open feeds the lines from now on
    setting.recent.clear();
    if (setting.log && setting.log->Path().empty()) setting.log.reset();
}

std::vector<std::string> RecentTraceLines() {
    const TraceSetting& setting = Setting();
    return {setting.recent.begin(), setting.recent.end()};
}

void ClearRecentTrace() { Setting().recent.clear(); }

void SetTraceRotateBytes(uint64_t bytes) { Setting().rotateBytes = bytes; }

std::string DefaultTraceFilePath() {
    const std::string state = StateFolder();
    return (state.empty() ? std::string("/tmp/.local/state/veltrix") : state) + "/trace.log";
}

bool CreateParentFolders(const std::string& path, std::string& error) {
    const std::size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos || separator == 0) return true;
    const std::string folder = path.substr(0, separator);
    if (int failure = 0; !MakeFolders(folder, failure)) {
        error = folder + ": " + ErrorText(failure);
        return false;
    }
    return true;
}

std::string ApplyRecordTrace(bool on, std::string& error) {
    error.clear();
    SetTraceFile("");
    if (const char* env = std::getenv("VELTRIX_TRACE"); env && *env) return env;
    if (!on) return {};
    const std::string path = DefaultTraceFilePath();
    if (!CreateParentFolders(path, error)) return {};
    // Opened now, so that a file that cannot be written is said at once
    // rather than on the next command.
    if (!UseTraceFile(path, error)) {
        error = path + ": " + error;
        return {};
    }
    return path;
}
