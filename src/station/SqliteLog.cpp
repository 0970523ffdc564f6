#include "station/SqliteLog.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>

#include "platform/ErrorText.h"
#include "platform/Folders.h"
#include "station/UnitColumns.h"
#include "station/UnitsSql.h"

namespace {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// One use of the file: opened, worked on, closed when it goes.
class Session {
public:
    Session(const LogTarget& target, std::string& error) : m_target(target), m_error(error) {}
    ~Session() {
        if (m_inTransaction) sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }

    // Writing creates the file (and, for the default log, its folder);
    // reading never does.
    bool Open(bool forWriting) {
        const std::string& path = m_target.location;
        std::error_code code;
        const auto status = std::filesystem::status(path, code);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
            return Fail("it is not a regular file");
        if (!forWriting && !std::filesystem::exists(status)) return Fail("there is no such file");
        if (forWriting && m_target.isDefault) {
            int folderError = 0;
            const std::string folder = std::filesystem::path(path).parent_path().string();
            if (!MakeFolders(folder, folderError))
                return Fail("unable to create folder '" + folder + "': " + ErrorText(folderError));
        }
        const int flags = forWriting ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
        m_db.reset(db);
        if (rc != SQLITE_OK) return Fail(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_busy_timeout(db, kSqliteBusyMs);
        sqlite3_extended_result_codes(db, 1);
        return true;
    }

    bool Exec(const std::string& sql) {
        if (sqlite3_exec(m_db.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
        return Fail(sqlite3_errmsg(m_db.get()));
    }

    // Taking the write lock at the start means waiting for other writers
    // there, never failing half-way with a lock upgrade that cannot succeed.
    bool Begin(bool forWriting) {
        if (!Exec(forWriting ? "BEGIN IMMEDIATE" : "BEGIN")) return false;
        m_inTransaction = true;
        return true;
    }
    bool Commit() {
        if (!Exec("COMMIT")) return false;
        m_inTransaction = false;
        return true;
    }

    Statement Prepare(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            Fail(sqlite3_errmsg(m_db.get()));
            return nullptr;
        }
        return Statement(statement);
    }

    bool BindTexts(sqlite3_stmt* statement, const std::vector<std::string>& texts) {
        for (size_t i = 0; i < texts.size(); ++i) {
            if (sqlite3_bind_text(statement, static_cast<int>(i + 1), texts[i].c_str(), -1, SQLITE_TRANSIENT) !=
                SQLITE_OK)
                return Fail(sqlite3_errmsg(m_db.get()));
        }
        return true;
    }

    // Steps a statement once: true with `row` set, or false after an error.
    bool Step(sqlite3_stmt* statement, bool& row) {
        const int rc = sqlite3_step(statement);
        row = rc == SQLITE_ROW;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
        return Fail(sqlite3_errmsg(m_db.get()));
    }

    bool HasTable(const char* name) {
        Statement statement = Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
        bool row = false;
        return statement && BindTexts(statement.get(), {name}) && Step(statement.get(), row) && row;
    }

    bool Fail(const std::string& detail) {
        m_error = "'" + m_target.shown + "' - " + detail;
        return false;
    }

    sqlite3* Db() const { return m_db.get(); }

private:
    const LogTarget& m_target;
    std::string& m_error;
    std::unique_ptr<sqlite3, DbCloser> m_db;
    bool m_inTransaction = false;
};

// Creates what is missing and checks that the file keeps a schema we write.
bool PrepareSchema(Session& session) {
    for (const std::string& sql : CreateSchemaSql(SqliteDialect()))
        if (!session.Exec(sql)) return false;
    Statement statement = session.Prepare(SchemaVersionSql());
    bool row = false;
    if (!statement || !session.Step(statement.get(), row)) return false;
    const int version = row ? sqlite3_column_int(statement.get(), 0) : 0;
    if (version > kLogSchemaVersion)
        return session.Fail("the log has schema version " + std::to_string(version) +
                            "; this program writes version " + std::to_string(kLogSchemaVersion));
    return true;
}

std::string ColumnString(sqlite3_stmt* statement, int index) {
    const unsigned char* text = sqlite3_column_text(statement, index);
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

bool ReadRow(Session& session, sqlite3_stmt* statement, UnitRecord& unit) {
    unit.id = sqlite3_column_int64(statement, 0);
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string text = ColumnString(statement, static_cast<int>(column + 1));
        if (!SetColumnText(unit, column, text) && IsRequiredColumn(column))
            return session.Fail("unit " + std::to_string(unit.id) + " has " + std::string(kUnitColumns[column]) +
                                " '" + text + "', which does not read");
    }
    return true;
}

}  // namespace

bool SqliteLog::Append(const UnitRecord& unit, std::string& error) {
    error.clear();
    Session session(m_target, error);
    if (!session.Open(true) || !session.Begin(true) || !PrepareSchema(session)) return false;
    Statement insert = session.Prepare(InsertUnitSql(SqliteDialect()));
    if (!insert) return false;
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string text = ColumnText(unit, column);
        const int index = static_cast<int>(column + 1);
        const int rc = text.empty() && !IsRequiredColumn(column)
                           ? sqlite3_bind_null(insert.get(), index)
                           : sqlite3_bind_text(insert.get(), index, text.c_str(), -1, SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) return session.Fail(sqlite3_errmsg(session.Db()));
    }
    bool row = false;
    return session.Step(insert.get(), row) && session.Commit();
}

bool SqliteLog::Read(const LogQuery& query, std::vector<UnitRecord>& units, std::string& error) {
    units.clear();
    error.clear();
    Session session(m_target, error);
    if (!session.Open(false) || !session.Begin(false)) return false;
    if (!session.HasTable("units")) return error.empty();
    Statement select = session.Prepare(SelectUnitsSql(SqliteDialect(), query));
    if (!select || !session.BindTexts(select.get(), QueryParameters(query))) return false;
    for (bool row = true;;) {
        if (!session.Step(select.get(), row)) return false;
        if (!row) break;
        UnitRecord unit;
        if (!ReadRow(session, select.get(), unit)) return false;
        units.push_back(std::move(unit));
    }
    return true;
}

bool SqliteLog::Count(const LogQuery& query, LogCounts& counts, std::string& error) {
    counts = {};
    error.clear();
    // A log nobody wrote to yet has counted nothing.
    std::error_code missing;
    if (!std::filesystem::exists(m_target.location, missing) && !missing) return true;
    Session session(m_target, error);
    if (!session.Open(false) || !session.Begin(false)) return false;
    if (!session.HasTable("units")) return error.empty();
    Statement count = session.Prepare(CountUnitsSql(SqliteDialect(), query));
    if (!count || !session.BindTexts(count.get(), QueryParameters(query))) return false;
    for (bool row = true;;) {
        if (!session.Step(count.get(), row)) return false;
        if (!row) return true;
        const int64_t n = sqlite3_column_int64(count.get(), 1);
        (ColumnString(count.get(), 0) == "pass" ? counts.passed : counts.failed) += n;
    }
}
