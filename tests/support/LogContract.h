#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "station/ProductionLog.h"
#include "support/SampleUnit.h"

// What every back end of the production log must do alike, run by the
// SQLite tests (unit) and the PostgreSQL tests (integration) on a log that
// holds nothing yet.

// Every field comes back as written, empty texts included; a record sent
// twice is stored once; ids count from 1 in the order of writing.
inline void ExpectUnitsReadBackEachOnce(ProductionLog& log) {
    std::string error;
    UnitRecord passed = SampleUnit(1);
    UnitRecord failed = SampleUnit(2, UnitRecord::Result::Fail);
    failed.firmware.clear();  // not learnt: NULL in the table
    failed.operatorName.clear();
    ASSERT_TRUE(log.Append(passed, error)) << error;
    ASSERT_TRUE(log.Append(failed, error)) << error;
    // Sent again after a lost acknowledgement: still one row.
    ASSERT_TRUE(log.Append(passed, error)) << error;

    std::vector<UnitRecord> units;
    ASSERT_TRUE(log.Read({}, units, error)) << error;
    ASSERT_EQ(units.size(), 2u);
    passed.id = 1;
    failed.id = 2;
    EXPECT_EQ(units[0], passed);
    EXPECT_EQ(units[1], failed);
}

// Six units, the last two of station "line2", every third failed.
inline void ExpectQueriesBySinceStationAndNewest(ProductionLog& log) {
    std::string error;
    LogCounts counts;
    ASSERT_TRUE(log.Count({}, counts, error)) << error;  // a log nobody wrote to
    EXPECT_EQ(counts.passed + counts.failed, 0);
    for (int n = 0; n < 6; ++n) {
        UnitRecord unit = SampleUnit(n, n % 3 == 2 ? UnitRecord::Result::Fail : UnitRecord::Result::Pass);
        if (n >= 4) unit.station = "line2";
        ASSERT_TRUE(log.Append(unit, error)) << error;
    }
    const auto ids = [&](const LogQuery& query) {
        std::vector<UnitRecord> units;
        EXPECT_TRUE(log.Read(query, units, error)) << error;
        std::vector<int64_t> found;
        for (const auto& unit : units) found.push_back(unit.id);
        return found;
    };
    const int64_t third = SampleUnit(2).startedAtMs;
    EXPECT_EQ(ids({}), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ids({third, "", 0}), (std::vector<int64_t>{3, 4, 5, 6}));
    EXPECT_EQ(ids({third + 1, "", 0}), (std::vector<int64_t>{4, 5, 6}));
    EXPECT_EQ(ids({third, "line1", 0}), (std::vector<int64_t>{3, 4}));
    EXPECT_EQ(ids({std::nullopt, "", 2}), (std::vector<int64_t>{6, 5}));

    ASSERT_TRUE(log.Count({}, counts, error)) << error;
    EXPECT_EQ(counts.passed, 4);
    EXPECT_EQ(counts.failed, 2);
    ASSERT_TRUE(log.Count({third, "line1", 0}, counts, error)) << error;
    EXPECT_EQ(counts.passed, 1);
    EXPECT_EQ(counts.failed, 1);
}
