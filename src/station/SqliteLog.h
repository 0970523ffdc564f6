#pragma once

#include "station/ProductionLog.h"

// The production log in a SQLite file. Every call opens the file, does its
// work in one transaction and closes it again: a file moved or replaced
// between two units is never written through a stale handle, and no lock is
// held while the station waits for the next unit. Writers of other processes
// are waited for up to kSqliteBusyMs.
inline constexpr int kSqliteBusyMs = 10000;

class SqliteLog : public ProductionLog {
public:
    explicit SqliteLog(LogTarget target) : m_target(std::move(target)) {}

    bool Append(const UnitRecord& unit, std::string& error) override;
    bool Read(const LogQuery& query, std::vector<UnitRecord>& units, std::string& error) override;
    bool Count(const LogQuery& query, LogCounts& counts, std::string& error) override;

private:
    LogTarget m_target;
};
