#include <gtest/gtest.h>

#include <vector>

#include "model/CPsfRecord.h"

namespace {

std::vector<uint8_t> DefaultImage() {
    std::vector<uint8_t> image = {'A', 'C', 'A', 'A', 'c', 'a', 'K', 'K', 0x00, 0x01};
    for (int k = 0; k < 16; ++k)
        image.insert(image.end(), {0x78, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02});
    return image;
}

std::vector<uint8_t> Image(const CPsfRecord& record) {
    return std::vector<uint8_t>(record.Data(), record.Data() + kPsfRecordSize);
}

// A reply frame carrying the image of record, as a controller sends it.
std::vector<uint8_t> ReplyFrame(const std::vector<uint8_t>& image, uint8_t id) {
    std::vector<uint8_t> frame(kPsfFrameLength, 0);
    frame[0] = 0x1C;
    frame[1] = id;
    frame[2] = 'E';
    std::copy(image.begin() + 2, image.end(), frame.begin() + 3);
    frame[155] = 0x12;
    frame[156] = 0x34;
    frame[157] = 0x0A;
    return frame;
}

}  // namespace

TEST(PsfRecord, NewRecordHoldsTheDefaultImageAndEncodesItForA) {
    CPsfRecord record;
    ASSERT_EQ(Image(record), DefaultImage());

    std::vector<uint8_t> frame(kPsfFrameLength, 0xEE);
    record.Encode(frame.data(), 'A');
    std::vector<uint8_t> expected = {0x1B};
    std::vector<uint8_t> image = DefaultImage();
    expected.insert(expected.end(), image.begin(), image.end());
    expected.insert(expected.end(), {0x09, 0x9D, 0x0D});
    EXPECT_EQ(frame, expected);
}

TEST(PsfRecord, EncodingForBStoresTheIdAndKeepsTheChecksum) {
    CPsfRecord record;
    std::vector<uint8_t> frame(kPsfFrameLength);
    record.Encode(frame.data(), 'B');
    EXPECT_EQ(frame[1], 'B');
    EXPECT_EQ(record.Data()[0], 'B');
    EXPECT_EQ(frame[2], 'C');
    EXPECT_EQ(frame[155], 0x09);
    EXPECT_EQ(frame[156], 0x9D);
    EXPECT_EQ(frame[157], 0x0D);
}

