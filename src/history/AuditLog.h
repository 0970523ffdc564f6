#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "history/WriteRecord.h"

// The audit log: one JSON line per write attempt in
// $XDG_STATE_HOME/veltrix/audit.log, appended, never rewritten. Each line
// carries "prev", the SHA-256 (hex) of the line before it (64 zeros on the
// first line), so an edited or removed line breaks the chain at the line
// after it. Appends hold the file's writer lock while they read the last
// line and write theirs, so two programs appending at once keep the chain.
class AuditLog {
public:
    // How a write attempt ended.
    static constexpr const char* kVerified = "verified";      // read back, the same
    static constexpr const char* kMismatch = "mismatch";      // read back, different
    static constexpr const char* kFailed = "failed";          // not done, or not confirmed
    static constexpr const char* kUnverified = "unverified";  // acknowledged, read-back turned off

    explicit AuditLog(std::string path = DefaultPath());
    // $XDG_STATE_HOME/veltrix/audit.log; empty when there is no state folder.
    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }

    // The file can be appended to now (its folder made if need be).
    bool CheckWritable(std::string& error) const;
    // Appends one line for a write attempt; message says why it failed.
    bool Append(const WriteRecord& record, const std::string& result, const std::string& message,
                std::string& error) const;

    // Every line, without line ends; false when the file cannot be read (a
    // missing file is an empty log).
    bool ReadLines(std::vector<std::string>& lines, std::string& error) const;

    struct ChainCheck {
        size_t lines = 0;
        // The first line (from 1) that breaks the chain, 0 when none does.
        size_t brokenLine = 0;
        std::string why;
    };
    ChainCheck Verify() const;

private:
    std::string m_path;
};

// The line for one attempt, without its line end, chained to prevHex.
std::string AuditLine(const WriteRecord& record, const std::string& result,
                      const std::string& message, const std::string& prevHex);
// The chain of these lines checked as AuditLog::Verify does.
AuditLog::ChainCheck VerifyAuditChain(const std::vector<std::string>& lines);
// A line for people: "2026-12-07T10:02:03+01:00  anna@pc  /dev/ttyUSB0
// controller A  psf put  psf 3FA2C01B -> 77D01E2A  verified"; a line that is
// not JSON is given back as it is.
std::string AuditLineText(const std::string& line);
// The last count lines of the log about a device (by its path as opened or
// its stable path), oldest first.
std::vector<std::string> AuditLinesOfDevice(const std::vector<std::string>& lines, const std::string& device,
                                            const std::string& stablePath, size_t count);
// The stamp of a line ("time"), as seconds; nothing when it has none.
std::optional<std::time_t> AuditLineTime(const std::string& line);
