#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace {

bool Parse(std::vector<std::string> args, sim::SimConfig& config, std::string& error) {
    return sim::ParseSimOptions(args, config, error);
}

TEST(SimOptions, ConfigureTheController) {
    sim::SimConfig config;
    std::string error;
    ASSERT_TRUE(Parse(
        {"--baud",   "38400",           "--id=C",      "--emitter",   "16,16,8:17", "--receiver",
         "",         "--part-number",   "4294967295",  "--date-code", "65535",      "--firmware",
         "15.0",     "--blanked",       "0,9,100-102", "--blocked",   "5",          "--scenario",
         "moving",   "--scan-channels", "384",         "--fault",     "delay:20",   "--fault",
         "wrong-id", "--pace",          "--link",      "/tmp/x",      "--meas-values", "0,5/9",
         "--meas-repeat"},
        config, error))
        << error;
    const sim::ControllerModel& m = config.model;
    EXPECT_EQ(m.Baud(), 38400);
    EXPECT_EQ(m.Psf().GetBaudCode(), 'C');
    EXPECT_EQ(m.Id(), 'C');
    EXPECT_EQ(m.Psf().GetControllerId(), 'C');
    EXPECT_EQ(m.emitter, (std::vector<sim::Board>{{16, 0}, {16, 0}, {8, 17}}));
    EXPECT_TRUE(m.receiver.empty());
    EXPECT_EQ(m.EmitterChannelTotal(), 40);
    EXPECT_EQ(m.ScanChannelCount(), 384);
    EXPECT_EQ(m.partNumber, 4294967295u);
    EXPECT_EQ(m.firmware, 0xF0);
    EXPECT_EQ(m.blanking[0], 0x80);
    EXPECT_EQ(m.blanking[1], 0x40);
    EXPECT_EQ(m.blanking[12], 0x0E);  // 100, 101, 102
    EXPECT_TRUE(m.beams.IsBlockedStatic(5));
    EXPECT_EQ(m.beams.scenario, sim::BeamSource::Scenario::Moving);
    EXPECT_EQ(config.faults.delayMs, 20u);
    EXPECT_TRUE(config.faults.wrongId);
    EXPECT_TRUE(config.pace);
    EXPECT_EQ(config.linkPath, "/tmp/x");
    EXPECT_EQ(m.measurementScript.values,
              (std::vector<sim::MeasurementScript::Pair>{{0, 0}, {5, 9}}));
    EXPECT_TRUE(m.measurementScript.repeat);
}

TEST(SimOptions, RefuseWhatAControllerCannotBe) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud", "57600"},
        {"--id", "P"},
        {"--id", "AB"},
        {"--emitter", "12"},
        {"--emitter", "16:32"},
        {"--part-number", "4294967296"},
        {"--date-code", "-1"},
        {"--firmware", "16.0"},
        {"--firmware", "2"},
        {"--blanked", "384"},
        {"--blanked", "9-3"},
        {"--blocked", "x"},
        {"--scenario", "fast"},
        {"--meas-values", "1,x"},
        {"--scan-channels", "0"},
        {"--fault", "every:0"},
        {"--fault", "noisy"},
        {"--fault", "silent:1"},
        {"--baud"},
        {"--pace=1"},
        {"--verbose"},
        {"--emitter", "16,16,16,16,16,16,16,16,16,16,16,16,16", "--receiver",
         "16,16,16,16,16,16,16,16,16,16,16,16"},
    };
    for (const auto& args : bad) {
        sim::SimConfig config;
        std::string error;
        EXPECT_FALSE(Parse(args, config, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimOptions, RepeatedOptionsLastOneCountsButEveryFaultAdds) {
    sim::SimConfig config;
    std::string error;
    ASSERT_TRUE(Parse({"--baud", "19200", "--fault", "truncate", "--baud=38400", "--fault=fail-first",
                       "--blanked", "1", "--blanked", "2"},
                      config, error))
        << error;
    EXPECT_EQ(config.model.Baud(), 38400);
    EXPECT_TRUE(config.faults.truncate);
    EXPECT_TRUE(config.faults.failFirst);
    EXPECT_EQ(config.model.blanking[0], 0x20);  // channel 2 only
}

TEST(SimOptions, CommandLineMistakesAreNamed) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--verbose"}, "unknown option '--verbose'"},
        {{"ready"}, "unknown option 'ready'"},
        {{"--fault", "silent", "wrong-id"}, "unknown option 'wrong-id'"},
        {{"--id"}, "--id needs a value"},
        {{"--pace=yes"}, "--pace takes no value"},
        {{"--log", ""}, "--log needs a path"},
    };
    for (const auto& [args, message] : cases) {
        sim::SimConfig config;
        std::string error;
        EXPECT_FALSE(Parse(args, config, error)) << args[0];
        EXPECT_EQ(error, message);
    }
}

TEST(SimOptions, HelpNamesEveryOption) {
    const std::string usage = sim::SimUsage();
    for (const char* option :
         {"--baud",          "--id",       "--emitter",    "--receiver", "--part-number",
          "--date-code",     "--firmware", "--blanked",    "--blocked",  "--scenario",
          "--scan-channels", "--link",     "--pace",       "--log",      "--state",
          "silent",          "every:N",    "bad-checksum", "wrong-id",   "wrong-letter",
          "truncate",        "overlong",   "delay:MS",     "hangup:N",   "fail-first",
          "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
