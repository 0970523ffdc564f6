#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/PsfCodes.h"

namespace {

std::vector<std::string> Described(const CPsfRecord& record) {
    std::vector<std::string> sentences;
    for (const UndefinedPsfField& field : UndefinedPsfFields(record))
        sentences.push_back(DescribeUndefinedField(field));
    return sentences;
}

void SetSource(CPsfRecord& record, int output, int32_t source) {
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    outputs[output].source = source;
    record.SetOutputs(outputs);
}

}  // namespace

// Every field a controller does not define is found, each byte on its own,
// and the edges of the scan count are where they belong.
TEST(PsfCodes, UndefinedFieldsAreFoundAndNamedOneByOne) {
    const struct {
        std::function<void(CPsfRecord&)> edit;
        std::vector<std::string> expected;
    } cases[] = {
        {[](CPsfRecord&) {}, {}},
        {[](CPsfRecord& r) { r.Data()[2] = '#'; },
         {"Controller ID holds code '#', which this program does not know."}},
        {[](CPsfRecord& r) { r.Data()[3] = 0x00; },
         {"Baud Rate holds code 0x00, which this program does not know."}},
        {[](CPsfRecord& r) { r.SetControlMode('o'); },
         {"Control Mode Selection holds code 'o', which this program does not know."}},
        {[](CPsfRecord& r) { r.SetScanningMethod(0xC8); },
         {"Scanning Method holds code 0xC8, which this program does not know."}},
        {[](CPsfRecord& r) { r.SetMeasMode(1, 'q'); },
         {"Meas 2 holds code 'q', which this program does not know."}},
        {[](CPsfRecord& r) { r.SetScanCount(0); }, {"Scan # holds 0, which is outside 1 to 9."}},
        {[](CPsfRecord& r) { r.SetScanCount(9); }, {}},
        {[](CPsfRecord& r) { r.SetScanCount(10); }, {"Scan # holds 10, which is outside 1 to 9."}},
        {[](CPsfRecord& r) { SetSource(r, 2, 0x01); },
         {"Output #3 source holds code 0x01, which this program does not know."}},
        {[](CPsfRecord& r) {
             r.SetMeasMode(0, '!');
             r.SetScanCount(200);
             SetSource(r, 15, 'a');
         },
         {"Meas 1 holds code '!', which this program does not know.",
          "Scan # holds 200, which is outside 1 to 9.",
          "Output #16 source holds code 'a', which this program does not know."}},
    };
    for (const auto& c : cases) {
        CPsfRecord record;
        c.edit(record);
        EXPECT_EQ(Described(record), c.expected);
        EXPECT_EQ(UndefinedSetQuestion(record).empty(), c.expected.empty());
        EXPECT_EQ(UndefinedSetLoadedNote(record).empty(), c.expected.empty());
    }
}

// The command line and the station name codes in no option table their own
// way and take no notice of the scan count.
TEST(PsfCodes, FieldsOutsideTablesKeepTheirShortNames) {
    CPsfRecord record;
    record.SetControlMode('Z');
    record.SetScanCount(0);
    SetSource(record, 2, 0x01);
    EXPECT_EQ(FieldsOutsideTables(record),
              (std::vector<std::string>{"Control Mode 'Z'", "Output #3 source 0x01"}));
}
