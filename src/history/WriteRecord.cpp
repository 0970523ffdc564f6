#include "history/WriteRecord.h"

#include "model/Fingerprint.h"
#include "model/PsfText.h"

namespace {

constexpr int kPartNumberBytes = 6;

struct Program {
    std::string name = "veltrix";
    std::string version;
};

Program& TheProgram() {
    static Program program;
    return program;
}

std::vector<uint8_t> PartNumberBytes(uint32_t partNumber, uint16_t dateCode) {
    return {static_cast<uint8_t>(partNumber >> 24), static_cast<uint8_t>(partNumber >> 16),
            static_cast<uint8_t>(partNumber >> 8),  static_cast<uint8_t>(partNumber),
            static_cast<uint8_t>(dateCode >> 8),    static_cast<uint8_t>(dateCode)};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

const char* WriteKindName(WriteKind kind) {
    switch (kind) {
        case WriteKind::Blanking:
            return "blanking";
        case WriteKind::PartNumber:
            return "partnumber";
        case WriteKind::Psf:
            break;
    }
    return "psf";
}

const char* WriteKindText(WriteKind kind) {
    switch (kind) {
        case WriteKind::Blanking:
            return "blanking fields";
        case WriteKind::PartNumber:
            return "part number and date code";
        case WriteKind::Psf:
            break;
    }
    return "parameter set";
}

std::optional<WriteKind> WriteKindNamed(const std::string& name) {
    for (WriteKind kind : {WriteKind::Psf, WriteKind::Blanking, WriteKind::PartNumber})
        if (name == WriteKindName(kind)) return kind;
    return std::nullopt;
}

void WriteRecord::SetPsf(const CPsfRecord& replaced, const CPsfRecord& sent) {
    kind = WriteKind::Psf;
    before.assign(replaced.Data(), replaced.Data() + kPsfRecordSize);
    after.assign(sent.Data(), sent.Data() + kPsfRecordSize);
    fingerprintBefore = PsfFingerprint(replaced);
    fingerprintAfter = PsfFingerprint(sent);
    changes = PsfChanges(replaced, sent);
}

void WriteRecord::SetBlanking(const CBlankingMap& replaced, const CBlankingMap& sent) {
    kind = WriteKind::Blanking;
    channels = sent.ChannelCount();
    before.assign(replaced.Data(), replaced.Data() + replaced.ByteCount());
    after.assign(sent.Data(), sent.Data() + sent.ByteCount());
    fingerprintBefore = BlankingFingerprint(replaced);
    fingerprintAfter = BlankingFingerprint(sent);
    changes = BlankingChanges(replaced, sent);
}

void WriteRecord::SetPartNumber(uint32_t partNumberBefore, uint16_t dateCodeBefore,
                                uint32_t partNumberAfter, uint16_t dateCodeAfter) {
    kind = WriteKind::PartNumber;
    before = PartNumberBytes(partNumberBefore, dateCodeBefore);
    after = PartNumberBytes(partNumberAfter, dateCodeAfter);
    fingerprintBefore = PartNumberFingerprint(partNumberBefore, dateCodeBefore);
    fingerprintAfter = PartNumberFingerprint(partNumberAfter, dateCodeAfter);
    changes = PartNumberChanges(partNumberBefore, dateCodeBefore, partNumberAfter, dateCodeAfter);
}

void WriteRecord::ForgetBefore() {
    before.clear();
    fingerprintBefore.clear();
    changes.clear();
}

ControllerIdentity WriteRecord::IdentityAfter() const {
    ControllerIdentity identity = controller;
    if (kind == WriteKind::Psf && after.size() == kPsfRecordSize) identity.id = after[2];
    if (kind == WriteKind::PartNumber && after.size() == kPartNumberBytes && identity.hardware) {
        identity.hardware->partNumber = PartNumberText(
            static_cast<uint32_t>(after[0]) << 24 | static_cast<uint32_t>(after[1]) << 16 |
            static_cast<uint32_t>(after[2]) << 8 | after[3]);
        identity.hardware->dateCode = DateCodeText(static_cast<uint16_t>(after[4] << 8 | after[5]));
    }
    return identity;
}

std::optional<CPsfRecord> WriteRecord::ReplacedPsf() const {
    if (kind != WriteKind::Psf || before.size() != kPsfRecordSize) return std::nullopt;
    CPsfRecord record;
    std::copy(before.begin(), before.end(), record.Data());
    return record;
}

std::optional<CBlankingMap> WriteRecord::ReplacedBlanking() const {
    if (kind != WriteKind::Blanking || channels <= 0 || channels > CBlankingMap::kBlockBytes * 8)
        return std::nullopt;
    CBlankingMap map(channels);
    if (static_cast<int>(before.size()) != map.ByteCount()) return std::nullopt;
    std::copy(before.begin(), before.end(), map.Data());
    return map;
}

bool WriteRecord::ReplacedPartNumber(uint32_t& partNumber, uint16_t& dateCode) const {
    if (kind != WriteKind::PartNumber || before.size() != kPartNumberBytes) return false;
    partNumber = static_cast<uint32_t>(before[0]) << 24 | static_cast<uint32_t>(before[1]) << 16 |
                 static_cast<uint32_t>(before[2]) << 8 | before[3];
    dateCode = static_cast<uint16_t>(before[4] << 8 | before[5]);
    return true;
}

void SetRecordingProgram(const std::string& name, const std::string& version) {
    TheProgram() = {name, version};
}

const std::string& RecordingProgramName() { return TheProgram().name; }
const std::string& RecordingProgramVersion() { return TheProgram().version; }

std::string BytesHex(const std::vector<uint8_t>& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += kHex[b >> 4];
        hex += kHex[b & 0x0F];
    }
    return hex;
}

bool BytesFromHex(const std::string& hex, std::vector<uint8_t>& bytes) {
    if (hex.size() % 2 != 0) return false;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    bytes = std::move(out);
    return true;
}

nlohmann::ordered_json ChangesJson(const std::vector<FieldChange>& changes) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const FieldChange& c : changes)
        list.push_back({{"field", c.field}, {"old", c.before}, {"new", c.after}});
    return list;
}

std::vector<FieldChange> ChangesFromJson(const nlohmann::ordered_json& json) {
    std::vector<FieldChange> changes;
    if (!json.is_array()) return changes;
    for (const auto& c : json)
        if (c.is_object())
            changes.push_back({c.value("field", ""), c.value("old", ""), c.value("new", "")});
    return changes;
}

std::string ControllerIdText(uint8_t id) { return PsfCodeText(id); }
