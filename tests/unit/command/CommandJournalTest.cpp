#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "command/AlignmentPsf.h"
#include "command/CControllerCommand.h"
#include "gui/SimulatedCommandWorld.h"
#include "model/ScanReply.h"
#include "serial/PortDevicePath.h"
#include "support/GoneRunEntry.h"

namespace {

class BodyCommand : public CControllerCommand {
  public:
    explicit BodyCommand(std::function<int(BodyCommand&)> body)
        : CControllerCommand(nullptr, 1, 9600), m_body(std::move(body)) {}
    int Execute() override { return m_body(*this); }
    using CControllerCommand::SendBackPending;

  private:
    std::function<int(BodyCommand&)> m_body;
};

// A parameter set that differs from the simulator's, so that every send shows.
CPsfRecord ControllersOwnPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('i');
    psf.SetMeasMode(0, 'A');
    return psf;
}

bool SameParameters(const CPsfRecord& a, const CPsfRecord& b) {
    return std::equal(a.Data() + 2, a.Data() + kPsfRecordSize, b.Data() + 2);
}

class CommandJournalTest : public ::testing::Test {
  protected:
    void SetUp() override { line->Model().StorePsf(ControllersOwnPsf()); }

    // What the alignment command does up to its dialog, journal included.
    int PrepareAlignment(BodyCommand& self) {
        if (!self.Link()->ReadPsf(self.OriginalPsf())) return 0;
        if (!self.JournalOriginalPsf("Alignment")) return 0;
        CPsfRecord working = MakeAlignmentPsf(self.OriginalPsf());
        if (!self.Link()->SendPsf(working)) return 0;
        self.SetRestoreFlag(1);
        return 1;
    }

    RecoveryJournal Journal() const { return RecoveryJournal(stateHome.RecoveryFolder()); }
    std::optional<RecoveryJournal::Item> EntryOfThePort() const {
        return Journal().Find(ComPortDevicePath(1));
    }
    int RequestsOf(const std::string& kind) const {
        int count = 0;
        for (const auto& entry : line->RequestLog()) count += entry.kind == kind;
        return count;
    }

    // An entry left by a run that is no longer there.
    void LeaveEntryOfADeadRun(const CPsfRecord& original) {
        RecoveryEntry entry = GoneRunEntry(ComPortDevicePath(1), 2, "beams");
        entry.psf = original;
        std::string error;
        ASSERT_TRUE(Journal().Write(entry, error)) << error;
    }

    SimulatedCommandWorld world;
    const ScopedStateHome& stateHome = world.stateHome;
    ScriptedUi& ui = world.ui;
    std::shared_ptr<sim::SimulatedLine>& line = world.line;
};

