// CControllerCommand's writes meant to stay: history first, then the write,
// the read-back and the audit line.
#include <ctime>
#include <functional>

#include "command/CControllerCommand.h"
#include "command/ReadBack.h"
#include "command/RecoveryJournal.h"
#include "history/AuditLog.h"
#include "history/ChangeHistory.h"
#include "platform/UiServices.h"
#include "serial/PortDetails.h"

namespace {

// A restore that meets a late reply or a garbled acknowledgement tries again.
constexpr int kRestoreAttempts = 3;

constexpr const char* kNotAcknowledged = "the controller did not acknowledge the write";
constexpr const char* kNotReadBack =
    "the controller acknowledged the write, but it could not be read back";
constexpr const char* kHeldUnreadable = "what the controller held could not be read";

std::string StablePathOf(const std::string& device) {
    const PortDetails details = ReadPortDetails(device);
    return details.stablePath.empty() ? ResolvedDevicePath(device) : details.stablePath;
}

}  // namespace

struct CControllerCommand::PlannedWrite {
    WriteRecord record;
    // Restores of originals put back what a command changed for a while:
    // they replace nothing of the user's, and they go out whatever the
    // records say.
    bool restore = false;
    std::function<bool()> send;
    std::function<ReadBack(std::vector<FieldChange>&)> readBack;
};

WriteRecord CControllerCommand::NewRecord(const std::string& command) {
    WriteRecord record;
    record.time = std::time(nullptr);
    record.device = DevicePath();
    record.stablePath = StablePathOf(record.device);
    record.controller = IdentityForJournal();
    record.command = command;
    return record;
}

std::string CControllerCommand::RestoreCommandName() const {
    return m_commandName.empty() ? "restore original" : m_commandName + ": restore original";
}

WriteOutcome CControllerCommand::CarryOut(PlannedWrite& plan) {
    WriteOutcome outcome;
    const AuditLog audit;
    std::string error;
    const bool replaces = plan.record.before != plan.record.after;
    bool recordsReady = true;
    if (!plan.restore && replaces) recordsReady = ChangeHistory().Keep(plan.record, error);
    if (recordsReady) recordsReady = audit.CheckWritable(error);
    if (!recordsReady && !plan.restore && !WriteWithoutRecords(error)) {
        outcome.status = WriteOutcome::Status::Refused;
        std::string ignored;
        audit.Append(plan.record, AuditLog::kFailed, "not sent: " + error, ignored);
        return m_lastWrite = outcome;
    }

    const char* result = AuditLog::kFailed;
    std::string message;
    if (!plan.send()) {
        message = kNotAcknowledged;
    } else if (!m_verifyWrites) {
        outcome.status = WriteOutcome::Status::Unverified;
        result = AuditLog::kUnverified;
    } else {
        switch (plan.readBack(outcome.differences)) {
            case ReadBack::Same:
                outcome.status = WriteOutcome::Status::Verified;
                result = AuditLog::kVerified;
                break;
            case ReadBack::Different:
                outcome.status = WriteOutcome::Status::Mismatch;
                result = AuditLog::kMismatch;
                message = "holds " + HeldInsteadText(outcome.differences);
                break;
            case ReadBack::Unreadable:
                outcome.status = WriteOutcome::Status::NotConfirmed;
                message = kNotReadBack;
                break;
        }
    }
    if (!audit.Append(plan.record, result, message, error)) ReportRecordsFailure(error);
    return m_lastWrite = outcome;
}

WriteOutcome CControllerCommand::WritePsfVerified(const CPsfRecord& psf, const std::string& command,
                                                  const CPsfRecord* held) {
    if (!m_link) return m_lastWrite = {};
    IdentifyController();
    PlannedWrite plan;
    plan.record = NewRecord(command);
    CPsfRecord before;
    if (held) {
        before = *held;
    } else if (!m_link->ReadPsfChecked(before)) {
        plan.record.SetPsf(psf, psf);
        return HeldUnreadable(plan);
    }
    plan.record.SetPsf(before, psf);
    plan.send = [&] {
        CPsfRecord copy = psf;
        return m_link->SendPsf(copy) != 0;
    };
    plan.readBack = [&](std::vector<FieldChange>& d) { return ReadBackPsf(*m_link, psf, d); };
    return CarryOut(plan);
}

