#include "model/Fingerprint.h"

#include <vector>

#include "platform/Sha256.h"

namespace {

constexpr size_t kFingerprintDigits = 8;

}  // namespace

std::string FingerprintOf(const uint8_t* data, size_t size) {
    std::string hex = DigestHex(Sha256(data, size)).substr(0, kFingerprintDigits);
    for (char& c : hex)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return hex;
}

std::string PsfFingerprint(const CPsfRecord& record) {
    return FingerprintOf(record.Data() + 2, kPsfRecordSize - 2);
}

std::string BlankingFingerprint(const CBlankingMap& map) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(map.ChannelCount() >> 8),
                                  static_cast<uint8_t>(map.ChannelCount() & 0xFF)};
    bytes.insert(bytes.end(), map.Data(), map.Data() + map.ByteCount());
    return FingerprintOf(bytes.data(), bytes.size());
}

std::string PartNumberFingerprint(uint32_t partNumber, uint16_t dateCode) {
    const uint8_t bytes[6] = {
        static_cast<uint8_t>(partNumber >> 24), static_cast<uint8_t>(partNumber >> 16),
        static_cast<uint8_t>(partNumber >> 8),  static_cast<uint8_t>(partNumber),
        static_cast<uint8_t>(dateCode >> 8),    static_cast<uint8_t>(dateCode)};
    return FingerprintOf(bytes, sizeof bytes);
}
