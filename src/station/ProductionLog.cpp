#include "station/ProductionLog.h"

#include "station/PostgresLog.h"
#include "station/SqliteLog.h"

std::unique_ptr<ProductionLog> OpenProductionLog(const LogTarget& target, std::string& error) {
    if (target.kind == LogTarget::Kind::Postgres) return MakePostgresLog(target, error);
    return std::make_unique<SqliteLog>(target);
}
