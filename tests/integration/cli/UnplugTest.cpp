// veltrixctl on a line whose adapter is pulled out and plugged in again
// while a command runs: the simulator's pseudo-terminal hangs up, and a new
// one appears at the same link.

#include <csignal>
#include <fstream>
#include <iterator>

#include "CliFixture.h"
#include "model/CPsfRecord.h"

namespace {

const std::string kCtlPath = VELTRIX_BINARY_DIR "/cli/veltrixctl";

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UnplugTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        StartSim();
        // The controller's own set, unlike the one beams puts in.
        CPsfRecord own;
        own.SetControlMode('b');
        own.SetScanCount(5);
        ownImage.assign(own.Data(), own.Data() + kPsfRecordSize);
        WriteBytes(Path("own.PSF"), ownImage);
        ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    }
    std::unique_ptr<BackgroundChild> StartBeams() {
        auto beams = std::make_unique<BackgroundChild>(std::vector<std::string>{
            "/bin/sh", "-c", "exec \"$@\" 2>\"$0\"", Path("beams.err"), kCtlPath, "--device", Link(), "beams",
            "--count", "1000000", "--save-original", Path("kept.PSF")});
        EXPECT_EQ(beams->ReadLine(15000), "Scan 1");
        return beams;
    }
    std::vector<uint8_t> ControllerPsf() const { return FromHex(State().at("psf").get<std::string>()); }
    bool ControllerHasItsOwnSet() const {
        const std::vector<uint8_t> now = ControllerPsf();
        return std::equal(now.begin() + 2, now.end(), ownImage.begin() + 2);
    }

    std::vector<uint8_t> ownImage;
};

TEST_F(UnplugTest, ARunWhoseAdapterStaysOutEndsSayingSoAndRecoverWorksOnceItIsBack) {
    auto beams = StartBeams();
    UnplugSim();
    EXPECT_EQ(beams->Wait(15000), 1);
    const std::string err = ReadText(Path("beams.err"));
    EXPECT_EQ(err.find("Unable to Input Scan.\n"), 0u) << err;
    const std::string ending = "The serial device " + Link() +
                               " was disconnected.\nRun 'veltrixctl recover' when the controller is back.\n";
    ASSERT_GE(err.size(), ending.size());
    EXPECT_EQ(err.substr(err.size() - ending.size()), ending) << err;
    // The failure messages themselves keep their texts.
    EXPECT_EQ(err.find("disconnected"), err.rfind("disconnected"));
    EXPECT_EQ(ReadBytes(Path("kept.PSF")), ownImage);

    ReplugSim();
    const ChildResult recovered = Ctl({"recover"});
    EXPECT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_TRUE(ControllerHasItsOwnSet());
    EXPECT_EQ(Ctl({"recover"}).out, "Nothing to recover.\n");
}

TEST_F(UnplugTest, ARunGoesOnWhenTheAdapterIsBackByItsNextExchange) {
    auto beams = StartBeams();
    UnplugSim(false);
    ReplugSim();
    // Scans go on over the new pseudo-terminal at the same path.
    for (int i = 0; i < 200; ++i) {
        const std::string line = beams->ReadLine(5000);
        ASSERT_FALSE(line.empty()) << "beams stopped: " << ReadText(Path("beams.err"));
        if (line.rfind("Scan 8", 0) == 0) break;
    }
    ::kill(beams->Pid(), SIGINT);
    EXPECT_EQ(beams->Wait(15000), 130);
    const std::string err = ReadText(Path("beams.err"));
    EXPECT_NE(err.find("The serial device " + Link() + " was disconnected.\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("veltrixctl recover"), std::string::npos) << err;
    EXPECT_TRUE(ControllerHasItsOwnSet());
    EXPECT_EQ(Ctl({"recover"}).out, "Nothing to recover.\n");
}

}  // namespace
