#include <gtest/gtest.h>

#include "model/CPsfRecord.h"
#include "sim/Responder.h"

namespace {

using sim::Responder;
using sim::ResponderResult;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

class ResponderTest : public ::testing::Test {
  protected:
    ResponderResult Send(const std::vector<uint8_t>& bytes, long speed = 9600) {
        now += 200;
        return responder.Receive(bytes.data(), bytes.size(), now, speed, true);
    }
    std::vector<uint8_t> Reply(const std::vector<uint8_t>& bytes, long speed = 9600) {
        const ResponderResult r = Send(bytes, speed);
        return r.replies.empty() ? std::vector<uint8_t>{} : r.replies[0].bytes;
    }
    void SetTransmission(SerialTransmissionMode mode, uint8_t meas1 = 'K', uint8_t meas2 = 'K') {
        CPsfRecord psf = responder.Model().Psf();
        psf.SetTransmissionMode(mode);
        psf.SetMeasMode(0, meas1);
        psf.SetMeasMode(1, meas2);
        responder.Model().StorePsf(psf);
    }
    std::vector<uint8_t> PsfRequest(const CPsfRecord& psf, uint8_t id = 'A') {
        CPsfRecord copy = psf;
        std::vector<uint8_t> frame(kPsfFrameLength);
        copy.Encode(frame.data(), id);
        return frame;
    }

    Responder responder;
    uint32_t now = 0;
};

TEST_F(ResponderTest, HearsNothingAtAnotherLineSpeed) {
    EXPECT_TRUE(Reply({0xF8}, 19200).empty());
    EXPECT_EQ(responder.Log().back().kind, "noise");
    EXPECT_EQ(Reply({0xF8}, 9600), Bytes({0x1C, 'A', 'A', 0x0A}));
}

TEST_F(ResponderTest, AnswersOnlyRequestsAddressedToItsId) {
    EXPECT_TRUE(Reply({0x1B, 'B', 'H', 0x0D}).empty());
    EXPECT_EQ(responder.Log().back().note, "addressed to another id");
    const auto reply = Reply({0x1B, 'A', 'H', 0x0D});
    EXPECT_EQ(reply, Bytes({0x1C, 'A', 'I', 0, 1, 0xE2, 0x40, 0x04, 0x4E, 0x23, 0x40, 0x40, 0xC0,
                            0xC0, 0x0A}));
}

TEST_F(ResponderTest, ParameterSetRoundTripsAndNewRateFollowsTheAcknowledgement) {
    CPsfRecord psf;
    psf.SetBaudCode('B');
    psf.SetControllerId('E');
    psf.SetScanCount(9);
    const ResponderResult r = Send(PsfRequest(psf));
    ASSERT_EQ(r.replies.size(), 1u);
    // Acknowledged under the new id, still at the old rate.
    EXPECT_EQ(r.replies[0].bytes, Bytes({0x1C, 'E', 'J', 0x0A}));
    EXPECT_EQ(r.replies[0].baud, 9600);
    EXPECT_TRUE(r.stateChanged);
    EXPECT_EQ(responder.Model().Baud(), 19200);

    EXPECT_TRUE(Reply({0x1B, 'E', 'D', 0x0D}, 9600).empty());
    const auto reply = Reply({0x1B, 'E', 'D', 0x0D}, 19200);
    ASSERT_EQ(reply.size(), static_cast<size_t>(kPsfFrameLength));
    CPsfRecord read;
    ASSERT_TRUE(read.Decode(reply.data()));
    EXPECT_EQ(read.GetScanCount(), 9);
    EXPECT_EQ(read.GetControllerId(), 'E');
    // The checksum covers the 152 parameter bytes.
    const unsigned sum = reply[155] * 256u + reply[156];
    unsigned expected = 0;
    for (int i = 3; i < 155; ++i) expected += reply[static_cast<size_t>(i)];
    EXPECT_EQ(sum, expected & 0xFFFF);
}

TEST_F(ResponderTest, BlankingWriteWithBadChecksumIsNotAcknowledgedOrStored) {
    std::vector<uint8_t> frame = Bytes({0x1B, 'A', 'W', 0x80});
    frame.resize(51, 0);
    for (int b : {0x00, 0x81, 0x0D}) frame.push_back(static_cast<uint8_t>(b));
    EXPECT_TRUE(Reply(frame).empty());
    EXPECT_FALSE(responder.Model().IsBlanked(0));
    frame[52] = 0x80;
    EXPECT_EQ(Reply(frame), Bytes({0x1C, 'A', 'J', 0x0A}));
    EXPECT_TRUE(responder.Model().IsBlanked(0));
    const auto reply = Reply({0x1B, 'A', 'V', 0x0D});
    ASSERT_EQ(reply.size(), 54u);
    EXPECT_EQ(reply[3], 0x80);
    EXPECT_EQ(reply[51], 0x00);
    EXPECT_EQ(reply[52], 0x80);
}

TEST_F(ResponderTest, RequestsWithABadChecksumAreNeitherCarriedOutNorAcknowledged) {
    CPsfRecord psf;
    psf.SetScanCount(7);
    struct Case {
        std::vector<uint8_t> frame;
        size_t checksumLow;  // offset of the checksum's low byte
    };
    const Case cases[] = {
        {PsfRequest(psf), 156},
        {Bytes({0x1B, 'A', 'X', 0, 1, 0x11, 0x70, 0x04, 0x4E, 0x00, 0xD4, 0x0D}), 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, static_cast<char>(c.frame[2])));
        std::vector<uint8_t> damaged = c.frame;
        ++damaged[c.checksumLow];
        EXPECT_TRUE(Reply(damaged).empty());
        EXPECT_EQ(responder.Log().back().note, "bad checksum");
        EXPECT_EQ(responder.Model().Psf().GetScanCount(), 1);
        EXPECT_EQ(responder.Model().partNumber, 123456u);
    }
    for (const Case& c : cases) EXPECT_EQ(Reply(c.frame), Bytes({0x1C, 'A', 'J', 0x0A}));
    EXPECT_EQ(responder.Model().Psf().GetScanCount(), 7);
    EXPECT_EQ(responder.Model().partNumber, 70000u);
}

