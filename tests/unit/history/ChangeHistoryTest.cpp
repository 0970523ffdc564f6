#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/ChangeHistory.h"
#include "support/ScopedTempDir.h"

namespace {

constexpr std::time_t kNow = 1796638920;
constexpr std::time_t kDay = 86400;

class ChangeHistoryTest : public ::testing::Test {
protected:
    void KeepAt(std::time_t when, WriteRecord record = {}) {
        record.time = when;
        if (record.before.empty()) record.SetPartNumber(1, 2, 3, 4);
        std::string error;
        ASSERT_TRUE(history.Keep(record, error)) << error;
    }
    std::vector<std::time_t> Times() const {
        std::vector<std::time_t> times;
        for (const ChangeHistory::Item& item : history.List())
            times.push_back(item.record ? item.record->time : 0);
        return times;
    }

    ScopedTempDir dir;
    ChangeHistory history{dir.Path() + "/history"};
};

}  // namespace

TEST_F(ChangeHistoryTest, PruningKeepsTheNewestEntriesOrTheRecentDaysWhicheverIsMore) {
    struct Case {
        const char* name;
        std::vector<int> ageInDays;  // one entry each
        size_t keepEntries;
        int keepDays;
        std::vector<int> kept;  // ages, newest first
    };
    const Case cases[] = {
        {"all old: the newest count stay", {100, 101, 102, 103, 104}, 3, 90, {100, 101, 102}},
        {"all recent: every one stays", {1, 2, 3, 4, 5}, 3, 90, {1, 2, 3, 4, 5}},
        {"mixed: recent ones, then the newest old ones up to the count",
         {1, 2, 95, 96, 97, 98},
         3,
         90,
         {1, 2, 95}},
        {"more recent than the count: no old one stays", {1, 2, 3, 4, 200}, 3, 90, {1, 2, 3, 4}},
        {"fewer than the count: nothing goes", {300, 400}, 3, 90, {300, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(history.Folder());
        for (int age : c.ageInDays) KeepAt(kNow - age * kDay);
        history.Prune(kNow, c.keepEntries, c.keepDays);
        std::vector<std::time_t> expected;
        for (int age : c.kept) expected.push_back(kNow - age * kDay);
        EXPECT_EQ(Times(), expected);
    }
}

TEST_F(ChangeHistoryTest, EntriesComeBackNewestFirstWithWhatTheyReplaced) {
    CPsfRecord replaced;
    replaced.SetScanCount(7);
    replaced.SetControlMode('b');
    WriteRecord psf;
    psf.SetPsf(replaced, CPsfRecord());
    psf.command = "psf put";
    psf.controller = {'C', ControllerHardware{"123456", "1102", "2.3", "16,16/16,16"}};

    CBlankingMap map(32);
    map.Blank(4);
    map.Blank(31);
    WriteRecord blanking;
    blanking.SetBlanking(map, CBlankingMap(32));

    WriteRecord part;
    part.SetPartNumber(70000, 1102, 1, 2);

    KeepAt(kNow - 30, psf);
    KeepAt(kNow - 20, blanking);
    KeepAt(kNow - 10, part);

    const std::vector<ChangeHistory::Item> items = history.List();
    ASSERT_EQ(items.size(), 3u);
    ASSERT_TRUE(items[0].record && items[1].record && items[2].record);
    uint32_t partNumber = 0;
    uint16_t dateCode = 0;
    ASSERT_TRUE(items[0].record->ReplacedPartNumber(partNumber, dateCode));
    EXPECT_EQ(partNumber, 70000u);
    EXPECT_EQ(dateCode, 1102);
    EXPECT_EQ(items[1].record->ReplacedBlanking(), map);
    ASSERT_TRUE(items[2].record->ReplacedPsf());
    EXPECT_EQ(*items[2].record->ReplacedPsf(), replaced);
    EXPECT_EQ(items[2].record->controller, psf.controller);
    EXPECT_EQ(items[2].record->changes, psf.changes);
    EXPECT_EQ(items[2].record->fingerprintBefore, psf.fingerprintBefore);
    ASSERT_TRUE(history.Load(3));
    EXPECT_EQ(history.Load(3)->path, items[2].path);
    EXPECT_FALSE(history.Load(4));
    EXPECT_FALSE(history.Load(0));
}

TEST_F(ChangeHistoryTest, ADamagedEntryIsListedWithItsProblemAndNeverRestored) {
    KeepAt(kNow);
    const std::string path = history.List().at(0).path;
    for (const char* text :
         {"{\"format\": 5}", "not json", "{\"format\": \"veltrix history 1\", \"what\": \"psf\"}",
          "{\"format\": \"veltrix history 1\", \"what\": \"psf\", \"unix_time\": 1, "
          "\"replaced\": \"zz\", \"sent\": \"\"}",
          "{\"format\": \"veltrix history 1\", \"what\": \"psf\", \"unix_time\": 1, "
          "\"replaced\": \"00\", \"sent\": \"\", \"device\": 7}"}) {
        SCOPED_TRACE(text);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        const std::vector<ChangeHistory::Item> items = history.List();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_FALSE(items[0].record && items[0].record->ReplacedPsf());
        if (!items[0].record) {
            EXPECT_FALSE(items[0].problem.empty());
        }
    }
}

TEST_F(ChangeHistoryTest, AFolderThatCannotBeMadeIsReportedBeforeAnythingIsKept) {
    std::ofstream(dir.File("file")) << "x";
    const ChangeHistory blocked(dir.File("file") + "/history");
    std::string error;
    EXPECT_FALSE(blocked.CheckWritable(error));
    EXPECT_NE(error.find("Unable to create folder"), std::string::npos) << error;
    EXPECT_FALSE(ChangeHistory("").CheckWritable(error));
}
