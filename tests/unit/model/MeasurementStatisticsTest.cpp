#include <gtest/gtest.h>

#include <vector>

#include "model/MeasurementStatistics.h"
#include "model/ScanReply.h"

TEST(MeasurementStatistics, SequencesFollowTheZeroAndFrozenLowRules) {
    struct Case {
        std::vector<uint16_t> values;
        uint32_t low;
        uint16_t high, present;
        bool frozen;
    } cases[] = {
        {{0, 0, 15, 12}, 12, 15, 12, false},
        {{0, 0, 15, 12, 0, 20}, 0, 20, 20, true},
        {{7, 0, 9}, 0, 9, 9, true},
        {{0, 5}, 5, 5, 5, false},
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

TEST(MeasurementStatistics, SelectorChoosesWhichStatisticsMove) {
    const uint8_t one[] = {0x1C, 'A', 0x01, 0x02, 0x0A};
    const uint8_t both[] = {0x1C, 'A', 0x00, 0x07, 0x00, 0x09, 0x0A};
    struct Case {
        int selector;
        const uint8_t* bytes;
        int length;
        uint16_t present1, present2;
    } cases[] = {
        {0, one, 5, 0x0102, 0},
        {1, one, 5, 0, 0x0102},
        {2, both, 7, 7, 9},
    };
    for (const Case& c : cases) {
        CMeasurementScan scan(c.selector);
        ASSERT_EQ(scan.Accept(c.bytes, c.length), 1);
        MeasurementStatistics stats[2];
        UpdateStatistics(c.selector, scan, stats);
        EXPECT_EQ(stats[0].present, c.present1) << c.selector;
        EXPECT_EQ(stats[1].present, c.present2) << c.selector;
        // A measurement that is off keeps its reset statistics.
        if (c.selector == 1) {
            EXPECT_EQ(stats[0].low, MeasurementStatistics::kNoValue);
        }
        if (c.selector == 0) {
            EXPECT_EQ(stats[1].low, MeasurementStatistics::kNoValue);
        }
    }
}
