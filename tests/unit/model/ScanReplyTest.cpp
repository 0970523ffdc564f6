#include <gtest/gtest.h>

#include <vector>

#include "model/ScanReply.h"

namespace {

int Accept(CScanReply& reply, const std::vector<uint8_t>& bytes) {
    return reply.Accept(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<uint8_t> Stored(const CScanReply& reply) {
    return std::vector<uint8_t>(reply.Bytes(), reply.Bytes() + reply.ExpectedLength());
}

}  // namespace

TEST(BeamScan, NoChannelsExpectsThreeBytesAndKeepsResetStatistics) {
    CBeamBitScan scan(0);
    EXPECT_EQ(scan.ExpectedLength(), 3);
    ASSERT_EQ(Accept(scan, {0x1C, 0x41, 0x0A}), 1);
    EXPECT_EQ(scan.Statistics(), BeamStatistics());
    EXPECT_EQ(scan.Statistics().firstBlocked, 2147483647);
    EXPECT_EQ(scan.Statistics().lastMade, -2147483647 - 1);
}

TEST(BeamScan, SixteenChannelsDecodeLeastSignificantBitFirst) {
    CBeamBitScan scan(16);
    EXPECT_EQ(scan.ExpectedLength(), 5);
    ASSERT_EQ(Accept(scan, {0x1C, 0x41, 0x01, 0x80, 0x0A}), 1);
    EXPECT_EQ(scan.BeamState(0), 1);
    EXPECT_EQ(scan.BeamState(15), 1);
    EXPECT_EQ(scan.BeamState(7), 0);
    EXPECT_EQ(scan.BeamState(8), 0);
    const BeamStatistics& s = scan.Statistics();
    EXPECT_EQ(s.blockedCount, 2);
    EXPECT_EQ(s.madeCount, 14);
    EXPECT_EQ(s.firstBlocked, 0);
    EXPECT_EQ(s.lastBlocked, 15);
    EXPECT_EQ(s.firstMade, 1);
    EXPECT_EQ(s.lastMade, 14);
}

TEST(BeamScan, WrongLengthOrFramingIsRefusedAndKeepsTheStoredBytes) {
    CBeamBitScan scan(16);
    ASSERT_EQ(Accept(scan, {0x1C, 0x41, 0x01, 0x80, 0x0A}), 1);
    const std::vector<uint8_t> stored = Stored(scan);

    const std::vector<std::vector<uint8_t>> refused = {
        {0x1C, 0x41, 0xFF, 0x0A},              // one byte short
        {0x1C, 0x41, 0xFF, 0xFF, 0x00, 0x0A},  // one byte long
        {0x1D, 0x41, 0xFF, 0xFF, 0x0A},        // not FS
        {0x1C, 0x41, 0xFF, 0xFF, 0x0D},        // not LF
    };
    for (const auto& bytes : refused) {
        EXPECT_EQ(Accept(scan, bytes), 0);
        EXPECT_EQ(Stored(scan), stored);
        // A refused scan leaves the statistics reset, not those of the last scan.
        EXPECT_EQ(scan.Statistics(), BeamStatistics());
    }
    EXPECT_EQ(scan.BeamState(15), 1);
}

TEST(BeamScan, EqualityComparesTheWholeStoredReply) {
    CBeamBitScan a(16), b(16);
    EXPECT_TRUE(a == b);  // fresh scans hold the same zeroed bytes
    ASSERT_EQ(Accept(a, {0x1C, 0x41, 0x01, 0x80, 0x0A}), 1);
    ASSERT_EQ(Accept(b, {0x1C, 0x42, 0x01, 0x80, 0x0A}), 1);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);
    ASSERT_EQ(Accept(b, {0x1C, 0x41, 0x01, 0x80, 0x0A}), 1);
    EXPECT_TRUE(a == b);

    CBeamBitScan wider(24);
    EXPECT_TRUE(a != wider);
}

TEST(BeamScan, AssignmentIsADeepCopyAcrossSizes) {
    CBeamBitScan source(32);
    ASSERT_EQ(Accept(source, {0x1C, 0x41, 0x00, 0x00, 0x00, 0x80, 0x0A}), 1);
    CBeamBitScan target(8);
    target = source;
    EXPECT_EQ(target.ChannelCount(), 32);
    EXPECT_EQ(target.ExpectedLength(), 7);
    EXPECT_EQ(target.Statistics(), source.Statistics());
    EXPECT_TRUE(target == source);
    EXPECT_EQ(target.BeamState(31), 1);

    // The copy owns its bytes.
    ASSERT_EQ(Accept(source, {0x1C, 0x41, 0x00, 0x00, 0x00, 0x00, 0x0A}), 1);
    EXPECT_EQ(target.BeamState(31), 1);
    EXPECT_FALSE(target == source);

    const CBeamBitScan& self = target;
    target = self;
    EXPECT_EQ(target.BeamState(31), 1);
    CBeamBitScan copy(target);
    EXPECT_TRUE(copy == target);
}

TEST(BeamScan, ChannelsPastTheLastWholeByteReadAsMade) {
    // 12 channels: the reply carries one byte of bits (L = 4); channels 8 to
    // 11 are not reported and must not pick up the LF's bits.
    CBeamBitScan scan(12);
    EXPECT_EQ(scan.ExpectedLength(), 4);
    ASSERT_EQ(Accept(scan, {0x1C, 0x41, 0x81, 0x0A}), 1);
    for (int channel = 8; channel < 12; ++channel) EXPECT_EQ(scan.BeamState(channel), 0);
    EXPECT_EQ(scan.BeamState(-1), 0);
    const BeamStatistics& s = scan.Statistics();
    EXPECT_EQ(s.blockedCount, 2);
    EXPECT_EQ(s.madeCount, 10);  // the counts still cover all N channels
    EXPECT_EQ(s.lastBlocked, 7);
    EXPECT_EQ(s.lastMade, 11);
}

TEST(MeasurementScan, SelectorDecidesLengthAndDecodedValues) {
    CMeasurementScan second(1);
    EXPECT_EQ(second.ExpectedLength(), 5);
    ASSERT_EQ(Accept(second, {0x1C, 0x41, 0x01, 0x2C, 0x0A}), 1);
    EXPECT_EQ(second.Value2(), 300);
    EXPECT_EQ(second.Value1(), 0);

    CMeasurementScan both(2);
    EXPECT_EQ(both.ExpectedLength(), 7);
    ASSERT_EQ(Accept(both, {0x1C, 0x41, 0xFF, 0xFF, 0x00, 0x01, 0x0A}), 1);
    EXPECT_EQ(both.Value1(), 65535);
    EXPECT_EQ(both.Value2(), 1);

    CMeasurementScan first(0);
    EXPECT_EQ(first.ExpectedLength(), 5);
    ASSERT_EQ(Accept(first, {0x1C, 0x41, 0x12, 0x34, 0x0A}), 1);
    EXPECT_EQ(first.Value1(), 0x1234);

    EXPECT_EQ(CMeasurementScan(-7).ExpectedLength(), 7);
}

TEST(MeasurementScan, RefusalClearsValueOneOnlyAndKeepsTheBytes) {
    CMeasurementScan both(2);
    ASSERT_EQ(Accept(both, {0x1C, 0x41, 0x00, 0x05, 0x00, 0x06, 0x0A}), 1);
    const std::vector<uint8_t> stored = Stored(both);
    EXPECT_EQ(Accept(both, {0x1C, 0x41, 0x00, 0x09, 0x00, 0x09, 0x00}), 0);
    EXPECT_EQ(both.Value1(), 0);
    EXPECT_EQ(both.Value2(), 6);
    EXPECT_EQ(Stored(both), stored);
    EXPECT_EQ(Accept(both, {0x1C, 0x41, 0x00, 0x05, 0x0A}), 0);  // length of another selector
}

TEST(MeasurementScan, EqualityAndAssignmentFollowTheValues) {
    CMeasurementScan a(2), b(2);
    ASSERT_EQ(Accept(a, {0x1C, 0x41, 0x00, 0x05, 0x00, 0x06, 0x0A}), 1);
    ASSERT_EQ(Accept(b, {0x1C, 0x42, 0x00, 0x05, 0x00, 0x06, 0x0A}), 1);
    EXPECT_TRUE(a == b);  // byte 1 is not part of a measurement
    ASSERT_EQ(Accept(b, {0x1C, 0x41, 0x00, 0x05, 0x00, 0x07, 0x0A}), 1);
    EXPECT_TRUE(a != b);

    CMeasurementScan c(2);
    c = b;
    EXPECT_TRUE(c == b);
    EXPECT_EQ(c.Value2(), 7);
    EXPECT_EQ(c.Selector(), 2);

    // Same values but a different length are different readings.
    CMeasurementScan one(0);
    EXPECT_TRUE(one != CMeasurementScan(2));
}

TEST(MeasurementScan, AssignmentAcrossSelectorsResizesTheBuffer) {
    CMeasurementScan small(0);
    CMeasurementScan large(2);
    small = large;
    EXPECT_EQ(small.ExpectedLength(), 7);
    ASSERT_EQ(Accept(small, {0x1C, 0x41, 0x00, 0x01, 0x00, 0x02, 0x0A}), 1);
    EXPECT_EQ(Stored(small).back(), 0x0A);
    EXPECT_EQ(small.Value2(), 2);
}

TEST(ScanReply, BaseReplyExpectsNothingAndRefusesEverything) {
    CScanReply reply;
    EXPECT_EQ(reply.ExpectedLength(), 0);
    EXPECT_EQ(reply.Accept(nullptr, 0), 0);

    // Assignment copies the length only; the base then needs a buffer of its own.
    CBeamBitScan beams(8);
    reply = beams;
    EXPECT_EQ(reply.ExpectedLength(), 4);
    ASSERT_EQ(Accept(reply, {0x1C, 0x41, 0x33, 0x0A}), 1);
    EXPECT_EQ(Stored(reply)[2], 0x33);
}
