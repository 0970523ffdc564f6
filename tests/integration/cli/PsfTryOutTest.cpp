// veltrixctl psf set, psf diff and monitor against veltrix-sim: files edited
// offline, sets compared with the controller's, and the headless try-out
// that always leaves the controller holding its own parameter set.

#include <csignal>
#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

// The controller's own set in these tests: Skip2, TBB/None, All Mode, a
// measurement output.
CPsfRecord OwnPsf() {
    CPsfRecord psf;
    psf.SetScanningMethod('c');
    psf.SetMeasMode(0, 'E');
    psf.Data()[8] = 0x2B;
    DiscreteOutput outputs[kDiscreteOutputCount];
    psf.GetOutputs(outputs);
    outputs[4] = {'z', 30, 40, 20, 50};
    psf.SetOutputs(outputs);
    return psf;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(CliTest, PsfSetEditsAFileOfflineWithTheDialogsRules) {
    WriteBytes(Path("a.PSF"), Image(CPsfRecord()));
    const std::vector<uint8_t> before = ReadBytes(Path("a.PSF"));

    ChildResult result = Ctl({"psf", "set", Path("a.PSF"), "--out", Path("b.PSF"), "baud=38400",
                              "SCANNING=edge", "meas1=TBB", "output.16=Trigger,200,0,0,0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadBytes(Path("a.PSF")), before);  // --out keeps the input
    EXPECT_EQ(Lines(result.out), (std::vector<std::string>{
                                     "baud: 9600 -> 38400", "scanning: Straight -> Edge",
                                     "meas1: None -> LBB", "output.16: off,1,1,0,2 -> trigger,200,0,0,0",
                                     "saved to '" + Path("b.PSF") + "'."}));
    CPsfRecord expected;
    expected.SetBaudCode('C');
    expected.SetScanningMethod('j');
    expected.SetMeasMode(0, 'C');
    DiscreteOutput outputs[kDiscreteOutputCount];
    expected.GetOutputs(outputs);
    outputs[15] = {'v', 200, 0, 0, 0};
    expected.SetOutputs(outputs);
    EXPECT_EQ(ReadBytes(Path("b.PSF")), Image(expected));

    // In place, as JSON; "none" clears the options.
    WriteBytes(Path("c.PSF"), Image(OwnPsf()));
    result = Ctl({"--json", "psf", "set", Path("c.PSF"), "transmission=none"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadBytes(Path("c.PSF"))[8], 0x00);
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("file").get<std::string>(), Path("c.PSF"));
    EXPECT_EQ(json.at("differences").size(), 4u);  // transmission and the three options

    // Refused settings name the problem and leave the file as it was.
    const std::vector<uint8_t> c = ReadBytes(Path("c.PSF"));
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"output.2=meas1,10,5,1,20"}, {"compress=on"}}) {
        std::vector<std::string> args = {"psf", "set", Path("c.PSF")};
        args.insert(args.end(), bad.begin(), bad.end());
        result = Ctl(args);
        EXPECT_EQ(result.exitCode, 2) << bad.front();
        EXPECT_EQ(result.err.rfind("veltrixctl: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("Usage: veltrixctl psf set"), std::string::npos);
        EXPECT_TRUE(result.out.empty());
        EXPECT_EQ(ReadBytes(Path("c.PSF")), c);
    }
    result = Ctl({"psf", "set", Path("missing.PSF"), "baud=9600"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("Unable to open file '" + Path("missing.PSF") + "'"), std::string::npos);
}

TEST_F(CliTest, PsfDiffComparesFilesAndTheController) {
    StartSim();
    WriteBytes(Path("own.PSF"), Image(OwnPsf()));
    ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    CPsfRecord other = OwnPsf();
    other.Data()[0] = 'Q';  // where a set travelled is not a difference
    WriteBytes(Path("same.PSF"), Image(other));
    WriteBytes(Path("default.PSF"), Image(CPsfRecord()));

    ChildResult result = Ctl({"psf", "diff", "controller", Path("same.PSF")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.empty());

    result = Ctl({"psf", "diff", Path("default.PSF"), "controller"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"scanning: Straight -> Skip2", "meas1: None -> TBB",
                                        "transmission: none -> all", "suppress-clear: off -> on",
                                        "suppress-header: off -> on", "compress: off -> on",
                                        "output.5: off,1,1,0,2 -> meas2,30,40,20,50"}));
    result = Ctl({"--json", "psf", "diff", Path("default.PSF"), Path("same.PSF")});
    EXPECT_EQ(result.exitCode, 1);
    const Json json = ParseOutput(result);
    ASSERT_EQ(json.at("differences").size(), 7u);
    EXPECT_EQ(json.at("differences").at(6),
              (Json{{"field", "output.5"}, {"a", "off,1,1,0,2"}, {"b", "meas2,30,40,20,50"}}));
    // A bad file is found before the controller hears anything.
    const size_t requests = Log().size();
    WriteBytes(Path("short.PSF"), {1, 2, 3});
    result = Ctl({"psf", "diff", "controller", Path("short.PSF")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(Log().size(), requests);
}

TEST_F(CliTest, MonitorTriesTheSetOutAndLeavesTheOriginal) {
    StartSim({"--meas-values", "0,0,15,12,0,20"});
    WriteBytes(Path("own.PSF"), Image(OwnPsf()));
    ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    const std::vector<uint8_t> original = FromHex(State().at("psf").get<std::string>());

    ChildResult result = Ctl({"monitor", "--count", "8", "--csv", Path("scans.csv"), "--meas1",
                              "fbb"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // Lines for the scans that differ, then the statistics.
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 7u) << result.out;
    for (size_t i = 0; i < 5; ++i) {
        const std::string value = lines[i].substr(lines[i].rfind(' ') + 1);
        EXPECT_EQ(value, (std::vector<std::string>{"0", "15", "12", "0", "20"})[i]) << lines[i];
        EXPECT_NE(lines[i].find(" ms  FBB "), std::string::npos) << lines[i];
    }
    EXPECT_EQ(lines[5], "Meas 1 FBB: low 0, high 20, present 20");
    EXPECT_EQ(lines[6], "Meas 2: off");
    // Every scan in the CSV, one row each, measurement 2 empty.
    std::ifstream csv(Path("scans.csv"));
    const std::vector<std::string> rows = Lines(std::string(std::istreambuf_iterator<char>(csv), {}));
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0], "time_ms,meas1,meas2");
    EXPECT_EQ(rows[8].substr(rows[8].find(',')), ",20,");
    EXPECT_EQ(LogOf("scan").size(), 8u);

    // Read, trial set, original back: the trial answers the host in binary.
    const std::vector<Json> sends = LogOf("C");
    ASSERT_EQ(sends.size(), 3u);
    const std::vector<uint8_t> trial = FromHex(sends[1].at("rx").get<std::string>());
    EXPECT_EQ(trial[1 + 4], 'c');
    EXPECT_EQ(trial[1 + 6], 'A');
    EXPECT_EQ(trial[1 + 7], 'K');
    EXPECT_EQ(trial[1 + 8], 0x4D);  // Measurement result, Binary; header shown again
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), original);
}

TEST_F(CliTest, MonitorFollowsTheBaudRateAndReportsJson) {
    StartSim({"--meas-values", "3/40,3/12"});
    CPsfRecord own = OwnPsf();
    own.SetBaudCode('B');
    WriteBytes(Path("own.PSF"), Image(own));
    ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    ASSERT_EQ(State().at("baud").get<long>(), 19200);
    const std::vector<uint8_t> original = FromHex(State().at("psf").get<std::string>());

    ChildResult result = Ctl({"--json", "monitor", "--count", "3", "--meas1", "None", "--meas2", "LBB"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ParseOutput(result),
              (Json{{"meas1", nullptr},
                    {"meas2", {{"mode", "LBB"}, {"low", 12}, {"high", 40}, {"present", 12}}}}));
    for (const Json& scan : LogOf("scan")) EXPECT_EQ(scan.at("speed").get<long>(), 19200);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), original);

    // What the dialog would not try out is refused before any exchange.
    const size_t requests = Log().size();
    for (const auto& [meas1, meas2, message] :
         {std::tuple<std::string, std::string, std::string>{"None", "None",
                                                            "At least one meas must not be 'None'"},
          {"SEG", "FBB",
           "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'"}}) {
        result = Ctl({"monitor", "--meas1", meas1, "--meas2", meas2});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, message + "\n");
    }
    EXPECT_EQ(Log().size(), requests);
    result = Ctl({"monitor", "--meas1", "XYZ"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--meas1 needs one of"), std::string::npos);
}

TEST_F(CliTest, MonitorStoppedBySignalsStillRestoresTheOriginal) {
    StartSim({"--meas-values", "1,2,3,4,5,6,7,8,9", "--meas-repeat"});
    WriteBytes(Path("own.PSF"), Image(OwnPsf()));
    ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    const std::vector<uint8_t> original = FromHex(State().at("psf").get<std::string>());
    size_t sends = LogOf("C").size();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const auto ctl = StartCtl({"monitor", "--meas1", "FBB"});
        ASSERT_NE(ctl->ReadLine(15000), "") << "no scan line before signal " << signal;
        ::kill(ctl->Pid(), signal);
        EXPECT_EQ(ctl->Wait(10000), 0) << "signal " << signal;
        sends += 2;
        EXPECT_EQ(LogOf("C").size(), sends) << "signal " << signal;
        EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), original) << "signal " << signal;
    }
}
