#include <gtest/gtest.h>

#include "model/ControllerIdentity.h"

namespace {

CDiagnosticsRecord Decoded(std::vector<uint8_t> reply) {
    CDiagnosticsRecord record;
    EXPECT_EQ(record.Decode(reply.data(), static_cast<int>(reply.size())), 1);
    return record;
}

const ControllerIdentity kExpected{'A', ControllerHardware{"123456", "1102", "2.3", "16,16/16,16"}};

}  // namespace

TEST(ControllerIdentityTest, TheHardwareComesFromTheDiagnosticsWithoutErrorCodes) {
    // Emitter 16 (error 17), 8, type 00; receiver 16; part 123456, 1102, 2.3.
    const CDiagnosticsRecord record =
        Decoded({0x1C, 'A', 'I', 0x00, 0x01, 0xE2, 0x40, 0x04, 0x4E, 0x23, 0x51, 0x20, 0x05, 0xC0, 0x0A});
    EXPECT_EQ(HardwareOf(record), (ControllerHardware{"123456", "1102", "2.3", "16,8,0/16"}));
}

TEST(ControllerIdentityTest, TheFirstDifferenceIsNamedPartNumberFirst) {
    struct Case {
        const char* name;
        ControllerIdentity found;
        const char* difference;
    };
    const Case cases[] = {
        {"the same controller", kExpected, ""},
        {"another controller altogether",
         {'B', ControllerHardware{"999", "0101", "1.0", "8,16/8,16"}},
         "part number 999, not 123456"},
        {"a later batch", {'A', ControllerHardware{"123456", "1203", "2.3", "16,16/16,16"}},
         "date code 1203, not 1102"},
        {"another firmware", {'A', ControllerHardware{"123456", "1102", "2.4", "16,16/16,16"}},
         "firmware 2.4, not 2.3"},
        {"other bars", {'A', ControllerHardware{"123456", "1102", "2.3", "16,8/16,8"}},
         "boards 16,8/16,8, not 16,16/16,16"},
        {"the same type at another id", {'C', kExpected.hardware}, "id C, not A"},
        {"no diagnostics", {'A', std::nullopt}, "its diagnostics could not be read"},
    };
    for (const Case& c : cases) EXPECT_EQ(IdentityDifference(kExpected, c.found), c.difference) << c.name;
}

TEST(ControllerIdentityTest, AnEntryThatKnowsOnlyTheIdComparesTheId) {
    const ControllerIdentity idOnly{'A', std::nullopt};
    EXPECT_EQ(IdentityDifference(idOnly, kExpected), "");
    EXPECT_EQ(IdentityDifference(idOnly, {'B', kExpected.hardware}), "id B, not A");
    EXPECT_EQ(IdentityDifference({0x07, std::nullopt}, {'A', std::nullopt}), "id A, not 0x07");
}
