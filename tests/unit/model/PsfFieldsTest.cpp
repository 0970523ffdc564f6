#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/PsfFields.h"

namespace {

// Applies the settings to a default record; the error text, empty on success.
std::string Apply(CPsfRecord& record, const std::vector<std::string>& settings) {
    std::string error;
    const bool ok = ApplyPsfSettings(record, settings, error);
    EXPECT_EQ(ok, error.empty()) << error;
    return error;
}

std::string FieldText(const CPsfRecord& record, const std::string& name) {
    for (const PsfField& field : PsfFieldsOf(record))
        if (field.name == name) return field.text;
    return "(no field " + name + ")";
}

}  // namespace

TEST(PsfFields, SettingsReachTheirBytesCaseInsensitively) {
    CPsfRecord record;
    EXPECT_EQ(Apply(record, {"id=c", "BAUD=19200", "control=gate", "scanning=Skip3",
                             "meas1=fbm", "meas2=TRN", "transmission=ALL", "type=binary",
                             "compress=On", "suppress-header=on", "scans=9",
                             "output.16=Trigger,200,0,0,0", "output.2=meas2-inv,10,20,5,25"}),
              "");
    const uint8_t* image = record.Data();
    EXPECT_EQ(std::string(image + 2, image + 8), "CBbdBI");
    EXPECT_EQ(image[8], 0x2E);
    EXPECT_EQ(image[9], 9);
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    EXPECT_EQ(outputs[15].source, 'v');
    EXPECT_EQ(outputs[15].setPointLow, 200);
    EXPECT_EQ(outputs[1].source, 'Z');
    EXPECT_EQ(outputs[1].hysteresisHigh, 25);
    // The texts read back as they can be set again.
    EXPECT_EQ(FieldText(record, "output.2"), "meas2-inv,10,20,5,25");
    EXPECT_EQ(FieldText(record, "scanning"), "Skip3");
    EXPECT_EQ(FieldText(record, "transmission"), "all");
}

TEST(PsfFields, DialogRulesApplyToTheResult) {
    struct Case {
        std::vector<std::string> settings;
        uint8_t byte8Before;
        std::string meas1, meas2;
        uint8_t byte8;
    } cases[] = {
        // Edge forces LBB and None, whatever else was asked.
        {{"meas1=TBB", "meas2=FBB", "scanning=edge"}, 0x00, "LBB", "None", 0x00},
        {{"scanning=EDGE", "meas1=TBB"}, 0x00, "LBB", "None", 0x00},
        // None clears the options that were there.
        {{"transmission=none"}, 0x2F, "None", "None", 0x00},
        {{"transmission=meas"}, 0x00, "None", "None", 0x40},
        {{"compress=on"}, 0x44, "None", "None", 0x4C},
        {{"transmission=meas", "type=ascii"}, 0x2F, "None", "None", 0x4B},
    };
    for (const Case& c : cases) {
        CPsfRecord record;
        record.Data()[8] = c.byte8Before;
        EXPECT_EQ(Apply(record, c.settings), "") << c.settings.front();
        EXPECT_EQ(FieldText(record, "meas1"), c.meas1) << c.settings.front();
        EXPECT_EQ(FieldText(record, "meas2"), c.meas2) << c.settings.front();
        EXPECT_EQ(record.Data()[8], c.byte8) << c.settings.front();
    }
}

TEST(PsfFields, RefusedSettingsNameTheProblemAndChangeNothing) {
    struct Case {
        std::vector<std::string> settings;
        std::string mentions;
    } cases[] = {
        {{"baud=1234"}, "baud: '1234'"},
        {{"colour=red"}, "unknown key 'colour'"},
        {{"meas1"}, "'meas1' is not KEY=VALUE"},
        {{"scans=0"}, "scans"},
        {{"scans=10"}, "scans"},
        {{"transmission=none", "compress=on"}, "compress needs transmission"},
        {{"type=binary"}, "type needs transmission"},  // the default set sends nothing
        {{"output.3=alarm"}, "output.3: alarm"},
        {{"output.15=trigger,5,0,0,0"}, "output.15"},
        {{"output.17=off"}, "output.17"},
        {{"output.3=meas1,10,20"}, "output.3"},
        {{"output.3=meas1,10,20,5,x"}, "output.3: 'x'"},
        {{"output.4=meas1,10,20,10,25"}, "output.4: meas1,10,20,10,25 refused"},
        {{"output.4=meas1,0,20,0,25"}, "output.4"},
        {{"output.4=meas1,10,385,5,386"}, "output.4"},
        {{"output.16=trigger,0,1,1,1"}, "output.16"},
        {{"id=C", "output.5=meas2,30,20,5,25"}, "output.5"},
    };
    for (const Case& c : cases) {
        CPsfRecord record;
        const CPsfRecord before = record;
        const std::string error = Apply(record, c.settings);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_EQ(record, before) << c.mentions;
    }
}

TEST(PsfFields, OutputsSetWithoutValuesKeepThemAndOnlyOutputsSetAreChecked) {
    CPsfRecord record;
    DiscreteOutput outputs[kDiscreteOutputCount];
    outputs[0] = {'y', 0, 0, 0, 0};  // broken, but not touched below
    outputs[6] = {'x', 10, 20, 5, 25};
    record.SetOutputs(outputs);
    EXPECT_EQ(Apply(record, {"output.7=meas1"}), "");
    EXPECT_EQ(FieldText(record, "output.7"), "meas1,10,20,5,25");
    EXPECT_EQ(FieldText(record, "output.1"), "meas1,0,0,0,0");
    EXPECT_NE(Apply(record, {"output.1=meas2"}), "");
}

TEST(PsfFields, DiffListsDifferingFieldsOnlyAndIgnoresTheAddress) {
    CPsfRecord a;
    CPsfRecord b;
    b.Data()[0] = 'G';
    EXPECT_TRUE(DiffPsf(a, b).empty());

    ASSERT_EQ(Apply(b, {"baud=38400", "output.12=meas1,10,20,5,25", "transmission=meas"}), "");
    b.SetControlMode('q');
    const std::vector<PsfDifference> differences = DiffPsf(a, b);
    std::vector<std::string> lines;
    for (const PsfDifference& d : differences) lines.push_back(d.field + ": " + d.a + " -> " + d.b);
    EXPECT_EQ(lines, (std::vector<std::string>{"baud: 9600 -> 38400",
                                               "control: Host -> unknown 0x71",
                                               "transmission: none -> meas",
                                               "output.12: off,1,1,0,2 -> meas1,10,20,5,25"}));
}