TEST_F(CommandJournalTest, TheOriginalIsOnDiskBeforeTheTemporarySetAndGoneOnceItIsBack) {
    bool journaledBeforeSend = false;
    BodyCommand command([&](BodyCommand& self) {
        const int result = PrepareAlignment(self);
        // The journal is written before the working set went out.
        const auto& log = line->RequestLog();
        const auto item = EntryOfThePort();
        journaledBeforeSend = item && item->entry && item->entry->psf &&
                              SameParameters(*item->entry->psf, ControllersOwnPsf()) &&
                              item->entry->command == "Alignment" && item->entry->comNumber == 2 &&
                              !log.empty() && log.back().kind == "C";
        return result;
    });

    EXPECT_EQ(command.Run(), 1);

    EXPECT_TRUE(journaledBeforeSend);
    EXPECT_TRUE(SameParameters(line->Model().Psf(), ControllersOwnPsf()));
    EXPECT_FALSE(EntryOfThePort());
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(CommandJournalTest, AFailedRestoreKeepsTheEntryUntilTheUserSavedTheOriginal) {
    struct Case {
        const char* name;
        MsgResult answer;
        bool giveFile;
        bool entryStays;
    };
    const Case cases[] = {
        {"No: the controller may still hold the temporary set", MsgResult::No, false, true},
        {"Yes, then a file: it is saved", MsgResult::Yes, true, false},
        {"Yes, then Cancel: nothing decided", MsgResult::Yes, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir files;
        line->Faults().silent = false;
        ui.AnswerMessage(c.answer);
        if (c.answer == MsgResult::Yes)
            ui.AnswerFile(c.giveFile ? std::optional<std::string>(files.File("original.PSF"))
                                     : std::nullopt);
        BodyCommand command([&](BodyCommand& self) {
            const int result = PrepareAlignment(self);
            line->Faults().silent = true;
            return result;
        });
        command.Run();
        EXPECT_EQ(ui.Messages().size(), 1u);
        EXPECT_EQ(EntryOfThePort().has_value(), c.entryStays);
        ui.Clear();
        std::string error;
        if (auto item = EntryOfThePort()) Journal().Remove(*item, error);
        line->Model().StorePsf(ControllersOwnPsf());
    }
}

TEST_F(CommandJournalTest, TheRestoreTriesAgainAfterAGarbledAcknowledgement) {
    BodyCommand command([&](BodyCommand& self) {
        const int result = PrepareAlignment(self);
        // The acknowledgement of the first restore attempt arrives damaged.
        line->Controller().ScriptReply("C", {0x1C, 'A', 'X', 0x0A});
        return result;
    });

    command.Run();

    EXPECT_EQ(RequestsOf("C"), 3);  // working set, garbled restore, restore
    EXPECT_TRUE(SameParameters(line->Model().Psf(), ControllersOwnPsf()));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_FALSE(EntryOfThePort());
}

TEST_F(CommandJournalTest, LateScanRepliesDoNotCostTheRestore) {
    line->Faults().lateScanMs = 3500;
    BodyCommand command([&](BodyCommand& self) {
        const int result = PrepareAlignment(self);
        CBeamBitScan scan(32);
        // Every attempt times out; the replies come in after the host gave up.
        EXPECT_EQ(self.Link()->RequestScan(scan), 0);
        return result;
    });

    command.Run();

    EXPECT_TRUE(SameParameters(line->Model().Psf(), ControllersOwnPsf()));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_FALSE(EntryOfThePort());
}

TEST_F(CommandJournalTest, AnEntryOfAnEarlierRunIsOfferedBeforeItCouldBeOverwritten) {
    // An earlier run died after sending its working set: the controller holds
    // the alignment set, the journal the true original.
    const CPsfRecord trueOriginal = ControllersOwnPsf();
    LeaveEntryOfADeadRun(trueOriginal);
    line->Model().StorePsf(MakeAlignmentPsf(trueOriginal));

    // No: nothing is sent, the command does not go on, the entry stays.
    ui.AnswerMessage(MsgResult::No);
    BodyCommand refused([&](BodyCommand& self) { return PrepareAlignment(self); });
    EXPECT_EQ(refused.Run(), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0],
              "The controller on COM2 may still hold temporary settings from beams started " +
                  FormatStartTime(1796638920) + ". Send its original parameter set back now?");
    EXPECT_EQ(ui.Calls()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(RequestsOf("C"), 0);
    ASSERT_TRUE(EntryOfThePort());
    EXPECT_EQ(EntryOfThePort()->entry->command, "beams");

    // Yes: the true original goes back first, then the command journals the
    // controller's own set again (not the alignment set it found).
    ui.Clear();
    ui.AnswerMessage(MsgResult::Yes);
    std::optional<RecoveryEntry> journaled;
    BodyCommand accepted([&](BodyCommand& self) {
        const int result = PrepareAlignment(self);
        if (auto item = EntryOfThePort()) journaled = item->entry;
        return result;
    });
    EXPECT_EQ(accepted.Run(), 1);
    ASSERT_TRUE(journaled && journaled->psf);
    EXPECT_EQ(journaled->command, "Alignment");
    EXPECT_TRUE(SameParameters(*journaled->psf, trueOriginal));
    EXPECT_TRUE(SameParameters(line->Model().Psf(), trueOriginal));
    EXPECT_FALSE(EntryOfThePort());
}

TEST_F(CommandJournalTest, AnUnusableEntryIsSetAsideAndReportedNeverSent) {
    std::string error;
    const std::string path = stateHome.RecoveryFolder() + "/" + RecoveryJournal::FileNameFor(ComPortDevicePath(1));
    LeaveEntryOfADeadRun(ControllersOwnPsf());
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes[bytes.size() / 2] ^= 0x04;
    WriteBytes(path, bytes);

    BodyCommand command([&](BodyCommand& self) { return PrepareAlignment(self); });
    EXPECT_EQ(command.Run(), 1);

    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_NE(ui.Messages()[0].find("cannot be used"), std::string::npos) << ui.Messages()[0];
    EXPECT_EQ(RequestsOf("C"), 2);  // the working set and the command's own restore
    const auto items = Journal().List();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_NE(items[0].problem, EntryProblem::None);
    EXPECT_EQ(ReadBytes(items[0].path), bytes);
}

TEST_F(CommandJournalTest, TheEntryRecordsWhichControllerItWasMadeFor) {
    line->Model().partNumber = 70000;
    line->Model().receiver = {sim::Board{8, 0}, sim::Board{16, 3}};
    const ControllerHardware hardware{"70000", "1102", "2.3", "16,16/8,16"};
    struct Case {
        const char* name;
        bool identify;
        std::optional<ControllerHardware> recorded;
        int diagnosticsReads;
    };
    const Case cases[] = {
        // Read once, before the temporary set went out.
        {"identified first", true, hardware, 1},
        // A command that adds no exchange of its own keeps the id alone.
        {"not identified", false, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->ClearLogs();
        std::optional<RecoveryEntry> journaled;
        BodyCommand command([&](BodyCommand& self) {
            if (c.identify) self.IdentifyController();
            const int result = PrepareAlignment(self);
            if (auto item = EntryOfThePort()) journaled = item->entry;
            return result;
        });
        EXPECT_EQ(command.Run(), 1);
        ASSERT_TRUE(journaled);
        EXPECT_EQ(journaled->Identity(), (ControllerIdentity{'A', c.recorded}));
        EXPECT_EQ(RequestsOf("H"), c.diagnosticsReads);
    }
}

// What an earlier run left is only sent to the controller it was taken from.
TEST_F(CommandJournalTest, AnotherControllerOnTheDeviceGetsNothingUnlessTheUserSaysSo) {
    const CPsfRecord theirs = ControllersOwnPsf();
    RecoveryEntry entry = GoneRunEntry(ComPortDevicePath(1), 2, "Alignment");
    entry.hardware = ControllerHardware{"123456", "1102", "2.3", "16,16/16,16"};
    entry.psf = theirs;
    // Controller B, part number 999, 24 channels, with its own set.
    line->Model().SetId('B');
    line->Model().partNumber = 999;
    line->Model().emitter = {sim::Board{16, 0}, sim::Board{8, 0}};
    CPsfRecord own;
    own.SetControllerId('B');
    own.SetScanCount(9);
    line->Model().StorePsf(own);
    std::string error;
    ASSERT_TRUE(Journal().Write(entry, error));
    const std::string question =
        "The controller on COM2 is not the one this entry was made for (part number 999, not 123456).\n"
        "Send its original parameter set back all the same?";

    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "Enter (No)");
        ui.Clear();
        if (yes) ui.AnswerMessage(MsgResult::Yes);
        BodyCommand command([&](BodyCommand& self) { return self.SendBackPending(entry) ? 1 : 0; });
        EXPECT_EQ(command.Run(), yes ? 1 : 0);
        ASSERT_EQ(ui.Messages().size(), 1u);
        EXPECT_EQ(ui.Messages()[0], question);
        EXPECT_EQ(ui.Calls()[0].defaultButton, MsgResult::No);
        EXPECT_EQ(RequestsOf("C"), yes ? 1 : 0);
        EXPECT_EQ(SameParameters(line->Model().Psf(), theirs), yes);
        EXPECT_EQ(EntryOfThePort().has_value(), !yes);
    }
}

TEST_F(CommandJournalTest, AControllerThatCannotBeIdentifiedGetsNothing) {
    RecoveryEntry entry = GoneRunEntry(ComPortDevicePath(1), 2, "beams");
    entry.psf = ControllersOwnPsf();
    std::string error;
    ASSERT_TRUE(Journal().Write(entry, error));
    line->Faults().silent = true;
    ui.AnswerMessage(MsgResult::No);

    BodyCommand command([&](BodyCommand& self) { return self.SendBackPending(entry) ? 1 : 0; });
    EXPECT_EQ(command.Run(), 0);

    // Reported as the restore that failed, with the offer to keep the set.
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{
                                 "Unable to restore original PSF.\nDo you want to save the original PSF to a file?"}));
    EXPECT_EQ(RequestsOf("C"), 0);
    ASSERT_TRUE(EntryOfThePort());
    EXPECT_EQ(*EntryOfThePort()->entry, entry);
}

