#include "station/UnitColumns.h"

#include "station/Utf8.h"

namespace {

enum Column : size_t {
    kStartedAt,
    kFinishedAt,
    kStation,
    kDevice,
    kControllerId,
    kPartNumber,
    kDateCode,
    kFirmware,
    kLayout,
    kPsfFingerprint,
    kBlankingFingerprint,
    kResult,
    kReason,
    kOperator,
    kRecordUid,
};

// The text member behind a column; null for the time and result columns.
std::string UnitRecord::*TextMember(size_t column) {
    switch (column) {
    case kStation: return &UnitRecord::station;
    case kDevice: return &UnitRecord::device;
    case kControllerId: return &UnitRecord::controllerId;
    case kPartNumber: return &UnitRecord::partNumber;
    case kDateCode: return &UnitRecord::dateCode;
    case kFirmware: return &UnitRecord::firmware;
    case kLayout: return &UnitRecord::layout;
    case kPsfFingerprint: return &UnitRecord::psfFingerprint;
    case kBlankingFingerprint: return &UnitRecord::blankingFingerprint;
    case kReason: return &UnitRecord::reason;
    case kOperator: return &UnitRecord::operatorName;
    case kRecordUid: return &UnitRecord::recordUid;
    default: return nullptr;
    }
}

}  // namespace

bool IsTimeColumn(size_t column) { return column == kStartedAt || column == kFinishedAt; }

bool IsRequiredColumn(size_t column) {
    return IsTimeColumn(column) || column == kStation || column == kDevice || column == kResult ||
           column == kRecordUid;
}

std::string ColumnText(const UnitRecord& unit, size_t column) {
    switch (column) {
    case kStartedAt: return FormatUtc(unit.startedAtMs);
    case kFinishedAt: return FormatUtc(unit.finishedAtMs);
    case kResult: return std::string(ResultText(unit.result));
    default: {
        const auto member = TextMember(column);
        return member ? CleanUtf8(unit.*member) : std::string();
    }
    }
}

bool SetColumnText(UnitRecord& unit, size_t column, std::string_view text) {
    if (IsTimeColumn(column)) {
        const auto time = ParseUtc(text);
        if (!time) return false;
        (column == kStartedAt ? unit.startedAtMs : unit.finishedAtMs) = *time;
        return true;
    }
    if (column == kResult) {
        const auto result = ResultFromText(text);
        if (!result) return false;
        unit.result = *result;
        return true;
    }
    const auto member = TextMember(column);
    if (!member) return false;
    unit.*member = std::string(text);
    return true;
}
