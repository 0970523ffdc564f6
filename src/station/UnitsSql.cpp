#include "station/UnitsSql.h"

#include "station/UnitColumns.h"

namespace {

std::string Param(const SqlDialect& dialect, size_t number) { return dialect.paramPrefix + std::to_string(number); }

std::string Where(const SqlDialect& dialect, const LogQuery& query) {
    std::string where;
    size_t number = 0;
    if (query.sinceUtcMs) where += " WHERE started_at >= " + Param(dialect, ++number) + dialect.timeParamCast;
    if (!query.station.empty()) where += (where.empty() ? " WHERE" : " AND") + std::string(" station = ") + Param(dialect, ++number);
    return where;
}

std::string TimeSelect(const SqlDialect& dialect, const std::string& column) {
    std::string text = dialect.timeSelect;
    text.replace(text.find("%s"), 2, column);
    return text;
}

}  // namespace

const SqlDialect& SqliteDialect() {
    static const SqlDialect dialect{"id INTEGER PRIMARY KEY AUTOINCREMENT", "text", "?", "", "%s"};
    return dialect;
}

const SqlDialect& PostgresDialect() {
    static const SqlDialect dialect{
        "id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY", "timestamptz", "$", "::timestamptz",
        "to_char(%s AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')"};
    return dialect;
}

std::vector<std::string> CreateSchemaSql(const SqlDialect& dialect) {
    std::string units = "CREATE TABLE IF NOT EXISTS units (" + dialect.idColumn;
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string name(kUnitColumns[column]);
        units += ", " + name + " " + (IsTimeColumn(column) ? dialect.timeType : "text");
        if (IsRequiredColumn(column)) units += " NOT NULL";
        if (name == "record_uid") units += " UNIQUE";
        if (name == "result") units += " CHECK (result IN ('pass', 'fail'))";
    }
    units += ")";
    return {
        "CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)",
        units,
        "CREATE INDEX IF NOT EXISTS units_started_at ON units (started_at)",
        "INSERT INTO schema_version (version) SELECT " + std::to_string(kLogSchemaVersion) +
            " WHERE NOT EXISTS (SELECT 1 FROM schema_version)",
    };
}

std::string SchemaVersionSql() { return "SELECT max(version) FROM schema_version"; }

std::string InsertUnitSql(const SqlDialect& dialect) {
    std::string names, values;
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string separator = column ? ", " : "";
        names += separator + std::string(kUnitColumns[column]);
        values += separator + Param(dialect, column + 1) + (IsTimeColumn(column) ? dialect.timeParamCast : "");
    }
    return "INSERT INTO units (" + names + ") VALUES (" + values + ") ON CONFLICT (record_uid) DO NOTHING";
}

std::vector<std::string> QueryParameters(const LogQuery& query) {
    std::vector<std::string> parameters;
    if (query.sinceUtcMs) parameters.push_back(FormatUtc(*query.sinceUtcMs));
    if (!query.station.empty()) parameters.push_back(query.station);
    return parameters;
}

std::string SelectUnitsSql(const SqlDialect& dialect, const LogQuery& query) {
    std::string sql = "SELECT id";
    for (size_t column = 0; column < kUnitColumns.size(); ++column) {
        const std::string name(kUnitColumns[column]);
        sql += ", " + (IsTimeColumn(column) ? TimeSelect(dialect, name) : name);
    }
    sql += " FROM units" + Where(dialect, query);
    if (query.newest > 0) return sql + " ORDER BY id DESC LIMIT " + std::to_string(query.newest);
    return sql + " ORDER BY id";
}

std::string CountUnitsSql(const SqlDialect& dialect, const LogQuery& query) {
    return "SELECT result, count(*) FROM units" + Where(dialect, query) + " GROUP BY result";
}
