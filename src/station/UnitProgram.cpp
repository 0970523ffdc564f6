#include "station/UnitProgram.h"

#include <cstdio>

#include "model/ControllerIdentity.h"
#include "model/Fingerprint.h"
#include "model/WriteChanges.h"

namespace {

constexpr int kOperational = 3;

std::string DateCodeText(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u", code);
    return text;
}

// Why a write did not take, for a record: "not acknowledged", or what the
// unit holds instead.
std::string WriteProblem(const WriteOutcome& outcome, const std::string& recordsProblem) {
    switch (outcome.status) {
        case WriteOutcome::Status::Mismatch:
            return "the unit holds " + HeldInsteadText(outcome.differences);
        case WriteOutcome::Status::NotConfirmed:
            return "acknowledged, but not read back";
        case WriteOutcome::Status::Refused:
            return "nothing written, the change history cannot be kept: " + recordsProblem;
        default:
            return "not acknowledged";
    }
}

class UnitRun {
public:
    UnitRun(const StationRecipe& recipe, const UnitContext& context, UnitAccess& unit,
            const StepGate& beforeStep)
        : m_recipe(recipe), m_unit(unit), m_gate(beforeStep) {
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
        if (CheckDiagnostics() && KeepOriginal() && WritePsf() && WriteBlanking() && WritePartNumber()) {
            m_outcome.reached = UnitStep::Done;
            m_outcome.halfWritten = false;
            m_outcome.record.result = UnitRecord::Result::Pass;
            // Every write was read back as sent: the unit holds the recipe.
            m_outcome.record.psfFingerprint = PsfFingerprint(m_recipe.psf);
            if (m_recipe.blanking) m_outcome.record.blankingFingerprint = BlankingFingerprint(BlockBlanking(*m_recipe.blanking));
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
        if (!m_unit.ReadPsf(m_original)) return Fail("no parameter set reply");
        return true;
    }

    bool Written(const WriteOutcome& outcome) {
        // A refused write sent nothing; any other may have changed the unit.
        if (outcome.status != WriteOutcome::Status::Refused) m_outcome.halfWritten = true;
        if (outcome.Succeeded()) {
            if (!m_unit.RecordsProblem().empty()) m_outcome.recordsProblem = m_unit.RecordsProblem();
            return true;
        }
        return Fail(WriteProblem(outcome, m_unit.RecordsProblem()));
    }

    bool WritePsf() {
        if (!Enter(UnitStep::WritePsf)) return false;
        return Written(m_unit.WritePsf(m_recipe.psf, m_original));
    }

    bool WriteBlanking() {
        if (!m_recipe.blanking) return true;
        if (!Enter(UnitStep::WriteBlanking)) return false;
        return Written(m_unit.WriteBlanking(BlockBlanking(*m_recipe.blanking)));
    }

    bool WritePartNumber() {
        if (!Enter(UnitStep::WritePartNumber)) return false;
        return Written(m_unit.WritePartNumber(m_recipe.partNumberValue, m_dateCode));
    }

    const StationRecipe& m_recipe;
    UnitAccess& m_unit;
    const StepGate& m_gate;
    CDiagnosticsRecord m_diagnostics;
    CPsfRecord m_original;
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
                        const StepGate& beforeStep) {
    return UnitRun(recipe, context, unit, beforeStep).Run();
}
