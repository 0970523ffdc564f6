#include <gtest/gtest.h>


#include <algorithm>
#include <fstream>

#include "support/SampleUnit.h"
#include "platform/Clock.h"
#include "station/SqliteLog.h"
#include "station/StationLog.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

// A log that can be taken down: it stores each uid once, as the real ones do.
class SwitchedLog : public ProductionLog {
public:
    bool Append(const UnitRecord& unit, std::string& error) override {
        ++attempts;
        if (down) {
            error = "connection refused";
            return false;
        }
        const bool known = std::any_of(units.begin(), units.end(),
                                       [&](const UnitRecord& u) { return u.recordUid == unit.recordUid; });
        if (!known) units.push_back(unit);
        return true;
    }
    bool Read(const LogQuery&, std::vector<UnitRecord>& out, std::string&) override {
        out = units;
        return true;
    }
    bool Count(const LogQuery&, LogCounts& counts, std::string&) override {
        counts = {static_cast<int64_t>(units.size()), 0};
        return true;
    }

    bool down = false;
    int attempts = 0;
    std::vector<UnitRecord> units;
};

class StationLogTest : public ::testing::Test {
protected:
    StationLogTest() {
        auto owned = std::make_unique<SwitchedLog>();
        db = owned.get();
        LogTarget target;
        target.location = target.shown = "test";
        log = std::make_unique<StationLog>(target, std::move(owned), LogSpool(dir.File("spool")), 30000);
    }

    std::vector<int64_t> StoredTimes() const {
        std::vector<int64_t> times;
        for (const auto& unit : db->units) times.push_back(unit.startedAtMs);
        return times;
    }

    ScopedTempDir dir;
    VirtualClock clock;
    ScopedClock clockScope{clock};
    SwitchedLog* db = nullptr;
    std::unique_ptr<StationLog> log;
};

TEST_F(StationLogTest, SpoolsWhileTheLogIsDownAndSendsInOrderOnceItIsBack) {
    EXPECT_EQ(log->Record(SampleUnit(0)).kind, RecordOutcome::Kind::Stored);

    db->down = true;
    RecordOutcome outcome = log->Record(SampleUnit(1));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Spooled);
    EXPECT_EQ(outcome.error, "connection refused");
    EXPECT_EQ(outcome.pending, 1u);
    // Within the pause the log is not asked again, and the reason stays known.
    const int attempts = db->attempts;
    outcome = log->Record(SampleUnit(2));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Spooled);
    EXPECT_EQ(outcome.error, "connection refused");
    EXPECT_EQ(outcome.pending, 2u);
    EXPECT_EQ(db->attempts, attempts);

    // Back, but the pause is not over: the new unit queues behind the others.
    db->down = false;
    clock.Advance(29000);
    EXPECT_EQ(log->Record(SampleUnit(3)).kind, RecordOutcome::Kind::Spooled);
    clock.Advance(1000);
    outcome = log->Record(SampleUnit(4));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Stored);
    EXPECT_EQ(outcome.pending, 0u);
    EXPECT_EQ(StoredTimes(), (std::vector<int64_t>{SampleUnit(0).startedAtMs, SampleUnit(1).startedAtMs,
                                                   SampleUnit(2).startedAtMs, SampleUnit(3).startedAtMs,
                                                   SampleUnit(4).startedAtMs}));
    EXPECT_TRUE(dir.List(dir.File("spool")).empty());
}

TEST_F(StationLogTest, SpooledRecordsKeepEveryField) {
    db->down = true;
    UnitRecord unit = SampleUnit(1, UnitRecord::Result::Fail);
    unit.firmware.clear();
    unit.reason = "write PSF: \"read back\"\ndiffers";
    ASSERT_EQ(log->Record(unit).kind, RecordOutcome::Kind::Spooled);
    db->down = false;
    const FlushOutcome flushed = log->Flush();  // now: no pause
    EXPECT_EQ(flushed.sent, 1u);
    EXPECT_EQ(flushed.pending, 0u);
    ASSERT_EQ(db->units.size(), 1u);
    EXPECT_EQ(db->units[0], unit);
}

