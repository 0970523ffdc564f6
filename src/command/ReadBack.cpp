#include "command/ReadBack.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

bool ParseUnsigned(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    errno = 0;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return errno == 0 && value <= max;
}

}  // namespace

ReadBack ReadBackPsf(CControllerLink& link, const CPsfRecord& sent,
                     std::vector<FieldChange>& differences) {
    differences.clear();
    CPsfRecord held;
    // Checked read: a reply damaged on the line must not pass for a fault of
    // the controller's memory.
    if (!link.ReadPsfChecked(held)) return ReadBack::Unreadable;
    if (std::equal(sent.Data() + 2, sent.Data() + kPsfRecordSize, held.Data() + 2))
        return ReadBack::Same;
    differences = PsfChanges(sent, held);
    return ReadBack::Different;
}

ReadBack ReadBackBlanking(CControllerLink& link, const CBlankingMap& sent,
                          std::vector<FieldChange>& differences) {
    differences.clear();
    CBlankingMap held(sent.ChannelCount());
    if (!link.ReadBlanking(held)) return ReadBack::Unreadable;
    if (held == sent) return ReadBack::Same;
    differences = BlankingChanges(sent, held);
    return ReadBack::Different;
}

ReadBack ReadBackPartNumber(CControllerLink& link, uint32_t partNumber, uint16_t dateCode,
                            std::vector<FieldChange>& differences, CDiagnosticsRecord& held) {
    differences.clear();
    if (!link.RequestDiagnostics(held)) return ReadBack::Unreadable;
    if (held.partNumber == PartNumberText(partNumber) && held.dateCode == DateCodeText(dateCode))
        return ReadBack::Same;
    if (held.partNumber != PartNumberText(partNumber))
        differences.push_back({"Part Number", PartNumberText(partNumber), held.partNumber});
    if (held.dateCode != DateCodeText(dateCode))
        differences.push_back({"Date Code", DateCodeText(dateCode), held.dateCode});
    return ReadBack::Different;
}

bool PartNumberOf(const CDiagnosticsRecord& record, uint32_t& partNumber, uint16_t& dateCode) {
    unsigned long pn = 0;
    unsigned long dc = 0;
    if (!ParseUnsigned(record.partNumber, 0xFFFFFFFFul, pn) ||
        !ParseUnsigned(record.dateCode, 0xFFFFul, dc))
        return false;
    partNumber = static_cast<uint32_t>(pn);
    dateCode = static_cast<uint16_t>(dc);
    return true;
}
