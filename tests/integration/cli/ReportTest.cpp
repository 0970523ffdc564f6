// veltrixctl report against veltrix-sim: what the file holds, that it is
// written whatever fails, that it parses, and that the controller is left
// exactly as it was.

#include <fstream>
#include <iterator>

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// tidy from the distribution: only errors count, and there must be none.
void ExpectValidHtml(const std::string& path) {
    const ChildResult tidy = RunChild({"/usr/bin/tidy", "-errors", "-quiet", path}, 30000);
    ASSERT_NE(tidy.exitCode, -1) << "tidy did not run (scripts/setup-deps installs it)";
    EXPECT_LT(tidy.exitCode, 2) << tidy.err;
    EXPECT_EQ(ReadText(path).find("<script"), std::string::npos);
}

}  // namespace

TEST_F(CliTest, ReportOfAHealthyControllerHoldsIdentityFieldsAndBlanking) {
    StartSim({"--id", "B", "--baud", "19200", "--part-number", "4000000000", "--date-code", "7",
              "--emitter", "16,16,8:17", "--blanked", "0-3,8,39"});
    const std::string out = Path("report.html");
    const ChildResult result = Ctl({"--trace", Path("trace.log"), "report", "--out", out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, out + "\n");
    ExpectValidHtml(out);
    // The report names the trace file, which holds this run once.
    const std::string trace = ReadText(Path("trace.log"));
    EXPECT_EQ(trace.find(" START "), trace.rfind(" START ")) << trace;

    const std::string html = ReadText(out);
    const std::vector<std::string> expected = {
        "Every step succeeded.", "controller B at 19200 baud", "4000000000", "0007", "2.3", "End of Board",
        "Controller ID", "Baud Rate", "Control Mode Selection", "Scanning Method", "Meas 1", "Meas 2",
        "Serial Transmission", "Transmission Type", "Suppress Clear Data", "Suppress Header", "Compress Data",
        "Scan #", "Output #1<", "Output #16<", "1-4, 9, 40", "The 154 bytes", "The 48-byte blanking block",
        "D read PSF", "V read blanking", "also in " + Path("trace.log")};
    for (const std::string& text : expected) {
        EXPECT_NE(html.find(text), std::string::npos) << text;
    }
}

TEST_F(CliTest, ReportOfASilentControllerSaysSoInEachSectionAndIsStillWritten) {
    StartSim({"--fault", "silent"});
    const std::string out = Path("silent.html");
    const ChildResult result = Ctl({"report", "--out", out}, 60000);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    ExpectValidHtml(out);
    const std::string html = ReadText(out);
    std::size_t said = 0;
    for (std::size_t at = 0; (at = html.find("No controller answered at 9600, 19200 or 38400 baud.", at)) !=
                             std::string::npos;
         ++at) {
        ++said;
    }
    EXPECT_GE(said, 5u) << "summary and the controller sections";
    EXPECT_NE(html.find("TX F8  |.|  probe"), std::string::npos);

    const ChildResult json = Ctl({"report", "--json", "--out", Path("silent.json")}, 60000);
    EXPECT_EQ(json.exitCode, 1);
    const auto parsed = ParseJson(ReadText(Path("silent.json")));
    ASSERT_TRUE(parsed);
    for (const char* section : {"diagnostics", "psf", "blanking"}) {
        EXPECT_EQ((*parsed)[section]["state"], "skipped") << section;
        EXPECT_EQ((*parsed)[section]["detail"], "No controller answered at 9600, 19200 or 38400 baud.");
    }
    EXPECT_EQ((*parsed)["probe"]["state"], "failed");
}

TEST_F(CliTest, ReportLeavesTheControllerAsItWasEvenWithAScan) {
    CPsfRecord custom;
    custom.SetControlMode('b');
    custom.SetScanningMethod('i');
    custom.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    WriteBytes(Path("custom.PSF"), std::vector<uint8_t>(custom.Data(), custom.Data() + kPsfRecordSize));
    StartSim({"--blanked", "5,6", "--blocked", "10-12"});
    ASSERT_EQ(Ctl({"psf", "put", Path("custom.PSF")}).exitCode, 0);
    const Json before = State();

    ASSERT_EQ(Ctl({"report", "--out", Path("plain.html")}).exitCode, 0);
    EXPECT_EQ(State()["psf"], before["psf"]);
    EXPECT_EQ(State()["blanking"], before["blanking"]);
    for (const Json& entry : Log()) {
        EXPECT_NE(entry["kind"], "W");
        EXPECT_NE(entry["kind"], "X");
    }

    const ChildResult scan = Ctl({"report", "--with-scan", "--json", "--out", Path("scan.json")});
    ASSERT_EQ(scan.exitCode, 0) << scan.err;
    EXPECT_EQ(State()["psf"], before["psf"]);
    EXPECT_EQ(State()["blanking"], before["blanking"]);
    // The working set did go in for the scan, and the original after it.
    EXPECT_EQ(LogOf("C").size(), 3u);  // psf put, working set, original
    const auto report = ParseJson(ReadText(Path("scan.json")));
    ASSERT_TRUE(report);
    EXPECT_EQ((*report)["scan"]["state"], "ok");
    EXPECT_EQ((*report)["scan"]["blocked"], 3);
    EXPECT_EQ((*report)["scan"]["rows"][0], "1111 1BB1 1100 0111");
    EXPECT_EQ((*report)["scan"]["restore"]["state"], "ok");
}

TEST_F(CliTest, ReportNamesItselfAfterTheTimeAndWritesToStdoutOnRequest) {
    StartSim();
    // Without --out the report goes into the working directory.
    const ChildResult named = Ctl({"report"});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(named.out.rfind("veltrix-report-", 0), 0u) << named.out;
    const std::string written = named.out.substr(0, named.out.size() - 1);
    EXPECT_EQ(written.substr(written.size() - 5), ".html");
    EXPECT_FALSE(ReadText(written).empty());
    std::remove(written.c_str());

    const ChildResult piped = Ctl({"report", "--json", "--out", "-"});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    const Json json = ParseOutput(piped);
    EXPECT_TRUE(json["ok"].get<bool>());
}

TEST_F(CliTest, ReportOnAPortThatDoesNotOpenIsWrittenWithThePortsMessage) {
    const std::string out = Path("noport.html");
    const ChildResult result = CtlRaw({"--device", Path("no-such-tty"), "report", "--out", out});
    EXPECT_EQ(result.exitCode, 4) << result.err;
    const std::string html = ReadText(out);
    EXPECT_NE(html.find("Unable to open " + Path("no-such-tty") + "<br>Port not found"), std::string::npos);
    EXPECT_NE(html.find("does not exist"), std::string::npos);
}
