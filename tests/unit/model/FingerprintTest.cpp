#include <gtest/gtest.h>

#include "model/Fingerprint.h"
#include "model/WriteChanges.h"

TEST(FingerprintTest, IsTheStartOfTheSha256InCapitals) {
    // SHA-256 of six zero bytes starts b0f66adc; of 00 01 11 70 04 4E (part
    // number 70000, date code 1102) 7ae625ef.
    EXPECT_EQ(PartNumberFingerprint(0, 0), "B0F66ADC");
    EXPECT_EQ(PartNumberFingerprint(70000, 1102), "7AE625EF");
}

TEST(FingerprintTest, ASetIsKnownByBytes2To153Only) {
    CPsfRecord a;
    CPsfRecord b = a;
    b.Data()[0] = 'Z';  // the addressed id and the letter say where it went
    b.Data()[1] = 'E';
    EXPECT_EQ(PsfFingerprint(a), PsfFingerprint(b));
    b.Data()[kPsfRecordSize - 1] ^= 1;
    EXPECT_NE(PsfFingerprint(a), PsfFingerprint(b));
}

TEST(FingerprintTest, AMapIsKnownByItsChannelCountToo) {
    const CBlankingMap clear16(16);
    const CBlankingMap clear24(24);
    CBlankingMap one16(16);
    one16.Blank(15);
    EXPECT_NE(BlankingFingerprint(clear16), BlankingFingerprint(clear24));
    EXPECT_NE(BlankingFingerprint(clear16), BlankingFingerprint(one16));
    EXPECT_EQ(BlankingFingerprint(clear16), BlankingFingerprint(CBlankingMap(16)));
}

TEST(WriteChangesTest, TheMismatchAddendumNamesEachFieldHeldAndSent) {
    CPsfRecord sent;
    sent.SetBaudCode('A');
    sent.SetScanCount(1);
    CPsfRecord held = sent;
    held.SetBaudCode('B');
    held.SetScanCount(2);
    EXPECT_EQ(MismatchAddendum(PsfChanges(sent, held)),
              "\n\nThe controller acknowledged the write but holds different settings: "
              "Baud Rate 19200 (sent 9600), Scan Count 2 (sent 1)");

    // A difference in no field still shows, by its byte.
    sent.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    held = sent;
    held.Data()[8] ^= 0x80;
    EXPECT_EQ(HeldInsteadText(PsfChanges(sent, held)).rfind("Byte 8 0x", 0), 0u);

    CBlankingMap sentMap(16);
    CBlankingMap heldMap(16);
    heldMap.Blank(0);
    EXPECT_EQ(HeldInsteadText(BlankingChanges(sentMap, heldMap)), "Channel 1 blanked (sent clear)");
    EXPECT_EQ(HeldInsteadText(PartNumberChanges(777, 1234, 776, 1234)),
              "Part Number 776 (sent 777)");
}
