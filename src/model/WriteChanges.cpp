#include "model/WriteChanges.h"

#include <cstdio>

#include "model/PsfFields.h"

namespace {

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

const char* BlankState(const CBlankingMap& map, int channel) {
    return map.IsBlanked(channel) ? "blanked" : "clear";
}

}  // namespace

std::vector<FieldChange> PsfChanges(const CPsfRecord& before, const CPsfRecord& after) {
    std::vector<FieldChange> changes;
    for (const PsfDifference& d : DiffPsf(before, after)) changes.push_back({d.label, d.a, d.b});
    if (!changes.empty()) return changes;
    for (int i = 2; i < kPsfRecordSize; ++i)
        if (before.Data()[i] != after.Data()[i])
            changes.push_back(
                {"Byte " + std::to_string(i), Hex(before.Data()[i]), Hex(after.Data()[i])});
    return changes;
}

std::vector<FieldChange> BlankingChanges(const CBlankingMap& before, const CBlankingMap& after) {
    if (before.ChannelCount() != after.ChannelCount())
        return {{"Channels", std::to_string(before.ChannelCount()),
                 std::to_string(after.ChannelCount())}};
    std::vector<FieldChange> changes;
    for (int channel = 0; channel < before.ChannelCount(); ++channel)
        if (before.IsBlanked(channel) != after.IsBlanked(channel))
            changes.push_back({"Channel " + std::to_string(channel + 1),
                               BlankState(before, channel), BlankState(after, channel)});
    return changes;
}

std::string PartNumberText(uint32_t partNumber) { return std::to_string(partNumber); }

std::string DateCodeText(uint16_t dateCode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04d", static_cast<int>(dateCode));
    return text;
}

std::vector<FieldChange> PartNumberChanges(uint32_t partNumberBefore, uint16_t dateCodeBefore,
                                           uint32_t partNumberAfter, uint16_t dateCodeAfter) {
    std::vector<FieldChange> changes;
    if (partNumberBefore != partNumberAfter)
        changes.push_back(
            {"Part Number", PartNumberText(partNumberBefore), PartNumberText(partNumberAfter)});
    if (dateCodeBefore != dateCodeAfter)
        changes.push_back({"Date Code", DateCodeText(dateCodeBefore), DateCodeText(dateCodeAfter)});
    return changes;
}

std::string HeldInsteadText(const std::vector<FieldChange>& sentThenHeld) {
    std::string text;
    for (const FieldChange& c : sentThenHeld)
        text += (text.empty() ? "" : ", ") + c.field + " " + c.after + " (sent " + c.before + ")";
    return text;
}

std::string MismatchAddendum(const std::vector<FieldChange>& sentThenHeld) {
    return "\n\nThe controller acknowledged the write but holds different settings: " +
           HeldInsteadText(sentThenHeld);
}
