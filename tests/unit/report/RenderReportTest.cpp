// The report's HTML and JSON forms, and what it finds out about the port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "report/ReportEnvironment.h"
#include "report/ReportFile.h"
#include "report/ReportRender.h"
#include "support/ScopedTempDir.h"

namespace {

const SectionStatus kOk{SectionState::Ok, "", ""};

// A report of a healthy controller with a few things worth seeing.
ServiceReport HealthyReport() {
    ServiceReport report;
    report.host = {"2026-11-01 10:32:05 +0100", "veltrixctl 2.0", "Linux 6.1.0 x86_64", "Debian GNU/Linux 12",
                   "bench", "tech"};
    report.port.status = kOk;
    report.port.comNumber = 2;
    report.port.devicePath = "/dev/ttyUSB0";
    report.port.openResult = "Success";
    report.probe = {kOk, 38400, 'C'};
    report.diagnostics.status = kOk;
    const uint8_t block[] = {0x1C, 0x41, 0x49, 0x00, 0x01, 0xE2, 0x40, 0x04, 0x4E, 0x23, 0x40, 0x51, 0xC0, 0xC0, 0x0A};
    report.diagnostics.record.Decode(block, sizeof block);
    report.psf.status = kOk;
    report.psf.record.SetControlMode('b');
    report.psf.record.Data()[5] = 'z';  // a scanning method in no table
    report.blanking.status = kOk;
    report.blanking.channelCount = report.diagnostics.record.emitterChannelTotal;
    for (int channel : {0, 1, 2, 3, 8, 100}) report.blanking.block.Blank(channel);
    report.scan.status = {SectionState::Skipped, "", "Not taken."};
    report.trace.lines = {"0.000 START 2026-11-01", "0.100 TX F8  |.|  probe"};
    return report;
}

TEST(RenderReportTest, HtmlLeadsWithTheSummaryAndHoldsEveryDecodedField) {
    const std::string html = RenderReportHtml(HealthyReport());
    const std::vector<std::string> inOrder = {
        "<!DOCTYPE html>", "Summary", "Every step succeeded.", "controller C at 38400 baud",
        "Operational; part number 123456, date code 1102, firmware 2.3", "<h2 id=\"diagnostics\">",
        "End of Board", "<h2 id=\"psf\">", "Gate", "unknown code", "Output #16",
        "000  41 43 41 41 62 7A 4B 4B 00 01 78 00 01 00 01 00", "<h2 id=\"blanking\">", "1-4, 9",
        "Set beyond the channels", "101", "<h2 id=\"scan\">", "Not taken.", "<h2 id=\"port\">",
        "/dev/ttyUSB0", "<h2 id=\"trace\">", "TX F8  |.|  probe", "</html>"};
    std::size_t at = 0;
    for (const std::string& text : inOrder) {
        const std::size_t found = html.find(text, at);
        ASSERT_NE(found, std::string::npos) << "'" << text << "' missing or out of order";
        at = found;
    }
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos) << "nothing is loaded from elsewhere";
}