TEST(PsfRecord, ChecksumCarriesPastOneByte) {
    CPsfRecord record;
    DiscreteOutput outputs[kDiscreteOutputCount];
    for (DiscreteOutput& output : outputs) output = {'Y', 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    record.SetOutputs(outputs);
    std::vector<uint8_t> frame(kPsfFrameLength);
    record.Encode(frame.data(), 'A');
    unsigned sum = 0;
    for (int i = 3; i <= 154; ++i) sum += frame[i];
    EXPECT_GT(sum, 0xFFu);
    EXPECT_EQ(frame[155], (sum >> 8) & 0xFF);
    EXPECT_EQ(frame[156], sum & 0xFF);
}

TEST(PsfRecord, DecodeTakesTheReplyAndForcesTheCommandLetter) {
    std::vector<uint8_t> image = DefaultImage();
    image[2] = 'D';
    image[4] = 'a';
    image[9] = 7;
    image[153] = 0x99;
    std::vector<uint8_t> frame = ReplyFrame(image, 'D');  // checksum bytes are wrong on purpose
    CPsfRecord record;
    ASSERT_TRUE(record.Decode(frame.data()));
    EXPECT_EQ(record.Data()[0], 'D');
    EXPECT_EQ(record.Data()[1], 'C');
    EXPECT_EQ(record.GetControllerId(), 'D');
    EXPECT_EQ(record.GetControlMode(), 'a');
    EXPECT_EQ(record.GetScanCount(), 7);
    EXPECT_EQ(record.Data()[153], 0x99);
}

TEST(PsfRecord, RefusedRepliesLeaveTheRecordUntouched) {
    std::vector<uint8_t> image = DefaultImage();
    image[5] = 'j';
    const std::vector<uint8_t> good = ReplyFrame(image, 'B');
    CPsfRecord record;
    record.SetScanCount(5);
    const std::vector<uint8_t> before = Image(record);
    for (int offset : {0, 2, 157}) {
        std::vector<uint8_t> frame = good;
        frame[offset] ^= 0x01;
        EXPECT_FALSE(record.Decode(frame.data())) << "offset " << offset;
        EXPECT_EQ(Image(record), before) << "offset " << offset;
    }
}

TEST(PsfRecord, TransmissionModeReadsFromTheModeBits) {
    struct Case {
        uint8_t flags;
        SerialTransmissionMode mode;
    } cases[] = {{0x00, SerialTransmissionMode::None},
                 {0x04, SerialTransmissionMode::AllMode},
                 {0x60, SerialTransmissionMode::AllMode},
                 {0x20, SerialTransmissionMode::AllMode},
                 {0x45, SerialTransmissionMode::MeasurementResult},
                 {0xC0, SerialTransmissionMode::MeasurementResult}};
    for (const Case& c : cases) {
        CPsfRecord record;
        record.Data()[8] = c.flags;
        EXPECT_EQ(record.GetTransmissionMode(), c.mode) << int(c.flags);
    }
}

TEST(PsfRecord, TransmissionModeWritesKeepOrClearTheOtherBits) {
    CPsfRecord record;
    record.Data()[8] = 0x4F;
    record.SetTransmissionMode(SerialTransmissionMode::None);
    EXPECT_EQ(record.Data()[8], 0x00);

    record.Data()[8] = 0x4F;
    record.SetTransmissionMode(SerialTransmissionMode::AllMode);
    EXPECT_EQ(record.Data()[8], 0x2F);

    record.Data()[8] = 0xB5;  // bits 7 and 4 are not interpreted and must survive
    record.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    EXPECT_EQ(record.Data()[8], 0xD5);
}

TEST(PsfRecord, OutputsPackBigEndianAndUnpackAgain) {
    CPsfRecord record;
    DiscreteOutput outputs[kDiscreteOutputCount];
    outputs[0] = {'y', 384, 385, 0x0102, 0xFFFE};
    outputs[15] = {'v', 1, 2, 3, 4};
    record.SetOutputs(outputs);
    const uint8_t* first = record.Data() + 10;
    EXPECT_EQ(std::vector<uint8_t>(first, first + 9),
              (std::vector<uint8_t>{'y', 0x01, 0x80, 0x01, 0x81, 0x01, 0x02, 0xFF, 0xFE}));
    const uint8_t* last = record.Data() + 10 + 9 * 15;
    EXPECT_EQ(std::vector<uint8_t>(last, last + 9),
              (std::vector<uint8_t>{'v', 0, 1, 0, 2, 0, 3, 0, 4}));

    DiscreteOutput back[kDiscreteOutputCount];
    record.GetOutputs(back);
    EXPECT_EQ(back[0].source, 'y');
    EXPECT_EQ(back[0].setPointLow, 384);
    EXPECT_EQ(back[0].setPointHigh, 385);
    EXPECT_EQ(back[0].hysteresisLow, 0x0102);
    EXPECT_EQ(back[0].hysteresisHigh, 0xFFFE);
    EXPECT_EQ(back[7].source, 'x');  // a fresh DiscreteOutput is Off with zeros
    EXPECT_EQ(back[7].hysteresisHigh, 0);
}

TEST(PsfRecord, LookupsFindTheTableIndexOrMinusOne) {
    EXPECT_EQ(LookupControllerId('A'), 0);
    EXPECT_EQ(LookupControllerId('O'), 14);
    EXPECT_EQ(LookupControllerId('P'), -1);
    EXPECT_EQ(LookupBaudRate('C'), 2);
    EXPECT_EQ(LookupBaudRate('a'), -1);
    EXPECT_EQ(LookupControlMode('c'), 2);
    EXPECT_EQ(LookupControlMode('Z'), -1);
    EXPECT_EQ(LookupScanningMethod('j'), 9);
    EXPECT_EQ(LookupScanningMethod('k'), -1);
    EXPECT_EQ(LookupMeasurementMode('K'), 10);
    EXPECT_EQ(LookupMeasurementMode('L'), -1);
    EXPECT_EQ(LookupOutputSource('Y'), 3);
    EXPECT_EQ(LookupOutputSource('v'), 6);
    EXPECT_EQ(LookupOutputSource('u'), -1);
    EXPECT_STREQ(kMeasurementModes[9].text, "SEG");
    EXPECT_STREQ(kOutputSources[4].text, "Meas 2 Inverted");
}
