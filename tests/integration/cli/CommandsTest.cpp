// veltrixctl against veltrix-sim on a real pseudo-terminal: every command,
// checked against what the simulator received and stored.

#include <ctime>

#include "CliFixture.h"
#include "model/BfsFile.h"
#include "model/CPsfRecord.h"
#include "model/PartNumbers.h"

namespace {

// A parameter set unlike the default in every group of fields.
CPsfRecord CustomPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');       // Gate
    psf.SetScanningMethod('d');    // Skip3
    psf.SetMeasMode(0, 'A');       // FBB
    psf.SetMeasMode(1, 'G');       // CBB
    psf.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    psf.SetSuppressHeader(true);
    psf.SetScanCount(7);
    DiscreteOutput outputs[kDiscreteOutputCount];
    psf.GetOutputs(outputs);
    outputs[0] = {'y', 10, 20, 5, 25};
    outputs[15] = {'v', 384, 1, 0, 2};
    psf.SetOutputs(outputs);
    return psf;
}

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

}  // namespace

TEST_F(CliTest, ProbeFindsControllerAt38400StartingFrom9600) {
    StartSim({"--baud", "38400", "--id", "C"});
    const ChildResult result = Ctl({"--json", "probe"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("baud").get<long long>(), 38400);
    EXPECT_EQ(json.at("id").get<std::string>(), "C");
    // The controller heard only the probe sent at its own rate.
    const std::vector<Json> probes = LogOf("probe");
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].at("speed").get<long long>(), 38400);

    const ChildResult text = Ctl({"probe"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out, "Controller C at 38400 baud\n");
}

