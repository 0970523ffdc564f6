// veltrixctl station against veltrix-sim: what each unit is left holding,
// checked in the simulator's state, and what the production log keeps of
// it, in a SQLite file and in PostgreSQL alike.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "CliFixture.h"
#include "PgServer.h"
#include "model/BfsFile.h"
#include "model/PsfFile.h"
#include "station/ProductionLog.h"
#include "station/StationCycle.h"
#include "model/Fingerprint.h"
#include "support/ScopedEnv.h"

namespace {

// The recipe's set differs from the simulator's default in three fields.
CPsfRecord GoldenPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('i');
    psf.SetScanCount(3);
    return psf;
}

std::string Hex(const uint8_t* bytes, size_t count) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (size_t k = 0; k < count; ++k) {
        hex += digits[bytes[k] >> 4];
        hex += digits[bytes[k] & 15];
    }
    return hex;
}

class StationRunTest : public CliTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        CliTest::SetUp();
        dataHome = std::make_unique<ScopedEnv>("XDG_DATA_HOME", Path("data"));
        ASSERT_EQ(WritePsfFile(GoldenPsf(), Path("golden.PSF")), 0);
        CBlankingMap blanking(800);
        for (int channel : {3, 4, 30}) blanking.Blank(channel);
        WriteBytes(Path("golden.BFS"), BuildBfsImage(blanking));
        std::ofstream(Path("line1.toml")) << "[station]\n"
                                             "psf = \"golden.PSF\"\n"
                                             "bfs = \"golden.BFS\"\n"
                                             "part_number = \"654321\"\n"
                                             "expect_channels = 32\n"
                                             "expect_firmware = \"2.3\"\n";
        if (Postgres()) {
            database = std::make_unique<ScratchDatabase>(SharedPgFolder());
            log = database->Uri();
        } else {
            log = "sqlite://" + Path("line1.sqlite");
        }
    }

    bool Postgres() const { return std::string(GetParam()) == "postgresql"; }

    std::vector<std::string> StationArgs(int count) const {
        return {"--json", "station", "--recipe", Path("line1.toml"), "--count", std::to_string(count),
                "--log", log, "--operator", "Ana"};
    }

    std::vector<UnitRecord> Rows() const {
        std::string error;
        const auto target = ParseLogTarget(log, error);
        EXPECT_TRUE(target) << error;
        std::vector<UnitRecord> rows;
        const auto opened = OpenProductionLog(*target, error);
        EXPECT_TRUE(opened && opened->Read({}, rows, error)) << error;
        return rows;
    }

    // The simulator holds the recipe, today's date code and the recipe's part number.
    void ExpectProgrammed() {
        const Json state = State();
        const CPsfRecord golden = GoldenPsf();
        EXPECT_EQ(state["psf"].get<std::string>().substr(4), Hex(golden.Data() + 2, kPsfRecordSize - 2));
        EXPECT_EQ(state["part_number"], 654321);
        EXPECT_EQ(state["date_code"], TodaysDateCode());
        EXPECT_EQ(state["blanking"].get<std::string>().substr(0, 8), "18000002");
    }

    std::unique_ptr<ScopedEnv> dataHome;
    std::unique_ptr<ScratchDatabase> database;
    std::string log;
};

TEST_P(StationRunTest, TwoUnitsInARowBothPass) {
    StartSim({"--part-number", "111111", "--date-code", "999"});
    const auto station = StartCtl(StationArgs(2));
    const auto first = ParseJson(station->ReadLine(30000));
    ASSERT_TRUE(first) << "no first unit";
    EXPECT_EQ((*first)["result"], "pass") << first->dump();
    ExpectProgrammed();

    // The first unit is taken away; the next one holds other values.
    StopSim();
    StartSim({"--part-number", "222222", "--date-code", "1501"});
    const auto second = ParseJson(station->ReadLine(30000));
    ASSERT_TRUE(second) << "no second unit";
    EXPECT_EQ((*second)["result"], "pass") << second->dump();
    EXPECT_EQ(station->Wait(10000), 0);
    ExpectProgrammed();

    const std::vector<UnitRecord> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    for (size_t k = 0; k < rows.size(); ++k) {
        const UnitRecord& row = rows[k];
        const Json& printed = k == 0 ? *first : *second;
        EXPECT_EQ(row.result, UnitRecord::Result::Pass);
        EXPECT_EQ(row.partNumber, "654321");
        EXPECT_EQ(row.dateCode, std::to_string(TodaysDateCode()));
        EXPECT_EQ(row.firmware, "2.3");
        EXPECT_EQ(row.layout, "16,16/16,16");
        EXPECT_EQ(row.controllerId, "A");
        EXPECT_EQ(row.psfFingerprint, PsfFingerprint(GoldenPsf()));
        EXPECT_EQ(row.blankingFingerprint.size(), 8u);
        EXPECT_EQ(row.operatorName, "Ana");
        EXPECT_EQ(row.device, Link());
        EXPECT_EQ(row.recordUid, printed["record_uid"]);
        EXPECT_EQ(printed["logged"], "stored");
    }
}

TEST_P(StationRunTest, AUnitThatIsNotOperationalIsLeftAlone) {
    StartSim({"--receiver", "16,0"});
    const ChildResult result = Ctl(StationArgs(1));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto unit = ParseJson(result.out);
    ASSERT_TRUE(unit) << result.out;
    EXPECT_EQ((*unit)["result"], "fail");
    EXPECT_EQ((*unit)["reason"], "diagnostics: Receiver Error");
    EXPECT_EQ((*unit)["step"], "diagnostics");
    // Nothing but the probe and the diagnostics reached it.
    for (const Json& entry : Log()) EXPECT_TRUE(entry["kind"] == "probe" || entry["kind"] == "H") << entry.dump();
    EXPECT_EQ(State()["part_number"], 123456);

    const std::vector<UnitRecord> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].result, UnitRecord::Result::Fail);
    EXPECT_EQ(rows[0].reason, "diagnostics: Receiver Error");
    EXPECT_EQ(rows[0].layout, "16,16/16,0");
    EXPECT_EQ(rows[0].psfFingerprint, "");
}

