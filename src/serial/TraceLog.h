#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// TraceLog: the support trace of the bytes on the line. One line per block
// that moved bytes, stamped with seconds.milliseconds since the trace
// started (taken from GetClock()):
//   12.345 TX 1B 41 48 0D
//   12.450 RX 1C 41 49 ...
// plus lines for the start (with the date), opened ports and baud changes.
// The file is appended to; every line is flushed at once, so the trace
// survives a crash.
class TraceLog {
  public:
    // Opens the file for appending; nullptr when it cannot be opened.
    static std::shared_ptr<TraceLog> Create(const std::string& path);
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    void Bytes(const char* direction, const uint8_t* bytes, int count);
    void Note(const std::string& text);
    const std::string& Path() const { return m_path; }

  private:
    TraceLog(std::FILE* file, std::string path);
    void Stamp();

    std::FILE* m_file;
    std::string m_path;
    uint32_t m_startTick;
};

// Sets the process-wide trace file. Empty: no file of its own, so tracing is
// off unless the environment variable VELTRIX_TRACE names a file.
void SetTraceFile(const std::string& path);
// The trace all new traced ports write to, opened on first use; nullptr when
// tracing is off or the file cannot be opened (reported once on stderr: a
// trace must never stop the port from working).
std::shared_ptr<TraceLog> ActiveTraceLog();
