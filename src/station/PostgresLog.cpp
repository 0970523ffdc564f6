#include "station/PostgresLog.h"

#include <libpq-fe.h>

#include <memory>

#include "station/UnitColumns.h"
#include "station/UnitsSql.h"

namespace {

struct ResultClearer {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultClearer>;

// libpq's messages end in a newline and may span lines: one line here.
std::string OneLine(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    for (size_t at; (at = text.find('\n')) != std::string::npos;) {
        size_t end = at + 1;
        while (end < text.size() && (text[end] == '\t' || text[end] == ' ')) ++end;
        text.replace(at, end - at, "; ");
    }
    return text.empty() ? "no reason given" : text;
}

// One statement with text parameters (a null pointer is NULL). Rows, if it
// returns any, go to `rows`.
bool Exec(PGconn* connection, const std::string& sql, const std::vector<const char*>& parameters,
          std::string& error, Result* rows = nullptr) {
    Result result(PQexecParams(connection, sql.c_str(), static_cast<int>(parameters.size()), nullptr,
                               parameters.data(), nullptr, nullptr, 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        if (rows) *rows = std::move(result);
        return true;
    }
    // The server's own sentence, without the statement it quotes.
    const char* primary = result ? PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    error = OneLine(primary ? primary : PQerrorMessage(connection));
    return false;
}

bool Exec(PGconn* connection, const std::string& sql, std::string& error) {
    return Exec(connection, sql, {}, error);
}

std::vector<const char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<const char*> pointers;
    for (const std::string& text : texts) pointers.push_back(text.c_str());
    return pointers;
}

// Creates the tables when one is missing. Stations that start together take
// turns through an advisory lock, and a database whose tables an
// administrator made needs no right to create anything.
bool PrepareSchema(PGconn* connection, std::string& error) {
    Result found;
    if (!Exec(connection,
              "SELECT to_regclass('units') IS NOT NULL AND to_regclass('schema_version') IS NOT NULL", {},
              error, &found))
        return false;
    if (std::string(PQgetvalue(found.get(), 0, 0)) != "t") {
        // The key is ours alone: "VLTX" as a number.
        if (!Exec(connection, "SELECT pg_advisory_xact_lock(1448825944)", error)) return false;
        for (const std::string& sql : CreateSchemaSql(PostgresDialect()))
            if (!Exec(connection, sql, error)) return false;
    }
    Result version;
    if (!Exec(connection, SchemaVersionSql(), {}, error, &version)) return false;
    const int foundVersion = PQgetisnull(version.get(), 0, 0) ? 0 : std::atoi(PQgetvalue(version.get(), 0, 0));
    if (foundVersion > kLogSchemaVersion) {
        error = "the log has schema version " + std::to_string(foundVersion) + "; this program writes version " +
                std::to_string(kLogSchemaVersion);
        return false;
    }
    return true;
}

// A statement of a transaction failed: end it so the connection can be used again.
bool Abandon(PGconn* connection) {
    if (PQtransactionStatus(connection) != PQTRANS_IDLE) {
        Result(PQexec(connection, "ROLLBACK"));
    }
    return false;
}

// Whether the table is there: a log no station wrote to yet reads as empty.
bool HasUnits(PGconn* connection, bool& exists, std::string& error) {
    Result found;
    if (!Exec(connection, "SELECT to_regclass('units') IS NOT NULL", {}, error, &found)) return false;
    exists = std::string(PQgetvalue(found.get(), 0, 0)) == "t";
    return true;
}

bool ReadRow(const PGresult* rows, int row, UnitRecord& unit, std::string& error) {
    unit.id = std::atoll(PQgetvalue(rows, row, 0));
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const int field = static_cast<int>(column + 1);
        const std::string text = PQgetisnull(rows, row, field) ? "" : PQgetvalue(rows, row, field);
        if (!SetColumnText(unit, column, text) && IsRequiredColumn(column)) {
            error = "unit " + std::to_string(unit.id) + " has " + std::string(kUnitColumns[column]) + " '" +
                    text + "', which does not read";
            return false;
        }
    }
    return true;
}

}  // namespace

PostgresLog::~PostgresLog() { Disconnect(); }

void PostgresLog::Disconnect() {
    if (m_connection) PQfinish(m_connection);
    m_connection = nullptr;
    m_schemaChecked = false;
}

