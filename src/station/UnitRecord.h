#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One unit as the production station records it: one row of the log's table
// "units". Texts the station did not learn (a unit that failed before its
// diagnostics were read has no firmware) stay empty and are stored as NULL.
struct UnitRecord {
    enum class Result { Pass, Fail };

    // Set by the log when it reads rows back; 0 for a record not yet stored.
    int64_t id = 0;
    // Milliseconds since 1970-01-01 UTC.
    int64_t startedAtMs = 0;
    int64_t finishedAtMs = 0;
    std::string station;
    std::string device;
    std::string controllerId;
    std::string partNumber;
    std::string dateCode;
    std::string firmware;
    std::string layout;
    std::string psfFingerprint;
    std::string blankingFingerprint;
    Result result = Result::Fail;
    std::string reason;
    std::string operatorName;
    // Random and unique per record. The log stores a record with a given uid
    // once, so a spooled record sent again after a lost acknowledgement, or
    // by two stations flushing the same spool, is not counted twice.
    std::string recordUid;

    bool operator==(const UnitRecord&) const = default;
};

// "pass" or "fail", as the column "result" holds it.
std::string_view ResultText(UnitRecord::Result result);
std::optional<UnitRecord::Result> ResultFromText(std::string_view text);

// A fresh record uid: 32 lower-case hex digits from the system's random source.
std::string NewRecordUid();

// Milliseconds since the epoch now, by the system (calendar) clock.
int64_t NowUtcMs();

// "2026-03-15T10:02:03.123Z": UTC, always this length, so that the texts sort
// as the times do (the SQLite log compares them as text).
std::string FormatUtc(int64_t utcMs);
// The same form back; also without the milliseconds. Nothing for anything else.
std::optional<int64_t> ParseUtc(std::string_view text);

// A point in time as a user gives it for a query: "2026-03-15" (the start of
// that day, local time), "2026-03-15T06:00" or "2026-03-15T06:00:30" (local
// time), or FormatUtc's form (UTC). Nothing for anything else.
std::optional<int64_t> ParseSince(std::string_view text);
