#include <gtest/gtest.h>

#include <functional>

#include "LinkOnSimulator.h"
#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "model/ScanReply.h"

namespace {

constexpr uint8_t kFs = 0x1C;
constexpr uint8_t kLf = 0x0A;

using CommandSet = LinkOnSimulator;

TEST_F(CommandSet, PartNumberRequestCarriesNumberDateCodeAndChecksum) {
    ASSERT_EQ(link->WritePartNumber(70000, 1102), 1);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request,
              Bytes({0x1B, 'A', 0x58, 0x00, 0x01, 0x11, 0x70, 0x04, 0x4E, 0x00, 0xD4, 0x0D}));
    EXPECT_EQ(Model().partNumber, 70000u);
    EXPECT_EQ(Model().dateCode, 1102);
}

TEST_F(CommandSet, DateCodeAbove65535IsSentModulo65536) {
    Model().SetId('C');
    ASSERT_EQ(link->WritePartNumber(70000, 65536 + 1102), 1);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request,
              Bytes({0x1B, 'C', 0x58, 0x00, 0x01, 0x11, 0x70, 0x04, 0x4E, 0x00, 0xD4, 0x0D}));
}

TEST_F(CommandSet, AcknowledgementWithAnotherLetterFailsTheWrite) {
    Faults().wrongLetter = true;
    EXPECT_EQ(link->WritePartNumber(1, 1), 0);
    CBlankingMap map(16);
    EXPECT_EQ(link->WriteBlanking(map), 0);
    CPsfRecord psf;
    EXPECT_EQ(link->SendPsf(psf), 0);
}

TEST_F(CommandSet, DiagnosticsRoundTripDecodesBoardsAndIdentity) {
    Model().emitter = {{16, 0}, {16, 0}, {8, 17}};
    Model().receiver = {{16, 0}};
    Model().partNumber = 654321;
    Model().dateCode = 7;
    Model().firmware = 0x1F;
    CDiagnosticsRecord record;
    ASSERT_EQ(link->RequestDiagnostics(record), 1);
    EXPECT_EQ(record.emitterBoardCount, 3);
    EXPECT_EQ(record.emitterChannelTotal, 40);
    EXPECT_EQ(record.receiverChannelTotal, 16);
    EXPECT_EQ(record.emitterBoards[2].errorCode, 17);
    EXPECT_EQ(record.systemState, 3);
    EXPECT_EQ(record.partNumber, "654321");
    EXPECT_EQ(record.dateCode, "0007");
    EXPECT_EQ(record.firmwareVersion, "1.15");
    // Whatever was waiting is discarded right before the request goes out.
    const std::string pattern = CallPattern();
    EXPECT_EQ(pattern.substr(pattern.size() - 3), "IWR");
}

TEST_F(CommandSet, DiagnosticsReplyLengthBoundsAreElevenAndThirtyFive) {
    // No boards at all: the shortest complete block, 11 bytes.
    Model().emitter.clear();
    Model().receiver.clear();
    CDiagnosticsRecord record;
    ASSERT_EQ(link->RequestDiagnostics(record), 1);
    EXPECT_EQ(record.systemState, 2);

    // One byte less is refused.
    Faults().truncate = true;
    EXPECT_EQ(link->RequestDiagnostics(record), 0);
}

TEST_F(CommandSet, DiagnosticsReplyWithoutLfBeforeOffset35Fails) {
    std::vector<uint8_t> reply = Bytes({kFs, 'A', 'I', 0, 1, 0xE2, 0x40, 0x04, 0x4E, 0x23});
    reply.resize(35, 0x40);  // boards all the way, no terminator
    line->Controller().ScriptReply("H", reply);
    CDiagnosticsRecord record;
    EXPECT_EQ(link->RequestDiagnostics(record), 0);
}

TEST_F(CommandSet, ReadBlankingFillsTheMapMostSignificantBitFirst) {
    Model().SetBlanked(0, true);
    Model().SetBlanked(9, true);
    Model().SetBlanked(100, true);  // beyond a 16-channel map: ignored
    CBlankingMap map(16);
    ASSERT_EQ(link->ReadBlanking(map), 1);
    EXPECT_EQ(map.Data()[0], 0x80);
    EXPECT_EQ(map.Data()[1], 0x40);
}

