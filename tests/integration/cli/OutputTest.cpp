// What reaches stdout: file names as UTF-8 in --json, and output that could
// not be written turning into a failed command.

#include <fcntl.h>
#include <unistd.h>

#include <regex>

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

std::vector<uint8_t> DefaultPsf() {
    const CPsfRecord psf;
    return {psf.Data(), psf.Data() + kPsfRecordSize};
}

}  // namespace

TEST_F(CliTest, JsonCarriesFileNamesAsUtf8AndReplacesBytesThatAreNot) {
    struct Case {
        std::string name;      // as the file system holds it
        std::string expected;  // the "file" field, decoded
    };
    const std::string replacement = "\xEF\xBF\xBD";  // U+FFFD
    const std::vector<Case> cases = {
        {"Pr\xC3\xBC"
         "fstand \xE2\x80\x93 Linie 3.PSF",
         "Pr\xC3\xBC"
         "fstand \xE2\x80\x93 Linie 3.PSF"},
        {"alt-\xFC.PSF", "alt-" + replacement + ".PSF"},  // Latin-1, not UTF-8
        {"cut-\xE2\x80.PSF", "cut-" + replacement + ".PSF"},
    };
    for (const Case& c : cases) {
        WriteBytes(Path(c.name), DefaultPsf());
        // --json after the command words, as anywhere else.
        const ChildResult result = CtlRaw({"psf", "show", Path(c.name), "--json"});
        ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        const Json json = ParseOutput(result);
        EXPECT_EQ(json.at("file").get<std::string>(), Path(c.expected));
    }
    // Text that is UTF-8 goes out as it is, not as escapes.
    const ChildResult raw = CtlRaw({"--json", "psf", "show", Path(cases[0].name)});
    EXPECT_NE(raw.out.find("Pr\xC3\xBC"
                           "fstand \xE2\x80\x93"),
              std::string::npos)
        << raw.out;
}

TEST_F(CliTest, OutputThatCannotBeWrittenFailsTheCommand) {
    WriteBytes(Path("a.PSF"), DefaultPsf());
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ::close(pipeFds[0]);  // nobody will read
    const int noReader = pipeFds[1];

    const std::vector<std::vector<std::string>> commands = {
        {"psf", "show", Path("a.PSF")},
        {"--json", "psf", "show", Path("a.PSF")},
        {"--help"},
        {"--version"}};
    for (const int target : {full, noReader}) {
        for (const auto& args : commands) {
            const ChildResult result = CtlRaw(args, 5000, {}, target);
            EXPECT_EQ(result.exitCode, 3) << args.front() << " to fd " << target;
            EXPECT_NE(result.err.find("Unable to write to standard output"), std::string::npos)
                << result.err;
        }
    }
    ::close(full);
    ::close(noReader);
}

TEST_F(CliTest, VersionIsTheProjectsOnBothPrograms) {
    // The project's version, and the commit when built from a checkout.
    const auto line = [](const std::string& program) {
        return std::regex(program + " " +
                          std::regex_replace(VELTRIX_VERSION, std::regex("\\."), "\\.") +
                          "( \\(git [0-9a-f]+(-dirty)?\\))?\n");
    };
    const ChildResult ctl = CtlRaw({"--version"});
    EXPECT_EQ(ctl.exitCode, 0);
    EXPECT_TRUE(std::regex_match(ctl.out, line("veltrixctl"))) << ctl.out;

    const ChildResult sim = RunChild({VELTRIX_BINARY_DIR "/sim/veltrix-sim", "--version"}, 5000);
    EXPECT_EQ(sim.exitCode, 0);
    EXPECT_TRUE(std::regex_match(sim.out, line("veltrix-sim"))) << sim.out;
}
