#include "station/PostgresLog.h"

// Built instead of PostgresLog.cpp where libpq is not available.
std::unique_ptr<ProductionLog> MakePostgresLog(const LogTarget& target, std::string& error) {
    error = "'" + target.shown + "' - this build of the program has no PostgreSQL support";
    return nullptr;
}
