// veltrixctl through ser2net (RFC 2217 and raw TCP) in front of veltrix-sim:
// what a service engineer reaching a controller through a device server
// does, checked against what the simulator received.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "CliFixture.h"
#include "Ser2net.h"
#include "model/CPsfRecord.h"
#include "support/posix/UnansweredPort.h"

namespace {

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

const std::string kCtlPath = VELTRIX_BINARY_DIR "/cli/veltrixctl";

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t FilesIn(const std::string& folder) {
    std::error_code error;
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) count += entry.is_regular_file();
    return count;
}

class DeviceServerTest : public CliTest {
protected:
    void SetUp() override {
        if (!VELTRIX_NET_DEVICES) GTEST_SKIP() << "this build has no serial device servers";
        if (!Ser2net::Installed()) GTEST_SKIP() << "ser2net is not installed (scripts/setup-deps installs it)";
        CliTest::SetUp();
    }

    void TearDown() override {
        m_server.reset();  // before the simulator goes
        CliTest::TearDown();
    }

    // The simulator (with these options) behind ser2net with one connection.
    void StartBehind(bool rfc2217, const std::string& line, const std::vector<std::string>& sim = {}) {
        StartSim(sim);
        m_server = std::make_unique<Ser2net>(Path(""));
        Ser2net::Connection connection;
        connection.rfc2217 = rfc2217;
        connection.device = Link();
        connection.line = line;
        ASSERT_TRUE(m_server->Start({connection})) << m_server->Log();
    }

    ChildResult Net(std::vector<std::string> args, long timeoutMs = 30000) {
        args.insert(args.begin(), {"--device", m_server->Url()});
        return CtlRaw(args, timeoutMs);
    }

    // beams through the server, which is killed under it; then recover once
    // the server is back on its port.
    void KillDuringBeamsThenRecover(bool rfc2217);

    std::unique_ptr<Ser2net> m_server;
};

}  // namespace

TEST_F(DeviceServerTest, Rfc2217ProbeSwitchesTheServersLineUntilTheControllerAnswers) {
    StartBehind(true, "9600e82", {"--baud", "38400", "--id", "C"});
    const ChildResult result = Net({"--json", "probe"});
    ASSERT_EQ(result.exitCode, 0) << result.err << m_server->Log();
    const Json json = ParseOutput(result);
    EXPECT_EQ(json.at("baud").get<long long>(), 38400);
    EXPECT_EQ(json.at("id").get<std::string>(), "C");
    // The line really changed: the controller heard the probe at its rate
    // only, not at 9600 or 19200.
    const std::vector<Json> probes = LogOf("probe");
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].at("speed").get<long long>(), 38400);

    EXPECT_EQ(Net({"probe"}).out, "Controller C at 38400 baud\n");
}

TEST_F(DeviceServerTest, Rfc2217PsfGetAndPutAreByteForByte) {
    StartBehind(true, "9600e82", {"--baud", "19200"});
    const ChildResult get = Net({"psf", "get", Path("original.PSF")});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(ReadBytes(Path("original.PSF")), FromHex(State().at("psf").get<std::string>()));

    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanCount(7);
    psf.SetBaudCode('C');  // the controller moves to 38400; the next command follows it
    WriteBytes(Path("new.PSF"), Image(psf));
    const ChildResult put = Net({"psf", "put", Path("new.PSF")});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    const std::vector<Json> sent = LogOf("C");
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<uint8_t> frame = FromHex(sent[0].at("rx").get<std::string>());
    ASSERT_EQ(frame.size(), static_cast<size_t>(kPsfFrameLength));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin() + 3, frame.begin() + 3 + 152),
              std::vector<uint8_t>(psf.Data() + 2, psf.Data() + kPsfRecordSize));
    EXPECT_EQ(State().at("baud").get<long long>(), 38400);

    ASSERT_EQ(Net({"psf", "get", Path("back.PSF")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("back.PSF")), Image(psf));
}

TEST_F(DeviceServerTest, Rfc2217BeamsCompletesAndLeavesTheOriginalInTheController) {
    StartBehind(true, "9600e82", {"--baud", "38400", "--blocked", "3"});
    const std::string before = State().at("psf").get<std::string>();
    const ChildResult result = Net({"--json", "beams", "--count", "20"}, 60000);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto last = ParseJson(result.out.substr(result.out.rfind('\n', result.out.size() - 2) + 1));
    ASSERT_TRUE(last) << result.out;
    EXPECT_EQ(last->at("scans").get<long long>(), 20);
    EXPECT_TRUE(last->at("original_restored").get<bool>());
    EXPECT_EQ(LogOf("scan").size(), 20u);
    EXPECT_EQ(State().at("psf").get<std::string>(), before);
    EXPECT_EQ(State().at("baud").get<long long>(), 38400);
}

