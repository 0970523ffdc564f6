#include <gtest/gtest.h>

#include <vector>

#include "model/CDiagnosticsRecord.h"

namespace {

// FS 'A' 'I', part number 123456, date code 1102, firmware 2.3, boards, LF.
std::vector<uint8_t> Block(std::initializer_list<uint8_t> boards) {
    std::vector<uint8_t> block = {0x1C, 0x41, 0x49, 0x00, 0x01, 0xE2, 0x40, 0x04, 0x4E, 0x23};
    block.insert(block.end(), boards);
    block.push_back(0x0A);
    return block;
}

int Decode(CDiagnosticsRecord& record, const std::vector<uint8_t>& bytes) {
    return record.Decode(bytes.data(), static_cast<int>(bytes.size()));
}

}  // namespace

TEST(DiagnosticsRecord, FifteenByteExampleIsOperational) {
    CDiagnosticsRecord record;
    const std::vector<uint8_t> block = {0x1C, 0x41, 0x49, 0x00, 0x01, 0xE2, 0x40, 0x04,
                                        0x4E, 0x23, 0x40, 0x40, 0xC0, 0xC0, 0x0A};
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.partNumber, "123456");
    EXPECT_EQ(record.dateCode, "1102");
    EXPECT_EQ(record.firmwareVersion, "2.3");
    EXPECT_EQ(record.emitterBoardCount, 2);
    EXPECT_EQ(record.receiverBoardCount, 2);
    EXPECT_EQ(record.emitterChannelTotal, 32);
    EXPECT_EQ(record.receiverChannelTotal, 32);
    EXPECT_EQ(record.emitterBoards[1].channelCount, 16);
    EXPECT_EQ(record.receiverBoards[0].errorCode, 0);
    EXPECT_EQ(record.systemState, 3);
    EXPECT_STREQ(SystemStateName(record.systemState), "Operational");
}

TEST(DiagnosticsRecord, StateFollowsTheProblemsOfEachBar) {
    struct Case {
        std::vector<uint8_t> block;
        int state;
    } cases[] = {
        {Block({0x40, 0x20}), 1},        // emitter boards only
        {Block({0xC0}), 0},              // receiver boards only
        {Block({}), 2},                  // no boards at all
        {Block({0x40, 0x05, 0xC0}), 0},  // emitter board of type 00
        {Block({0x40, 0xE0}), 1},        // receiver board of type 11
        {Block({0x60, 0xC0}), 0},        // emitter type 11
        {Block({0x60, 0x80}), 2},
    };
    for (const Case& c : cases) {
        CDiagnosticsRecord record;
        ASSERT_EQ(Decode(record, c.block), 1);
        EXPECT_EQ(record.systemState, c.state) << testing::PrintToString(c.block);
    }
    EXPECT_STREQ(SystemStateName(0), "Emitter Error");
    EXPECT_STREQ(SystemStateName(1), "Receiver Error");
    EXPECT_STREQ(SystemStateName(2), "Emit/Rcv Errors");
    EXPECT_STREQ(SystemStateName(4), "Unknown");
    EXPECT_STREQ(SystemStateName(99), "Unknown");
}

TEST(DiagnosticsRecord, BoardBytesGiveSizeAndErrorCode) {
    CDiagnosticsRecord record;
    ASSERT_EQ(Decode(record, Block({0x31, 0x05, 0x73, 0xD2})), 1);
    ASSERT_EQ(record.emitterBoardCount, 3);
    EXPECT_EQ(record.emitterBoards[0].channelCount, 8);
    EXPECT_EQ(record.emitterBoards[0].errorCode, 17);
    EXPECT_EQ(BoardErrorText(record.emitterBoards[0].errorCode), "End of Board");
    EXPECT_EQ(record.emitterBoards[1].channelCount, 0);
    EXPECT_EQ(BoardTypeText(record.emitterBoards[1].channelCount), "Invalid");
    EXPECT_EQ(BoardErrorText(record.emitterBoards[1].errorCode), "");
    EXPECT_EQ(record.emitterBoards[2].channelCount, -1);
    EXPECT_EQ(record.emitterBoards[2].errorCode, 19);
    EXPECT_EQ(record.emitterChannelTotal, 8);  // only boards with a positive count
    EXPECT_EQ(record.receiverBoards[0].channelCount, 16);
    EXPECT_EQ(record.receiverBoards[0].errorCode, 18);
    EXPECT_EQ(record.systemState, 0);
}

TEST(DiagnosticsRecord, EndOfBoardAloneIsNoProblem) {
    CDiagnosticsRecord record;
    ASSERT_EQ(Decode(record, Block({0x31, 0xB1})), 1);
    EXPECT_EQ(record.systemState, 3);
}

