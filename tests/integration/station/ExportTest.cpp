// veltrixctl station export: the production log, SQLite or PostgreSQL, out
// as CSV.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliFixture.h"
#include "PgServer.h"
#include "station/PostgresLog.h"
#include "station/SqliteLog.h"
#include "station/LogSpool.h"
#include "support/SampleUnit.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, '\n');) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "a CSV line ends in CRLF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StationExportTest : public CliTest {
protected:
    // The same four units, in this order, in a log of each kind.
    void FillLogs() {
        for (int n = 0; n < 4; ++n) {
            units.push_back(SampleUnit(n, n == 2 ? UnitRecord::Result::Fail : UnitRecord::Result::Pass));
            units.back().reason = n == 2 ? "write blanking: read back \"00 01\", expected \"80 00\"" : "";
        }
        std::string error;
        SqliteLog sqlite(*ParseLogTarget(Path("line1.sqlite"), error));
        PostgresLog postgres(*ParseLogTarget(database.Uri(), error));
        for (const auto& unit : units) {
            ASSERT_TRUE(sqlite.Append(unit, error)) << error;
            ASSERT_TRUE(postgres.Append(unit, error)) << error;
        }
    }

    ScratchDatabase database{SharedPgFolder()};
    std::vector<UnitRecord> units;
};

TEST_F(StationExportTest, BothLogsExportTheSameCsv) {
    FillLogs();
    const ChildResult fromSqlite =
        CtlRaw({"station", "export", "--log", "sqlite://" + Path("line1.sqlite"), "--csv", Path("a.csv")});
    ASSERT_EQ(fromSqlite.exitCode, 0) << fromSqlite.err;
    EXPECT_EQ(fromSqlite.out, "4 units written to " + Path("a.csv") + ".\n");
    EXPECT_EQ(fromSqlite.err, "");
    const ChildResult fromPostgres =
        CtlRaw({"--json", "station", "export", "--log", database.Uri(), "--csv", Path("b.csv")});
    ASSERT_EQ(fromPostgres.exitCode, 0) << fromPostgres.err;
    EXPECT_EQ(ParseOutput(fromPostgres), (Json{{"file", Path("b.csv")}, {"units", 4}, {"spooled", 0}}));

    const std::string csv = ReadText(Path("a.csv"));
    EXPECT_EQ(ReadText(Path("b.csv")), csv);
    const std::vector<std::string> lines = Lines(csv);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind("id,started_at,finished_at,station,device,", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("1," + FormatUtc(units[0].startedAtMs) + "," + FormatUtc(units[0].finishedAtMs) +
                                 ",line1,/dev/ttyUSB0,A,123456,2611,2.3,",
                             0),
              0u)
        << lines[1];
    EXPECT_NE(lines[3].find(",fail,\"write blanking: read back \"\"00 01\"\", expected \"\"80 00\"\"\",Jörg,"),
              std::string::npos)
        << lines[3];
    EXPECT_EQ(lines[4].substr(lines[4].size() - 32), units[3].recordUid);
}

TEST_F(StationExportTest, SinceTakesADayOrAUtcTime) {
    FillLogs();
    const std::string log = Path("line1.sqlite");
    const auto rows = [&](const std::string& since) {
        const ChildResult result =
            CtlRaw({"station", "export", "--log", log, "--csv", "-", "--since", since}, 30000, {"TZ=UTC"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return Lines(result.out).size() - 1;
    };
    EXPECT_EQ(rows("2026-03-15"), 4u);
    EXPECT_EQ(rows("2026-03-16"), 0u);
    EXPECT_EQ(rows(FormatUtc(units[2].startedAtMs)), 2u);
    EXPECT_EQ(rows("2026-03-15T10:02:05"), 2u);  // local time, here UTC

    const ChildResult bad = CtlRaw({"station", "export", "--log", log, "--csv", "-", "--since", "15.03.2026"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_NE(bad.err.find("--since needs a date (2026-03-15) or a local time (2026-03-15T06:00), not '15.03.2026'"),
              std::string::npos)
        << bad.err;
}

// A failed export says why and leaves an earlier CSV as it was.
TEST_F(StationExportTest, ALogThatCannotBeReadLeavesTheFileAlone) {
    std::ofstream(Path("units.csv")) << "kept\n";
    const std::string away = "postgresql://veltrix:s3cret@/production?host=" + Path("none");
    const ChildResult result = CtlRaw({"station", "export", "--log", away, "--csv", Path("units.csv")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("Unable to read the production log 'postgresql://veltrix:***@/production?host=" +
                                   Path("none") + "' - connection to server",
                               0),
              0u)
        << result.err;
    EXPECT_EQ(result.err.find("s3cret"), std::string::npos);
    EXPECT_EQ(ReadText(Path("units.csv")), "kept\n");

    const ChildResult missing = CtlRaw({"station", "export", "--log", Path("none.sqlite"), "--csv", Path("units.csv")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.err, "Unable to read the production log '" + Path("none.sqlite") + "' - there is no such file\n");
    EXPECT_EQ(ReadText(Path("units.csv")), "kept\n");

    const ChildResult unwritable = CtlRaw({"station", "export", "--log", Path("none.sqlite"), "--csv",
                                           Path("no/such/folder.csv")});
    EXPECT_EQ(unwritable.exitCode, 3);
    EXPECT_EQ(unwritable.err,
              "Unable to create file '" + Path("no/such/folder.csv") + "' - No such file or directory\n");
}

// Units still in the spool are not in the log yet: the export says so.
TEST_F(StationExportTest, UnitsWaitingInTheSpoolAreCounted) {
    FillLogs();
    const ScopedEnv data("XDG_DATA_HOME", Path("data"));
    std::string error;
    const LogTarget target = *ParseLogTarget(database.Uri(), error);
    LogSpool spool(LogSpool::FolderFor(target));
    ASSERT_TRUE(spool.Add(SampleUnit(9), error)) << error;
    const ChildResult result =
        CtlRaw({"--json", "station", "export", "--log", database.Uri(), "--csv", Path("units.csv")}, 30000,
               {"XDG_DATA_HOME=" + Path("data")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ParseOutput(result), (Json{{"file", Path("units.csv")}, {"units", 4}, {"spooled", 1}}));
    EXPECT_EQ(result.err, "1 unit waits in the spool (" + spool.Folder() + ") and is not in the export.\n");
}

}  // namespace
