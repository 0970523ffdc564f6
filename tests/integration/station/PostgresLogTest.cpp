// The production log on a real PostgreSQL server: the same behaviour as the
// SQLite log, stations that write at once, and a server that goes away and
// comes back while a station runs.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "PgServer.h"
#include "platform/Clock.h"
#include "station/PostgresLog.h"
#include "station/StationLog.h"
#include "support/LogContract.h"
#include "support/ScopedTempDir.h"

namespace {

LogTarget Target(const std::string& uri) {
    std::string error;
    const auto target = ParseLogTarget(uri, error);
    EXPECT_TRUE(target) << error;
    return target.value_or(LogTarget{});
}

class PostgresLogTest : public ::testing::Test {
protected:
    ScratchDatabase database{SharedPgFolder()};
    std::string error;
};

TEST_F(PostgresLogTest, UnitsReadBackAsTheyWereWrittenEachOnce) {
    PostgresLog log(Target(database.Uri()));
    ExpectUnitsReadBackEachOnce(log);
    const auto nulls = PgQuery(database.Uri(),
                               "SELECT count(*) FROM units WHERE firmware IS NULL AND operator IS NULL "
                               "AND reason IS NOT NULL");
    ASSERT_EQ(nulls.size(), 1u);
    EXPECT_EQ(nulls[0][0], "1");
    EXPECT_EQ(PgQuery(database.Uri(), "SELECT max(version) FROM schema_version")[0][0],
              std::to_string(kLogSchemaVersion));
    // Times are times, for whoever queries the plant's database.
    EXPECT_EQ(PgQuery(database.Uri(), "SELECT data_type FROM information_schema.columns "
                                      "WHERE table_name = 'units' AND column_name = 'started_at'")[0][0],
              "timestamp with time zone");
    EXPECT_EQ(PgQuery(database.Uri(), "SELECT started_at = '2026-03-15T10:02:04.004Z' FROM units WHERE id = 1")[0][0],
              "t");
}

TEST_F(PostgresLogTest, QueriesBySinceStationAndNewest) {
    PostgresLog log(Target(database.Uri()));
    ExpectQueriesBySinceStationAndNewest(log);
}

// Stations started together on an empty database: the tables are created
// once, and every unit of every station is stored.
TEST_F(PostgresLogTest, StationsStartingTogetherCreateTheTablesOnceAndStoreEverything) {
    constexpr int kStations = 6, kUnits = 10;
    std::vector<std::thread> stations;
    std::vector<std::string> errors(kStations);
    for (int s = 0; s < kStations; ++s) {
        stations.emplace_back([&, s] {
            PostgresLog log(Target(database.Uri()));
            for (int n = 0; n < kUnits; ++n) {
                UnitRecord unit = SampleUnit(n);
                unit.station = "station" + std::to_string(s);
                if (!log.Append(unit, errors[s])) return;
            }
        });
    }
    for (auto& station : stations) station.join();
    for (const auto& e : errors) EXPECT_EQ(e, "");
    const auto rows = PgQuery(database.Uri(), "SELECT count(*), count(DISTINCT station), "
                                              "(SELECT count(*) FROM schema_version) FROM units");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{std::to_string(kStations * kUnits), std::to_string(kStations), "1"}));
}

TEST_F(PostgresLogTest, ANewerSchemaIsLeftToTheProgramThatWroteIt) {
    PgQuery(database.Uri(), "CREATE TABLE schema_version (version integer NOT NULL); "
                            "INSERT INTO schema_version VALUES (2); CREATE TABLE units (id integer)");
    PostgresLog log(Target(database.Uri()));
    EXPECT_FALSE(log.Append(SampleUnit(1), error));
    EXPECT_EQ(error, "'" + database.Uri() + "' - the log has schema version 2; this program writes version 1");
}

TEST(PostgresLogAway, AServerThatIsNotThereFailsAtOnceWithoutShowingThePassword) {
    ScopedTempDir dir;
    PostgresLog log(Target("postgresql://veltrix:s3cret@/production?host=" + dir.Path()));
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(log.Append(SampleUnit(1), error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(kPostgresConnectSeconds));
    EXPECT_EQ(error.rfind("'postgresql://veltrix:***@/production?host=" + dir.Path() + "' - connection to server", 0),
              0u)
        << error;
    EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
}

// The station keeps working while the plant's database is down: what it
// could not store waits in the spool and reaches the database, in order,
// once it is back.
TEST(PostgresServerStops, UnitsAreSpooledThenSentInOrder) {
    OwnPgServer server;
    ScopedTempDir spool;
    const std::string uri = PgUri(server.Folder(), "postgres");
    StationLog log(Target(uri), std::make_unique<PostgresLog>(Target(uri)), LogSpool(spool.Path()), 0);

    EXPECT_EQ(log.Record(SampleUnit(0)).kind, RecordOutcome::Kind::Stored);
    EXPECT_EQ(log.Record(SampleUnit(1)).kind, RecordOutcome::Kind::Stored);
    ASSERT_TRUE(server.Stop());
    RecordOutcome outcome = log.Record(SampleUnit(2));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Spooled);
    EXPECT_NE(outcome.error.find("' - connection to server"), std::string::npos) << outcome.error;
    outcome = log.Record(SampleUnit(3));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Spooled);
    EXPECT_EQ(outcome.pending, 2u);

    ASSERT_TRUE(server.Start());
    outcome = log.Record(SampleUnit(4));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Stored) << outcome.error;
    EXPECT_EQ(outcome.pending, 0u);
    EXPECT_TRUE(spool.List().empty());
    const auto rows = PgQuery(uri, "SELECT id, started_at = '" + FormatUtc(SampleUnit(0).startedAtMs) +
                                       "'::timestamptz + (id - 1) * interval '1 second' FROM units ORDER BY id");
    ASSERT_EQ(rows.size(), 5u);
    for (const auto& row : rows) EXPECT_EQ(row[1], "t") << "unit " << row[0] << " out of order";
}

// A connection the server dropped while the station waited for the next
// unit is opened again, without spooling.
TEST(PostgresServerStops, ARestartBetweenUnitsGoesUnnoticed) {
    OwnPgServer server;
    PostgresLog log(Target(PgUri(server.Folder(), "postgres")));
    std::string error;
    ASSERT_TRUE(log.Append(SampleUnit(0), error)) << error;
    ASSERT_TRUE(server.Stop());
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(log.Append(SampleUnit(1), error)) << error;
    EXPECT_EQ(PgQuery(PgUri(server.Folder(), "postgres"), "SELECT count(*) FROM units")[0][0], "2");
}

}  // namespace