bool PostgresLog::Connect(std::string& error) {
    if (m_connection) return true;
    // Our defaults come before the URI, so that what it names wins.
    const std::string connectTimeout = std::to_string(kPostgresConnectSeconds);
    const std::string options = "-c statement_timeout=" + std::to_string(kPostgresStatementMs);
    const std::string userTimeout = std::to_string(kPostgresStatementMs);
    const char* keys[] = {"connect_timeout", "tcp_user_timeout", "options", "application_name",
                          "client_encoding", "dbname", nullptr};
    const char* values[] = {connectTimeout.c_str(), userTimeout.c_str(), options.c_str(), "veltrix station",
                            "UTF8", m_target.location.c_str(), nullptr};
    PGconn* connection = PQconnectdbParams(keys, values, 1);
    if (!connection || PQstatus(connection) != CONNECTION_OK) {
        error = connection ? OneLine(PQerrorMessage(connection)) : "out of memory";
        if (connection) PQfinish(connection);
        return false;
    }
    // "relation already exists, skipping" and the like are not for the operator.
    PQsetNoticeProcessor(connection, [](void*, const char*) {}, nullptr);
    m_connection = connection;
    return true;
}

bool PostgresLog::Run(const std::function<bool(pg_conn*, std::string&)>& work, std::string& error) {
    std::string detail;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = m_connection != nullptr;
        if (!Connect(detail)) break;
        if (work(m_connection, detail)) return true;
        Abandon(m_connection);
        if (PQstatus(m_connection) != CONNECTION_BAD) break;
        Disconnect();
        if (!reused) break;
    }
    error = "'" + m_target.shown + "' - " + detail;
    return false;
}

bool PostgresLog::Append(const UnitRecord& unit, std::string& error) {
    std::vector<std::string> texts;
    std::vector<const char*> parameters;
    for (size_t column = 0; column < kUnitColumns.size(); ++column) texts.push_back(ColumnText(unit, column));
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const bool null = texts[column].empty() && !IsRequiredColumn(column);
        parameters.push_back(null ? nullptr : texts[column].c_str());
    }
    return Run(
        [&](PGconn* connection, std::string& detail) {
            if (!Exec(connection, "BEGIN", detail)) return false;
            if (!m_schemaChecked && !PrepareSchema(connection, detail)) return false;
            if (!Exec(connection, InsertUnitSql(PostgresDialect()), parameters, detail)) return false;
            if (!Exec(connection, "COMMIT", detail)) return false;
            m_schemaChecked = true;
            return true;
        },
        error);
}

bool PostgresLog::Read(const LogQuery& query, std::vector<UnitRecord>& units, std::string& error) {
    units.clear();
    const std::vector<std::string> texts = QueryParameters(query);
    return Run(
        [&](PGconn* connection, std::string& detail) {
            units.clear();
            bool exists = false;
            if (!HasUnits(connection, exists, detail)) return false;
            if (!exists) return true;
            Result rows;
            if (!Exec(connection, SelectUnitsSql(PostgresDialect(), query), Pointers(texts), detail, &rows))
                return false;
            for (int row = 0; row < PQntuples(rows.get()); ++row) {
                UnitRecord unit;
                if (!ReadRow(rows.get(), row, unit, detail)) return false;
                units.push_back(std::move(unit));
            }
            return true;
        },
        error);
}

bool PostgresLog::Count(const LogQuery& query, LogCounts& counts, std::string& error) {
    counts = {};
    const std::vector<std::string> texts = QueryParameters(query);
    return Run(
        [&](PGconn* connection, std::string& detail) {
            counts = {};
            bool exists = false;
            if (!HasUnits(connection, exists, detail)) return false;
            if (!exists) return true;
            Result rows;
            if (!Exec(connection, CountUnitsSql(PostgresDialect(), query), Pointers(texts), detail, &rows))
                return false;
            for (int row = 0; row < PQntuples(rows.get()); ++row) {
                const int64_t n = std::atoll(PQgetvalue(rows.get(), row, 1));
                (std::string(PQgetvalue(rows.get(), row, 0)) == "pass" ? counts.passed : counts.failed) += n;
            }
            return true;
        },
        error);
}

std::unique_ptr<ProductionLog> MakePostgresLog(const LogTarget& target, std::string&) {
    return std::make_unique<PostgresLog>(target);
}
