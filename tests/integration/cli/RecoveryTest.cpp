// Crash-safe restore with real processes: veltrixctl killed, hung up on or
// interrupted while the simulated controller holds the alignment set, and
// the controller misbehaving around the original parameter set.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "CliFixture.h"
#include "command/AlignmentPsf.h"
#include "model/CPsfRecord.h"

namespace {

const std::string kCtlPath = VELTRIX_BINARY_DIR "/cli/veltrixctl";

// The controller's own parameter set, unlike the alignment set.
CPsfRecord OwnPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('d');
    psf.SetMeasMode(0, 'A');
    psf.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    psf.SetScanCount(5);
    return psf;
}

std::vector<uint8_t> Image(const CPsfRecord& psf) { return {psf.Data(), psf.Data() + kPsfRecordSize}; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RecoveryCliTest : public CliTest {
protected:
    // A controller that holds OwnPsf as its parameter set.
    void StartController(const std::vector<std::string>& faults = {}) {
        StartSim(faults);
        WriteBytes(Path("own.PSF"), Image(OwnPsf()));
        ASSERT_EQ(Ctl({"psf", "put", Path("own.PSF")}).exitCode, 0);
    }
    std::vector<uint8_t> ControllerPsf() const { return FromHex(State().at("psf").get<std::string>()); }
    // What the controller holds after it took the alignment set (the
    // addressed id and letter bytes as any sent frame leaves them).
    std::vector<uint8_t> AlignmentImage() const {
        CPsfRecord working = MakeAlignmentPsf(OwnPsf());
        std::vector<uint8_t> image = Image(working);
        const std::vector<uint8_t> now = ControllerPsf();
        image[0] = now.at(0);
        image[1] = now.at(1);
        return image;
    }
    size_t JournalFiles() const {
        std::error_code error;
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(RecoveryFolder(), error)) {
            (void)entry;
            ++count;
        }
        return count;
    }
    // beams running in the background, its stderr going to a file.
    std::unique_ptr<BackgroundChild> StartBeams(const std::string& errFile) {
        return std::make_unique<BackgroundChild>(std::vector<std::string>{
            "/bin/sh", "-c", "exec \"$@\" 2>\"$0\"", errFile, kCtlPath, "--device", Link(), "beams",
            "--count", "1000000", "--save-original", Path("kept.PSF")});
    }
};