TEST_F(ResponderTest, NoScanReplyWithoutSerialTransmissionOrMeasurement) {
    EXPECT_TRUE(Reply({0xF8, 'A', 'S'}).empty());
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'K', 'K');
    EXPECT_TRUE(Reply({0xF8, 'A', 'S'}).empty());
}

TEST_F(ResponderTest, AllModeScanIsLeastSignificantBitFirstWithBlankedBeamsMade) {
    auto& model = responder.Model();
    for (int c : {0, 9, 15, 31}) model.beams.SetBlocked(c, true);
    model.SetBlanked(31, true);
    SetTransmission(SerialTransmissionMode::AllMode);
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x01, 0x82, 0x00, 0x00, 0x0A}));

    // The channel count can be set apart from the boards, whole bytes only.
    model.scanChannelOverride = 20;
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x01, 0x82, 0x0A}));
}

TEST_F(ResponderTest, MeasurementScanCarriesOneOrBothValues) {
    for (int c : {4, 5, 6, 10}) responder.Model().beams.SetBlocked(c, true);
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'A', 'K');  // FBB
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x00, 0x05, 0x0A}));
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'K', 'C');  // LBB
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x00, 0x0B, 0x0A}));
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'E', 'I');  // TBB, TRN
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x00, 0x04, 0x00, 0x04, 0x0A}));
}

TEST_F(ResponderTest, ScriptedMeasurementsPlayInOrderThenHoldOrRepeat) {
    std::vector<sim::MeasurementScript::Pair> values;
    std::string error;
    ASSERT_TRUE(sim::ParseMeasurementScript("0,15/300,12", values, error)) << error;
    responder.Model().measurementScript.values = values;
    // Scans in another mode and dropped scans do not move the script on.
    SetTransmission(SerialTransmissionMode::AllMode);
    Reply({0xF8, 'A', 'S'});
    responder.Faults().silent = true;
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'A', 'C');
    Reply({0xF8, 'A', 'S'});
    responder.Faults().silent = false;

    std::vector<std::vector<uint8_t>> replies;
    for (int i = 0; i < 4; ++i) replies.push_back(Reply({0xF8, 'A', 'S'}));
    EXPECT_EQ(replies, (std::vector<std::vector<uint8_t>>{
                           Bytes({0x1C, 'A', 0, 0, 0, 0, 0x0A}),
                           Bytes({0x1C, 'A', 0, 15, 0x01, 0x2C, 0x0A}),
                           Bytes({0x1C, 'A', 0, 12, 0, 12, 0x0A}),
                           Bytes({0x1C, 'A', 0, 12, 0, 12, 0x0A})}));

    responder.Model().measurementScript.repeat = true;
    SetTransmission(SerialTransmissionMode::MeasurementResult, 'K', 'C');  // measurement 2 only
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0, 12, 0x0A}));
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0, 0, 0x0A}));
    EXPECT_EQ(Reply({0xF8, 'A', 'S'}), Bytes({0x1C, 'A', 0x01, 0x2C, 0x0A}));
}