WriteOutcome CControllerCommand::WriteBlankingVerified(const CBlankingMap& map,
                                                       const std::string& command,
                                                       const CBlankingMap* held) {
    if (!m_link) return m_lastWrite = {};
    IdentifyController();
    PlannedWrite plan;
    plan.record = NewRecord(command);
    CBlankingMap before(map.ChannelCount());
    if (held) {
        before = *held;
    } else if (!m_link->ReadBlanking(before)) {
        plan.record.SetBlanking(map, map);
        return HeldUnreadable(plan);
    }
    plan.record.SetBlanking(before, map);
    plan.send = [&] { return m_link->WriteBlanking(map) != 0; };
    plan.readBack = [&](std::vector<FieldChange>& d) { return ReadBackBlanking(*m_link, map, d); };
    return CarryOut(plan);
}

WriteOutcome CControllerCommand::WritePartNumberVerified(uint32_t partNumber, uint32_t dateCode,
                                                         const std::string& command) {
    if (!m_link) return m_lastWrite = {};
    const auto stored = static_cast<uint16_t>(dateCode & 0xFFFF);
    CDiagnosticsRecord diagnostics;
    uint32_t partBefore = 0;
    uint16_t dateBefore = 0;
    const bool read = m_link->RequestDiagnostics(diagnostics) &&
                      PartNumberOf(diagnostics, partBefore, dateBefore);
    if (read) NoteDiagnostics(diagnostics);
    PlannedWrite plan;
    plan.record = NewRecord(command);
    plan.record.SetPartNumber(partBefore, dateBefore, partNumber, stored);
    if (!read) return HeldUnreadable(plan);
    plan.send = [&] { return m_link->WritePartNumber(partNumber, dateCode) != 0; };
    plan.readBack = [&](std::vector<FieldChange>& d) {
        CDiagnosticsRecord after;
        const ReadBack result = ReadBackPartNumber(*m_link, partNumber, stored, d, after);
        if (result != ReadBack::Unreadable) NoteDiagnostics(after);
        return result;
    };
    return CarryOut(plan);
}

WriteOutcome CControllerCommand::HeldUnreadable(PlannedWrite& plan) {
    // Nothing was sent: the history could not keep what it would replace.
    plan.record.ForgetBefore();
    std::string error;
    if (!AuditLog().Append(plan.record, AuditLog::kFailed, kHeldUnreadable, error))
        ReportRecordsFailure(error);
    return m_lastWrite = {};
}

bool CControllerCommand::RestoreVerified(PlannedWrite& plan,
                                         const std::function<bool()>& sendOnce) {
    plan.record.command = RestoreCommandName();
    plan.record.ForgetBefore();
    plan.restore = true;
    plan.send = [&] {
        for (int attempt = 0; attempt < kRestoreAttempts; ++attempt) {
            // Late scan replies must not be taken for the acknowledgement.
            m_link->Port().FlushInput();
            if (sendOnce()) return true;
        }
        return false;
    };
    return CarryOut(plan).Succeeded();
}

bool CControllerCommand::SendOriginalPsf(const CPsfRecord& psf) {
    if (!m_link) return false;
    PlannedWrite plan;
    plan.record = NewRecord({});
    plan.record.SetPsf(psf, psf);
    plan.readBack = [&](std::vector<FieldChange>& d) { return ReadBackPsf(*m_link, psf, d); };
    return RestoreVerified(plan, [&] {
        CPsfRecord copy = psf;
        return m_link->SendPsf(copy) != 0;
    });
}

bool CControllerCommand::RestoreOriginalBlanking(const CBlankingMap& original) {
    if (!m_link) return false;
    PlannedWrite plan;
    plan.record = NewRecord({});
    plan.record.SetBlanking(original, original);
    plan.readBack = [&](std::vector<FieldChange>& d) {
        return ReadBackBlanking(*m_link, original, d);
    };
    if (!RestoreVerified(plan, [&] { return m_link->WriteBlanking(original) != 0; })) return false;
    m_recovery.DropBlanking();
    return true;
}

bool CControllerCommand::WriteWithoutRecords(const std::string& reason) {
    return Ui().MessageBox(reason +
                               "\nThe change history and audit log cannot keep this write.\n"
                               "Write to the controller all the same?",
                           MsgButtons::YesNo, MsgIcon::Exclamation,
                           MsgResult::No) == MsgResult::Yes;
}

void CControllerCommand::ReportRecordsFailure(const std::string& reason) {
    Ui().MessageBox(reason + "\nThe write was made, but the audit log does not show it.",
                    MsgButtons::Ok, MsgIcon::Exclamation);
}
