#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppendFile.h"
#include "serial/TraceFormat.h"

// TraceLog: the support trace of the bytes on the line. One line per block
// that moved bytes, stamped with seconds.milliseconds since the trace
// started (taken from GetClock()), laid out by FormatTraceBlock:
//   12.345 TX 1B 41 48 0D  |.AH.|  H read diagnostics
//   12.450 RX 1C 41 49 ...  |.AI...|  I diagnostics reply
// plus lines for the start (with the date), opened ports and baud changes.
//
// The file is appended to, so the traces of several runs stay together, and
// every line is written at once, so the trace survives a crash. When a line
// would take the file past the rotation size, the file becomes FILE.1 (FILE.1
// becomes FILE.2 and so on; the oldest kept is FILE.3) and a new one starts.
// Only regular files are traced to: a FIFO without a reader would block the
// open, and a terminal or device has no size to rotate at.
//
// Independently of any file, the most recent lines of this process can be
// kept in memory (KeepRecentTrace), for the service report.
class TraceLog {
  public:
    static constexpr uint64_t kDefaultRotateBytes = 10ull * 1024 * 1024;
    static constexpr int kKeptFiles = 3;

    // Opens the file for appending; nullptr (with the reason in error) when
    // it cannot be opened or is not a regular file.
    static std::shared_ptr<TraceLog> Create(const std::string& path, std::string* error = nullptr);
    // A trace that only feeds the recent lines.
    static std::shared_ptr<TraceLog> CreateInMemory();
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    void Bytes(TraceDirection direction, const uint8_t* bytes, int count);
    void Note(const std::string& text);
    // Empty for a trace kept in memory only.
    const std::string& Path() const { return m_path; }

  private:
    TraceLog(std::unique_ptr<AppendFile> file, std::string path, uint64_t size);
    void Line(const std::string& text);
    void Rotate();

    std::unique_ptr<AppendFile> m_file;  // nullptr: memory only
    std::string m_path;
    uint64_t m_size;
    uint32_t m_startTick;
    TraceRequest m_lastRequest;
};

// Sets the process-wide trace file. Empty: no file of its own, so tracing
// goes to the file VELTRIX_TRACE names, if any.
void SetTraceFile(const std::string& path);
// SetTraceFile, but the file is opened at once: false, with the reason in
// error and tracing left as it was, when it cannot be traced to.
bool UseTraceFile(const std::string& path, std::string& error);
// The file new ports are traced to: the one set, else VELTRIX_TRACE; empty
// when there is none.
std::string WantedTraceFile();
// The trace all new traced ports write to, opened on first use; nullptr when
// tracing is off. A file that cannot be opened is reported once on stderr
// (a trace must never stop the port from working); the recent lines are
// still kept when asked for.
std::shared_ptr<TraceLog> ActiveTraceLog();

// Keeps the last kRecentTraceLines lines of this process in memory, whether
// or not a file is traced to. Off by default; the programs turn it on.
inline constexpr std::size_t kRecentTraceLines = 200;
void KeepRecentTrace(bool keep);
std::vector<std::string> RecentTraceLines();
void ClearRecentTrace();

// The size at which trace files are rotated (tests make it small).
void SetTraceRotateBytes(uint64_t bytes);

// Where the desktop program's "Record Protocol Trace" writes:
// $XDG_STATE_HOME/veltrix/trace.log, else ~/.local/state/veltrix/trace.log.
std::string DefaultTraceFilePath();
// Creates the folders above path (private to the user); false with the
// reason in error.
bool CreateParentFolders(const std::string& path, std::string& error);

// The desktop program's "Record Protocol Trace": while on, ports are traced
// to DefaultTraceFilePath(); VELTRIX_TRACE, when set, wins either way.
// Returns the file now traced to (empty: none); when the file cannot be
// opened, tracing stays off and error says why.
std::string ApplyRecordTrace(bool on, std::string& error);
