#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "command/CControllerCommand.h"
#include "gui/SimulatedCommandWorld.h"
#include "history/AuditLog.h"
#include "history/ChangeHistory.h"

namespace {

class WritingCommand : public CControllerCommand {
public:
    WritingCommand() : CControllerCommand(nullptr, 1, 9600) {}
    int Execute() override { return 1; }
};

enum class Write { Psf, Blanking, PartNumber };

// What each kind of write sends: something the simulated controller does not
// hold yet, so that a write that is not stored shows.
WriteOutcome WriteOne(WritingCommand& command, Write write) {
    switch (write) {
        case Write::Psf: {
            CPsfRecord psf;
            psf.SetScanCount(4);
            psf.SetControlMode('b');
            return command.WritePsfVerified(psf, "test");
        }
        case Write::Blanking: {
            CBlankingMap map(32);
            map.Blank(9);
            return command.WriteBlankingVerified(map, "test");
        }
        case Write::PartNumber:
            break;
    }
    return command.WritePartNumberVerified(555, 1230, "test");
}

class VerifiedWriteTest : public ::testing::Test {
protected:
    std::vector<std::string> AuditLines() const {
        std::vector<std::string> lines;
        std::string error;
        EXPECT_TRUE(AuditLog().ReadLines(lines, error)) << error;
        return lines;
    }
    int Requests(const std::string& kind) const {
        int count = 0;
        for (const auto& entry : world.line->RequestLog()) count += entry.kind == kind;
        return count;
    }

    SimulatedCommandWorld world;
};

}  // namespace

TEST_F(VerifiedWriteTest, EveryWriteIsReadBackKeptAndAudited) {
    struct Case {
        const char* name;
        Write write;
        const char* fault;  // "" for none
        WriteOutcome::Status status;
        const char* auditResult;
        const char* heldText;  // what the addendum names
    };
    const Case cases[] = {
        {"set stored", Write::Psf, "", WriteOutcome::Status::Verified, "verified", ""},
        {"set with a byte changed", Write::Psf, "bad-store:C", WriteOutcome::Status::Mismatch,
         "mismatch", "Scan Count 5 (sent 4)"},
        {"set not stored", Write::Psf, "no-store:C", WriteOutcome::Status::Mismatch, "mismatch",
         "Control Mode Selection Host (sent Gate), Scan Count 1 (sent 4)"},
        {"blanking stored", Write::Blanking, "", WriteOutcome::Status::Verified, "verified", ""},
        {"blanking with a byte changed", Write::Blanking, "bad-store:W",
         WriteOutcome::Status::Mismatch, "mismatch", "Channel 1 blanked (sent clear)"},
        {"blanking not stored", Write::Blanking, "no-store:W", WriteOutcome::Status::Mismatch,
         "mismatch", "Channel 10 clear (sent blanked)"},
        {"part number stored", Write::PartNumber, "", WriteOutcome::Status::Verified, "verified",
         ""},
        {"part number with a byte changed", Write::PartNumber, "bad-store:X",
         WriteOutcome::Status::Mismatch, "mismatch", "Part Number 554 (sent 555)"},
        {"part number not stored", Write::PartNumber, "no-store:X", WriteOutcome::Status::Mismatch,
         "mismatch", "Part Number 123456 (sent 555), Date Code 1102 (sent 1230)"},
        {"not acknowledged", Write::Psf, "lost-ack:1", WriteOutcome::Status::Failed, "failed", ""},
    };
    size_t auditLines = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh controller for each case.
        world.line = std::make_shared<sim::SimulatedLine>();
        sim::InstallSimulatedPorts(world.line);
        std::string error;
        if (*c.fault) {
            ASSERT_TRUE(world.line->Faults().Add(c.fault, error)) << error;
        }
        WritingCommand command;
        ASSERT_TRUE(command.OpenLink());
        const size_t historyBefore = ChangeHistory().List().size();

        const WriteOutcome outcome = WriteOne(command, c.write);

        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.Addendum().empty(), *c.heldText == 0);
        if (*c.heldText) {
            EXPECT_EQ(HeldInsteadText(outcome.differences), c.heldText);
        }
        // What the controller held was kept before it was sent.
        EXPECT_EQ(ChangeHistory().List().size(), historyBefore + 1);
        const std::vector<std::string> lines = AuditLines();
        ASSERT_EQ(lines.size(), ++auditLines);
        EXPECT_NE(lines.back().find(std::string("\"result\":\"") + c.auditResult + "\""),
                  std::string::npos)
            << lines.back();
    }
    EXPECT_EQ(AuditLog().Verify().brokenLine, 0u);
}

TEST_F(VerifiedWriteTest, WithoutItsRecordsNothingIsSentUnlessTheUserSaysSo) {
    // A file where the history folder should be.
    std::filesystem::create_directories(world.stateHome.dir.Path() + "/veltrix");
    std::ofstream(world.stateHome.dir.Path() + "/veltrix/history") << "in the way";
    for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
        SCOPED_TRACE(answer == MsgResult::No ? "No" : "Yes");
        world.ui.AnswerMessage(answer);
        const int before = Requests("C");
        WritingCommand command;
        ASSERT_TRUE(command.OpenLink());
        const WriteOutcome outcome = WriteOne(command, Write::Psf);
        EXPECT_EQ(outcome.status, answer == MsgResult::No ? WriteOutcome::Status::Refused
                                                          : WriteOutcome::Status::Verified);
        EXPECT_EQ(Requests("C"), before + (answer == MsgResult::Yes ? 1 : 0));
        ASSERT_FALSE(world.ui.Messages().empty());
        EXPECT_NE(world.ui.Messages().back().find("Write to the controller all the same?"),
                  std::string::npos);
    }
}

TEST_F(VerifiedWriteTest, ARestoreThatDoesNotTakeIsAFailureThatNamesTheFields) {
    std::string error;
    ASSERT_TRUE(world.line->Faults().Add("bad-store:C", error)) << error;
    CPsfRecord original;
    original.SetScanCount(6);
    WritingCommand command;
    ASSERT_TRUE(command.OpenLink());
    world.ui.AnswerMessage(MsgResult::No);
    command.RestoreOriginalPsf(original);
    ASSERT_EQ(world.ui.Messages().size(), 1u);
    EXPECT_EQ(world.ui.Messages()[0],
              "Unable to restore original PSF.\nDo you want to save the original PSF to a file?"
              "\n\nThe controller acknowledged the write but holds different settings: Scan Count "
              "7 (sent 6)");
}
