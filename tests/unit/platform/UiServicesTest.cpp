#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "support/ScriptedUi.h"

TEST(UiServices, WaitCursorCountNeverGoesBelowZero) {
    ScriptedUi ui;
    ui.EndWaitCursor();
    EXPECT_EQ(ui.WaitCursorCount(), 0);
    ui.BeginWaitCursor();
    ui.BeginWaitCursor();
    ui.EndWaitCursor();
    EXPECT_EQ(ui.WaitCursorCount(), 1);
    ui.EndWaitCursor();
    ui.EndWaitCursor();
    EXPECT_EQ(ui.WaitCursorCount(), 0);
    // Restoring with a count of zero must not put the cursor back up.
    ui.Clear();
    ui.RestoreWaitCursor();
    EXPECT_TRUE(ui.CallsOf(ScriptedUi::Kind::CursorOn).empty());
}

TEST(UiServices, ScopedUiRoutesMessagesAndAnswersFromTheQueue) {
    ScriptedUi ui;
    ScopedUi scope(ui);
    ui.AnswerMessage(MsgResult::No);
    EXPECT_EQ(Ui().MessageBox("Save?", MsgButtons::YesNo, MsgIcon::Stop), MsgResult::No);
    EXPECT_EQ(Ui().MessageBox("Again?", MsgButtons::YesNo, MsgIcon::Stop), MsgResult::Yes);
    ASSERT_EQ(ui.Messages().size(), 2u);
    EXPECT_EQ(ui.Messages()[0], "Save?");
    EXPECT_EQ(ui.Calls()[0].icon, MsgIcon::Stop);
}

TEST(UiServices, TheDefaultButtonIsTheFirstUnlessAnotherOneShownIsNamed) {
    struct Case {
        MsgButtons buttons;
        std::optional<MsgResult> wanted;
        MsgResult expected;
    };
    const Case cases[] = {
        {MsgButtons::YesNo, std::nullopt, MsgResult::Yes},
        {MsgButtons::YesNo, MsgResult::No, MsgResult::No},
        {MsgButtons::YesNoCancel, MsgResult::Cancel, MsgResult::Cancel},
        {MsgButtons::OkCancel, MsgResult::Cancel, MsgResult::Cancel},
        {MsgButtons::OkCancel, std::nullopt, MsgResult::Ok},
        // A button the box does not show cannot be its default.
        {MsgButtons::Ok, MsgResult::No, MsgResult::Ok},
        {MsgButtons::YesNo, MsgResult::Ok, MsgResult::Yes},
    };
    ScriptedUi ui;
    for (const Case& c : cases) {
        ui.Clear();
        // Unanswered, the box takes its default: what Enter would press.
        EXPECT_EQ(ui.MessageBox("?", c.buttons, MsgIcon::Question, c.wanted), c.expected);
        EXPECT_EQ(ui.Calls().at(0).defaultButton, c.expected);
    }
}

TEST(UiServices, AnInstalledAddendumEndsEveryMessageUntilRemoved) {
    ScriptedUi ui;
    std::string addendum = "\n\nGone.";
    const MessageAddendum before = SetMessageAddendum([&] { return addendum; });
    ui.MessageBox("Failed.", MsgButtons::Ok, MsgIcon::Exclamation);
    addendum.clear();
    ui.MessageBox("Failed again.", MsgButtons::Ok, MsgIcon::Exclamation);
    SetMessageAddendum(before);
    addendum = "never";
    ui.MessageBox("Done.", MsgButtons::Ok, MsgIcon::Exclamation);
    EXPECT_EQ(ui.Messages(), (std::vector<std::string>{"Failed.\n\nGone.", "Failed again.", "Done."}));
}

TEST(Clock, VirtualClockMovesOnlyWhenSleptOn) {
    VirtualClock clock(100);
    ScopedClock scope(clock);
    EXPECT_EQ(GetClock().TickMs(), 100u);
    GetClock().SleepMs(95);
    EXPECT_EQ(GetClock().TickMs(), 195u);
}
