#include <gtest/gtest.h>

#include <string>

#include "sim/BeamAnalysis.h"
#include "sim/BeamSource.h"

namespace {

std::vector<bool> States(const std::string& pattern) {
    std::vector<bool> states;
    for (char c : pattern) states.push_back(c == 'x');
    return states;
}

TEST(BeamAnalysis, EveryModeCountsBeamsFromOne) {
    // Beams 3-5 and 9 blocked (counted from 1) out of 12.
    const auto s = States("..xxx...x...");
    EXPECT_EQ(sim::Measure('A', s), 3);   // FBB
    EXPECT_EQ(sim::Measure('B', s), 1);   // FBM
    EXPECT_EQ(sim::Measure('C', s), 9);   // LBB
    EXPECT_EQ(sim::Measure('D', s), 12);  // LBM
    EXPECT_EQ(sim::Measure('E', s), 4);   // TBB
    EXPECT_EQ(sim::Measure('F', s), 8);   // TBM
    EXPECT_EQ(sim::Measure('G', s), 3);   // CBB
    EXPECT_EQ(sim::Measure('H', s), 3);   // CBM
    EXPECT_EQ(sim::Measure('I', s), 4);   // TRN
    EXPECT_EQ(sim::Measure('J', s), 2);   // SEG
    EXPECT_EQ(sim::Measure('K', s), 0);   // None
}

TEST(BeamAnalysis, AbsentBeamsGiveZero) {
    const auto clear = States("........");
    EXPECT_EQ(sim::Measure('A', clear), 0);
    EXPECT_EQ(sim::Measure('C', clear), 0);
    EXPECT_EQ(sim::Measure('H', clear), 8);
    const auto full = States("xxxxxxxx");
    EXPECT_EQ(sim::Measure('B', full), 0);
    EXPECT_EQ(sim::Measure('D', full), 0);
    EXPECT_EQ(sim::Measure('I', full), 0);
    EXPECT_EQ(sim::Measure('J', full), 1);
}

TEST(BeamSource, MovingObjectSweepsThroughTheCurtainAndBack) {
    sim::BeamSource source;
    source.scenario = sim::BeamSource::Scenario::Moving;
    source.SetBlocked(0, true);
    const int n = 64;
    int first = 0;
    int width = 0;
    int lowest = n;
    int highest = -1;
    for (uint32_t t = 0; t < 2 * source.sweepMs; t += 50) {
        source.ObjectAt(t, n, first, width);
        ASSERT_EQ(width, 4);
        ASSERT_GE(first, 0);
        ASSERT_LE(first + width, n);
        lowest = std::min(lowest, first);
        highest = std::max(highest, first);
        const auto states = source.StatesAt(t, n);
        EXPECT_TRUE(states[0]);  // the fixed blocked beam stays
        EXPECT_TRUE(states[static_cast<size_t>(first)]);
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_GE(highest, n - width - 1);
    // Half a sweep apart the object is elsewhere: live views change.
    int later = 0;
    source.ObjectAt(0, n, first, width);
    source.ObjectAt(source.sweepMs / 2, n, later, width);
    EXPECT_NE(first, later);
}

}  // namespace
