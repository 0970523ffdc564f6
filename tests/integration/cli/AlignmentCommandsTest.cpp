// blanking teach and beams --watch against veltrix-sim: what they leave in
// the controller (blanking and parameter set, byte for byte) and what they print.

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <set>
#include <sstream>

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

// A parameter set of the controller's own that is not the alignment's.
CPsfRecord OwnPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('d');
    psf.SetMeasMode(0, 'A');
    return psf;
}

std::vector<uint8_t> Blanking(std::initializer_list<int> leading) {
    std::vector<uint8_t> block(48, 0);
    size_t k = 0;
    for (int b : leading) block[k++] = static_cast<uint8_t>(b);
    return block;
}

// Standard input of the children started while it lives, read from a file.
class ScopedStdin {
public:
    explicit ScopedStdin(const std::string& path) : m_saved(::dup(STDIN_FILENO)) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
    }
    ~ScopedStdin() {
        ::dup2(m_saved, STDIN_FILENO);
        ::close(m_saved);
    }

private:
    int m_saved;
};

struct TeachCase {
    const char* name;
    std::vector<std::string> args;
    const char* answer;  // what standard input holds
    int blankingByte0;   // what the controller's blanking starts with afterwards
    const char* out;     // on stdout
    const char* prompt;  // on stderr, or "" when none is asked
};

class TeachTest : public CliTest, public testing::WithParamInterface<TeachCase> {};

}  // namespace

// Channels 1 and 2 blanked before, 5 and 6 blocked: a yes leaves exactly 5
// and 6 (byte 0 = 0x06), anything else the earlier fields (0x60); the
// controller's own parameter set comes back in every case.
TEST_P(TeachTest, LeavesTheTaughtOrTheEarlierFieldsAndTheOriginalPsf) {
    const TeachCase& c = GetParam();
    StartSim({"--blocked", "5,6", "--blanked", "1,2"});
    WriteBytes(Path("own.PSF"), Image(OwnPsf()));
    ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    {
        std::ofstream(Path("answer")) << c.answer;
    }
    const ScopedStdin input(Path("answer"));
    const ChildResult result = Ctl(c.args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    const size_t prompt = result.err.find(*c.prompt ? c.prompt : "[y/N]");
    EXPECT_EQ(prompt != std::string::npos, *c.prompt != '\0') << result.err;

    EXPECT_EQ(FromHex(State().at("blanking").get<std::string>()), Blanking({c.blankingByte0}));
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(OwnPsf()));
    // Read the earlier fields, cleared them, then one more write.
    const std::vector<Json> writes = LogOf("W");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(FromHex(writes[0].at("rx").get<std::string>()).at(3), 0);
    EXPECT_GE(LogOf("scan").size(), 3u);
    EXPECT_EQ(LogOf("C").size(), 3u);  // own set, working set, own set again
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TeachTest,
    testing::Values(
        TeachCase{"JsonYes", {"--json", "blanking", "teach", "--yes"}, "", 0x06, "{\"blanked\":[5,6]}\n", ""},
        TeachCase{"TypedYes", {"blanking", "teach"}, "y\n", 0x06,
                  "Blocked for 3 scans in a row: channels 5, 6 (counted from 0)\n"
                  "Blanked channels 5, 6 (counted from 0).\n",
                  "Blank channels 5, 6? [y/N] (answered Yes)\n"},
        TeachCase{"TypedNo", {"blanking", "teach"}, "n\n", 0x60,
                  "Blocked for 3 scans in a row: channels 5, 6 (counted from 0)\n", "Blank channels 5, 6? [y/N]"},
        TeachCase{"EndOfInputIsNo", {"--json", "blanking", "teach"}, "", 0x60, "{\"blanked\":null}\n",
                  "Blank channels 5, 6? [y/N] (answered No)\n"}),
    [](const testing::TestParamInfo<TeachCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, TeachEndedBySighupPutsTheEarlierFieldsAndTheOriginalBack) {
    // A moving object never holds still: teach scans until the signal.
    StartSim({"--scenario", "moving", "--blanked", "1,2"});
    const auto ctl = StartCtl({"blanking", "teach", "--yes"});
    for (int i = 0; i < 150 && LogOf("scan").size() < 5; ++i) ::usleep(100000);
    ASSERT_GE(LogOf("scan").size(), 5u);
    ::kill(ctl->Pid(), SIGHUP);
    EXPECT_EQ(ctl->Wait(15000), 128 + SIGHUP);
    EXPECT_EQ(FromHex(State().at("blanking").get<std::string>()), Blanking({0x60}));
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(CPsfRecord()));
}

