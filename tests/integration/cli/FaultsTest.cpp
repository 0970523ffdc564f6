// Every fault the simulator can commit ends a command with the system's
// message and the right exit code, within the protocol's time-outs.

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

struct FaultCase {
    const char* name;
    std::vector<std::string> simOptions;
    std::vector<std::string> command;  // "FILE" is replaced by a path in the test folder
    int exitCode;
    const char* message;  // stderr, exactly ({tty}: the device); nullptr when the command succeeds
    long maxMs;           // what the time-outs allow, with room for a loaded machine
};

// Connect gives up after three rates of about 600 ms each.
constexpr long kNoAnswerMs = 6000;

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.name; }

class FaultTest : public CliTest, public ::testing::WithParamInterface<FaultCase> {};

}  // namespace

TEST_P(FaultTest, EndsWithTheSystemsMessageInTime) {
    const FaultCase& c = GetParam();
    StartSim(c.simOptions);
    const CPsfRecord psf;
    WriteBytes(Path("FILE"), {psf.Data(), psf.Data() + kPsfRecordSize});
    std::vector<std::string> command;
    for (const std::string& arg : c.command) command.push_back(arg == "FILE" ? Path("FILE") : arg);

    const ChildResult result = Ctl(command, 30000);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    if (c.message) {
        std::string message = c.message;
        if (const size_t at = message.find("{tty}"); at != std::string::npos)
            message.replace(at, 5, Path("tty"));
        EXPECT_EQ(result.err, message + "\n");
    }
    EXPECT_LT(result.elapsedMs, c.maxMs);
    if (c.exitCode != 0) {
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"SilentDiag", {"--fault", "silent"}, {"diag"}, 1, "Error reading diagnostics", kNoAnswerMs},
        FaultCase{"SilentProbe", {"--fault", "silent"}, {"probe"}, 1,
                  "No controller answered at 9600, 19200 or 38400 baud.", kNoAnswerMs},
        FaultCase{"SilentPartNumber", {"--fault", "silent"}, {"partnumber", "1"}, 1,
                  "Error setting Part Number and Date Code.", kNoAnswerMs},
        // The parameter-set checksum is not checked, the blanking one is.
        FaultCase{"BadChecksumPsf", {"--fault", "bad-checksum"}, {"psf", "get", "FILE"}, 0, nullptr, 5000},
        FaultCase{"BadChecksumBlanking", {"--fault", "bad-checksum"}, {"blanking", "get", "FILE"}, 1,
                  "Unable to input blanking fields.", 5000},
        // Only the blanking reply's id is compared.
        FaultCase{"WrongIdBlanking", {"--fault", "wrong-id"}, {"blanking", "get", "FILE"}, 1,
                  "Unable to input blanking fields.", 5000},
        FaultCase{"WrongIdPsfPut", {"--fault", "wrong-id"}, {"psf", "put", "FILE"}, 0, nullptr, 5000},
        FaultCase{"WrongLetterDiag", {"--fault", "wrong-letter"}, {"diag"}, 1, "Error reading diagnostics", 5000},
        FaultCase{"WrongLetterPsfGet", {"--fault", "wrong-letter"}, {"psf", "get", "FILE"}, 1,
                  "Unable to input PSF.", 5000},
        FaultCase{"WrongLetterPsfPut", {"--fault", "wrong-letter"}, {"psf", "put", "FILE"}, 1,
                  "Unable to output PSF.", 5000},
        FaultCase{"WrongLetterPartNumber", {"--fault", "wrong-letter"}, {"partnumber", "1"}, 1,
                  "Error setting Part Number and Date Code.", 5000},
        FaultCase{"TruncatedDiag", {"--fault", "truncate"}, {"diag"}, 1, "Error reading diagnostics", 5000},
        FaultCase{"TruncatedPsf", {"--fault", "truncate"}, {"psf", "get", "FILE"}, 1, "Unable to input PSF.",
                  5000},
        // Replies are read for their fixed length; a byte beyond it is
        // flushed by the next probe and does no harm.
        FaultCase{"OverlongPsf", {"--fault", "overlong"}, {"psf", "get", "FILE"}, 0, nullptr, 5000},
        FaultCase{"OverlongBlanking", {"--fault", "overlong"}, {"blanking", "get", "FILE"}, 0, nullptr, 5000},
        // Late beyond the probe's 500 ms: nobody seems to be there.
        FaultCase{"LateDiag", {"--fault", "delay:800"}, {"diag"}, 1, "Error reading diagnostics", 8000},
        FaultCase{"SlightlyLateDiag", {"--fault", "delay:30"}, {"diag"}, 0, nullptr, 5000},
        // The line hangs up: the system's message, then what happened to the device.
        FaultCase{"HangUpAfterProbe", {"--fault", "hangup:1"}, {"diag"}, 1,
                  "Error reading diagnostics\nThe serial device {tty} was disconnected.", kNoAnswerMs},
        FaultCase{"EverySecondRequest", {"--fault", "every:2"}, {"diag"}, 1, "Error reading diagnostics",
                  kNoAnswerMs}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, FailFirstDropsOnlyTheFirstRequestOfEachKind) {
    StartSim({"--fault", "fail-first"});
    const ChildResult first = Ctl({"diag"});
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_EQ(first.err, "Error reading diagnostics\n");
    const ChildResult second = Ctl({"diag"});
    EXPECT_EQ(second.exitCode, 1) << "the first 'H' is dropped now";
    const ChildResult third = Ctl({"diag"});
    EXPECT_EQ(third.exitCode, 0) << third.err;
}

TEST_F(CliTest, BeamsWithFailingRestoreSavesTheOriginalToAFile) {
    // Requests: H, D, C (working), V, scan; the line dies before the
    // original can go back.
    StartSim({"--fault", "hangup:9"});
    const ChildResult result = Ctl({"beams", "--save-original", Path("kept.PSF")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Unable to restore original PSF.\nDo you want to save the original PSF to a file?\n"
                              "(answered Yes)\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("The original PSF was saved to '" + Path("kept.PSF") + "'."), std::string::npos);
    const CPsfRecord original;
    EXPECT_EQ(ReadBytes(Path("kept.PSF")), std::vector<uint8_t>(original.Data(), original.Data() + kPsfRecordSize));
}
