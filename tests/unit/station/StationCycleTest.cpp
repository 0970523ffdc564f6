// The station's cycle over the simulated controller, in virtual time: what
// each unit is left holding, what its record says, and where a stop or a
// fault leaves it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Clock.h"
#include "sim/SimulatedPort.h"
#include "station/SqliteLog.h"
#include "station/StationCycle.h"
#include "history/ChangeHistory.h"
#include "model/Fingerprint.h"
#include "support/ScopedEnv.h"
#include "support/ScopedStateHome.h"
#include "support/ScopedTempDir.h"

namespace {

StationRecipe TestRecipe() {
    StationRecipe recipe;
    recipe.psf.SetControlMode('b');
    recipe.psf.SetScanningMethod('i');
    recipe.psf.SetScanCount(3);
    CBlankingMap blanking(800);
    for (int channel : {0, 9, 31}) blanking.Blank(channel);
    recipe.blanking = blanking;
    recipe.partNumber = "654321";
    recipe.partNumberValue = 654321;
    recipe.expectChannels = 32;
    recipe.expectFirmware = "2.3";
    return recipe;
}

class StationCycleTest : public ::testing::Test {
protected:
    StationCycleTest() {
        LogTarget target;
        target.location = target.shown = dir.File("production.sqlite");
        log = std::make_unique<StationLog>(target, std::make_unique<SqliteLog>(target), LogSpool(dir.File("spool")));
        context.station = "line1";
        context.device = "/dev/ttyUSB0";
        context.operatorName = "Ana";
        context.dateCode = 2611;
    }

    UnitOutcome Program(const StepGate& gate = {}) {
        EXPECT_TRUE(unit->Probe());
        return ProgramUnit(recipe, context, *unit, gate);
    }

    std::vector<UnitRecord> Rows() {
        std::vector<UnitRecord> rows;
        std::string error;
        EXPECT_TRUE(log->Log().Read({}, rows, error)) << error;
        return rows;
    }

