#include "station/UnitFingerprints.h"

#include <cctype>
#include <vector>

#include "platform/Sha256.h"

namespace {

std::string Short(const Sha256Digest& digest) {
    std::string hex = DigestHex(digest).substr(0, 8);
    for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hex;
}

}  // namespace

std::string PsfFingerprint(const CPsfRecord& psf) { return Short(Sha256(psf.Data() + 2, kPsfRecordSize - 2)); }

std::string BlankingFingerprint(const CBlankingMap& map) {
    const int count = map.ChannelCount();
    std::vector<uint8_t> bytes{static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    bytes.insert(bytes.end(), map.Data(), map.Data() + map.ByteCount());
    return Short(Sha256(bytes.data(), bytes.size()));
}
