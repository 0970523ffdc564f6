#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "command/CControllerCommand.h"
#include "model/PsfFile.h"
#include "platform/Clock.h"
#include "sim/SimulatedPort.h"
#include "support/ScopedStateHome.h"
#include "support/ScopedTempDir.h"
#include "support/ScriptedUi.h"

namespace {

// Remembers the clock at every capture and release, to see the pause the
// mouse is held for.
class TimedUi : public ScriptedUi {
  public:
    void CaptureMouse() override {
        capturedAt = GetClock().TickMs();
        ScriptedUi::CaptureMouse();
    }
    void ReleaseMouse() override {
        releasedAt = GetClock().TickMs();
        ScriptedUi::ReleaseMouse();
    }
    uint32_t capturedAt = 0;
    uint32_t releasedAt = 0;
};

class TestCommand : public CControllerCommand {
  public:
    explicit TestCommand(int portIndex, std::function<int(TestCommand&)> body = {})
        : CControllerCommand(nullptr, portIndex, 9600), m_body(std::move(body)) {}
    int Execute() override {
        ++executed;
        return m_body ? m_body(*this) : 1;
    }
    int executed = 0;

  private:
    std::function<int(TestCommand&)> m_body;
};

// A parameter set that differs from the defaults, so a restore is visible.
CPsfRecord ChangedPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('i');
    return psf;
}

class ControllerCommandTest : public ::testing::Test {
  protected:
    ScopedStateHome stateHome;
    VirtualClock clock;
    ScopedClock scopedClock{clock};
    TimedUi ui;
    ScopedUi scopedUi{ui};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    sim::ScopedSimulatedPorts ports{line};

    int RequestsOf(const std::string& kind) const {
        int count = 0;
        for (const auto& entry : line->RequestLog()) count += entry.kind == kind;
        return count;
    }
};

