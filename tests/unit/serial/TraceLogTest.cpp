// The trace file itself: naming of frames, rotation, what it refuses to
// open, and the recent lines kept for the service report.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "serial/TraceLog.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Block {
    TraceDirection direction;
    std::vector<uint8_t> bytes;
    const char* expected;  // the line after the time stamp
};

TEST(TraceFormatTest, LinesNameRequestsAndTheRepliesThatFollowThem) {
    using enum TraceDirection;
    const std::vector<Block> conversation = {
        {Transmit, {0xF8}, "TX F8  |.|  probe"},
        {Receive, {0x55, 0x1C, 0x41, 0x49, 0x0A}, "RX 55 1C 41 49 0A  |U.AI.|"},
        {Receive, {0x1C, 0x41, 0x4A, 0x0A}, "RX 1C 41 4A 0A  |.AJ.|  probe reply"},
        {Transmit, {0x1B, 0x41, 0x44, 0x0D}, "TX 1B 41 44 0D  |.AD.|  D read PSF"},
        {Receive, {0x1C, 0x41, 0x45, 0x41}, "RX 1C 41 45 41  |.AEA|  E PSF reply"},
        {Receive, {0x63, 0x0A}, "RX 63 0A  |c.|"},
        {Transmit, {0x1B, 0x41, 0x43}, "TX 1B 41 43  |.AC|  C send PSF"},
        {Receive, {0x1C, 0x42, 0x4A, 0x0A}, "RX 1C 42 4A 0A  |.BJ.|  J acknowledge"},
        {Transmit, {0x1B, 0x41, 0x57}, "TX 1B 41 57  |.AW|  W write blanking"},
        {Transmit, {0x1B, 0x41, 0x58}, "TX 1B 41 58  |.AX|  X write part number"},
        {Transmit, {0x1B, 0x41, 0x56, 0x0D}, "TX 1B 41 56 0D  |.AV.|  V read blanking"},
        {Receive, {0x1C, 0x41, 0x59}, "RX 1C 41 59  |.AY|  Y blanking reply"},
        {Transmit, {0x1B, 0x41, 0x48, 0x0D}, "TX 1B 41 48 0D  |.AH.|  H read diagnostics"},
        {Receive, {0x1C, 0x41, 0x51, 0x0A}, "RX 1C 41 51 0A  |.AQ.|  Q unexpected reply"},
        {Transmit, {0x1B, 0x41, 0x01, 0x0D}, "TX 1B 41 01 0D  |.A..|  ? unknown request"},
        {Transmit, {0xF8, 0x41, 0x53}, "TX F8 41 53  |.AS|  S scan request"},
        // A scan reply's third byte is a beam byte, not a letter.
        {Receive, {0x1C, 0x41, 0x4A, 0x00, 0x0A}, "RX 1C 41 4A 00 0A  |.AJ..|  scan reply"},
        {Transmit, {0x41, 0x42}, "TX 41 42  |AB|"},
    };
    TraceRequest last;
    for (const Block& block : conversation) {
        EXPECT_EQ(FormatTraceBlock(block.direction, block.bytes.data(),
                                   static_cast<int>(block.bytes.size()), last),
                  block.expected);
    }
}

class TraceLogTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetTraceFile("");
        SetTraceRotateBytes(TraceLog::kDefaultRotateBytes);
        KeepRecentTrace(false);
    }
    VirtualClock clock{0};
    ScopedClock scoped{clock};
    ScopedTempDir dir;
};

TEST_F(TraceLogTest, RotatesBeforeALineWouldPassTheSizeAndKeepsThreeOldFiles) {
    const std::string path = dir.Path() + "/trace.log";
    SetTraceRotateBytes(300);
    auto log = TraceLog::Create(path);
    ASSERT_TRUE(log);
    for (int i = 0; i < 60; ++i) log->Note("line " + std::to_string(i) + " " + std::string(20, 'x'));
    log.reset();

    for (const std::string& name : {path, path + ".1", path + ".2", path + ".3"}) {
        ASSERT_TRUE(std::filesystem::exists(name)) << name;
        EXPECT_LE(std::filesystem::file_size(name), 300u) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".4"));

    // The newest lines are in the file itself, in order and whole; each
    // rotated file starts by saying where the trace went on from.
    const std::vector<std::string> current = Lines(path);
    ASSERT_GE(current.size(), 2u);
    EXPECT_NE(current.front().find("(continued from " + path + ".1)"), std::string::npos);
    EXPECT_EQ(current.back(), "0.000 line 59 " + std::string(20, 'x'));
    const std::vector<std::string> older = Lines(path + ".1");
    const std::string lastOfOlder = older.back();
    const std::string firstOfCurrent = current[1];
    EXPECT_EQ(std::stoi(lastOfOlder.substr(11)) + 1, std::stoi(firstOfCurrent.substr(11)));
}