TEST_F(DeviceServerTest, RawTcpNamesTheServersRateInsteadOfANumber) {
    StartBehind(false, "38400e82", {"--baud", "38400"});
    const ChildResult text = Net({"probe"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "Controller A at the server's rate\n");
    const Json json = ParseOutput(Net({"--json", "probe"}));
    EXPECT_EQ(json.at("baud").get<std::string>(), "the server's rate");

    const Json report = ParseOutput(Net({"--json", "report", "--out", "-"}));
    EXPECT_EQ(report.at("probe").at("baud").get<std::string>(), "the server's rate");
    EXPECT_EQ(report.at("port").at("server").at("address").get<std::string>(),
              "127.0.0.1:" + std::to_string(m_server->Port()));
}

TEST_F(DeviceServerTest, RawTcpPsfPutOfAnotherRateWarnsAndSendsOnlyWhenForced) {
    StartBehind(false, "38400e82", {"--baud", "38400"});
    CPsfRecord psf;
    psf.SetBaudCode('A');  // 9600: the server's line stays at 38400
    WriteBytes(Path("slow.PSF"), Image(psf));

    const ChildResult refused = Net({"psf", "put", Path("slow.PSF")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("The controller will stop answering at the server's rate"),
              std::string::npos)
        << refused.err;
    EXPECT_TRUE(LogOf("C").empty());
    EXPECT_EQ(State().at("baud").get<long long>(), 38400);

    // The same rate needs no warning.
    psf.SetBaudCode('C');
    WriteBytes(Path("same.PSF"), Image(psf));
    const ChildResult same = Net({"psf", "put", Path("same.PSF")});
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.err, "");

    ASSERT_EQ(Net({"psf", "put", "--force", Path("slow.PSF")}).exitCode, 0);
    EXPECT_EQ(State().at("baud").get<long long>(), 9600);
}

TEST_F(DeviceServerTest, ServersThatCannotBeUsedAreNamedWithTheReason) {
    StartBehind(false, "9600e82");
    const std::string raw = m_server->Url();
    const std::string asRfc2217 = "rfc2217://127.0.0.1:" + std::to_string(m_server->Port());
    const ChildResult notTelnet = CtlRaw({"--device", asRfc2217, "probe"});
    EXPECT_EQ(notTelnet.exitCode, 4);
    // The library waits about 4 s for the telnet options: long enough to say so.
    EXPECT_EQ(notTelnet.err, "Connecting to " + asRfc2217 + "...\nUnable to open " + asRfc2217 +
                                 "\nNo RFC 2217 answer from 127.0.0.1:" +
                                 std::to_string(m_server->Port()) + " (a raw TCP port is named " +
                                 raw + ")\n");

    const int closed = Ser2net::FreePort();
    const std::string nobody = "rfc2217://127.0.0.1:" + std::to_string(closed);
    const ChildResult refused = CtlRaw({"--device", nobody, "probe"});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.err.find("Unable to open " + nobody + "\n"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("refused"), std::string::npos) << refused.err;

    const ChildResult malformed = CtlRaw({"--device", "tcp://127.0.0.1", "probe"});
    EXPECT_EQ(malformed.exitCode, 2);
    EXPECT_NE(malformed.err.find("it needs HOST:PORT"), std::string::npos) << malformed.err;
}

TEST_F(DeviceServerTest, ASecondClientIsToldThePortIsInUse) {
    StartBehind(true, "9600e82");
    auto first = std::make_unique<BackgroundChild>(std::vector<std::string>{
        VELTRIX_BINARY_DIR "/cli/veltrixctl", "--device", m_server->Url(), "beams", "--watch"});
    ASSERT_FALSE(first->ReadLine(20000).empty());  // the first scan is on the screen
    const ChildResult second = Net({"probe"});
    EXPECT_EQ(second.exitCode, 4);
    // ser2net's words come with it when they arrive before it hangs up.
    EXPECT_NE(second.err.find("127.0.0.1:" + std::to_string(m_server->Port()) + " closed the connection"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(first->Terminate(20000), 143);
}

// The server dies in the middle of beams (SIGKILL: it ignores SIGTERM while a
// client is connected): one message names the device, the journal keeps the
// controller's own set, and recover sends it back once the server is up
// again on its port.
void DeviceServerTest::KillDuringBeamsThenRecover(bool rfc2217) {
    // Over raw TCP the server's line must already be at the controller's rate.
    StartBehind(rfc2217, rfc2217 ? "9600e82" : "38400e82", {"--baud", "38400"});
    CPsfRecord own;
    own.SetControlMode('b');
    own.SetScanCount(5);
    own.SetBaudCode('C');
    WriteBytes(Path("own.PSF"), Image(own));
    ASSERT_EQ(Net({"psf", "put", Path("own.PSF")}).exitCode, 0);
    const auto controllerHasItsOwnSet = [&] {
        const std::vector<uint8_t> now = FromHex(State().at("psf").get<std::string>());
        return std::equal(now.begin() + 2, now.end(), Image(own).begin() + 2);
    };

    BackgroundChild beams({"/bin/sh", "-c", "exec \"$@\" 2>\"$0\"", Path("beams.err"), kCtlPath, "--device",
                           m_server->Url(), "beams", "--count", "1000000", "--save-original", Path("kept.PSF")});
    ASSERT_EQ(beams.ReadLine(20000), "Scan 1") << ReadText(Path("beams.err"));
    m_server->Stop();
    EXPECT_EQ(beams.Wait(20000), 1);

    const std::string err = ReadText(Path("beams.err"));
    EXPECT_EQ(err.find("Unable to Input Scan.\n"), 0u) << err;
    const std::string ending = "The serial device " + m_server->Url() +
                               " was disconnected.\nRun 'veltrixctl recover' when the controller is back.\n";
    ASSERT_GE(err.size(), ending.size()) << err;
    EXPECT_EQ(err.substr(err.size() - ending.size()), ending) << err;
    EXPECT_EQ(err.find("disconnected"), err.rfind("disconnected")) << err;
    EXPECT_EQ(ReadBytes(Path("kept.PSF")), Image(own));
    EXPECT_EQ(FilesIn(RecoveryFolder()), 1u);
    EXPECT_FALSE(controllerHasItsOwnSet());

    ASSERT_TRUE(m_server->Start()) << m_server->Log();
    const ChildResult recovered = Net({"recover"});
    EXPECT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_TRUE(controllerHasItsOwnSet());
    EXPECT_EQ(State().at("baud").get<long long>(), 38400);
    EXPECT_EQ(FilesIn(RecoveryFolder()), 0u);
    EXPECT_EQ(Net({"recover"}).out, "Nothing to recover.\n");
}

TEST_F(DeviceServerTest, AServerKilledDuringBeamsIsALostDeviceAndRecoverWorksOnceItIsBack) {
    KillDuringBeamsThenRecover(true);
}

TEST_F(DeviceServerTest, ARawTcpServerKilledDuringBeamsIsALostDeviceAsWell) { KillDuringBeamsThenRecover(false); }

// Servers that cannot be reached: each gives one clear message naming it,
// and one that does not answer at all gives up after its time-out, saying
// meanwhile that it is connecting.
class UnreachableServerTest : public CliTest {
protected:
    void SetUp() override {
        if (!VELTRIX_NET_DEVICES) GTEST_SKIP() << "this build has no serial device servers";
        CliTest::SetUp();
    }
};

TEST_F(UnreachableServerTest, ServersOutOfReachAreNamedAndAWaitIsShown) {
    const UnansweredPort silent;
    const std::string quiet = "rfc2217://127.0.0.1:" + std::to_string(silent.Port());
    const ChildResult waited = CtlRaw({"--device", quiet, "probe"});
    EXPECT_EQ(waited.exitCode, 4);
    EXPECT_EQ(waited.err, "Connecting to " + quiet + "...\nUnable to open " + quiet + "\nNo connection to 127.0.0.1:" +
                              std::to_string(silent.Port()) + " within 5 s\n");
    EXPECT_GE(waited.elapsedMs, 4900);
    EXPECT_LT(waited.elapsedMs, 9000);

    const ChildResult unknown = CtlRaw({"--device", "tcp://nosuchhost.invalid:2217", "probe"});
    EXPECT_EQ(unknown.exitCode, 4);
    EXPECT_EQ(unknown.err.rfind("Unable to open tcp://nosuchhost.invalid:2217\n", 0), 0u) << unknown.err;
    EXPECT_NE(unknown.err.find("(nosuchhost.invalid:2217)"), std::string::npos) << unknown.err;
    // A quick failure says nothing about connecting.
    EXPECT_EQ(unknown.err.find("Connecting"), std::string::npos) << unknown.err;
}