TEST_F(ControllerCommandTest, PortThatCannotOpenIsReportedOnceAndNothingRuns) {
    line->openStatus = kSerialPortNotFound;
    TestCommand command(30);

    EXPECT_EQ(command.Run(), 0);

    EXPECT_EQ(command.executed, 0);
    EXPECT_EQ(command.Link(), nullptr);
    ASSERT_EQ(ui.Calls().size(), 1u);
    EXPECT_EQ(ui.Calls()[0].text, "Unable to open 31\nPort not found\n");
    EXPECT_EQ(ui.Calls()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.Calls()[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(line->RequestLog().empty());
}

TEST_F(ControllerCommandTest, RunGivesExecuteTheLinkAndReturnsItsResultWithoutRestoring) {
    TestCommand command(1, [](TestCommand& self) {
        EXPECT_NE(self.Link(), nullptr);
        return 7;
    });

    EXPECT_EQ(command.Run(), 7);
    EXPECT_EQ(command.executed, 1);
    EXPECT_EQ(line->portsOpened, 1);
    // The context itself sends nothing: no probe, no parameter set.
    EXPECT_TRUE(line->RequestLog().empty());
    EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(ControllerCommandTest, RestoreFlagSendsTheOriginalBackThenHoldsTheMouseForASecond) {
    const CPsfRecord original = ChangedPsf();
    TestCommand command(1, [&](TestCommand& self) {
        self.OriginalPsf() = original;
        self.SetRestoreFlag(1);
        return 1;
    });

    EXPECT_EQ(command.Run(), 1);

    EXPECT_EQ(RequestsOf("C"), 1);
    EXPECT_TRUE(std::equal(original.Data() + 2, original.Data() + kPsfRecordSize,
                           line->Model().Psf().Data() + 2));
    EXPECT_TRUE(ui.Messages().empty());
    ASSERT_EQ(ui.CallsOf(ScriptedUi::Kind::Capture).size(), 1u);
    ASSERT_EQ(ui.CallsOf(ScriptedUi::Kind::Release).size(), 1u);
    EXPECT_GE(ui.releasedAt - ui.capturedAt, 1000u);
    EXPECT_FALSE(ui.MouseCaptured());
    EXPECT_EQ(ui.WaitCursorCount(), 0);
    // The capture sits inside the wait cursor, and the cursor is put up
    // again right before it.
    const auto& calls = ui.Calls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls.front().kind, ScriptedUi::Kind::CursorOn);
    EXPECT_EQ(calls.back().kind, ScriptedUi::Kind::CursorOff);
    EXPECT_EQ(calls[calls.size() - 4].kind, ScriptedUi::Kind::CursorOn);
    EXPECT_EQ(calls[calls.size() - 3].kind, ScriptedUi::Kind::Capture);
    EXPECT_EQ(calls[calls.size() - 2].kind, ScriptedUi::Kind::Release);
}

class FailedRestoreTest : public ControllerCommandTest {
  protected:
    // A command that changed the controller and then lost it.
    int RunCommandThatLosesTheController() {
        TestCommand command(1, [&](TestCommand& self) {
            self.OriginalPsf() = ChangedPsf();
            self.SetRestoreFlag(1);
            line->Faults().silent = true;
            return 1;
        });
        return command.Run();
    }
    static constexpr const char* kQuestion =
        "Unable to restore original PSF.\nDo you want to save the original PSF to a file?";
};

TEST_F(FailedRestoreTest, YesThenCancelSavesNothingAndShowsNothingMore) {
    ScopedTempDir dir;
    ui.AnswerMessage(MsgResult::Yes);
    ui.AnswerFile(std::nullopt);
    RunCommandThatLosesTheController();

    const auto messages = ui.CallsOf(ScriptedUi::Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kQuestion);
    EXPECT_EQ(messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages[0].icon, MsgIcon::Stop);
    EXPECT_TRUE(ui.CallsOf(ScriptedUi::Kind::Capture).empty());
    EXPECT_EQ(ui.WaitCursorCount(), 0);
    const auto prompts = ui.CallsOf(ScriptedUi::Kind::SaveFile);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].prompt.filter, "PSF Files (*.PSF) |*.PSF||");
    EXPECT_EQ(prompts[0].prompt.defaultExtension, "PSF");
    EXPECT_TRUE(prompts[0].prompt.confirmOverwrite);
    EXPECT_TRUE(dir.List().empty());
}

TEST_F(FailedRestoreTest, NoOffersNoFile) {
    ui.AnswerMessage(MsgResult::No);
    RunCommandThatLosesTheController();
    EXPECT_EQ(ui.Messages().size(), 1u);
    EXPECT_TRUE(ui.CallsOf(ScriptedUi::Kind::SaveFile).empty());
}

TEST_F(FailedRestoreTest, YesThenAPathWritesTheOriginalToTheFile) {
    ScopedTempDir dir;
    const std::string path = dir.File("original.PSF");
    ui.AnswerMessage(MsgResult::Yes);
    ui.AnswerFile(path);
    RunCommandThatLosesTheController();

    EXPECT_EQ(ui.Messages().size(), 1u);
    const std::vector<uint8_t> written = ReadBytes(path);
    const CPsfRecord expected = ChangedPsf();
    ASSERT_EQ(written.size(), static_cast<size_t>(kPsfRecordSize));
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.Data()));
}

TEST_F(FailedRestoreTest, YesThenAnUnwritablePathShowsTheFileError) {
    ScopedTempDir dir;
    ui.AnswerMessage(MsgResult::Yes);
    const std::string path = dir.File("missing-folder/original.PSF");
    ui.AnswerFile(path);
    RunCommandThatLosesTheController();

    const auto messages = ui.CallsOf(ScriptedUi::Kind::Message);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Unable to create file '" + path + "' - No such file or directory");
    EXPECT_EQ(messages[1].icon, MsgIcon::Stop);
}

}  // namespace
