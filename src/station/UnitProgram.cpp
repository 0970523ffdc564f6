#include "station/UnitProgram.h"

#include <algorithm>
#include <cstdio>

#include "model/ControllerIdentity.h"
#include "model/PsfFields.h"
#include "station/UnitFingerprints.h"

namespace {

constexpr int kOperational = 3;

std::string DateCodeText(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u", code);
    return text;
}

// "baud 19200, expected 9600; scans 3, expected 1": the first few fields
// that differ, so that a reason stays one readable line.
std::string PsfDifferences(const CPsfRecord& found, const CPsfRecord& expected) {
    constexpr size_t kNamed = 3;
    const std::vector<PsfDifference> differences = DiffPsf(found, expected);
    std::string text;
    for (size_t k = 0; k < differences.size() && k < kNamed; ++k) {
        if (!text.empty()) text += "; ";
        text += differences[k].field + " " + differences[k].a + ", expected " + differences[k].b;
    }
    if (differences.size() > kNamed) text += "; " + std::to_string(differences.size() - kNamed) + " more";
    if (text.empty()) text = "the controller id differs";  // bytes DiffPsf does not show
    return text;
}

// Bytes 2 to 153: what a controller stores of a set (bytes 0 and 1 travel
// with the frame, not with the set).
bool SameSet(const CPsfRecord& a, const CPsfRecord& b) {
    return std::equal(a.Data() + 2, a.Data() + kPsfRecordSize, b.Data() + 2);
}

class UnitRun {
public:
    UnitRun(const StationRecipe& recipe, const UnitContext& context, UnitAccess& unit,
            const KeepOriginalPsf& keepOriginal, const StepGate& beforeStep)
        : m_recipe(recipe), m_unit(unit), m_keepOriginal(keepOriginal), m_gate(beforeStep) {
        UnitRecord& r = m_outcome.record;
        r.startedAtMs = NowUtcMs();
        r.station = context.station;
        r.device = context.device;
        r.operatorName = context.operatorName;
        r.partNumber = recipe.partNumber;
        r.recordUid = NewRecordUid();
        m_dateCode = context.dateCode;
    }

    UnitOutcome Run() {
        if (CheckDiagnostics() && KeepOriginal() && WritePsf() && WriteBlanking() && WritePartNumber() &&
            ReadBack()) {
            m_outcome.reached = UnitStep::Done;
            m_outcome.record.result = UnitRecord::Result::Pass;
        }
        UnitRecord& r = m_outcome.record;
        r.controllerId = m_unit.ControllerId() ? std::string(1, static_cast<char>(m_unit.ControllerId())) : "";
        r.finishedAtMs = NowUtcMs();
        return m_outcome;
    }

private:
    bool Fail(const std::string& why) {
        m_outcome.record.result = UnitRecord::Result::Fail;
        std::string reason = std::string(UnitStepName(m_outcome.reached)) + ": " + why;
        if (m_outcome.halfWritten) reason += " (the unit is half-written)";
        m_outcome.record.reason = reason;
        return false;
    }

    // Between steps: a stop ends the unit here.
    bool Enter(UnitStep step) {
        m_outcome.reached = step;
        if (!m_gate || m_gate(step)) return true;
        m_outcome.stopped = true;
        return Fail("stopped by the operator");
    }

    bool CheckDiagnostics() {
        m_outcome.reached = UnitStep::Diagnostics;
        if (!m_unit.ReadDiagnostics(m_diagnostics)) return Fail("no diagnostics reply");
        UnitRecord& r = m_outcome.record;
        r.firmware = m_diagnostics.firmwareVersion;
        r.layout = BoardLayout(m_diagnostics);
        if (m_diagnostics.systemState != kOperational) return Fail(SystemStateName(m_diagnostics.systemState));
        if (m_recipe.expectChannels && m_diagnostics.emitterChannelTotal != *m_recipe.expectChannels)
            return Fail(std::to_string(m_diagnostics.emitterChannelTotal) + " emitter channels, expected " +
                        std::to_string(*m_recipe.expectChannels));
        if (!m_recipe.expectFirmware.empty() && m_diagnostics.firmwareVersion != m_recipe.expectFirmware)
            return Fail("firmware " + m_diagnostics.firmwareVersion + ", expected " + m_recipe.expectFirmware);
        // Without a date code of its own the unit keeps the one it has.
        if (!m_recipe.dateCode) m_dateCode = static_cast<uint32_t>(std::stoul("0" + m_diagnostics.dateCode));
        r.dateCode = DateCodeText(m_dateCode);
        return true;
    }

