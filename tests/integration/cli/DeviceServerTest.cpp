// veltrixctl through ser2net (RFC 2217 and raw TCP) in front of veltrix-sim:
// what a service engineer reaching a controller through a device server
// does, checked against what the simulator received.

#include <memory>

#include "CliFixture.h"
#include "Ser2net.h"
#include "model/CPsfRecord.h"

namespace {

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

class DeviceServerTest : public CliTest {
protected:
    void SetUp() override {
        if (!VELTRIX_NET_DEVICES) GTEST_SKIP() << "this build has no serial device servers";
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
    EXPECT_EQ(notTelnet.err, "Unable to open " + asRfc2217 + "\nNo RFC 2217 answer from 127.0.0.1:" +
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
