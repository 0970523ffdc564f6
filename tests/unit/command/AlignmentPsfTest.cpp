#include <gtest/gtest.h>

#include "command/AlignmentPsf.h"

namespace {

struct FlagCase {
    uint8_t before;
    uint8_t after;
};

class AlignmentPsfFlags : public testing::TestWithParam<FlagCase> {};

// Only the transmission byte, the control mode and the scanning method move;
// bits 4 and 7 of the flags are not ours to change.
TEST_P(AlignmentPsfFlags, BinaryAllModeWithoutOptionsAndNothingElseChanged) {
    CPsfRecord original;
    original.SetControllerId('D');
    original.SetBaudCode('C');
    original.SetControlMode('a');
    original.SetScanningMethod('j');
    original.SetMeasMode(0, 'E');
    original.SetScanCount(7);
    original.Data()[8] = GetParam().before;
    original.Data()[30] = 0x5A;  // inside output 3

    const CPsfRecord working = MakeAlignmentPsf(original);

    EXPECT_EQ(working.Data()[8], GetParam().after);
    EXPECT_EQ(working.GetControlMode(), 'c');
    EXPECT_EQ(working.GetScanningMethod(), 'a');
    CPsfRecord expected = original;
    expected.Data()[4] = 'c';
    expected.Data()[5] = 'a';
    expected.Data()[8] = GetParam().after;
    EXPECT_EQ(working, expected);
}

INSTANTIATE_TEST_SUITE_P(Flags, AlignmentPsfFlags,
                         testing::Values(FlagCase{0x00, 0x24}, FlagCase{0x5B, 0x34},
                                         FlagCase{0xEF, 0xA4}));

}  // namespace