TEST_F(CommandJournalTest, AJournalThatCannotBeWrittenIsAskedAbout) {
    ScopedEnv noState("XDG_STATE_HOME", stateHome.dir.File("not-a-folder"));
    WriteBytes(stateHome.dir.File("not-a-folder"), {'x'});

    // Enter: No, the default, keeps the controller as it is.
    BodyCommand stopped([&](BodyCommand& self) { return PrepareAlignment(self); });
    EXPECT_EQ(stopped.Run(), 0);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_NE(ui.Messages()[0].find("not-a-folder"), std::string::npos);
    EXPECT_NE(ui.Messages()[0].find("\nGo on all the same?"), std::string::npos);
    EXPECT_EQ(ui.Calls()[0].defaultButton, MsgResult::No);
    EXPECT_EQ(RequestsOf("C"), 0);

    ui.Clear();
    ui.AnswerMessage(MsgResult::Yes);
    BodyCommand goesOn([&](BodyCommand& self) { return PrepareAlignment(self); });
    EXPECT_EQ(goesOn.Run(), 1);
    EXPECT_EQ(RequestsOf("C"), 2);
}

TEST_F(CommandJournalTest, BlankingAndParameterSetShareOneEntryAndLeaveItOneByOne) {
    CBlankingMap original(32);
    original.Blank(4);
    BodyCommand command([&](BodyCommand& self) {
        PrepareAlignment(self);
        EXPECT_TRUE(self.JournalOriginalBlanking(original, "Alignment"));
        EXPECT_TRUE(self.Link()->WriteBlanking(CBlankingMap(32)));  // auto blanking clears
        auto item = EntryOfThePort();
        EXPECT_TRUE(item && item->entry && item->entry->psf && item->entry->blanking);

        EXPECT_TRUE(self.RestoreOriginalBlanking(original));
        item = EntryOfThePort();
        EXPECT_TRUE(item && item->entry && item->entry->psf && !item->entry->blanking);
        return 1;
    });

    command.Run();

    EXPECT_FALSE(EntryOfThePort());
    EXPECT_TRUE(line->Model().IsBlanked(4));
}