TEST_F(TraceLogTest, AppendsToAnExistingTraceAndRotatesItWhenAlreadyFull) {
    const std::string path = dir.Path() + "/trace.log";
    {
        std::ofstream old(path);
        old << std::string(290, 'o') << "\n";
    }
    SetTraceRotateBytes(300);
    auto log = TraceLog::Create(path);
    ASSERT_TRUE(log);
    log.reset();
    EXPECT_EQ(Lines(path + ".1").front(), std::string(290, 'o'));
    EXPECT_NE(Lines(path).back().find("START"), std::string::npos);
}

TEST_F(TraceLogTest, RefusesWhatIsNotARegularFileWithoutWaiting) {
    const std::string folder = dir.Path() + "/folder";
    ASSERT_TRUE(std::filesystem::create_directory(folder));

    struct Case {
        std::string path;
        bool reader;  // a FIFO with someone reading it
    };
    std::vector<Case> cases = {{folder, false}, {dir.Path() + "/no/such/dir/t", false}};
    // FIFOs and device nodes are POSIX's; the folder and the missing one
    // are refused everywhere.
    const std::string fifo = dir.Path() + "/fifo";
    if (HavePosixFeatures()) {
        ASSERT_EQ(MakeFifo(fifo), 0);
        cases.insert(cases.end(), {{fifo, false}, {fifo, true}, {"/dev/null", false}});
    }
    for (const Case& c : cases) {
        const int reader = c.reader ? OpenFifoReader(c.path) : -1;
        std::string error;
        auto opening = std::async(std::launch::async, [&] { return TraceLog::Create(c.path, &error); });
        if (opening.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let the stuck open go before failing.
            const int unblock = OpenFifoReader(c.path);
            opening.wait();
            CloseFifoReader(unblock);
            ADD_FAILURE() << "opening " << c.path << " blocked";
        } else {
            EXPECT_EQ(opening.get(), nullptr) << c.path;
            EXPECT_FALSE(error.empty()) << c.path;
        }
        CloseFifoReader(reader);
    }
}

TEST_F(TraceLogTest, KeepsTheLastLinesOfThisRunWithOrWithoutAFile) {
    ScopedEnv env("VELTRIX_TRACE");
    UnsetEnvironmentValue("VELTRIX_TRACE");
    EXPECT_EQ(ActiveTraceLog(), nullptr);

    KeepRecentTrace(true);
    auto memory = ActiveTraceLog();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->Path(), "");
    for (int i = 0; i < 250; ++i) memory->Note("n" + std::to_string(i));
    std::vector<std::string> recent = RecentTraceLines();
    ASSERT_EQ(recent.size(), kRecentTraceLines);
    EXPECT_EQ(recent.front(), "0.000 n50");
    EXPECT_EQ(recent.back(), "0.000 n249");

    const std::string path = dir.Path() + "/trace.log";
    SetTraceFile(path);
    auto file = ActiveTraceLog();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Path(), path);
    clock.Advance(2500);
    file->Note("to both");
    EXPECT_EQ(RecentTraceLines().back(), "2.500 to both");
    EXPECT_EQ(Lines(path).back(), "2.500 to both");

    KeepRecentTrace(false);
    EXPECT_TRUE(RecentTraceLines().empty());
}

TEST(TracePathTest, StateHomeWhenAbsoluteElseHome) {
    SKIP_WITHOUT_POSIX("the XDG layout below $HOME");
    ScopedEnv state("XDG_STATE_HOME");
    ScopedEnv home("HOME", "/home/tech");
    struct Case {
        const char* state;
        const char* expected;
    };
    for (const Case& c : {Case{"/var/state", "/var/state/veltrix/trace.log"},
                          Case{"relative", "/home/tech/.local/state/veltrix/trace.log"},
                          Case{nullptr, "/home/tech/.local/state/veltrix/trace.log"}}) {
        if (c.state) {
            SetEnvironmentValue("XDG_STATE_HOME", c.state);
        } else {
            UnsetEnvironmentValue("XDG_STATE_HOME");
        }
        EXPECT_EQ(DefaultTraceFilePath(), c.expected);
    }
}

}  // namespace
