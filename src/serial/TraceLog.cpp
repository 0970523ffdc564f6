#include "serial/TraceLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/Clock.h"

namespace {

struct TraceSetting {
    std::string path;  // empty: VELTRIX_TRACE decides
    std::shared_ptr<TraceLog> log;
    std::string failedPath;  // the path last reported as unopenable
};

TraceSetting& Setting() {
    static TraceSetting setting;
    return setting;
}

std::string WantedPath() {
    const TraceSetting& setting = Setting();
    if (!setting.path.empty()) return setting.path;
    const char* env = std::getenv("VELTRIX_TRACE");
    return env ? env : "";
}

}  // namespace

std::shared_ptr<TraceLog> TraceLog::Create(const std::string& path) {
    // Appended to, so that the traces of several runs (a support case) stay
    // together; each starts with the date, since the stamps restart at 0.
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) return nullptr;
    std::shared_ptr<TraceLog> log(new TraceLog(file, path));
    const std::time_t now = std::time(nullptr);
    char date[32] = "?";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", local);
    }
    log->Note(std::string("START ") + date);
    return log;
}

TraceLog::TraceLog(std::FILE* file, std::string path)
    : m_file(file), m_path(std::move(path)), m_startTick(GetClock().TickMs()) {}

TraceLog::~TraceLog() { std::fclose(m_file); }

void TraceLog::Stamp() {
    const uint32_t ms = GetClock().TickMs() - m_startTick;
    std::fprintf(m_file, "%u.%03u", static_cast<unsigned>(ms / 1000),
                 static_cast<unsigned>(ms % 1000));
}

void TraceLog::Bytes(const char* direction, const uint8_t* bytes, int count) {
    if (count <= 0) return;
    Stamp();
    std::fprintf(m_file, " %s", direction);
    for (int i = 0; i < count; ++i) std::fprintf(m_file, " %02X", bytes[i]);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

void TraceLog::Note(const std::string& text) {
    Stamp();
    std::fprintf(m_file, " %s\n", text.c_str());
    std::fflush(m_file);
}

void SetTraceFile(const std::string& path) {
    TraceSetting& setting = Setting();
    setting.path = path;
    setting.log.reset();  // ports already traced keep their own reference
}

std::shared_ptr<TraceLog> ActiveTraceLog() {
    TraceSetting& setting = Setting();
    const std::string path = WantedPath();
    if (path.empty()) return nullptr;
    if (setting.log && setting.log->Path() == path) return setting.log;
    setting.log = TraceLog::Create(path);
    if (!setting.log && setting.failedPath != path) {
        std::fprintf(stderr, "veltrix: cannot open trace file %s: %s\n", path.c_str(),
                     std::strerror(errno));
        setting.failedPath = path;
    }
    return setting.log;
}