    ScopedTempDir dir;
    ScopedStateHome stateHome;
    VirtualClock clock;
    ScopedClock scopedClock{clock};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    sim::ScopedSimulatedPorts ports{line};
    std::unique_ptr<UnitAccess> unit = OpenUnitAccess("/dev/ttyUSB0", 0);
    StationRecipe recipe = TestRecipe();
    UnitContext context;
    std::unique_ptr<StationLog> log;
};

TEST_F(StationCycleTest, AUnitThatPassesHoldsTheRecipeAndItsRecordSaysSo) {
    const UnitOutcome outcome = Program();
    const UnitRecord& r = outcome.record;
    EXPECT_EQ(r.result, UnitRecord::Result::Pass) << r.reason;
    EXPECT_EQ(outcome.reached, UnitStep::Done);
    EXPECT_FALSE(outcome.halfWritten);

    const sim::ControllerModel& model = line->Model();
    EXPECT_TRUE(std::equal(model.Psf().Data() + 2, model.Psf().Data() + kPsfRecordSize, recipe.psf.Data() + 2));
    EXPECT_EQ(model.partNumber, 654321u);
    EXPECT_EQ(model.dateCode, 2611);
    for (int channel = 0; channel < 40; ++channel)
        EXPECT_EQ(model.IsBlanked(channel), channel == 0 || channel == 9 || channel == 31) << channel;

    EXPECT_EQ(r.partNumber, "654321");
    EXPECT_EQ(r.dateCode, "2611");
    EXPECT_EQ(r.firmware, "2.3");
    EXPECT_EQ(r.layout, "16,16/16,16");
    EXPECT_EQ(r.controllerId, "A");
    EXPECT_EQ(r.psfFingerprint, PsfFingerprint(recipe.psf));
    EXPECT_EQ(r.blankingFingerprint, BlankingFingerprint(BlockBlanking(*recipe.blanking)));
    EXPECT_EQ(r.station, "line1");
    EXPECT_EQ(r.operatorName, "Ana");
    EXPECT_EQ(r.recordUid.size(), 32u);
    EXPECT_LE(r.startedAtMs, r.finishedAtMs);

    // What each write replaced is in the change history, the unit's own set first.
    const auto history = ChangeHistory().List();
    ASSERT_EQ(history.size(), 3u);
    ASSERT_TRUE(history.back().record);
    EXPECT_EQ(history.back().record->command, "Production Station");
    EXPECT_EQ(history.back().record->ReplacedPsf(), CPsfRecord());
}

// Units the recipe does not fit are refused before anything is written.
TEST_F(StationCycleTest, AUnitThatDoesNotFitIsRefusedUntouched) {
    struct Case {
        const char* name;
        std::function<void(sim::ControllerModel&)> change;
        const char* reason;
    };
    const Case cases[] = {
        {"receiver board in error", [](sim::ControllerModel& m) { m.receiver = {}; }, "diagnostics: Receiver Error"},
        {"other layout", [](sim::ControllerModel& m) { m.emitter = {{16, 0}, {8, 0}}; },
         "diagnostics: 24 emitter channels, expected 32"},
        {"other firmware", [](sim::ControllerModel& m) { m.firmware = 0x22; }, "diagnostics: firmware 2.2, expected 2.3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->Model() = sim::ControllerModel();
        c.change(line->Model());
        const CPsfRecord before = line->Model().Psf();
        line->ClearLogs();
        const UnitOutcome outcome = Program();
        EXPECT_EQ(outcome.record.result, UnitRecord::Result::Fail);
        EXPECT_EQ(outcome.record.reason, c.reason);
        EXPECT_EQ(outcome.reached, UnitStep::Diagnostics);
        EXPECT_EQ(line->Model().Psf(), before);
        EXPECT_EQ(line->Model().partNumber, 123456u);
        for (const auto& entry : line->RequestLog()) EXPECT_TRUE(entry.kind == "probe" || entry.kind == "H") << entry.kind;
    }
}

// Each write is read back; one the unit does not keep fails the unit there.
TEST_F(StationCycleTest, AWriteThatDoesNotTakeFailsTheUnitAtThatStep) {
    struct Case {
        const char* fault;
        UnitStep step;
        const char* holds;
    };
    const Case cases[] = {
        {"no-store:C", UnitStep::WritePsf, "Control Mode Selection Host (sent Gate)"},
        {"no-store:W", UnitStep::WriteBlanking, "Channel 10 clear (sent blanked)"},
        {"no-store:X", UnitStep::WritePartNumber, "Part Number 123456 (sent 654321)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        line->Model() = sim::ControllerModel();
        line->Faults() = {};
        std::string error;
        ASSERT_TRUE(line->Faults().Add(c.fault, error)) << error;
        const UnitOutcome outcome = Program();
        EXPECT_EQ(outcome.record.result, UnitRecord::Result::Fail);
        EXPECT_EQ(outcome.reached, c.step);
        EXPECT_TRUE(outcome.halfWritten);
        EXPECT_EQ(outcome.record.reason.rfind(std::string(UnitStepName(c.step)) + ": the unit holds ", 0), 0u)
            << outcome.record.reason;
        EXPECT_NE(outcome.record.reason.find(c.holds), std::string::npos) << outcome.record.reason;
        EXPECT_EQ(outcome.record.psfFingerprint, "");
    }
}

// Without its change history the station writes nothing.
TEST_F(StationCycleTest, AUnitIsNotWrittenWhenItsHistoryCannotBeKept) {
    std::ofstream(dir.File("not-a-folder")) << "x";
    ScopedEnv noState("XDG_STATE_HOME", dir.File("not-a-folder"));
    const UnitOutcome outcome = Program();
    EXPECT_EQ(outcome.record.result, UnitRecord::Result::Fail);
    EXPECT_EQ(outcome.reached, UnitStep::WritePsf);
    EXPECT_FALSE(outcome.halfWritten);
    EXPECT_EQ(outcome.record.reason.rfind("write parameter set: nothing written, the change history cannot be kept: ", 0),
              0u)
        << outcome.record.reason;
    EXPECT_EQ(line->Model().Psf(), CPsfRecord());
}

// A stop between two writes leaves the unit as far as it got, and says so.
TEST_F(StationCycleTest, AStopBetweenStepsIsRecordedWithTheStepReached) {
    struct Case {
        UnitStep stopAt;
        bool halfWritten;
        bool psfWritten;
    };
    const Case cases[] = {
        {UnitStep::KeepOriginal, false, false},
        {UnitStep::WriteBlanking, true, true},
        {UnitStep::WritePartNumber, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(UnitStepName(c.stopAt));
        line->Model() = sim::ControllerModel();
        const UnitOutcome outcome = Program([&](UnitStep next) { return next != c.stopAt; });
        EXPECT_TRUE(outcome.stopped);
        EXPECT_EQ(outcome.reached, c.stopAt);
        EXPECT_EQ(outcome.halfWritten, c.halfWritten);
        EXPECT_EQ(outcome.record.result, UnitRecord::Result::Fail);
        EXPECT_EQ(outcome.record.reason, std::string(UnitStepName(c.stopAt)) + ": stopped by the operator" +
                                             (c.halfWritten ? " (the unit is half-written)" : ""));
        EXPECT_EQ(line->Model().Psf() == CPsfRecord(), !c.psfWritten);
        EXPECT_EQ(line->Model().partNumber, 123456u);
    }
}

// The simulated line goes silent when a unit is taken away, and the next
// unit, with values of its own, answers once the station looks for it.
class Bench : public StationObserver {
public:
    explicit Bench(sim::SimulatedLine& line) : m_line(line) {}
    void WaitingForRemoval() override {
        m_line.Faults().silent = true;
        ++removals;
    }
    void WaitingForUnit() override {
        m_line.Model() = sim::ControllerModel();
        m_line.Model().partNumber = 111111 * (removals + 1);
        m_line.Model().dateCode = 999;
        m_line.Faults().silent = false;
    }
    void UnitDone(const UnitOutcome& outcome, const RecordOutcome& logged) override {
        results.push_back(outcome.record.result);
        kinds.push_back(logged.kind);
        partNumbers.push_back(m_line.Model().partNumber);
    }
    int removals = 0;
    std::vector<UnitRecord::Result> results;
    std::vector<RecordOutcome::Kind> kinds;
    std::vector<uint32_t> partNumbers;

private:
    sim::SimulatedLine& m_line;
};

TEST_F(StationCycleTest, UnitsFollowOneAnotherIntoTheLog) {
    Bench bench(*line);
    line->Faults().silent = true;  // no unit yet
    StationCycle cycle(recipe, context, *unit, *log, bench, [] { return false; });
    const StationSummary summary = cycle.Run(2);
    EXPECT_EQ(summary.passed, 2);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_FALSE(summary.stopped);
    EXPECT_EQ(bench.removals, 1);
    EXPECT_EQ(bench.partNumbers, (std::vector<uint32_t>{654321, 654321}));
    EXPECT_EQ(bench.kinds, (std::vector<RecordOutcome::Kind>{RecordOutcome::Kind::Stored, RecordOutcome::Kind::Stored}));
    const std::vector<UnitRecord> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].recordUid, rows[1].recordUid);
    for (const UnitRecord& row : rows) {
        EXPECT_EQ(row.result, UnitRecord::Result::Pass);
        EXPECT_EQ(row.dateCode, std::to_string(TodaysDateCode()));
    }
}

TEST_F(StationCycleTest, AStopWhileWaitingEndsWithoutARecord) {
    StationObserver nobody;
    line->Faults().silent = true;
    const uint32_t start = clock.TickMs();
    StationCycle cycle(recipe, context, *unit, *log, nobody, [&] { return clock.TickMs() - start > 5000; });
    const StationSummary summary = cycle.Run(-1);
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(summary.passed + summary.failed, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("production.sqlite")));
    // A probe about every second (each goes through the three rates, which
    // takes a silent line longer than that), the device opened afresh each time.
    EXPECT_GE(line->portsOpened, 3);
    EXPECT_LE(line->portsOpened, 6);
}

}  // namespace