TEST_F(CommandSet, BlankingReplyFromAnotherIdFailsWithoutTouchingTheMap) {
    Model().SetBlanked(0, true);
    Faults().wrongId = true;
    CBlankingMap map(16);
    map.Blank(3);
    EXPECT_EQ(link->ReadBlanking(map), 0);
    EXPECT_EQ(map.Data()[0], 0x10);
    EXPECT_EQ(map.Data()[1], 0x00);
}

TEST_F(CommandSet, BlankingReplyWithBadChecksumFailsAfterFillingTheMap) {
    Model().SetBlanked(0, true);
    Model().SetBlanked(9, true);
    Faults().badChecksum = true;
    CBlankingMap map(16);
    EXPECT_EQ(link->ReadBlanking(map), 0);
    EXPECT_EQ(map.Data()[0], 0x80);
    EXPECT_EQ(map.Data()[1], 0x40);
}

TEST_F(CommandSet, WriteBlankingSendsBlockChecksumAndCr) {
    CBlankingMap map(16);
    map.Blank(0);
    map.Blank(9);
    ASSERT_EQ(link->WriteBlanking(map), 1);
    std::vector<uint8_t> expected = Bytes({0x1B, 'A', 'W', 0x80, 0x40});
    expected.resize(51, 0x00);
    for (int b : {0x00, 0xC0, 0x0D}) expected.push_back(static_cast<uint8_t>(b));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, expected);
    EXPECT_TRUE(Model().IsBlanked(0));
    EXPECT_TRUE(Model().IsBlanked(9));
    EXPECT_FALSE(Model().IsBlanked(1));
}

TEST_F(CommandSet, WriteBlankingDoesNotCompareTheAcknowledgementsId) {
    Faults().wrongId = true;
    CBlankingMap map(384);
    map.Blank(383);
    EXPECT_EQ(link->WriteBlanking(map), 1);
    EXPECT_TRUE(Model().IsBlanked(383));
}

// The block holds 384 channels: a map up to that size goes out whole, a
// larger one not at all (not even a probe), rather than cut short.
TEST_F(CommandSet, WriteBlankingSendsMapsTheBlockHoldsAndNoLarger) {
    const struct {
        int channels;
        int result;
        size_t writes;
    } cases[] = {{384, 1, 2}, {392, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        line->ClearLogs();
        CBlankingMap map(c.channels);
        map.Blank(0);
        EXPECT_EQ(link->WriteBlanking(map), c.result);
        EXPECT_EQ(line->Writes().size(), c.writes);
    }
}

TEST_F(CommandSet, SendPsfSendsTheEncodedFrame) {
    CPsfRecord psf;
    psf.SetMeasMode(0, 'E');
    psf.SetScanCount(5);
    ASSERT_EQ(link->SendPsf(psf), 1);
    uint8_t expected[kPsfFrameLength];
    CPsfRecord copy = psf;
    copy.Encode(expected, 'A');
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, std::vector<uint8_t>(expected, expected + kPsfFrameLength));
    EXPECT_EQ(Model().Psf().GetMeasMode(0), 'E');
    EXPECT_EQ(Model().Psf().GetScanCount(), 5);
}

TEST_F(CommandSet, SendPsfTakesTheAcknowledgementsIdAsTheLinks) {
    Faults().wrongId = true;
    CPsfRecord psf;
    ASSERT_EQ(link->SendPsf(psf), 1);
    EXPECT_EQ(link->ControllerId(), 'B');
}