    bool KeepOriginal() {
        if (!Enter(UnitStep::KeepOriginal)) return false;
        CPsfRecord original;
        if (!m_unit.ReadPsf(original)) return Fail("no parameter set reply");
        std::string error;
        if (m_keepOriginal && !m_keepOriginal(original, m_diagnostics, error)) return Fail(error);
        return true;
    }

    bool WritePsf() {
        if (!Enter(UnitStep::WritePsf)) return false;
        m_outcome.halfWritten = true;  // from here on until all is written
        if (!m_unit.WritePsf(m_recipe.psf)) return Fail("not acknowledged");
        return true;
    }

    bool WriteBlanking() {
        if (!m_recipe.blanking) return true;
        if (!Enter(UnitStep::WriteBlanking)) return false;
        if (!m_unit.WriteBlanking(BlockBlanking(*m_recipe.blanking))) return Fail("not acknowledged");
        return true;
    }

    bool WritePartNumber() {
        if (!Enter(UnitStep::WritePartNumber)) return false;
        if (!m_unit.WritePartNumber(m_recipe.partNumberValue, m_dateCode)) return Fail("not acknowledged");
        m_outcome.halfWritten = false;
        return true;
    }

    bool ReadBack() {
        if (!Enter(UnitStep::ReadBack)) return false;
        UnitRecord& r = m_outcome.record;
        CPsfRecord psf;
        if (!m_unit.ReadPsf(psf)) return Fail("no parameter set reply");
        r.psfFingerprint = PsfFingerprint(psf);
        std::string blankingProblem;
        if (m_recipe.blanking) {
            CBlankingMap map(CBlankingMap::kBlockBytes * 8);
            if (!m_unit.ReadBlanking(map)) return Fail("no blanking reply");
            r.blankingFingerprint = BlankingFingerprint(map);
            if (map != BlockBlanking(*m_recipe.blanking)) blankingProblem = "the blanking differs from the recipe's";
        }
        CDiagnosticsRecord after;
        if (!m_unit.ReadDiagnostics(after)) return Fail("no diagnostics reply");
        if (!SameSet(psf, m_recipe.psf)) return Fail(PsfDifferences(psf, m_recipe.psf));
        if (!blankingProblem.empty()) return Fail(blankingProblem);
        if (after.partNumber != std::to_string(m_recipe.partNumberValue))
            return Fail("part number " + after.partNumber + ", expected " + m_recipe.partNumber);
        if (after.dateCode != r.dateCode)
            return Fail("date code " + after.dateCode + ", expected " + r.dateCode);
        return true;
    }

    const StationRecipe& m_recipe;
    UnitAccess& m_unit;
    const KeepOriginalPsf& m_keepOriginal;
    const StepGate& m_gate;
    CDiagnosticsRecord m_diagnostics;
    uint32_t m_dateCode = 0;
    UnitOutcome m_outcome;
};

}  // namespace

const char* UnitStepName(UnitStep step) {
    switch (step) {
        case UnitStep::Diagnostics: return "diagnostics";
        case UnitStep::KeepOriginal: return "keep original";
        case UnitStep::WritePsf: return "write parameter set";
        case UnitStep::WriteBlanking: return "write blanking";
        case UnitStep::WritePartNumber: return "write part number";
        case UnitStep::ReadBack: return "read back";
        case UnitStep::Done: return "done";
    }
    return "";
}

CBlankingMap BlockBlanking(const CBlankingMap& fileMap) {
    // Channel by channel: the file's map is longer than the block.
    CBlankingMap block(CBlankingMap::kBlockBytes * 8);
    for (int channel = 0; channel < block.ChannelCount() && channel < fileMap.ChannelCount(); ++channel)
        if (fileMap.IsBlanked(channel)) block.Blank(channel);
    return block;
}

UnitOutcome ProgramUnit(const StationRecipe& recipe, const UnitContext& context, UnitAccess& unit,
                        const KeepOriginalPsf& keepOriginal, const StepGate& beforeStep) {
    return UnitRun(recipe, context, unit, keepOriginal, beforeStep).Run();
}
