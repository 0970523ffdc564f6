#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScanOf.h"
#include "model/BeamText.h"

namespace {

struct BeamStringCase {
    const char* name;
    int channels;
    std::vector<int> blocked;
    std::vector<int> blanked;
    int row;
    bool marks;
    const char* expected;
};

class BeamStrings : public testing::TestWithParam<BeamStringCase> {};

TEST_P(BeamStrings, ReadAsTheGridShowsThem) {
    const BeamStringCase& c = GetParam();
    EXPECT_EQ(BeamString(ScanOf(c.channels, c.blocked), MapOf(c.channels, c.blanked), c.row, c.marks),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamStrings,
    testing::Values(
        BeamStringCase{"IdleBlockedAndBlanked", 32, {0, 1, 2, 3}, {12, 13, 14, 15}, 0, true,
                       "0000 1111 1111 BBBB "},
        // Auto blanking: the controller's blanking is cleared, so those beams
        // read as they are.
        BeamStringCase{"AutoBlankingMadeBeams", 32, {0, 1, 2, 3}, {12, 13, 14, 15}, 0, false,
                       "0000 1111 1111 1111 "},
        BeamStringCase{"AutoBlankingBlockedBeams", 32, {12, 15}, {12, 13, 14, 15}, 0, false,
                       "1111 1111 1111 0110 "},
        BeamStringCase{"SecondRowCountsFrom16", 48, {16, 31}, {}, 1, true, "0111 1111 1111 1110 "},
        BeamStringCase{"ShorterLastRow", 40, {39}, {32}, 2, true, "B111 1110 "},
        BeamStringCase{"BlankMarkWinsOverBlocked", 16, {5}, {5}, 0, true, "1111 1B11 1111 1111 "}),
    [](const testing::TestParamInfo<BeamStringCase>& info) { return std::string(info.param.name); });

TEST(BeamRows, ExtraShorterRowWhenNotAMultipleOf16) {
    struct Case {
        int channels;
        std::vector<std::string> labels;
        std::vector<std::string> headers;
    };
    const Case cases[] = {
        {48, {"1 - 16", "17 - 32", "33 - 48"}, {"1-16", "17-32", "33-48"}},
        {40, {"1 - 16", "17 - 32", "33 - 40"}, {"1-16", "17-32", "33-40"}},
        {8, {"1 - 8"}, {"1-8"}},
        {0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channels);
        std::vector<std::string> labels;
        std::vector<std::string> headers;
        for (int row = 0; row < ChannelRowCount(c.channels); ++row) {
            labels.push_back(BeamRowLabel(row, c.channels));
            headers.push_back(ChannelRowHeader(row, c.channels));
        }
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(headers, c.headers);
    }
}

TEST(ChannelLists, BlockedFromZeroBlankedFromOneAndRanges) {
    EXPECT_EQ(BlockedChannels(ScanOf(40, {0, 5, 6, 39})), (std::vector<int>{0, 5, 6, 39}));
    EXPECT_EQ(BlankedChannels(MapOf(40, {0, 5, 6, 39})), (std::vector<int>{1, 6, 7, 40}));
    EXPECT_EQ(BlankedRanges(MapOf(48, {0, 1, 2, 3, 8, 47})), "1-4, 9, 48");
    EXPECT_EQ(ChannelRanges({1, 3}), "1, 3");
    EXPECT_EQ(BlankedRanges(MapOf(16, {})), "none");
}

}  // namespace
