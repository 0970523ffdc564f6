#include "station/StationLog.h"

#include "platform/Clock.h"

StationLog::StationLog(LogTarget target, std::unique_ptr<ProductionLog> log, LogSpool spool, uint32_t retryMs)
    : m_target(std::move(target)), m_log(std::move(log)), m_spool(std::move(spool)), m_retryMs(retryMs) {}

std::unique_ptr<StationLog> StationLog::Open(const LogTarget& target, std::string& error) {
    std::unique_ptr<ProductionLog> log = OpenProductionLog(target, error);
    if (!log) return nullptr;
    return std::make_unique<StationLog>(target, std::move(log), LogSpool(LogSpool::FolderFor(target)));
}

bool StationLog::Pausing() const {
    return m_failed && static_cast<uint32_t>(GetClock().TickMs() - m_failedAt) < m_retryMs;
}

void StationLog::Failed() {
    m_failed = true;
    m_failedAt = GetClock().TickMs();
}

FlushOutcome StationLog::Flush(bool now) {
    FlushOutcome outcome;
    if (!now && Pausing()) {
        outcome.error = m_lastError;
        outcome.pending = m_spool.Count();
        return outcome;
    }
    for (const LogSpool::Entry& entry : m_spool.List()) {
        std::string error;
        if (!entry.unit) {
            if (m_spool.SetAside(entry, error))
                outcome.damaged.push_back(entry.path + ": " + entry.why);
            else
                outcome.error = error;
            continue;
        }
        if (!m_log->Append(*entry.unit, error)) {
            m_lastError = outcome.error = error;
            Failed();
            break;
        }
        m_failed = false;
        ++outcome.sent;
        // A file that stays is sent again later and stored once (its uid).
        if (!m_spool.Remove(entry, error)) outcome.error = error;
    }
    outcome.pending = m_spool.Count();
    return outcome;
}

RecordOutcome StationLog::Record(const UnitRecord& unit) {
    RecordOutcome outcome;
    std::string error;
    bool queue = false;
    if (m_spool.Count() > 0) {
        const FlushOutcome flushed = Flush(false);
        queue = flushed.pending > 0;
        error = flushed.error;
    }
    if (!queue && !Pausing()) {
        if (m_log->Append(unit, error)) {
            m_failed = false;
            outcome.pending = m_spool.Count();
            return outcome;
        }
        m_lastError = error;
        Failed();
    }
    if (error.empty()) error = m_lastError;
    std::string spoolError;
    if (m_spool.Add(unit, spoolError)) {
        outcome.kind = RecordOutcome::Kind::Spooled;
        outcome.error = error;
    } else {
        outcome.kind = RecordOutcome::Kind::Lost;
        outcome.error = error.empty() ? spoolError : error + "; " + spoolError;
    }
    outcome.pending = m_spool.Count();
    return outcome;
}