TEST(MeasurementScript, RefusesWhatIsNotAListOfValues) {
    for (const char* text : {"", "1,,2", "70000", "1/", "/2", "a", "1/2/3", "-1", "1,"}) {
        std::vector<sim::MeasurementScript::Pair> values{{9, 9}};
        std::string error;
        EXPECT_FALSE(sim::ParseMeasurementScript(text, values, error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(values.size(), 1u) << text;
    }
}

TEST_F(ResponderTest, FaultsDropOrAlterReplies) {
    auto& faults = responder.Faults();
    faults.everyN = 2;
    EXPECT_TRUE(Reply({0xF8}).empty());
    EXPECT_FALSE(Reply({0xF8}).empty());
    faults.everyN = 0;

    faults.truncate = true;
    faults.wrongId = true;
    faults.wrongLetter = true;
    // The probe reply is spared, so that commands meet the fault in their own reply.
    EXPECT_EQ(Reply({0xF8}), Bytes({0x1C, 'A', 'A', 0x0A}));
    EXPECT_EQ(Reply({0x1B, 'A', 'X', 0, 0, 0, 1, 0, 1, 0, 2, 0x0D}), Bytes({0x1C, 'B', 'K'}));
    faults = sim::FaultSet{};

    faults.failFirst = true;
    EXPECT_TRUE(Reply({0x1B, 'A', 'H', 0x0D}).empty());
    EXPECT_FALSE(Reply({0x1B, 'A', 'H', 0x0D}).empty());
    EXPECT_TRUE(Reply({0x1B, 'A', 'V', 0x0D}).empty());
    faults.failFirst = false;

    faults.delayMs = 250;
    faults.hangupAfter = responder.RequestCount() + 1;
    const ResponderResult last = Send({0xF8});
    ASSERT_EQ(last.replies.size(), 1u);
    EXPECT_EQ(last.replies[0].delayMs, 250u);
    EXPECT_FALSE(last.hangUp);
    // The next bytes find the line dead.
    const ResponderResult dead = Send({0xF8});
    EXPECT_TRUE(dead.hangUp);
    EXPECT_TRUE(dead.replies.empty());
    EXPECT_TRUE(Reply({0xF8}).empty());
}

TEST_F(ResponderTest, LostAcknowledgementLateScansAndFlippedBytes) {
    auto& faults = responder.Faults();
    std::string error;
    ASSERT_TRUE(faults.Add("lost-ack:2", error)) << error;
    ASSERT_TRUE(faults.Add("late-scan:1500", error)) << error;
    ASSERT_TRUE(faults.Add("flip-once:D", error)) << error;

    // The second acknowledged request is carried out; only its answer is lost.
    CPsfRecord psf;
    psf.SetScanningMethod('c');
    EXPECT_FALSE(Reply(PsfRequest(psf)).empty());
    psf.SetScanningMethod('d');
    const ResponderResult taken = Send(PsfRequest(psf));
    EXPECT_TRUE(taken.replies.empty());
    EXPECT_TRUE(taken.stateChanged);
    EXPECT_EQ(responder.Model().Psf().GetScanningMethod(), 'd');
    EXPECT_FALSE(Reply(PsfRequest(psf)).empty());

    SetTransmission(SerialTransmissionMode::AllMode);
    const ResponderResult scan = Send({0xF8, 'A', 'S'});
    ASSERT_EQ(scan.replies.size(), 1u);
    EXPECT_EQ(scan.replies[0].delayMs, 1500u);
    EXPECT_EQ(Send({0x1B, 'A', 'H', 0x0D}).replies[0].delayMs, 0u);

    // One damaged parameter-set reply, frame bytes intact, then sound ones.
    const std::vector<uint8_t> sound = sim::PsfReply(responder.Model());
    const std::vector<uint8_t> damaged = Reply({0x1B, 'A', 'D', 0x0D});
    ASSERT_EQ(damaged.size(), sound.size());
    EXPECT_NE(damaged, sound);
    EXPECT_EQ(damaged.front(), sound.front());
    EXPECT_EQ(damaged.back(), sound.back());
    EXPECT_EQ(damaged[2], sound[2]);
    EXPECT_EQ(Reply({0x1B, 'A', 'D', 0x0D}), sound);

    for (const char* bad : {"lost-ack:0", "late-scan", "flip:dd", "flip:1", "flip-once"})
        EXPECT_FALSE(sim::FaultSet{}.Add(bad, error)) << bad;
}

TEST_F(ResponderTest, FrameSplitAcrossBurstsIsJoinedUnlessItGoesStale) {
    const uint8_t head[] = {0x1B, 'A'};
    const uint8_t tail[] = {'H', 0x0D};
    EXPECT_TRUE(responder.Receive(head, 2, 1000, 9600, true).replies.empty());
    EXPECT_EQ(responder.Receive(tail, 2, 1010, 9600, true).replies.size(), 1u);

    EXPECT_TRUE(responder.Receive(head, 2, 2000, 9600, true).replies.empty());
    EXPECT_TRUE(responder.Receive(tail, 2, 2000 + Responder::kStaleFrameMs + 1, 9600, true)
                    .replies.empty());
}

}  // namespace