// On a pipe: a block per scan that differs from the one before, each with
// the beams blocked at any scan so far marked x beside its row.
TEST_F(CliTest, WatchOnAPipePrintsChangedScansWithTheirBlockedMarks) {
    StartSim({"--scenario", "moving", "--emitter", "16,16,16", "--blanked", "47"});
    const ChildResult result = Ctl({"beams", "--watch", "--count", "12"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(CPsfRecord()));

    // What the controller sent: the changed scans and every beam blocked.
    std::vector<std::string> replies;
    for (const Json& scan : LogOf("scan")) replies.push_back(scan.at("reply").get<std::string>());
    ASSERT_EQ(replies.size(), 12u);
    size_t changed = 1;
    std::set<int> blocked;
    for (size_t i = 0; i < replies.size(); ++i) {
        changed += i > 0 && replies[i] != replies[i - 1];
        const std::vector<uint8_t> bytes = FromHex(replies[i]);
        for (int c = 0; c < 48; ++c)
            if (bytes[2 + c / 8] & (1 << (c % 8))) blocked.insert(c);
    }
    ASSERT_GT(blocked.size(), 3u);

    std::istringstream out(result.out);
    std::string line, lastMarks;
    size_t blocks = 0;
    while (std::getline(out, line)) {
        blocks += line.rfind("Scan ", 0) == 0;
        if (line.size() > 36 && line.find(" - ") == 6) lastMarks += line.substr(36);
    }
    EXPECT_EQ(blocks, changed);
    std::string expected;
    for (int c = 0; c < 48; ++c) {
        expected += blocked.count(c) ? 'x' : '.';
        if (c % 4 == 3 && c % 16 != 15) expected += ' ';
    }
    EXPECT_EQ(lastMarks.substr(lastMarks.size() - expected.size()), expected) << result.out;
    EXPECT_NE(result.out.find("   Channels   State                 Was blocked\n"), std::string::npos);
    EXPECT_NE(result.out.find("    33 - 48   "), std::string::npos);
}

TEST_F(CliTest, WatchOfASteadyCurtainPrintsOnceAndEndsOnCtrlC) {
    StartSim({"--blocked", "3"});
    const ChildResult json = Ctl({"--json", "beams", "--watch", "--count", "6"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    std::istringstream lines(json.out);
    std::string first, last, extra;
    std::getline(lines, first);
    std::getline(lines, last);
    EXPECT_FALSE(std::getline(lines, extra)) << json.out;
    const auto scan = ParseJson(first);
    ASSERT_TRUE(scan) << first;
    EXPECT_EQ(scan->at("rows").at(0).get<std::string>(), "1110 1111 1111 1111");
    EXPECT_EQ(scan->at("was_blocked"), Json::array({4}));
    EXPECT_EQ(last, "{\"original_restored\":true}");

    const auto ctl = StartCtl({"beams", "--watch"});
    EXPECT_EQ(ctl->ReadLine(15000).rfind("Scan 1  Total: 32  Blocked: 1", 0), 0u);
    ::kill(ctl->Pid(), SIGINT);
    EXPECT_EQ(ctl->Wait(15000), 0);
    EXPECT_EQ(LogOf("C").size(), 4u);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(CPsfRecord()));
}

TEST_F(CliTest, WatchOnATerminalRedrawsTheRowsInPlace) {
    StartSim();
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const ChildResult result = CtlRaw({"--device", Link(), "beams", "--watch", "--count", "3"}, 30000, {}, slave);
    ::close(slave);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) screen.append(buffer, static_cast<size_t>(n));
    ::close(master);
    // Three scans: drawn once, then twice moved up over the four lines and redrawn.
    size_t redraws = 0;
    for (size_t at = 0; (at = screen.find("\x1b[4A\x1b[J", at)) != std::string::npos; ++at) ++redraws;
    EXPECT_EQ(redraws, 2u) << screen;
    EXPECT_NE(screen.find("Scan 3  Total: 32"), std::string::npos);
}
