#include <gtest/gtest.h>

#include <sqlite3.h>

#include <thread>

#include "support/LogContract.h"
#include "station/SqliteLog.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

class SqliteLogTest : public ::testing::Test {
protected:
    LogTarget Target(const std::string& name = "production.sqlite") {
        LogTarget target;
        target.location = target.shown = dir.File(name);
        return target;
    }

    // A statement on the file, for what the log's own calls do not show.
    void Sql(const std::string& path, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    // The one number a query on production.sqlite gives.
    int Number(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_stmt* statement = nullptr;
        int number = -1;
        if (sqlite3_open(dir.File("production.sqlite").c_str(), &db) == SQLITE_OK &&
            sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            number = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return number;
    }

    ScopedTempDir dir;
    std::string error;
};

TEST_F(SqliteLogTest, UnitsReadBackAsTheyWereWrittenEachOnce) {
    SqliteLog log(Target());
    ExpectUnitsReadBackEachOnce(log);
    EXPECT_EQ(Number("SELECT count(*) FROM units WHERE firmware IS NULL AND operator IS NULL AND reason IS NOT NULL"), 1);
    EXPECT_EQ(Number("SELECT max(version) FROM schema_version"), kLogSchemaVersion);
}

TEST_F(SqliteLogTest, QueriesBySinceStationAndNewest) {
    SqliteLog log(Target());
    ExpectQueriesBySinceStationAndNewest(log);
}

TEST_F(SqliteLogTest, DefaultLogIsCreatedWithItsFolderOthersAreNot) {
    ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    const auto target = DefaultLogTarget(error);
    ASSERT_TRUE(target);
    SqliteLog log(*target);
    ASSERT_TRUE(log.Append(SampleUnit(1), error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir.File("data/veltrix/production.sqlite")));

    SqliteLog elsewhere(Target("missing/production.sqlite"));
    EXPECT_FALSE(elsewhere.Append(SampleUnit(1), error));
    EXPECT_EQ(error.rfind("'" + dir.File("missing/production.sqlite") + "' - ", 0), 0u) << error;
    std::vector<UnitRecord> units;
    EXPECT_FALSE(SqliteLog(Target("none.sqlite")).Read({}, units, error));
    EXPECT_EQ(error, "'" + dir.File("none.sqlite") + "' - there is no such file");
    EXPECT_TRUE(dir.List().size() == 1u);  // only data/: reading created nothing
}

TEST_F(SqliteLogTest, WhatIsNotALogIsRefusedAndLeftAlone) {
    WriteBytes(dir.File("notes.txt"), {'n', 'o', 't', 'e', 's', '\n'});
    EXPECT_FALSE(SqliteLog(Target("notes.txt")).Append(SampleUnit(1), error));
    EXPECT_NE(error.find("file is not a database"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(dir.File("notes.txt")), (std::vector<uint8_t>{'n', 'o', 't', 'e', 's', '\n'}));

    if (HavePosixFeatures()) {  // FIFOs
        ASSERT_EQ(MakeFifo(dir.File("fifo")), 0);
        EXPECT_FALSE(SqliteLog(Target("fifo")).Append(SampleUnit(1), error));
        EXPECT_EQ(error, "'" + dir.File("fifo") + "' - it is not a regular file");
    }

    // Written by a newer program: left to it.
    Sql(dir.File("newer.sqlite"), "CREATE TABLE schema_version (version integer); INSERT INTO schema_version VALUES (2)");
    EXPECT_FALSE(SqliteLog(Target("newer.sqlite")).Append(SampleUnit(1), error));
    EXPECT_EQ(error, "'" + dir.File("newer.sqlite") + "' - the log has schema version 2; this program writes version 1");
}

// Stations of one PC write to one file at once: the file lock is waited for,
// nothing fails and nothing is lost.
TEST_F(SqliteLogTest, ConcurrentWritersAllGetTheirUnitsIn) {
    constexpr int kWriters = 4, kUnits = 25;
    std::vector<std::thread> writers;
    std::vector<std::string> errors(kWriters);
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            SqliteLog log(Target());
            for (int n = 0; n < kUnits; ++n) {
                UnitRecord unit = SampleUnit(n);
                unit.station = "station" + std::to_string(w);
                if (!log.Append(unit, errors[w])) return;
            }
        });
    }
    for (auto& writer : writers) writer.join();
    for (const auto& e : errors) EXPECT_EQ(e, "");
    LogCounts counts;
    ASSERT_TRUE(SqliteLog(Target()).Count({}, counts, error)) << error;
    EXPECT_EQ(counts.passed, kWriters * kUnits);
}

}  // namespace