TEST_F(CommandSet, NewIdAndRateInAParameterSetAreFollowedByLaterCommands) {
    CPsfRecord psf;
    psf.SetControllerId('D');
    psf.SetBaudCode('C');
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    ASSERT_EQ(link->SendPsf(psf), 1);
    EXPECT_EQ(Model().Baud(), 38400);
    EXPECT_EQ(link->ControllerId(), 'D');

    // The scan goes to the new id, at the new rate once the link follows.
    ASSERT_EQ(link->SelectBaud(2), 1);
    CBeamBitScan scan(32);
    EXPECT_EQ(link->RequestScan(scan), 1);

    // A fresh command probes from 9600 and finds the controller at 38400.
    CControllerLink fresh(std::make_unique<sim::SimulatedPort>(line, 0, 9600));
    CPsfRecord read;
    ASSERT_EQ(fresh.ReadPsf(read), 1);
    EXPECT_EQ(fresh.BaudIndex(), 2);
    EXPECT_EQ(read.GetControllerId(), 'D');
    EXPECT_EQ(read.Data()[0], 'D');
}

TEST_F(CommandSet, ReadPsfReturnsTheStoredSetWithoutCheckingItsChecksum) {
    CPsfRecord stored = Model().Psf();
    stored.SetScanningMethod('j');
    stored.SetMeasMode(1, 'I');
    Model().StorePsf(stored);
    Faults().badChecksum = true;
    CPsfRecord record;
    ASSERT_EQ(link->ReadPsf(record), 1);
    EXPECT_EQ(record, Model().Psf());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, Bytes({0x1B, 'A', 'D', 0x0D}));
}

TEST_F(CommandSet, ReadPsfRefusesAnotherReplyLetterAndKeepsTheRecord) {
    Faults().wrongLetter = true;
    CPsfRecord record;
    record.SetScanCount(7);
    EXPECT_EQ(link->ReadPsf(record), 0);
    EXPECT_EQ(record.GetScanCount(), 7);
}

TEST_F(CommandSet, ScanThatNeverComesCostsThreeAttemptsWithBothQueuesFlushed) {
    CPsfRecord psf;
    ASSERT_EQ(link->ReadPsf(psf), 1);  // finds the controller's id
    line->ClearLogs();
    // The stored parameter set has no serial transmission: no scan reply.
    const uint32_t start = clock.TickMs();
    CBeamBitScan scan(32);
    EXPECT_EQ(link->RequestScan(scan), 0);
    const uint32_t elapsed = clock.TickMs() - start;

    EXPECT_EQ(CallPattern(), "WRIOWRIOWRIO");
    for (const auto& write : line->Writes()) EXPECT_EQ(write, Bytes({0xF8, 'A', 'S'}));
    // 50 ms lead, then per attempt 100 ms and a read of 1000 ms, which ends
    // at the first 95 ms block boundary past its time-out.
    EXPECT_EQ(elapsed, 50u + 3 * (100 + 11 * 95));
}

TEST_F(CommandSet, ScanIsRetriedAfterALostReplyButNotAfterARefusedOne) {
    CPsfRecord psf;
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    ASSERT_EQ(link->SendPsf(psf), 1);

    Faults().failFirst = true;
    line->ClearLogs();
    CBeamBitScan scan(32);
    EXPECT_EQ(link->RequestScan(scan), 1);
    EXPECT_EQ(line->Writes().size(), 2u);

    // Complete but not a scan reply: no second attempt.
    line->ClearLogs();
    line->Controller().ScriptReply("scan", Bytes({0x00, 'A', 0, 0, 0, 0, kLf}));
    EXPECT_EQ(link->RequestScan(scan), 0);
    EXPECT_EQ(line->Writes().size(), 1u);
}

TEST_F(CommandSet, ScanBeforeAnyCommandIsAddressedToIdZeroAndGoesUnanswered) {
    Model().beams.SetBlocked(1, true);
    CPsfRecord psf = Model().Psf();
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    Model().StorePsf(psf);
    CBeamBitScan scan(32);
    EXPECT_EQ(link->RequestScan(scan), 0);
    ASSERT_FALSE(line->Writes().empty());
    EXPECT_EQ(line->Writes()[0], Bytes({0xF8, 0x00, 'S'}));
}

