#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "station/LogTarget.h"
#include "station/UnitRecord.h"

// The production log: every unit a station programmed, pass or fail, in the
// table "units" of a SQLite file on the PC or of a PostgreSQL database that
// the stations of a plant share. Both back ends keep the same schema (the
// columns of UnitRecord, plus the table "schema_version") and create it
// when it is missing.
//
// Threads and processes: an object belongs to one thread at a time. Each
// station worker opens its own; any number of objects, in any number of
// processes, may write to one log at once (SQLite waits for the file lock,
// PostgreSQL takes concurrent inserts). No call waits without end: a
// database that does not answer within a few seconds is an error.
//
// Errors are values: a failed call returns false and its text, which names
// the log (password hidden) and what the database said.

// The version of the schema this program writes; kept in "schema_version".
inline constexpr int kLogSchemaVersion = 1;

// Which rows to read: those started at or after `since`, of one station.
struct LogQuery {
    std::optional<int64_t> sinceUtcMs;
    std::string station;  // empty: every station
    // Newest first and at most this many; 0 reads all, oldest first.
    int newest = 0;
};

struct LogCounts {
    int64_t passed = 0;
    int64_t failed = 0;
};

class ProductionLog {
public:
    virtual ~ProductionLog() = default;

    // Stores one unit in one transaction: all of it or nothing. A record
    // whose uid the log holds already is taken as stored.
    virtual bool Append(const UnitRecord& unit, std::string& error) = 0;
    virtual bool Read(const LogQuery& query, std::vector<UnitRecord>& units, std::string& error) = 0;
    virtual bool Count(const LogQuery& query, LogCounts& counts, std::string& error) = 0;
};

// A log object for the target; nothing happens on the database until the
// first call. Nothing, with the reason, when this build has no back end for
// the target's kind.
std::unique_ptr<ProductionLog> OpenProductionLog(const LogTarget& target, std::string& error);
