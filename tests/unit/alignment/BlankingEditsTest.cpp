#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScanOf.h"
#include "model/BlankingEdits.h"
#include "model/BlockedHistory.h"

namespace {

std::vector<int> Bytes(const CBlankingMap& map) {
    return std::vector<int>(map.Data(), map.Data() + map.ByteCount());
}

TEST(TaughtBlanking, ExactlyTheBlockedChannelsMostSignificantBitFirst) {
    struct Case {
        int channels;
        CBeamBitScan scan;
        std::vector<int> bytes;
    };
    const Case cases[] = {
        {48, ScanOf(48, {5, 6}), {0x06, 0, 0, 0, 0, 0}},
        {40, ScanOf(40, {0, 39}), {0x80, 0, 0, 0, 0x01}},
        {16, ScanOf(16, {}), {0, 0}},
    };
    for (const Case& c : cases) {
        const CBlankingMap map = TaughtBlankingMap(c.scan, c.channels);
        EXPECT_EQ(map.ChannelCount(), c.channels);
        EXPECT_EQ(Bytes(map), c.bytes);
    }
}

TEST(EditorCells, CellToChannelWithAShorterLastRow) {
    struct Case {
        int row, col, channels, channel;
    };
    const Case cases[] = {
        {1, 1, 32, 0},  {2, 2, 32, 17}, {1, 16, 32, 15}, {2, 16, 32, 31},
        {3, 8, 40, 39}, {3, 9, 40, -1}, {3, 1, 32, -1},  {0, 1, 32, -1},
        {1, 0, 32, -1}, {1, 17, 32, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditorCellChannel(c.row, c.col, c.channels), c.channel)
            << "row " << c.row << " col " << c.col << " of " << c.channels;
}

TEST(EditorCollection, CellsDecideAndChannelsWithoutACellKeepTheirBits) {
    // 48 channels of which only the first 40 have cells; 41 and 48 were blanked.
    const CBlankingMap opening = MapOf(48, {3, 40, 47});
    std::vector<std::string> texts(40, "0");
    texts[15] = "1";  // column 16 of row 1
    texts[17] = "1";
    texts[20] = "";     // an empty cell is not blanked
    texts[21] = "yes";  // nor is anything but "1"
    const CBlankingMap collected = CollectBlankingMap(opening, texts);
    EXPECT_EQ(Bytes(collected), (std::vector<int>{0x00, 0x01, 0x40, 0x00, 0x00, 0x81}));
    EXPECT_EQ(collected.ChannelCount(), 48);
}

TEST(BlockedHistoryMarks, StayUntilClearedAndIgnoreChannelsBeyondTheCount) {
    BlockedHistory history;
    history.Clear(40);
    history.Add(ScanOf(40, {5}));
    history.Add(ScanOf(40, {6, 39}));
    history.Add(ScanOf(40, {}));
    for (int c = 0; c < 40; ++c) EXPECT_EQ(history.WasBlocked(c), c == 5 || c == 6 || c == 39) << c;
    history.Add(ScanOf(48, {44}));
    EXPECT_FALSE(history.WasBlocked(44));
    history.Clear(40);
    EXPECT_FALSE(history.WasBlocked(5));
}

TEST(SteadyBlocked, SameSetThreeScansInARow) {
    struct Case {
        const char* name;
        std::vector<std::vector<int>> scans;
        int steadyAt;  // index of the scan that makes it steady, -1 for none
    };
    const Case cases[] = {
        {"settles", {{5}, {5, 6}, {5, 6}, {5, 6}}, 3},
        {"interrupted", {{5, 6}, {5, 6}, {}, {5, 6}, {5, 6}, {5, 6}}, 5},
        {"nothingBlockedIsSteadyToo", {{}, {}, {}}, 2},
        {"neverSteady", {{1}, {2}, {1}, {2}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SteadyBlockedSet steady;
        int at = -1;
        for (size_t i = 0; i < c.scans.size() && at < 0; ++i)
            if (steady.Add(c.scans[i])) at = static_cast<int>(i);
        EXPECT_EQ(at, c.steadyAt);
        if (at >= 0) {
            EXPECT_EQ(steady.Blocked(), c.scans[static_cast<size_t>(at)]);
        }
    }
}

}  // namespace
