#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "model/BfsFile.h"
#include "model/CBlankingMap.h"
#include "support/ScopedTempDir.h"
#include "support/ScriptedUi.h"

namespace {

const char* const kWarning =
    "Warning! The number of channels in the file is greater than\n"
    " the number in the controller. Blanking data for channels that\n"
    "do not exist in the controller will be ignored.";

std::vector<uint8_t> Bytes(const CBlankingMap& map) {
    return std::vector<uint8_t>(map.Data(), map.Data() + map.ByteCount());
}

// A well-formed file image with the given channels (of 800) blanked.
std::vector<uint8_t> FileImage(std::initializer_list<int> blanked) {
    CBlankingMap map(768);
    for (int channel : blanked) map.Blank(channel);
    return BuildBfsImage(map);
}

class BfsFileTest : public ::testing::Test {
protected:
    ScopedTempDir dir;
    ScriptedUi ui;
    ScopedUi scope{ui};
};

}  // namespace

TEST(BlankingMap, BitsAreMostSignificantFirst) {
    CBlankingMap map(16);
    EXPECT_EQ(map.ByteCount(), 2);
    map.Blank(0);
    map.Blank(9);
    EXPECT_EQ(Bytes(map), (std::vector<uint8_t>{0x80, 0x40}));
    EXPECT_TRUE(map.IsBlanked(9));
    EXPECT_FALSE(map.IsBlanked(8));
    EXPECT_EQ(map.BlankedCount(0), 2);
    EXPECT_EQ(map.BlankedCount(1), 1);
    EXPECT_EQ(map.BlankedCount(16), 0);
    map.Unblank(0);
    EXPECT_EQ(Bytes(map), (std::vector<uint8_t>{0x00, 0x40}));
}

TEST(BlankingMap, OutOfRangeChannelsAreIgnored) {
    CBlankingMap map(12);  // one whole byte: channels 8 to 11 have no bit
    map.Blank(-1);
    map.Blank(8);
    map.Blank(11);
    EXPECT_EQ(Bytes(map), std::vector<uint8_t>{0x00});
    EXPECT_FALSE(map.IsBlanked(100));
    EXPECT_EQ(map.BlankedCount(-5), 0);
}

TEST(BlankingMap, EqualityAndDeepCopy) {
    CBlankingMap a(32), b(32);
    EXPECT_TRUE(a == b);
    b.Blank(31);
    EXPECT_TRUE(a != b);
    a = b;
    EXPECT_TRUE(a == b);
    b.Unblank(31);
    EXPECT_TRUE(a.IsBlanked(31));  // the copy has its own bytes
    EXPECT_TRUE(a != b);

    CBlankingMap copy(a);
    EXPECT_TRUE(copy == a);
    EXPECT_TRUE(CBlankingMap(16) != CBlankingMap(17));  // same bytes, other channel count
    CBlankingMap empty(0);
    EXPECT_EQ(empty.Data(), nullptr);
    a = empty;
    EXPECT_EQ(a.ByteCount(), 0);
    EXPECT_TRUE(a == empty);
}

TEST(BfsImage, SixteenChannelExample) {
    CBlankingMap map(16);
    map.Blank(0);
    map.Blank(9);
    std::vector<uint8_t> expected(100, 0);
    expected[0] = 'B';
    expected[1] = 'F';
    expected[2] = 0x80;
    expected[3] = 0x40;
    expected[98] = 0x01;
    expected[99] = 0x48;
    EXPECT_EQ(BuildBfsImage(map), expected);

    CBlankingMap fileMap(800);
    ASSERT_EQ(ParseBfsImage(expected.data(), 100, fileMap), "");
    EXPECT_EQ(fileMap.ChannelCount(), 800);
    EXPECT_EQ(fileMap.ByteCount(), 100);
    EXPECT_TRUE(fileMap.IsBlanked(0));
    EXPECT_TRUE(fileMap.IsBlanked(9));
    EXPECT_EQ(fileMap.BlankedCount(0), 2);
}

