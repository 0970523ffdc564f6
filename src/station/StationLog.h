#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "station/LogSpool.h"
#include "station/ProductionLog.h"

// What a station writes its units through: the production log, and the
// spool when the log cannot take them. A record is never lost while the
// spool can be written, and records reach the log in the order the units
// finished: while anything waits in the spool, new records queue behind it.
//
// After the log failed, it is tried again only after a pause (kLogRetryMs),
// so that a database that is down does not cost every unit a connection
// time-out. Like ProductionLog, an object belongs to one thread at a time.
inline constexpr uint32_t kLogRetryMs = 30000;

struct RecordOutcome {
    enum class Kind {
        Stored,   // in the log
        Spooled,  // kept in the spool; `error` says why the log did not take it
        Lost,     // neither: `error` says why; only the caller still holds it
    };
    Kind kind = Kind::Stored;
    std::string error;
    size_t pending = 0;  // records in the spool afterwards
};

struct FlushOutcome {
    size_t sent = 0;
    size_t pending = 0;
    std::string error;                 // why sending stopped, if it did
    std::vector<std::string> damaged;  // spool files set aside, with why
};

class StationLog {
public:
    StationLog(LogTarget target, std::unique_ptr<ProductionLog> log, LogSpool spool,
               uint32_t retryMs = kLogRetryMs);

    // The log of a target with its spool; nothing, with the reason, when
    // this build cannot write to such a log.
    static std::unique_ptr<StationLog> Open(const LogTarget& target, std::string& error);

    RecordOutcome Record(const UnitRecord& unit);
    // Sends what waits in the spool, in order, until the log refuses one.
    // Without `now`, nothing is tried during the pause after a failure.
    FlushOutcome Flush(bool now = true);
    size_t Pending() const { return m_spool.Count(); }

    const LogTarget& Target() const { return m_target; }
    ProductionLog& Log() { return *m_log; }
    const LogSpool& Spool() const { return m_spool; }

private:
    bool Pausing() const;
    void Failed();

    LogTarget m_target;
    std::unique_ptr<ProductionLog> m_log;
    LogSpool m_spool;
    uint32_t m_retryMs;
    bool m_failed = false;
    uint32_t m_failedAt = 0;
    std::string m_lastError;
};
