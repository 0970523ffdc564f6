#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <thread>

#include "history/AuditLog.h"
#include "support/ScopedTempDir.h"

namespace {

WriteRecord PsfWrite(int scans) {
    CPsfRecord before;
    CPsfRecord after;
    after.SetScanCount(static_cast<uint8_t>(scans));
    WriteRecord record;
    record.time = 1796638920;
    record.device = "/dev/ttyUSB0";
    record.command = "psf put";
    record.controller.id = 'A';
    record.SetPsf(before, after);
    return record;
}

std::vector<std::string> ReadAll(const AuditLog& log) {
    std::vector<std::string> lines;
    std::string error;
    EXPECT_TRUE(log.ReadLines(lines, error)) << error;
    return lines;
}

void Rewrite(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << "\n";
}

class AuditLogTest : public ::testing::Test {
protected:
    void AppendLines(int count) {
        for (int i = 1; i <= count; ++i) {
            std::string error;
            ASSERT_TRUE(log.Append(PsfWrite(i), AuditLog::kVerified, "", error)) << error;
        }
    }

    ScopedTempDir dir;
    AuditLog log{dir.Path() + "/state/audit.log"};
};

}  // namespace

TEST_F(AuditLogTest, VerifyNamesTheFirstLineAfterAChangeOrARemoval) {
    struct Case {
        const char* name;
        std::function<void(std::vector<std::string>&)> tamper;
        size_t brokenLine;
    };
    const Case cases[] = {
        {"untouched", [](std::vector<std::string>&) {}, 0},
        {"line 2 edited",
         [](std::vector<std::string>& l) { l[1].replace(l[1].find("psf put"), 7, "psf PUT"); }, 3},
        {"line 2 removed", [](std::vector<std::string>& l) { l.erase(l.begin() + 1); }, 2},
        {"line 1 removed", [](std::vector<std::string>& l) { l.erase(l.begin()); }, 1},
        {"lines swapped", [](std::vector<std::string>& l) { std::swap(l[2], l[3]); }, 3},
        {"garbage added", [](std::vector<std::string>& l) { l.push_back("not json"); }, 5},
    };
    AppendLines(4);
    const std::vector<std::string> original = ReadAll(log);
    ASSERT_EQ(original.size(), 4u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = original;
        c.tamper(lines);
        Rewrite(log.Path(), lines);
        const AuditLog::ChainCheck check = log.Verify();
        EXPECT_EQ(check.brokenLine, c.brokenLine) << check.why;
        EXPECT_EQ(check.why.empty(), c.brokenLine == 0);
    }
}

TEST_F(AuditLogTest, AChainedLineCarriesWhoWhereWhatAndTheResult) {
    std::string error;
    ASSERT_TRUE(log.Append(PsfWrite(3), AuditLog::kMismatch, "holds Scan Count 2 (sent 3)", error))
        << error;
    const std::vector<std::string> lines = ReadAll(log);
    ASSERT_EQ(lines.size(), 1u);
    const auto json = nlohmann::ordered_json::parse(lines[0]);
    EXPECT_EQ(json.at("prev"), std::string(64, '0'));
    EXPECT_EQ(json.at("result"), "mismatch");
    EXPECT_EQ(json.at("what"), "psf");
    EXPECT_EQ(json.at("device"), "/dev/ttyUSB0");
    EXPECT_EQ(json.at("controller_id"), "A");
    EXPECT_EQ(json.at("changes").at(0).at("field"), "Scan Count");
    EXPECT_EQ(json.at("changes").at(0).at("new"), "3");
    EXPECT_FALSE(json.at("user").get<std::string>().empty());
    // ISO 8601 with the offset, and the same instant back.
    EXPECT_EQ(AuditLineTime(lines[0]), std::optional<std::time_t>(1796638920));
}

TEST_F(AuditLogTest, WritersAppendingAtOnceKeepTheChain) {
    // Each writer opens the file itself, as separate programs do.
    constexpr int kWriters = 4;
    constexpr int kLinesEach = 20;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([this] {
            for (int i = 0; i < kLinesEach; ++i) {
                std::string error;
                EXPECT_TRUE(log.Append(PsfWrite(i), AuditLog::kVerified, "", error)) << error;
            }
        });
    for (std::thread& writer : writers) writer.join();
    const AuditLog::ChainCheck check = log.Verify();
    EXPECT_EQ(check.lines, static_cast<size_t>(kWriters * kLinesEach));
    EXPECT_EQ(check.brokenLine, 0u) << check.why;
}

TEST_F(AuditLogTest, ALastLineCutShortByACrashDoesNotSwallowTheNextOne) {
    AppendLines(2);
    std::vector<std::string> lines = ReadAll(log);
    {
        std::ofstream out(log.Path(), std::ios::binary | std::ios::trunc);
        out << lines[0] << "\n" << lines[1].substr(0, 20);  // no line end
    }
    std::string error;
    ASSERT_TRUE(log.Append(PsfWrite(9), AuditLog::kVerified, "", error)) << error;
    lines = ReadAll(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(log.Verify().brokenLine, 2u);
    EXPECT_NE(lines[2].find("\"prev\""), std::string::npos);
}

TEST_F(AuditLogTest, TheReportTakesTheLastLinesOfOneDevice) {
    std::string error;
    for (int i = 0; i < 6; ++i) {
        WriteRecord record = PsfWrite(i);
        record.device = i % 2 ? "/dev/ttyUSB1" : "/dev/ttyUSB0";
        ASSERT_TRUE(log.Append(record, AuditLog::kVerified, "", error)) << error;
    }
    const std::vector<std::string> found = AuditLinesOfDevice(ReadAll(log), "/dev/ttyUSB1", "", 2);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].find("\"new\":\"3\""), std::string::npos) << found[0];
    EXPECT_NE(found[1].find("\"new\":\"5\""), std::string::npos) << found[1];
}