TEST(BfsImage, ChecksOrderAndMessages) {
    const std::vector<uint8_t> good = FileImage({3, 700});
    CBlankingMap fileMap(800);
    fileMap.Blank(1);
    const CBlankingMap before = fileMap;

    std::vector<uint8_t> lower = good;
    lower[0] = 'b';
    lower[1] = 'f';
    std::vector<uint8_t> badSum = good;
    badSum[99] = static_cast<uint8_t>(badSum[99] + 1);
    std::vector<uint8_t> both = lower;  // wrong header and checksum: the header is named
    both[99] ^= 0x01;

    EXPECT_EQ(ParseBfsImage(good.data(), 99, fileMap), "Size of file is incorrect.");
    EXPECT_EQ(ParseBfsImage(good.data(), 101, fileMap), "Size of file is incorrect.");
    EXPECT_EQ(ParseBfsImage(lower.data(), 100, fileMap), "File header bytes are invalid.");
    EXPECT_EQ(ParseBfsImage(both.data(), 100, fileMap), "File header bytes are invalid.");
    EXPECT_EQ(ParseBfsImage(badSum.data(), 100, fileMap), "Checksum in file is invalid.");
    EXPECT_TRUE(fileMap == before);
}

TEST(BfsImage, ChecksumWrapsModulo65536) {
    CBlankingMap map(768);
    for (int channel = 0; channel < 768; ++channel) map.Blank(channel);
    std::vector<uint8_t> image = BuildBfsImage(map);
    const unsigned sum = 'B' + 'F' + 96 * 0xFF;
    EXPECT_EQ(image[98], (sum >> 8) & 0xFF);
    EXPECT_EQ(image[99], sum & 0xFF);
    CBlankingMap fileMap(800);
    EXPECT_EQ(ParseBfsImage(image.data(), 100, fileMap), "");
    EXPECT_EQ(fileMap.BlankedCount(0), 768);
}

TEST_F(BfsFileTest, SaveWritesTheImageThroughTheSavePrompt) {
    CBlankingMap map(16);
    map.Blank(0);
    map.Blank(9);
    const std::string path = dir.File("fields.BFS");
    ui.AnswerFile(path);
    ASSERT_EQ(SaveBlankingFile(map), 1);
    EXPECT_EQ(ReadBytes(path), BuildBfsImage(map));
    EXPECT_TRUE(ui.Messages().empty());
    ASSERT_EQ(ui.CallsOf(ScriptedUi::Kind::SaveFile).size(), 1u);
    const FilePrompt prompt = ui.CallsOf(ScriptedUi::Kind::SaveFile)[0].prompt;
    EXPECT_EQ(prompt.filter, "BFS Files (*.BFS) |*.BFS||");
    EXPECT_EQ(prompt.defaultExtension, "BFS");
    EXPECT_TRUE(prompt.confirmOverwrite);
}

TEST_F(BfsFileTest, CancelledPromptsDoNothing) {
    CBlankingMap map(16);
    map.Blank(2);
    EXPECT_EQ(SaveBlankingFile(map), 0);
    EXPECT_EQ(LoadBlankingFile(map), 0);
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_TRUE(map.IsBlanked(2));
    EXPECT_TRUE(dir.List().empty());
}

TEST_F(BfsFileTest, FailedSaveLeavesTheOldFileAndDeletesNothing) {
    SKIP_WITHOUT_POSIX("a file size limit that makes the write fail");
    const std::string path = dir.File("old.BFS");
    const std::vector<uint8_t> old = FileImage({5});
    WriteBytes(path, old);
    CBlankingMap map(16);
    ui.AnswerFile(path);
    {
        ScopedFileSizeLimit limit(50);
        EXPECT_EQ(SaveBlankingFile(map), 0);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"old.BFS"});
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0],
              std::string("Error writing blanking fields to file.\n") + std::strerror(EFBIG));
    EXPECT_EQ(ui.Calls().back().icon, MsgIcon::Exclamation);
}

TEST_F(BfsFileTest, SaveOverADirectoryReportsOpenErrorAndDeletesNothing) {
    const std::string path = dir.File("taken.BFS");
    ASSERT_TRUE(std::filesystem::create_directory(path));
    WriteBytes(path + "/keep", {7});
    ui.AnswerFile(path);
    EXPECT_EQ(SaveBlankingFile(CBlankingMap(16)), 0);
    EXPECT_EQ(ReadBytes(path + "/keep"), std::vector<uint8_t>{7});
    EXPECT_EQ(dir.List(), std::vector<std::string>{"taken.BFS"});
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0], "Error opening file '" + path + "'\n" + std::strerror(EISDIR));
}