TEST_F(RecoveryCliTest, BeamsKilledMidLoopLeavesAnEntryThatRecoverSendsBackByteForByte) {
    StartController();
    {
        const auto beams = StartBeams(Path("beams.err"));
        ASSERT_EQ(beams->ReadLine(15000), "Scan 1");
        ::kill(beams->Pid(), SIGKILL);
        EXPECT_EQ(beams->Wait(5000), -1);  // killed, no exit status
    }
    // The controller still holds the alignment set; the journal the original.
    EXPECT_EQ(ControllerPsf(), AlignmentImage());
    EXPECT_EQ(JournalFiles(), 1u);

    // Every command on the device warns once; one that would change the
    // controller again changes nothing.
    const ChildResult diag = Ctl({"diag"});
    EXPECT_EQ(diag.exitCode, 0);
    EXPECT_EQ(diag.err.find("Warning: the controller on " + Link() + " may still hold temporary settings from beams"),
              0u)
        << diag.err;
    const size_t sendsBefore = LogOf("C").size();
    const ChildResult again = Ctl({"beams"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("Run 'veltrixctl recover' first."), std::string::npos) << again.err;
    EXPECT_EQ(LogOf("C").size(), sendsBefore);

    const ChildResult listed = Ctl({"--json", "recover", "--list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const Json entries = ParseOutput(listed).at("entries");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].at("state"), "pending");
    EXPECT_EQ(entries[0].at("command"), "beams");
    EXPECT_EQ(entries[0].at("device"), Link());

    const ChildResult recovered = Ctl({"recover"});
    EXPECT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_NE(recovered.out.find("original parameter set sent back"), std::string::npos) << recovered.out;
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);

    const ChildResult nothing = Ctl({"recover"});
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_EQ(nothing.out, "Nothing to recover.\n");
}

// The fault: recover sent controller A's set to controller B, put on the
// same path after the run was killed.
TEST_F(RecoveryCliTest, RecoverSendsNothingToAnotherControllerUnlessForced) {
    StartController();
    {
        const auto beams = StartBeams(Path("beams.err"));
        ASSERT_EQ(beams->ReadLine(15000), "Scan 1");
        ::kill(beams->Pid(), SIGKILL);
        EXPECT_EQ(beams->Wait(5000), -1);
    }
    StopSim();
    StartSim({"--id", "B", "--part-number", "999", "--emitter", "16,8", "--receiver", "16,8"});
    const std::vector<uint8_t> heldByB = ControllerPsf();

    const ChildResult refused = Ctl({"recover"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "The controller on " + Link() +
                  " is not the one this entry was made for (part number 999, not 123456). Nothing was sent. "
                  "Use --force to send it anyway.\n");
    EXPECT_NE(refused.out.find("not sent: another controller answers there; kept"), std::string::npos)
        << refused.out;
    EXPECT_TRUE(LogOf("C").empty());
    EXPECT_EQ(ControllerPsf(), heldByB);
    EXPECT_EQ(JournalFiles(), 1u);

    const ChildResult forced = Ctl({"recover", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(LogOf("C").size(), 1u);
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);
}

TEST_F(RecoveryCliTest, TeachKilledWhileTheFieldsAreClearedIsRecoveredWithItsEarlierFields) {
    // A moving object never holds still: teach scans until it is killed.
    StartSim({"--scenario", "moving", "--blanked", "1,2"});
    const std::vector<uint8_t> earlier = FromHex(State().at("blanking").get<std::string>());
    {
        const auto teach = StartCtl({"blanking", "teach", "--yes"});
        for (int i = 0; i < 150 && LogOf("scan").size() < 5; ++i) ::usleep(100000);
        ASSERT_GE(LogOf("scan").size(), 5u);
        ::kill(teach->Pid(), SIGKILL);
        EXPECT_EQ(teach->Wait(5000), -1);
    }
    const std::vector<uint8_t> cleared = FromHex(State().at("blanking").get<std::string>());
    EXPECT_EQ(cleared, std::vector<uint8_t>(earlier.size(), 0));
    EXPECT_NE(ControllerPsf(), Image(CPsfRecord()));

    const ChildResult recovered = Ctl({"recover"});
    EXPECT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_NE(recovered.out.find("original parameter set and blanking fields sent back"), std::string::npos)
        << recovered.out;
    EXPECT_EQ(FromHex(State().at("blanking").get<std::string>()), earlier);
    EXPECT_EQ(ControllerPsf(), Image(CPsfRecord()));
    EXPECT_EQ(Ctl({"recover"}).out, "Nothing to recover.\n");
}

TEST_F(RecoveryCliTest, MonitorJournalsItsOriginalAndRestoresItOnSighup) {
    StartController();
    {
        const auto monitor = StartCtl({"monitor", "--meas1", "FBB"});
        for (int i = 0; i < 150 && LogOf("scan").size() < 3; ++i) ::usleep(100000);
        ASSERT_GE(LogOf("scan").size(), 3u);
        EXPECT_EQ(JournalFiles(), 1u);
        ::kill(monitor->Pid(), SIGKILL);
        EXPECT_EQ(monitor->Wait(5000), -1);
    }
    EXPECT_NE(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(Ctl({"recover"}).exitCode, 0);
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    {
        const auto monitor = StartCtl({"monitor", "--meas1", "FBB"});
        const size_t before = LogOf("scan").size();
        for (int i = 0; i < 150 && LogOf("scan").size() < before + 3; ++i) ::usleep(100000);
        ::kill(monitor->Pid(), SIGHUP);
        EXPECT_EQ(monitor->Wait(10000), 128 + SIGHUP);
    }
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);
}

// SIGINT, SIGTERM and SIGHUP: the original goes back before the tool exits
// with 128 + the signal, the port is left free and as found.
TEST_F(RecoveryCliTest, EveryStopSignalRestoresFirstAndLeavesThePortFree) {
    StartController();
    const std::string device = std::filesystem::read_symlink(Link());
    for (const int signal : {SIGHUP, SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        {
            const auto beams = StartBeams(Path("beams.err"));
            ASSERT_EQ(beams->ReadLine(15000), "Scan 1");
            ::kill(beams->Pid(), signal);
            EXPECT_EQ(beams->Wait(10000), 128 + signal);
        }
        EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
        EXPECT_EQ(JournalFiles(), 0u);
        // Nothing holds the line exclusively any more, so another user's
        // tool can open it: checked on the device, since root may open it anyway.
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        int exclusive = -1;
        ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0);
        ::close(fd);
        const ChildResult next = Ctl({"diag"});
        EXPECT_EQ(next.exitCode, 0) << next.err;
        EXPECT_EQ(next.err, "");
    }
}

TEST_F(RecoveryCliTest, MoreCtrlCsDuringTheRestoreDoNotCutItShort) {
    StartController();
    const auto beams = StartBeams(Path("beams.err"));
    ASSERT_EQ(beams->ReadLine(15000), "Scan 1");
    // Ctrl-C, and again and again while the tool stops and restores (the
    // restore alone holds the line for a second after the set went back).
    for (int i = 0; i < 60; ++i) {
        ::kill(beams->Pid(), SIGINT);  // an ended, unreaped child takes it harmlessly
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(beams->Wait(10000), 130);
    const std::string err = ReadText(Path("beams.err"));
    EXPECT_NE(err.find("Restoring the original parameter set..."), std::string::npos) << err;
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);
}

TEST_F(RecoveryCliTest, ALostAcknowledgementOfTheAlignmentSetStillGetsTheOriginalBack) {
    // The third acknowledged request: psf put (1), ... the alignment set.
    StartController({"--fault", "lost-ack:2"});
    const ChildResult beams = Ctl({"beams"});
    EXPECT_EQ(beams.exitCode, 1);
    EXPECT_EQ(beams.err, "Unable to output PSF.\n");
    const std::vector<Json> sends = LogOf("C");
    ASSERT_EQ(sends.size(), 3u);  // put, the alignment set (taken), the original
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);
}

TEST_F(RecoveryCliTest, AnOriginalThatCannotGoBackStaysInTheJournalAndInAFile) {
    // Requests: put's probe H, probe D, probe C, probe D (what it replaced,
    // the set, its read-back), then beams: probe H, probe D, probe C, probe V,
    // scan; the line dies before the original can go back.
    StartController({"--fault", "hangup:17"});
    const ChildResult beams = Ctl({"beams", "--save-original", Path("kept.PSF")});
    EXPECT_EQ(beams.exitCode, 1);
    EXPECT_NE(beams.err.find("The original PSF was saved to '" + Path("kept.PSF") + "'."), std::string::npos)
        << beams.err;
    EXPECT_EQ(ReadBytes(Path("kept.PSF")).size(), static_cast<size_t>(kPsfRecordSize));
    EXPECT_EQ(JournalFiles(), 1u);
}

TEST_F(RecoveryCliTest, ADamagedParameterSetReplyIsReadAgainNeverRestoredAsTheOriginal) {
    // The put meets the damaged reply when it reads what the controller
    // holds for the history: it reads again (2), then reads its set back
    // (1); beams reads the original (1) and reads it back once it went back (1).
    StartController({"--fault", "flip-once:D"});
    const ChildResult beams = Ctl({"beams"});
    EXPECT_EQ(beams.exitCode, 0) << beams.err;
    EXPECT_EQ(LogOf("D").size(), 5u);
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));

    // Damaged every time, differently: nothing is changed at all.
    CliTest::TearDown();
    CliTest::SetUp();
    StartSim({"--fault", "flip:D"});
    const std::vector<uint8_t> before = ControllerPsf();
    const ChildResult refused = Ctl({"beams"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Unable to input PSF.\n");
    EXPECT_TRUE(LogOf("C").empty());
    EXPECT_EQ(ControllerPsf(), before);
}

TEST_F(RecoveryCliTest, LateScanRepliesDoNotKeepTheOriginalFromGoingBack) {
    StartController({"--fault", "late-scan:1500"});
    const ChildResult beams = Ctl({"beams", "--count", "3"});
    EXPECT_EQ(beams.exitCode, 0) << beams.err;
    EXPECT_EQ(ControllerPsf(), Image(OwnPsf()));
    EXPECT_EQ(JournalFiles(), 0u);
    EXPECT_EQ(beams.err.find("Unable to restore"), std::string::npos) << beams.err;
}

TEST_F(RecoveryCliTest, SaveOriginalThatCannotBeWrittenIsFoundBeforeTheController) {
    StartController();
    const size_t before = Log().size();
    const std::string nowhere = Path("no-folder/kept.PSF");
    const ChildResult beams = Ctl({"beams", "--save-original", nowhere});
    EXPECT_EQ(beams.exitCode, 3);
    EXPECT_EQ(beams.err, "Unable to create file '" + nowhere + "' - No such file or directory\n");
    EXPECT_EQ(Log().size(), before);
}

TEST_F(RecoveryCliTest, PsfPutSendsACRequestAndRefusesCodesInNoTable) {
    StartController();
    const std::vector<uint8_t> blankingBefore = FromHex(State().at("blanking").get<std::string>());

    CPsfRecord letterW = OwnPsf();
    letterW.SetScanCount(2);
    letterW.Data()[1] = 'W';
    WriteBytes(Path("w.PSF"), Image(letterW));
    const ChildResult put = Ctl({"psf", "put", Path("w.PSF")});
    EXPECT_EQ(put.exitCode, 0) << put.err;
    EXPECT_TRUE(LogOf("W").empty());
    EXPECT_EQ(FromHex(State().at("blanking").get<std::string>()), blankingBefore);
    EXPECT_EQ(ControllerPsf().at(9), 2);

    CPsfRecord odd = OwnPsf();
    odd.SetControlMode('Z');
    DiscreteOutput outputs[kDiscreteOutputCount];
    odd.GetOutputs(outputs);
    outputs[2].source = 0x01;
    odd.SetOutputs(outputs);
    WriteBytes(Path("odd.PSF"), Image(odd));
    const size_t sends = LogOf("C").size();
    const ChildResult refused = Ctl({"psf", "put", Path("odd.PSF")});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("Control Mode 'Z', Output #3 source 0x01"), std::string::npos) << refused.err;
    EXPECT_EQ(LogOf("C").size(), sends);
    const ChildResult forced = Ctl({"psf", "put", "--force", Path("odd.PSF")});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(ControllerPsf().at(4), 'Z');
}

TEST_F(RecoveryCliTest, RecoverKeepsAndReportsAnUnusableEntryAndDiscardRemovesIt) {
    StartController();
    std::filesystem::create_directories(RecoveryFolder());
    const std::string damaged = RecoveryFolder() + "/%2Fdev%2FttyS9.entry";
    std::ofstream(damaged) << "veltrix-recovery 1\ndevice /dev/ttyS9\ncrc32 00000000\n";

    const size_t requestsBefore = Log().size();
    const ChildResult recovered = Ctl({"recover"});
    EXPECT_EQ(recovered.exitCode, 1);
    EXPECT_NE(recovered.out.find(damaged + ": cannot be used: "), std::string::npos) << recovered.out;
    EXPECT_TRUE(std::filesystem::exists(damaged));
    EXPECT_EQ(Log().size(), requestsBefore) << "nothing sent to the controller";

    const ChildResult discarded = Ctl({"recover", "--discard", "/dev/ttyS9"});
    EXPECT_EQ(discarded.exitCode, 0) << discarded.err;
    EXPECT_FALSE(std::filesystem::exists(damaged));
    EXPECT_EQ(Ctl({"recover", "--discard", "/dev/ttyS9"}).exitCode, 1);
    EXPECT_EQ(Ctl({"recover"}).out, "Nothing to recover.\n");
}

TEST_F(RecoveryCliTest, APortWithoutPermissionReadsAccessDeniedWithTheHint) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the device to another user";
    StartSim();
    const std::string device = std::filesystem::read_symlink(Link());
    ASSERT_EQ(::chmod(device.c_str(), 0600), 0);
    const ChildResult denied = RunChild({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                         kCtlPath, "--device", device, "diag"},
                                        10000, {"XDG_STATE_HOME=" + Path("nobody-state")});
    EXPECT_EQ(denied.exitCode, 4) << denied.err;
    EXPECT_EQ(denied.err.find("Unable to open " + device + "\nAccess denied\n"), 0u) << denied.err;
    EXPECT_NE(denied.err.find("Only root may open it"), std::string::npos) << denied.err;
}

}  // namespace
