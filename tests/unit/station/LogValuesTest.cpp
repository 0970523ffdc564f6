#include <gtest/gtest.h>

#include "station/LogTarget.h"
#include "station/UnitColumns.h"
#include "station/UnitsCsv.h"
#include "station/Utf8.h"
#include "support/ScopedEnv.h"

namespace {

TEST(LogTarget, SqliteFilesAndPostgresUris) {
    const struct {
        std::string text;
        LogTarget::Kind kind;
        std::string location;
        std::string shown;
    } cases[] = {
        {"sqlite:///srv/line1/production.sqlite", LogTarget::Kind::Sqlite, "/srv/line1/production.sqlite",
         "/srv/line1/production.sqlite"},
        {"/srv/line1/p.sqlite", LogTarget::Kind::Sqlite, "/srv/line1/p.sqlite", "/srv/line1/p.sqlite"},
        {"logs/p.sqlite", LogTarget::Kind::Sqlite, "/recipes/logs/p.sqlite", "/recipes/logs/p.sqlite"},
        {"postgresql://station@plant-db/production", LogTarget::Kind::Postgres,
         "postgresql://station@plant-db/production", "postgresql://station@plant-db/production"},
        {"postgres:///production?host=/run/postgresql", LogTarget::Kind::Postgres,
         "postgres:///production?host=/run/postgresql", "postgres:///production?host=/run/postgresql"},
        {"POSTGRESQL://st:s3cret@db:5433/p?sslmode=require&password=other", LogTarget::Kind::Postgres,
         "POSTGRESQL://st:s3cret@db:5433/p?sslmode=require&password=other",
         "POSTGRESQL://st:***@db:5433/p?sslmode=require&password=***"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto target = ParseLogTarget(c.text, error, "/recipes");
        ASSERT_TRUE(target) << c.text << ": " << error;
        EXPECT_EQ(target->kind, c.kind) << c.text;
        EXPECT_EQ(target->location, c.location) << c.text;
        EXPECT_EQ(target->shown, c.shown) << c.text;
        EXPECT_FALSE(target->isDefault);
    }
}

TEST(LogTarget, RefusalsNeverShowThePassword) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"", "the log target is empty"},
        {"sqlite://relative.sqlite",
         "'sqlite://relative.sqlite' needs an absolute path after sqlite:// (sqlite:///srv/line1/production.sqlite)"},
        {"mysql://u:pw@db/x",
         "'mysql://u:***@db/x' is neither sqlite:// with a path, a file path, nor postgresql:// with a database"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseLogTarget(c.text, error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
    // No user, or a '@' only after the host: nothing to hide.
    EXPECT_EQ(HidePassword("postgresql://db:5432/p?user=a@b"), "postgresql://db:5432/p?user=a@b");
    EXPECT_EQ(HidePassword("postgresql://u@db/p?password="), "postgresql://u@db/p?password=***");
}

TEST(LogTarget, DefaultIsInTheDataFolder) {
    std::string error;
    {
        ScopedEnv data("XDG_DATA_HOME", "/data");
        const auto target = DefaultLogTarget(error);
        ASSERT_TRUE(target) << error;
        EXPECT_EQ(target->location, "/data/veltrix/production.sqlite");
        EXPECT_TRUE(target->isDefault);
    }
    ScopedEnv data("XDG_DATA_HOME");
    unsetenv("XDG_DATA_HOME");
    ScopedEnv home("HOME");
    unsetenv("HOME");
    EXPECT_FALSE(DefaultLogTarget(error));
    EXPECT_NE(error.find("no data folder"), std::string::npos) << error;
}

TEST(UnitTimes, UtcTextSortsAsTheTimesDoAndReadsBack) {
    EXPECT_EQ(FormatUtc(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(FormatUtc(951782400123), "2000-02-29T00:00:00.123Z");
    EXPECT_EQ(FormatUtc(1773568923004), "2026-03-15T10:02:03.004Z");
    for (const int64_t ms : {int64_t{0}, int64_t{951782400123}, int64_t{1773568923004}, int64_t{4102444799999}})
        EXPECT_EQ(ParseUtc(FormatUtc(ms)), ms);
    EXPECT_LT(FormatUtc(1773568923004), FormatUtc(1773568923005));
    EXPECT_EQ(ParseUtc("2026-03-15T10:02:03Z"), 1773568923000);
    for (const char* bad : {"", "2026-03-15", "2026-03-15T10:02:03", "2026-02-30T10:02:03Z", "2026-03-15T24:00:00Z",
                            "2026-03-15 10:02:03Z", "2026-03-15T10:02:03.12Z", "+026-03-15T10:02:03Z",
                            "2026-03-15T10:02:03.1234Z"})
        EXPECT_FALSE(ParseUtc(bad)) << bad;
}

TEST(UnitColumns, TextIsCleanUtf8) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"Müller 東京 🙂", "Müller 東京 🙂"},
        {"a\xff" "b", "a\xEF\xBF\xBD" "b"},
        {std::string("a\0b", 3), "a\xEF\xBF\xBD" "b"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},          // overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // beyond U+10FFFF
        {"ab\xE2\x82", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},      // cut short
    };
    for (const auto& c : cases) EXPECT_EQ(CleanUtf8(c.in), c.out) << c.in;
    UnitRecord unit;
    unit.operatorName = "J\xf6rg";
    EXPECT_EQ(ColumnText(unit, 13), "J\xEF\xBF\xBDrg");
}

TEST(UnitsCsv, HeaderOfTheColumnsAndQuotedFields) {
    UnitRecord unit;
    unit.id = 7;
    unit.startedAtMs = 1773568923004;
    unit.finishedAtMs = 1773568925010;
    unit.station = "line1";
    unit.device = "/dev/ttyUSB0";
    unit.result = UnitRecord::Result::Fail;
    unit.reason = "write blanking: read back \"00 01\", expected \"80 00\"";
    unit.operatorName = "Smith, J.\nnight shift";
    unit.recordUid = "00ff";
    EXPECT_EQ(UnitsCsv({unit}),
              "id,started_at,finished_at,station,device,controller_id,part_number,date_code,firmware,layout,"
              "psf_fingerprint,blanking_fingerprint,result,reason,operator,record_uid\r\n"
              "7,2026-03-15T10:02:03.004Z,2026-03-15T10:02:05.010Z,line1,/dev/ttyUSB0,,,,,,,,fail,"
              "\"write blanking: read back \"\"00 01\"\", expected \"\"80 00\"\"\",\"Smith, J.\nnight shift\",00ff\r\n");
}

}  // namespace