TEST_F(BfsFileTest, LoadMergesTheFirstBytesIntoTheWorkingMap) {
    const std::string path = dir.File("in.BFS");
    WriteBytes(path, FileImage({1, 14}));
    CBlankingMap working(16);
    working.Blank(3);
    ui.AnswerFile(path);
    ASSERT_EQ(LoadBlankingFile(working), 1);
    EXPECT_EQ(Bytes(working), (std::vector<uint8_t>{0x40, 0x02}));
    EXPECT_EQ(working.ChannelCount(), 16);
    EXPECT_TRUE(ui.Messages().empty());
    const FilePrompt prompt = ui.CallsOf(ScriptedUi::Kind::OpenFile).at(0).prompt;
    EXPECT_EQ(prompt.filter, "BFS Files (*.BFS) |*.BFS||");
    EXPECT_EQ(prompt.defaultExtension, "BFS");
    EXPECT_TRUE(prompt.mustExist);
}

TEST_F(BfsFileTest, BadFilesShowTheirMessageAndChangeNothing) {
    std::vector<uint8_t> lower = FileImage({0});
    lower[0] = 'b';
    lower[1] = 'f';
    std::vector<uint8_t> badSum = FileImage({0});
    badSum[99] = static_cast<uint8_t>(badSum[99] - 1);
    std::vector<uint8_t> longer = FileImage({0});
    longer.push_back(0);
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
        {std::vector<uint8_t>(99, 0), "Size of file is incorrect."},
        {longer, "Size of file is incorrect."},
        {lower, "File header bytes are invalid."},
        {badSum, "Checksum in file is invalid."},
    };
    for (const auto& [bytes, message] : cases) {
        const std::string path = dir.File("bad.BFS");
        WriteBytes(path, bytes);
        CBlankingMap working(16);
        working.Blank(5);
        const CBlankingMap before = working;
        ui.Clear();
        ui.AnswerFile(path);
        EXPECT_EQ(LoadBlankingFile(working), 0);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{message});
        EXPECT_EQ(ui.Calls().back().icon, MsgIcon::Exclamation);
        EXPECT_EQ(ui.Calls().back().buttons, MsgButtons::Ok);
        EXPECT_TRUE(working == before);
    }
}

TEST_F(BfsFileTest, MissingFileShowsTheOpenError) {
    const std::string path = dir.File("gone.BFS");
    CBlankingMap working(16);
    ui.AnswerFile(path);
    EXPECT_EQ(LoadBlankingFile(working), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Error opening file '" + path + "'\n" +
                                                      std::strerror(ENOENT)});
}

TEST_F(BfsFileTest, SmallerControllerWarnsAndTakesItsBytesOnly) {
    const std::string path = dir.File("wide.BFS");
    WriteBytes(path, FileImage({0, 383, 400}));
    CBlankingMap working(384);
    ui.AnswerFile(path);
    ASSERT_EQ(LoadBlankingFile(working), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{kWarning});
    EXPECT_EQ(working.ByteCount(), 48);
    EXPECT_TRUE(working.IsBlanked(0));
    EXPECT_TRUE(working.IsBlanked(383));
    EXPECT_EQ(working.BlankedCount(0), 2);
}

TEST_F(BfsFileTest, NoWarningWhenExtraChannelsAreClearOrTheControllerHas800) {
    const std::string path = dir.File("f.BFS");
    WriteBytes(path, FileImage({10}));
    CBlankingMap small(384);
    ui.AnswerFile(path);
    ASSERT_EQ(LoadBlankingFile(small), 1);

    WriteBytes(path, FileImage({10, 767}));
    CBlankingMap full(800);
    ui.AnswerFile(path);
    ASSERT_EQ(LoadBlankingFile(full), 1);
    EXPECT_TRUE(full.IsBlanked(767));
    EXPECT_TRUE(ui.Messages().empty());
}