TEST_F(StationLogTest, ADamagedSpoolFileIsSetAsideAndDoesNotBlockTheOthers) {
    db->down = true;
    log->Record(SampleUnit(1));
    log->Record(SampleUnit(2));
    std::ofstream(dir.File("spool/0000000000001-000000-bad.json")) << "{\"spooled_unit\": {\"started_at\": 5}}";
    db->down = false;
    const FlushOutcome flushed = log->Flush();
    EXPECT_EQ(flushed.sent, 2u);
    EXPECT_EQ(flushed.pending, 0u);
    ASSERT_EQ(flushed.damaged.size(), 1u);
    EXPECT_EQ(flushed.damaged[0],
              dir.File("spool/0000000000001-000000-bad.json") + ": its started_at is missing or does not read");
    EXPECT_EQ(dir.List(dir.File("spool")), std::vector<std::string>{"0000000000001-000000-bad.json.damaged"});
    EXPECT_EQ(db->units.size(), 2u);
}

TEST_F(StationLogTest, ARecordThatCanBeNeitherStoredNorSpooledIsReportedLost) {
    db->down = true;
    std::ofstream(dir.File("spool")) << "a file where the folder should be";
    const RecordOutcome outcome = log->Record(SampleUnit(1));
    EXPECT_EQ(outcome.kind, RecordOutcome::Kind::Lost);
    EXPECT_EQ(outcome.error, "connection refused; unable to create the spool folder '" + dir.File("spool") +
                                 "' - Not a directory");
}

// Two stations share a log and its spool, and both send what they found in
// it: each unit is in the log once.
TEST_F(StationLogTest, StationsSharingASpoolStoreEachUnitOnce) {
    LogTarget target;
    target.location = target.shown = dir.File("shared.sqlite");
    const auto open = [&] {
        return std::make_unique<StationLog>(target, std::make_unique<SqliteLog>(target), LogSpool(dir.File("spool")),
                                            0);
    };
    auto first = open();
    // The log is not writable for a while: its folder is missing.
    target.location = dir.File("later/shared.sqlite");
    auto away = std::make_unique<StationLog>(target, std::make_unique<SqliteLog>(target),
                                             LogSpool(dir.File("spool")), 0);
    for (int n = 0; n < 4; ++n) ASSERT_EQ(away->Record(SampleUnit(n)).kind, RecordOutcome::Kind::Spooled);
    // The second station read the folder before the first removed what it
    // sent: it holds a copy of every file.
    for (const std::string& name : dir.List(dir.File("spool")))
        WriteBytes(dir.File("spool/9" + name.substr(1)), ReadBytes(dir.File("spool/" + name)));
    const FlushOutcome a = first->Flush();
    EXPECT_EQ(a.sent, 8u);
    EXPECT_EQ(a.pending, 0u);
    std::vector<UnitRecord> units;
    std::string error;
    ASSERT_TRUE(first->Log().Read({}, units, error)) << error;
    ASSERT_EQ(units.size(), 4u);
    for (int n = 0; n < 4; ++n) EXPECT_EQ(units[n].startedAtMs, SampleUnit(n).startedAtMs);
}

TEST(LogSpoolFolder, OnePerLogWhateverItsPassword) {
    ScopedEnv data("XDG_DATA_HOME", "/data");
    std::string error;
    const auto a = ParseLogTarget("postgresql://st:one@db/p", error);
    const auto b = ParseLogTarget("postgresql://st:two@db/p", error);
    const auto c = ParseLogTarget("postgresql://st:one@db/q", error);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(LogSpool::FolderFor(*a).rfind("/data/veltrix/spool/", 0), 0u);
    EXPECT_EQ(LogSpool::FolderFor(*a), LogSpool::FolderFor(*b));
    EXPECT_NE(LogSpool::FolderFor(*a), LogSpool::FolderFor(*c));
}

}  // namespace
