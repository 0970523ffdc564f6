#include <gtest/gtest.h>

#include <vector>

#include "model/MeasurementStatistics.h"

TEST(MeasurementStatistics, SequencesFollowTheZeroAndFrozenLowRules) {
    struct Case {
        std::vector<uint16_t> values;
        uint32_t low;
        uint16_t high, present;
        bool frozen;
    } cases[] = {
        {{0, 0, 15, 12}, 12, 15, 12, false},
        {{0, 0, 15, 12, 0, 20}, 0, 20, 20, true},
        {{0, 0, 0}, 0, 0, 0, false},
        {{9, 4, 6, 2, 65535}, 2, 65535, 65535, false},
        {{}, MeasurementStatistics::kNoValue, 0, 0, false},
    };
    for (const Case& c : cases) {
        MeasurementStatistics stats;
        for (uint16_t v : c.values) stats.Update(v);
        EXPECT_EQ(stats.low, c.low) << ::testing::PrintToString(c.values);
        EXPECT_EQ(stats.high, c.high) << ::testing::PrintToString(c.values);
        EXPECT_EQ(stats.present, c.present) << ::testing::PrintToString(c.values);
        EXPECT_EQ(stats.lowFrozen, c.frozen) << ::testing::PrintToString(c.values);
    }
}

TEST(MeasurementStatistics, ResetUnfreezes) {
    MeasurementStatistics stats;
    for (uint16_t v : {7, 0, 9}) stats.Update(v);
    stats.Reset();
    stats.Update(3);
    EXPECT_EQ(stats.low, 3u);
    EXPECT_FALSE(stats.lowFrozen);
}
