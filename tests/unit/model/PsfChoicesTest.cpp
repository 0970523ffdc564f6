#include <gtest/gtest.h>

#include "model/PsfChoices.h"
#include "model/PsfExecuteRules.h"

namespace {

PsfChoices Chosen(int mode, int type, bool clear, bool header, bool compress) {
    PsfChoices choices = ChoicesFromRecord(CPsfRecord{});
    choices.transmissionMode = mode;
    choices.transmissionType = type;
    choices.suppressClearData = clear;
    choices.suppressHeader = header;
    choices.compressData = compress;
    return choices;
}

}  // namespace

TEST(PsfChoices, TransmissionControlsGiveByte8) {
    struct Case {
        int mode, type;
        bool clear, header, compress;
        uint8_t before, expected;
    } cases[] = {
        {kTransmissionAll, 1, false, false, true, 0x00, 0x2C},
        {kTransmissionMeasurement, 0, true, true, false, 0x00, 0x43},
        // None clears the whole byte, the Binary choice and the options included.
        {kTransmissionNone, 1, true, true, true, 0x4F, 0x00},
        // The bits nobody interprets travel with the set.
        {kTransmissionMeasurement, 1, false, false, false, 0xBF, 0xD4},
        // No radio button chosen: the mode stays, the options are still written.
        {-1, 0, false, true, false, 0x2D, 0x22},
        {-1, 1, false, false, false, 0x00, 0x00},
        // No transmission type chosen keeps the Binary bit as it was.
        {kTransmissionAll, -1, false, false, false, 0x44, 0x24},
    };
    for (const Case& c : cases) {
        CPsfRecord record;
        record.Data()[8] = c.before;
        StoreChoices(Chosen(c.mode, c.type, c.clear, c.header, c.compress), record);
        EXPECT_EQ(record.Data()[8], c.expected) << "mode " << c.mode << " before " << int(c.before);
    }
}

TEST(PsfChoices, UnknownCodesShowNoSelectionAndAreStoredBackUnchanged) {
    CPsfRecord record;
    uint8_t* image = record.Data();
    image[2] = 'Z';  // controller id
    image[4] = 'Z';  // control mode
    image[7] = '?';  // Meas 2
    image[9] = 7;
    PsfChoices choices = ChoicesFromRecord(record);
    EXPECT_EQ(choices.controllerId, -1);
    EXPECT_EQ(choices.controlMode, -1);
    EXPECT_EQ(choices.meas2, -1);
    EXPECT_EQ(choices.baudRate, 0);

    const CPsfRecord before = record;
    choices.baudRate = 2;
    choices.meas1 = 4;
    StoreChoices(choices, record);
    CPsfRecord expected = before;
    expected.SetBaudCode('C');
    expected.SetMeasMode(0, 'E');
    EXPECT_EQ(record, expected);
}

TEST(PsfChoices, StoringIntoAnotherRecordLeavesItsAddressScanCountAndOutputs) {
    CPsfRecord source;
    source.SetScanningMethod('d');
    source.SetMeasMode(1, 'E');
    CPsfRecord target;
    target.Data()[0] = 'F';
    target.SetScanCount(9);
    DiscreteOutput outputs[kDiscreteOutputCount];
    outputs[3] = {'y', 10, 20, 5, 25};
    target.SetOutputs(outputs);
    const CPsfRecord before = target;

    StoreChoices(ChoicesFromRecord(source), target);
    EXPECT_EQ(target.GetScanningMethod(), 'd');
    EXPECT_EQ(target.GetMeasMode(1), 'E');
    EXPECT_TRUE(std::equal(target.Data() + 9, target.Data() + kPsfRecordSize, before.Data() + 9));
    EXPECT_EQ(target.Data()[0], 'F');
}

TEST(PsfExecuteRules, MeasurementPairsGiveRefusalOrSelector) {
    struct Case {
        uint8_t meas1, meas2;
        const char* refusal;
        int selector;
    } cases[] = {
        {'K', 'K', "At least one meas must not be 'None'", 1},
        {'J', 'K', "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'", 0},
        {'K', 'J', "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'", 1},
        {'K', 'E', "", 1},
        {'B', 'K', "", 0},
        {'A', 'I', "", 2},
    };
    for (const Case& c : cases) {
        CPsfRecord record;
        record.SetMeasMode(0, c.meas1);
        record.SetMeasMode(1, c.meas2);
        EXPECT_EQ(ExecuteRefusal(record), c.refusal) << c.meas1 << c.meas2;
        EXPECT_EQ(MeasurementSelector(c.meas1, c.meas2), c.selector) << c.meas1 << c.meas2;
    }
}

TEST(PsfExecuteRules, FirstListWithoutSelectionIsNamed) {
    PsfChoices choices = ChoicesFromRecord(CPsfRecord{});
    EXPECT_EQ(MissingChoiceMessage(choices), "");
    choices.meas2 = -1;
    choices.baudRate = -1;
    EXPECT_EQ(MissingChoiceMessage(choices), "Choose a Baud Rate before Execute.");
    choices.baudRate = 1;
    EXPECT_NE(MissingChoiceMessage(choices).find("Meas 2"), std::string::npos);
    // The radio groups always have a choice once a record was shown.
    choices.meas2 = 0;
    choices.transmissionMode = -1;
    EXPECT_EQ(MissingChoiceMessage(choices), "");
}

TEST(PsfExecuteRules, TrialSetAnswersTheHostWithBinaryResults) {
    struct Case {
        uint8_t before, expected;
    } cases[] = {
        {0x00, 0x44},  // no serial communication
        {0x2F, 0x4D},  // all mode with every option: header suppression goes
        {0x41, 0x45},
    };
    for (const Case& c : cases) {
        CPsfRecord chosen;
        chosen.SetControlMode('a');
        chosen.Data()[8] = c.before;
        const CPsfRecord trial = MakeTrialPsf(chosen);
        EXPECT_EQ(trial.Data()[8], c.expected) << int(c.before);
        EXPECT_EQ(trial.GetControlMode(), 'c');
        EXPECT_TRUE(std::equal(trial.Data() + 9, trial.Data() + kPsfRecordSize, chosen.Data() + 9));
    }
}
