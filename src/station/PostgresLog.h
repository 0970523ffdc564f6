#pragma once

#include <functional>

#include "station/ProductionLog.h"

struct pg_conn;

// The production log in a PostgreSQL database that several stations share.
// The connection is opened at the first call and kept; one that broke (the
// server restarted) is opened again once within the same call, which is
// safe because a unit is stored once per record uid. Unless the URI says
// otherwise, connecting waits at most kPostgresConnectSeconds and a
// statement at most kPostgresStatementMs.
inline constexpr int kPostgresConnectSeconds = 5;
inline constexpr int kPostgresStatementMs = 15000;

class PostgresLog : public ProductionLog {
public:
    explicit PostgresLog(LogTarget target) : m_target(std::move(target)) {}
    ~PostgresLog() override;
    PostgresLog(const PostgresLog&) = delete;
    PostgresLog& operator=(const PostgresLog&) = delete;

    bool Append(const UnitRecord& unit, std::string& error) override;
    bool Read(const LogQuery& query, std::vector<UnitRecord>& units, std::string& error) override;
    bool Count(const LogQuery& query, LogCounts& counts, std::string& error) override;

private:
    // Runs work on the connection, opened when needed; a connection that
    // turns out broken is opened again and the work repeated once.
    bool Run(const std::function<bool(pg_conn*, std::string&)>& work, std::string& error);
    bool Connect(std::string& error);
    void Disconnect();

    LogTarget m_target;
    pg_conn* m_connection = nullptr;
    bool m_schemaChecked = false;
};

// A PostgresLog; in a build without libpq (NoPostgresLog.cpp) nothing, with
// the reason.
std::unique_ptr<ProductionLog> MakePostgresLog(const LogTarget& target, std::string& error);