// A unit that acknowledges a write but keeps something else fails there,
// and its record says what it holds.
TEST_P(StationRunTest, AWriteThatDoesNotTakeFailsTheUnit) {
    StartSim({"--fault", "bad-store:C"});
    const ChildResult result = Ctl(StationArgs(1));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto unit = ParseJson(result.out);
    ASSERT_TRUE(unit) << result.out;
    EXPECT_EQ((*unit)["result"], "fail");
    EXPECT_EQ((*unit)["step"], "write parameter set");
    EXPECT_EQ((*unit)["reason"].get<std::string>().rfind("write parameter set: the unit holds ", 0), 0u)
        << unit->dump();
    EXPECT_NE(result.err.find("is half-written: it holds part of the recipe."), std::string::npos) << result.err;
    // The writes after it were not made.
    EXPECT_TRUE(LogOf("X").empty());
    EXPECT_EQ(State()["part_number"], 123456);

    const std::vector<UnitRecord> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].result, UnitRecord::Result::Fail);
    EXPECT_EQ(rows[0].reason, (*unit)["reason"]);
}

// Ctrl-C between two writes: the unit is recorded as stopped where it was,
// and the operator is told that it is half-written.
TEST_P(StationRunTest, CtrlCInTheMiddleSaysWhereTheUnitWasLeft) {
    StartSim();
    const auto station = StartCtl(StationArgs(1), true);
    bool written = false;
    for (int wait = 0; wait < 6000 && !written; ++wait) {
        written = !LogOf("C").empty();
        if (!written) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(written) << "the parameter set was never sent";
    ::kill(station->Pid(), SIGINT);
    std::string err;
    for (std::string line; !(line = station->ReadLine(20000)).empty();) err += line + "\n";
    EXPECT_EQ(station->Wait(10000), 130);
    EXPECT_NE(err.find("is half-written: it holds part of the recipe."), std::string::npos) << err;
    EXPECT_NE(err.find("Program it again before it leaves the station."), std::string::npos) << err;

    const std::vector<UnitRecord> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].result, UnitRecord::Result::Fail);
    EXPECT_EQ(rows[0].reason.rfind("write ", 0), 0u) << rows[0].reason;
    EXPECT_NE(rows[0].reason.find(": stopped by the operator (the unit is half-written)"), std::string::npos)
        << rows[0].reason;
    // The part number is the last write; it never went.
    EXPECT_EQ(State()["part_number"], 123456);
    EXPECT_TRUE(LogOf("X").empty());
}

INSTANTIATE_TEST_SUITE_P(Logs, StationRunTest, ::testing::Values("sqlite", "postgresql"));

class StationCommandTest : public StationRunTest {};

// A recipe that cannot be used is refused before the controller is touched.
TEST_P(StationCommandTest, ARecipeErrorTouchesNoController) {
    StartSim();
    std::ofstream(Path("line1.toml"), std::ios::app) << "colour = \"red\"\n";
    const ChildResult result = Ctl(StationArgs(1));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("line1.toml:7: colour"), std::string::npos) << result.err;
    EXPECT_TRUE(Log().empty());
}

INSTANTIATE_TEST_SUITE_P(Sqlite, StationCommandTest, ::testing::Values("sqlite"));

class StationSpoolTest : public CliTest {};

// The plant's database goes down in the middle of a run: the unit waits in
// the spool, the run says so (exit 3), and --count 0 sends it later.
TEST_F(StationSpoolTest, ADatabaseThatGoesDownSpoolsUntilItIsBack) {
    ScopedEnv dataHome("XDG_DATA_HOME", Path("data"));
    OwnPgServer server;
    const std::string uri = PgUri(server.Folder(), "postgres");
    ASSERT_EQ(WritePsfFile(GoldenPsf(), Path("golden.PSF")), 0);
    std::ofstream(Path("line1.toml")) << "[station]\npsf = \"golden.PSF\"\npart_number = \"654321\"\n";
    const std::vector<std::string> args = {"--json", "station", "--recipe", Path("line1.toml"), "--count", "2",
                                           "--log", uri};
    StartSim();
    const auto station = StartCtl(args);
    const auto first = ParseJson(station->ReadLine(30000));
    ASSERT_TRUE(first);
    EXPECT_EQ((*first)["logged"], "stored");
    ASSERT_TRUE(server.Stop());
    StopSim();
    StartSim({"--part-number", "222222"});
    const auto second = ParseJson(station->ReadLine(40000));
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)["result"], "pass");
    EXPECT_EQ((*second)["logged"], "spooled");
    EXPECT_EQ(station->Wait(10000), 3);

    ASSERT_TRUE(server.Start());
    const ChildResult flushed = CtlRaw({"station", "--count", "0", "--log", uri});
    EXPECT_EQ(flushed.exitCode, 0) << flushed.err;
    EXPECT_NE(flushed.err.find("1 spooled record sent to the production log"), std::string::npos) << flushed.err;
    const auto rows = PgQuery(uri, "SELECT record_uid, result FROM units ORDER BY id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], (*first)["record_uid"]);
    EXPECT_EQ(rows[1][0], (*second)["record_uid"]);
    EXPECT_EQ(rows[1][1], "pass");
}

}  // namespace