TEST_F(CommandSet, AllModeScanReportsBlockedBeamsWithBlankedOnesMade) {
    Model().beams.SetBlocked(3, true);
    Model().beams.SetBlocked(20, true);
    Model().SetBlanked(20, true);
    CPsfRecord psf;
    psf.SetTransmissionMode(SerialTransmissionMode::AllMode);
    ASSERT_EQ(link->SendPsf(psf), 1);
    CBeamBitScan scan(32);
    ASSERT_EQ(link->RequestScan(scan), 1);
    EXPECT_EQ(scan.BeamState(3), 1);
    EXPECT_EQ(scan.BeamState(20), 0);
    EXPECT_EQ(scan.Statistics().blockedCount, 1);
    EXPECT_EQ(scan.Statistics().madeCount, 31);
}

TEST_F(CommandSet, SilentControllerFailsEveryCommandAfterItsProbes) {
    Faults().silent = true;
    CPsfRecord psf;
    CDiagnosticsRecord diagnostics;
    CBlankingMap map(16);
    EXPECT_EQ(link->SendPsf(psf), 0);
    EXPECT_EQ(link->ReadPsf(psf), 0);
    EXPECT_EQ(link->RequestDiagnostics(diagnostics), 0);
    EXPECT_EQ(link->ReadBlanking(map), 0);
    EXPECT_EQ(link->WriteBlanking(map), 0);
    EXPECT_EQ(link->WritePartNumber(1, 1), 0);
    // Nothing but probes went out: a failed Connect ends the command.
    for (const auto& write : line->Writes()) EXPECT_EQ(write, Bytes({0xF8}));
    EXPECT_EQ(line->Writes().size(), 6u * 3);
    EXPECT_EQ(diagnostics.systemState, 4);
}

}  // namespace

namespace {

TEST_F(CommandSet, CheckedReadTakesOnlyAReplyThatHoldsOrIsConfirmed) {
    struct Case {
        const char* name;
        std::function<void(sim::FaultSet&)> fault;
        int result;
        int reads;
    };
    const Case cases[] = {
        {"checksum holds: one read", [](sim::FaultSet&) {}, 1, 1},
        {"one damaged reply: the second read is taken",
         [](sim::FaultSet& f) { f.flipLetter = 'D', f.flipOnce = true; }, 1, 2},
        {"a controller that sums differently: two equal replies are taken",
         [](sim::FaultSet& f) { f.badChecksum = true; }, 1, 2},
        {"damaged twice, differently: refused", [](sim::FaultSet& f) { f.flipLetter = 'D'; }, 0, 2},
        {"no controller", [](sim::FaultSet& f) { f.silent = true; }, 0, 0},
    };
    CPsfRecord stored = Model().Psf();
    stored.SetScanningMethod('e');
    stored.SetScanCount(4);
    Model().StorePsf(stored);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Faults() = sim::FaultSet{};
        c.fault(Faults());
        line->ClearLogs();
        CPsfRecord record;
        record.SetScanCount(9);
        const CPsfRecord before = record;

        EXPECT_EQ(link->ReadPsfChecked(record), c.result);

        int reads = 0;
        for (const auto& request : line->RequestLog()) reads += request.kind == "D";
        EXPECT_EQ(reads, c.reads);
        if (c.result == 1) {
            EXPECT_TRUE(std::equal(record.Data() + 2, record.Data() + kPsfRecordSize, stored.Data() + 2));
        } else {
            EXPECT_EQ(record, before);
        }
    }
}

TEST_F(CommandSet, AParameterSetAlwaysGoesOutAsACRequestWhateverItsImageSays) {
    for (const int letter : {int{'W'}, int{'X'}, int{'C'}, 0}) {
        line->ClearLogs();
        const auto blankingBefore = Model().blanking;
        const uint32_t partNumberBefore = Model().partNumber;
        CPsfRecord record;
        record.SetScanningMethod('b');
        record.Data()[1] = static_cast<uint8_t>(letter);  // as a file may hold it

        EXPECT_EQ(link->SendPsf(record), 1) << letter;

        const auto requests = Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].request[2], 'C');
        EXPECT_EQ(Model().Psf().GetScanningMethod(), 'b');
        EXPECT_EQ(Model().blanking, blankingBefore);
        EXPECT_EQ(Model().partNumber, partNumberBefore);
    }
}

}  // namespace