TEST_F(CommandJournalTest, RecoveryOfAnEntryTakesItApartAsTheOriginalsGoBack) {
    CBlankingMap blanking(32);
    blanking.Blank(9);
    RecoveryEntry entry;
    entry.device = ComPortDevicePath(1);
    entry.resolved = entry.device;
    entry.comNumber = 2;
    entry.controllerId = 'A';
    entry.command = "Alignment";
    entry.writer = CurrentProcessIdentity();
    entry.psf = ControllersOwnPsf();
    entry.blanking = OriginalBlanking::From(blanking);
    std::string error;
    ASSERT_TRUE(Journal().Write(entry, error));
    line->Model().StorePsf(MakeAlignmentPsf(ControllersOwnPsf()));

    // The parameter set does not go back: the blanking leaves the entry, the
    // set stays even after the user declined to save it.
    line->Controller().ScriptReply("C", {0, 0, 0, 0});
    line->Controller().ScriptReply("C", {0, 0, 0, 0});
    line->Controller().ScriptReply("C", {0, 0, 0, 0});
    ui.AnswerMessage(MsgResult::No);
    BodyCommand first([&](BodyCommand& self) { return self.SendBackPending(entry) ? 1 : 0; });
    EXPECT_EQ(first.Run(), 0);
    EXPECT_TRUE(line->Model().IsBlanked(9));
    auto left = EntryOfThePort();
    ASSERT_TRUE(left && left->entry);
    EXPECT_TRUE(left->entry->psf && !left->entry->blanking);

    BodyCommand second([&](BodyCommand& self) { return self.SendBackPending(*left->entry) ? 1 : 0; });
    EXPECT_EQ(second.Run(), 1);
    EXPECT_TRUE(SameParameters(line->Model().Psf(), ControllersOwnPsf()));
    EXPECT_FALSE(EntryOfThePort());
}

}  // namespace
