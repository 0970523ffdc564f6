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

TEST(Clock, VirtualClockMovesOnlyWhenSleptOn) {
    VirtualClock clock(100);
    ScopedClock scope(clock);
    EXPECT_EQ(GetClock().TickMs(), 100u);
    GetClock().SleepMs(95);
    EXPECT_EQ(GetClock().TickMs(), 195u);
}
