#pragma once

#include <string>
#include <vector>

#include "station/ProductionLog.h"

// The SQL of the production log, written once for both back ends: they
// differ only in a few type names and in how parameters and times are
// written, which a dialect says.
struct SqlDialect {
    std::string idColumn;     // the definition of "id"
    std::string timeType;     // the type of the time columns
    std::string paramPrefix;  // "?" (SQLite: ?1, ?2) or "$" (PostgreSQL: $1, $2)
    std::string timeParamCast;  // appended to a time parameter ("::timestamptz")
    // A time column as its FormatUtc text in a select; "%s" stands for the column.
    std::string timeSelect;
};

const SqlDialect& SqliteDialect();
const SqlDialect& PostgresDialect();

// Every statement that creates what is missing, one per element, in order;
// the last one adds the schema version when the table holds none.
std::vector<std::string> CreateSchemaSql(const SqlDialect& dialect);
std::string SchemaVersionSql();
// An insert of every column of kUnitColumns, parameters 1 to 15 in that
// order; a record whose uid is there already is left out.
std::string InsertUnitSql(const SqlDialect& dialect);

// The parameters a query's select and count take, in order.
std::vector<std::string> QueryParameters(const LogQuery& query);
// "id" and every column of kUnitColumns, for the query.
std::string SelectUnitsSql(const SqlDialect& dialect, const LogQuery& query);
// Rows of (result, count) for the query.
std::string CountUnitsSql(const SqlDialect& dialect, const LogQuery& query);