TEST_F(CliTest, DiagReportsIdentityBoardsAndState) {
    StartSim({"--emitter", "16,16,8:17", "--receiver", "16,16", "--part-number", "4000000000",
              "--date-code", "7", "--firmware", "2.3", "--id", "B"});
    const ChildResult result = Ctl({"diag", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("system_state").get<long long>(), 3);
    EXPECT_EQ(json.at("system_state_text").get<std::string>(), "Operational");
    EXPECT_EQ(json.at("part_number").get<std::string>(), "4000000000");
    EXPECT_EQ(json.at("date_code").get<std::string>(), "0007");
    EXPECT_EQ(json.at("firmware").get<std::string>(), "2.3");
    EXPECT_EQ(json.at("emitter").at("channels").get<long long>(), 40);
    ASSERT_EQ(json.at("emitter").at("boards").size(), 3u);
    EXPECT_EQ(json.at("emitter").at("boards").at(2).at("channels").get<long long>(), 8);
    EXPECT_EQ(json.at("emitter").at("boards").at(2).at("error").get<long long>(), 17);
    EXPECT_EQ(json.at("receiver").at("channels").get<long long>(), 32);
    EXPECT_EQ(json.at("receiver").at("boards").size(), 2u);

    const ChildResult text = Ctl({"diag"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("End of Board"), std::string::npos) << text.out;
}

TEST_F(CliTest, DiagOfAControllerWithoutReceiverSaysReceiverError) {
    StartSim({"--receiver", ""});
    const ChildResult result = Ctl({"--json", "diag"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("system_state").get<long long>(), 1);
    EXPECT_EQ(json.at("system_state_text").get<std::string>(), "Receiver Error");
    EXPECT_TRUE(json.at("receiver").at("boards").empty());
}

TEST_F(CliTest, PsfPutThenGetRoundTripsByteForByte) {
    StartSim();
    CPsfRecord psf = CustomPsf();
    // A new rate: the controller switches after acknowledging, and the next
    // command has to find it there.
    psf.SetBaudCode('B');
    WriteBytes(Path("custom.PSF"), Image(psf));

    const ChildResult put = Ctl({"psf", "put", Path("custom.PSF")});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(psf));
    EXPECT_EQ(State().at("baud").get<long long>(), 19200);

    const ChildResult get = Ctl({"psf", "get", Path("back.PSF")});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(ReadBytes(Path("back.PSF")), Image(psf));
}

TEST_F(CliTest, PsfShowDecodesEveryFieldAndEscapesOddCodes) {
    CPsfRecord psf = CustomPsf();
    psf.SetControlMode('"');  // in no table, and a character JSON must escape
    psf.SetScanningMethod(0x01);
    WriteBytes(Path("odd.PSF"), Image(psf));

    const ChildResult result = CtlRaw({"psf", "show", "--json", Path("odd.PSF")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("meas1_mode").at("text").get<std::string>(), "FBB");
    EXPECT_EQ(json.at("meas2_mode").at("text").get<std::string>(), "CBB");
    EXPECT_EQ(json.at("control_mode").at("code").get<std::string>(), "\"");
    EXPECT_TRUE(json.at("control_mode").at("text").is_null());
    EXPECT_EQ(json.at("scanning_method").at("code").get<std::string>(), "0x01");
    EXPECT_EQ(json.at("transmission_mode").get<std::string>(), "measurement_result");
    EXPECT_TRUE(json.at("suppress_header").get<bool>());
    EXPECT_EQ(json.at("scan_count").get<long long>(), 7);
    ASSERT_EQ(json.at("outputs").size(), 16u);
    EXPECT_EQ(json.at("outputs").at(0).at("source").at("text").get<std::string>(), "Meas1");
    EXPECT_EQ(json.at("outputs").at(0).at("hysteresis_high").get<long long>(), 25);
    EXPECT_EQ(json.at("outputs").at(15).at("source").at("text").get<std::string>(), "Trigger");
    EXPECT_EQ(json.at("outputs").at(15).at("set_point_low").get<long long>(), 384);

    const ChildResult text = CtlRaw({"psf", "show", Path("odd.PSF")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("Measurement Mode Result"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("#16"), std::string::npos);
}

TEST_F(CliTest, BlankingPutThenGetKeepsTheControllersChannelsOnly) {
    StartSim({"--emitter", "16,16,8"});  // 40 channels
    CBlankingMap fileMap(800);
    for (const int channel : {0, 9, 39, 400}) fileMap.Blank(channel);
    WriteBytes(Path("in.BFS"), BuildBfsImage(fileMap));

    const ChildResult put = Ctl({"blanking", "put", Path("in.BFS"), "--json"});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    // Channel 400 does not exist here: the dialog's warning, then the rest.
    EXPECT_NE(put.err.find("Warning! The number of channels in the file is greater than"), std::string::npos)
        << put.err;
    const Json json = ParseOutput(put);
    EXPECT_EQ(json.at("blanked").get<long long>(), 3);
    const std::vector<uint8_t> block = FromHex(State().at("blanking").get<std::string>());
    ASSERT_EQ(block.size(), 48u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 6),
              (std::vector<uint8_t>{0x80, 0x40, 0x00, 0x00, 0x01, 0x00}));

    const ChildResult get = Ctl({"blanking", "get", Path("out.BFS")});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    CBlankingMap expected(40);
    for (const int channel : {0, 9, 39}) expected.Blank(channel);
    EXPECT_EQ(ReadBytes(Path("out.BFS")), BuildBfsImage(expected));
    EXPECT_EQ(get.out, "40 channels, 3 blanked: 1, 10, 40\n");
}

TEST_F(CliTest, BlankingClearLeavesNoFieldAndNeedsAnOperationalController) {
    StartSim({"--blanked", "0-3,20"});
    const ChildResult clear = Ctl({"blanking", "clear"});
    ASSERT_EQ(clear.exitCode, 0) << clear.err;
    for (const uint8_t byte : FromHex(State().at("blanking").get<std::string>())) EXPECT_EQ(byte, 0);
    ASSERT_EQ(LogOf("W").size(), 1u);
}

TEST_F(CliTest, BlankingRefusesAControllerThatIsNotOperational) {
    StartSim({"--emitter", "16,0:5", "--blanked", "0-3"});
    const ChildResult clear = Ctl({"blanking", "clear"});
    EXPECT_EQ(clear.exitCode, 1);
    EXPECT_EQ(clear.err, "Alignment cannot be executed because the device is not in an operational state.\n");
    EXPECT_TRUE(LogOf("W").empty());
}

TEST_F(CliTest, PartNumberThenDiagShowsTheNewIdentity) {
    StartSim();
    const ChildResult set = Ctl({"partnumber", "70000", "--date-code", "1102"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "Part Number and Date Code Set.\n");
    const std::vector<Json> requests = LogOf("X");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(FromHex(requests[0].at("rx").get<std::string>()),
              (std::vector<uint8_t>{0x1B, 'A', 0x58, 0x00, 0x01, 0x11, 0x70, 0x04, 0x4E, 0x00, 0xD4, 0x0D}));

    const Json diag = ParseOutput(Ctl({"--json", "diag"}));
    EXPECT_EQ(diag.at("part_number").get<std::string>(), "70000");
    EXPECT_EQ(diag.at("date_code").get<std::string>(), "1102");

    // Without a date code, today's goes in.
    ASSERT_EQ(Ctl({"partnumber", "123456"}).exitCode, 0);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(std::to_string(State().at("date_code").get<long long>()), std::to_string(std::stoi(MakeDateCode(local))));
}

TEST_F(CliTest, BeamsShowsTheScanAndLeavesTheOriginalPsfInTheController) {
    StartSim({"--blocked", "0-3", "--blanked", "12-15"});
    const CPsfRecord original = CustomPsf();
    WriteBytes(Path("original.PSF"), Image(original));
    ASSERT_EQ(Ctl({"psf", "put", Path("original.PSF")}).exitCode, 0);

    const ChildResult result = Ctl({"--json", "beams", "--count", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("channels").get<long long>(), 32);
    EXPECT_EQ(json.at("blanked").get<long long>(), 4);
    ASSERT_EQ(json.at("scans").size(), 3u);
    const Json& scan = json.at("scans").at(2);
    EXPECT_EQ(scan.at("rows").at(0).get<std::string>(), "0000 1111 1111 BBBB");
    EXPECT_EQ(scan.at("rows").at(1).get<std::string>(), "1111 1111 1111 1111");
    EXPECT_EQ(scan.at("blocked").get<long long>(), 4);
    EXPECT_EQ(scan.at("made").get<long long>(), 24);  // the blanked four are not made
    EXPECT_TRUE(json.at("original_restored").get<bool>());

    // The working set went in (All Mode, Binary, Host, Straight), then the original came back.
    const std::vector<Json> sends = LogOf("C");
    ASSERT_EQ(sends.size(), 3u);
    const std::vector<uint8_t> working = FromHex(sends[1].at("rx").get<std::string>());
    ASSERT_EQ(working.size(), 158u);
    // Frame byte k carries record byte k - 1.
    EXPECT_EQ(working[1 + 4], 'c');
    EXPECT_EQ(working[1 + 5], 'a');
    EXPECT_EQ(working[1 + 8] & 0x6F, 0x24);
    EXPECT_EQ(working[1 + 6], 'A');  // the measurement modes stay as read
    EXPECT_EQ(LogOf("scan").size(), 3u);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(original));

    const ChildResult text = Ctl({"beams"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("1 - 16   0000 1111 1111 BBBB\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Total: 32  Blocked: 4  Made: 24  Blanked: 4"), std::string::npos);
}

TEST_F(CliTest, BeamsSendsTheOriginalBackAfterAFailedScan) {
    StartSim();
    // More channels than the controller scans: every reply is too short.
    const ChildResult result = Ctl({"beams", "--channels", "64"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Unable to Input Scan.\n");
    EXPECT_EQ(LogOf("scan").size(), 3u);  // three attempts, then no more
    const std::vector<Json> sends = LogOf("C");
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), Image(CPsfRecord()));
}

TEST_F(CliTest, BeamsStoppedBySignalOrByItsReaderStillRestoresTheOriginal) {
    StartSim();
    const std::vector<uint8_t> original = Image(CPsfRecord());
    {
        const auto ctl = StartCtl({"beams", "--count", "100000"});
        ASSERT_EQ(ctl->ReadLine(15000), "Scan 1");
        EXPECT_EQ(ctl->Terminate(10000), 0);
    }
    EXPECT_EQ(LogOf("C").size(), 2u);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), original);
    {
        const auto ctl = StartCtl({"beams", "--count", "100000"});
        ASSERT_EQ(ctl->ReadLine(15000), "Scan 1");
        ctl->CloseOutput();
        // The scans that could not be printed make it a failed command.
        EXPECT_EQ(ctl->Wait(10000), 3);
    }
    EXPECT_EQ(LogOf("C").size(), 4u);
    EXPECT_EQ(FromHex(State().at("psf").get<std::string>()), original);
}