TEST(DiagnosticsRecord, Texts) {
    EXPECT_EQ(BoardErrorText(0), "No Errors");
    EXPECT_EQ(BoardErrorText(1), "");
    EXPECT_EQ(BoardErrorText(16), "");
    EXPECT_EQ(BoardErrorText(18), "End of Scan");
    EXPECT_EQ(BoardErrorText(19), "19 Invalid Error Code");
    EXPECT_EQ(BoardErrorText(255), "255 Invalid Error Code");
    EXPECT_EQ(BoardTypeText(-1), "Undefined");
    EXPECT_EQ(BoardTypeText(8), "8");
    EXPECT_EQ(BoardTypeText(16), "16");
}

TEST(DiagnosticsRecord, NumbersFormatWithTheirWidths) {
    CDiagnosticsRecord record;
    std::vector<uint8_t> block = Block({0x40, 0xC0});
    block[3] = 0xFF;  // part number 0xFFFFFFFF, unsigned
    block[4] = 0xFF;
    block[5] = 0xFF;
    block[6] = 0xFF;
    block[7] = 0x00;
    block[8] = 0x07;
    block[9] = 0xFA;
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.partNumber, "4294967295");
    EXPECT_EQ(record.dateCode, "0007");
    EXPECT_EQ(record.firmwareVersion, "15.10");

    block[7] = 0xFF;
    block[8] = 0xFF;
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.dateCode, "65535");
}

TEST(DiagnosticsRecord, BadHeaderLeavesTheResetRecord) {
    CDiagnosticsRecord record;
    ASSERT_EQ(Decode(record, Block({0x40, 0xC0})), 1);
    std::vector<uint8_t> block = Block({0x40, 0xC0});
    block[2] = 'E';
    EXPECT_EQ(Decode(record, block), 0);
    EXPECT_EQ(record.systemState, 4);
    EXPECT_EQ(record.emitterBoardCount, 0);
    EXPECT_EQ(record.receiverChannelTotal, 0);
    EXPECT_EQ(record.partNumber, "");
    EXPECT_EQ(record.dateCode, "");
}

TEST(DiagnosticsRecord, NoLineFeedBeforeOffset35IsNoBlock) {
    CDiagnosticsRecord record;
    std::vector<uint8_t> block(40, 0x40);
    std::copy_n(Block({}).begin(), 10, block.begin());
    block[35] = 0x0A;  // too late
    EXPECT_EQ(Decode(record, block), 0);
    EXPECT_EQ(record.systemState, 4);
    EXPECT_EQ(record.partNumber, "123456");  // decoded so far

    // A block cut short by the byte count is not read past its end.
    std::vector<uint8_t> shortBlock = Block({0x40, 0xC0});
    EXPECT_EQ(record.Decode(shortBlock.data(), static_cast<int>(shortBlock.size()) - 1), 0);
    EXPECT_EQ(record.Decode(shortBlock.data(), 5), 0);
    EXPECT_EQ(record.partNumber, "");
}

TEST(DiagnosticsRecord, NeverStoresMoreThanTwelveBoardsOfABar) {
    CDiagnosticsRecord record;
    // Sentinel after the emitter array: must survive 20 emitter board bytes.
    record.receiverBoards[0] = {99, 31};
    std::vector<uint8_t> block = Block({});
    block.pop_back();
    block.insert(block.end(), 20, 0x40);
    block.push_back(0x0A);
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.emitterBoardCount, 12);
    EXPECT_EQ(record.emitterChannelTotal, 12 * 16);
    EXPECT_EQ(record.receiverBoards[0].channelCount, 99);
    EXPECT_EQ(record.receiverBoardCount, 0);
    EXPECT_EQ(record.systemState, 2);

    // Twelve good boards on each bar fill the block and are operational.
    block = Block({});
    block.pop_back();
    block.insert(block.end(), 12, 0x40);
    block.insert(block.end(), 12, 0xC0);
    block.push_back(0x0A);
    ASSERT_EQ(block.size(), 35u);
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.systemState, 3);

    // A thirteenth good receiver board is not stored or counted, but the
    // receiver bar reports a problem instead of silently dropping it.
    block = Block({});
    block.pop_back();
    block.insert(block.end(), 11, 0x40);
    block.insert(block.end(), 13, 0xC0);
    block.push_back(0x0A);
    ASSERT_EQ(Decode(record, block), 1);
    EXPECT_EQ(record.receiverBoardCount, 12);
    EXPECT_EQ(record.receiverChannelTotal, 192);
    EXPECT_EQ(record.emitterBoardCount, 11);
    EXPECT_EQ(record.systemState, 1);
}
