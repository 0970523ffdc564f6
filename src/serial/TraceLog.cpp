#include "serial/TraceLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <utility>

#include "platform/Clock.h"
#include "platform/Folders.h"

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
    const std::time_t now = std::time(nullptr);
    char date[32] = "?";
    std::tm local{};
    if (localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    return std::string("START ") + date;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// O_NONBLOCK keeps the open of a FIFO without a reader from waiting for one
// (it fails with ENXIO instead); a FIFO with a reader is refused below.
int OpenRegularForAppend(const std::string& path, uint64_t& size, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    size = static_cast<uint64_t>(info.st_size);
    return fd;
}

}  // namespace

std::shared_ptr<TraceLog> TraceLog::Create(const std::string& path, std::string* error) {
    uint64_t size = 0;
    std::string reason;
    const int fd = OpenRegularForAppend(path, size, reason);
    if (fd < 0) {
        if (error) *error = reason;
        return nullptr;
    }
    std::shared_ptr<TraceLog> log(new TraceLog(fd, path, size));
    // The stamps restart at 0 with every trace; the date says when.
    log->Note(StartLine());
    return log;
}

std::shared_ptr<TraceLog> TraceLog::CreateInMemory() {
    std::shared_ptr<TraceLog> log(new TraceLog(-1, "", 0));
    log->Note(StartLine());
    return log;
}

TraceLog::TraceLog(int fd, std::string path, uint64_t size)
    : m_fd(fd), m_path(std::move(path)), m_size(size), m_startTick(GetClock().TickMs()) {}

TraceLog::~TraceLog() {
    if (m_fd >= 0) ::close(m_fd);
}

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
    if (m_fd < 0) return;
    if (m_size > 0 && m_size + line.size() + 1 > setting.rotateBytes) Rotate();
    if (m_fd >= 0 && WriteAll(m_fd, line + "\n")) m_size += line.size() + 1;
}

void TraceLog::Rotate() {
    for (int n = kKeptFiles - 1; n >= 1; --n) {
        const std::string from = m_path + "." + std::to_string(n);
        ::rename(from.c_str(), (m_path + "." + std::to_string(n + 1)).c_str());
    }
    ::close(m_fd);
    m_fd = -1;
    if (::rename(m_path.c_str(), (m_path + ".1").c_str()) != 0) return;
    std::string ignored;
    m_fd = OpenRegularForAppend(m_path, m_size, ignored);
    if (m_fd >= 0 && WriteAll(m_fd, "0.000 " + StartLine() + " (continued from " + m_path + ".1)\n")) {
        m_size = static_cast<uint64_t>(::lseek(m_fd, 0, SEEK_END));
    }
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
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
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
