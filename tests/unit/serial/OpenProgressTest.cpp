// What a slow open shows: the wait cursor and the pump from the start, the
// progress text only once the wait has lasted, everything taken down at its
// end, and each wait of the same device on its own.
#include <gtest/gtest.h>

#include "platform/EventPump.h"
#include "serial/OpenProgress.h"
#include "support/ScriptedUi.h"

namespace {

using Kind = ScriptedUi::Kind;

std::vector<Kind> KindsOf(const ScriptedUi& ui) {
    std::vector<Kind> kinds;
    for (const ScriptedUi::Call& call : ui.Calls()) kinds.push_back(call.kind);
    return kinds;
}

}  // namespace

TEST(OpenProgressTest, ALongWaitIsShownAndTakenDownAndTheNextStartsAfresh) {
    ScriptedUi ui;
    ScopedUi scoped(ui);
    int pumped = 0;
    SetEventPumpHook([&] { ++pumped; });
    const DeviceWaitHook hook = OpenProgress("rfc2217://plc:2217");

    for (int wait = 0; wait < 2; ++wait) {
        SCOPED_TRACE(wait);
        ui.Clear();
        pumped = 0;
        hook(50);
        hook(kOpenNoticeMs - 1);
        EXPECT_EQ(KindsOf(ui), std::vector<Kind>{Kind::CursorOn});
        hook(kOpenNoticeMs);
        hook(kOpenNoticeMs + 50);
        EXPECT_EQ(pumped, 4);
        hook(-1);
        EXPECT_EQ(KindsOf(ui), (std::vector<Kind>{Kind::CursorOn, Kind::Progress, Kind::Progress, Kind::CursorOff}));
        EXPECT_EQ(ui.CallsOf(Kind::Progress)[0].text, "Connecting to rfc2217://plc:2217...");
        EXPECT_EQ(ui.CallsOf(Kind::Progress)[1].text, "");
        EXPECT_EQ(ui.WaitCursorCount(), 0);
    }

    // A short wait leaves no text behind.
    ui.Clear();
    hook(50);
    hook(-1);
    EXPECT_EQ(KindsOf(ui), (std::vector<Kind>{Kind::CursorOn, Kind::CursorOff}));
    SetEventPumpHook(nullptr);
}