TEST(RenderReportTest, EveryTextFromOutsideIsEscaped) {
    ServiceReport report = HealthyReport();
    const std::string hostile = "<script>alert('x')</script>&\"";
    report.host.hostName = hostile;
    report.port.devicePath = hostile;
    report.port.holders = {"12 " + hostile};
    report.trace.lines.push_back(hostile);
    report.psf.status = {SectionState::Failed, hostile, hostile};
    const std::string html = RenderReportHtml(report);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("alert('x')"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;"), std::string::npos);
    EXPECT_EQ(EscapeHtml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
}

TEST(RenderReportTest, FailedAndSkippedSectionsShowWhyInBothForms) {
    ServiceReport report = HealthyReport();
    report.port.status = {SectionState::Failed, "Unable to open 2\nPort not found\n", ""};
    for (SectionStatus* s : {&report.probe.status, &report.diagnostics.status, &report.psf.status,
                             &report.blanking.status}) {
        *s = {SectionState::Skipped, "", "The port could not be opened."};
    }
    const std::string html = RenderReportHtml(report);
    EXPECT_NE(html.find("1 step failed"), std::string::npos);
    EXPECT_NE(html.find("Unable to open 2<br>Port not found</p>"), std::string::npos);
    EXPECT_EQ(html.find("Output #1"), std::string::npos) << "no data shown for a section not read";

    const nlohmann::json json = nlohmann::json::parse(RenderReportJson(report));
    EXPECT_FALSE(json["ok"].get<bool>());
    EXPECT_EQ(json["port"]["state"], "failed");
    EXPECT_EQ(json["port"]["message"], "Unable to open 2\nPort not found\n");
    for (const char* key : {"probe", "diagnostics", "psf", "blanking"}) {
        EXPECT_EQ(json[key]["state"], "skipped") << key;
        EXPECT_EQ(json[key]["detail"], "The port could not be opened.") << key;
        EXPECT_FALSE(json[key].contains("hex")) << key;
    }
    EXPECT_EQ(json["summary"][0]["section"], "Port");
    EXPECT_EQ(json["summary"][0]["state"], "failed");
}

TEST(RenderReportTest, JsonCarriesTheSameDecodedContent) {
    ServiceReport report = HealthyReport();
    report.host.userName = "bad\xff\xfe";  // not UTF-8: must not break the JSON
    const nlohmann::json json = nlohmann::json::parse(RenderReportJson(report));
    EXPECT_TRUE(json["ok"].get<bool>());
    EXPECT_EQ(json["probe"]["baud"], 38400);
    EXPECT_EQ(json["probe"]["id"], "C");
    EXPECT_EQ(json["diagnostics"]["part_number"], "123456");
    EXPECT_EQ(json["diagnostics"]["emitter"]["boards"][1]["error_text"], "End of Board");
    EXPECT_EQ(json["psf"]["control_mode"]["text"], "Gate");
    EXPECT_TRUE(json["psf"]["scanning_method"]["text"].is_null());
    EXPECT_EQ(json["psf"]["scanning_method"]["code"], "z");
    EXPECT_EQ(json["psf"]["outputs"].size(), 16u);
    EXPECT_EQ(json["psf"]["hex"].get<std::string>().size(), 2u * 154);
    EXPECT_EQ(json["blanking"]["channels"], 32);
    EXPECT_EQ(json["blanking"]["blanked"], "1-4, 9");
    EXPECT_EQ(json["blanking"]["blanked_beyond_channels"], 1);
    EXPECT_EQ(json["blanking"]["hex"].get<std::string>().substr(0, 6), "F08000");
    EXPECT_EQ(json["trace"]["lines"].size(), 2u);
}

TEST(RenderReportTest, HexRowsStartEachSixteenBytesWithTheirOffset) {
    uint8_t bytes[18];
    for (int i = 0; i < 18; ++i) bytes[i] = static_cast<uint8_t>(i * 17);
    EXPECT_EQ(HexRows(bytes, 18),
              "000  00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\n"
              "016  10 21");
    EXPECT_EQ(HexRows(bytes, 0), "");
}

TEST(ReportEnvironmentTest, PortDescriptionAndModes) {
    SKIP_WITHOUT_POSIX("device files with modes");
    ScopedTempDir dir;
    const std::string file = dir.File("device");
    std::ofstream(file).put('x');
    SetMode(file, 0640);
    const PortSection port = DescribePort(3, file, "test");
    EXPECT_TRUE(port.exists);
    EXPECT_EQ(port.type, "regular file");
    EXPECT_EQ(port.mode, "-rw-r-----");
    EXPECT_EQ(port.comNumber, 3);
    EXPECT_FALSE(DescribePort(3, dir.File("gone"), "test").exists);
    EXPECT_EQ(ModeString(0020000 | 0660), "crw-rw----");  // S_IFCHR
}

// A device server has no file to describe: the report names the server and
// how the line goes through it, and over tcp:// no rate it cannot know.
TEST(RenderReportTest, DeviceServerIsNamedAndARawOneHasNoRate) {
    ServiceReport report = HealthyReport();
    report.port = DescribePort(0, "tcp://plant-gw.local:4001", "--device");
    report.port.status = kOk;
    report.probe.serversRate = true;
    EXPECT_FALSE(report.port.exists);
    EXPECT_EQ(report.port.server, "plant-gw.local:4001");

    const std::string html = RenderReportHtml(report);
    for (const char* text : {"controller C at the server&#39;s rate", "Device server",
                                    "plant-gw.local:4001", "raw TCP: the line is set at the server"})
        EXPECT_NE(html.find(text), std::string::npos) << text;
    EXPECT_EQ(html.find("does not exist"), std::string::npos);
    EXPECT_EQ(html.find("38400"), std::string::npos);

    const nlohmann::json json = nlohmann::json::parse(RenderReportJson(report));
    EXPECT_EQ(json["probe"]["baud"], "the server's rate");
    EXPECT_EQ(json["port"]["server"]["address"], "plant-gw.local:4001");

    const PortSection rfc2217 = DescribePort(0, "rfc2217://[::1]:2217", "--device");
    EXPECT_EQ(rfc2217.server, "[::1]:2217");
    EXPECT_EQ(rfc2217.protocol, "RFC 2217: this tool sets the line at the server");
}

TEST(ReportFileTest, DefaultNameNeverReplacesAnEarlierReport) {
    ScopedTempDir dir;
    const std::string first = DefaultReportName(dir.Path(), false);
    EXPECT_EQ(first.rfind(dir.Path() + "/veltrix-report-", 0), 0u);
    EXPECT_EQ(first.substr(first.size() - 5), ".html");
    std::string error;
    ASSERT_TRUE(WriteReportFile(first, "one", error)) << error;
    const std::string second = DefaultReportName(dir.Path(), false);
    EXPECT_NE(second, first);
    EXPECT_EQ(DefaultReportName(dir.Path(), true).substr(first.size() - 5), ".json");
    EXPECT_FALSE(WriteReportFile(dir.File("no/such/folder/r.html"), "x", error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
