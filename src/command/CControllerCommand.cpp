#include "command/CControllerCommand.h"

#include <utility>

#include "model/PsfFile.h"
#include "platform/UiServices.h"
#include "serial/PortDevicePath.h"
#include "serial/PortFactory.h"

namespace {

void Report(const std::string& text) { Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation); }

}  // namespace

CControllerCommand::CControllerCommand(void* parentWindow, int portIndex, int baudRate)
    : m_baudRate(baudRate),
      m_parentWindow(parentWindow),
      m_portIndex(portIndex),
      m_comNumber(portIndex + 1) {}

// Virtual on purpose: a command destroyed through its base still closes its port.
CControllerCommand::~CControllerCommand() {
    if (m_addendumInstalled) SetMessageAddendum(std::move(m_previousAddendum));
}

bool CControllerCommand::DeviceWasLost() const { return m_link && m_link->Port().DeviceLossCount() > 0; }

bool CControllerCommand::DeviceLost() const { return m_link && m_link->Port().DeviceLost(); }

std::string CControllerCommand::DeviceLostText() const {
    return "The serial device " + DevicePath() + " was disconnected.";
}

int CControllerCommand::Run() {
    if (!OpenLink()) return 0;
    const int result = Execute();
    if (m_restoreFlag == 1) RestoreOriginalPsf(m_originalPsf);
    return result;
}

void CControllerCommand::SetDevicePath(const std::string& path, int comNumber) {
    m_devicePath = path;
    m_comNumber = comNumber;
}

std::string CControllerCommand::DevicePath() const {
    return m_devicePath ? *m_devicePath : ComPortDevicePath(m_portIndex);
}

std::string CControllerCommand::PortName() const {
    return m_comNumber > 0 ? "COM" + std::to_string(m_comNumber) : DevicePath();
}

int CControllerCommand::OpenLink() {
    const std::string device = DevicePath();
    std::unique_ptr<RS232> port = OpenPortAt(device, m_portIndex, m_baudRate);
    const int status = port ? port->Status() : kSerialGeneralError;
    if (status != 0) {
        m_openFailed = true;
        ReportOpenFailure(port ? port->ErrorName(status) : BaseErrorName(status));
        return 0;  // the port goes with this scope
    }
    m_link = std::make_unique<CControllerLink>(std::move(port));
    m_recovery.SetDevice(device, m_comNumber);
    if (m_deviceLostInMessages && !m_addendumInstalled) {
        // The failures of a lost device keep their own texts and say why.
        m_previousAddendum = SetMessageAddendum(
            [this] { return DeviceLost() ? "\n\n" + DeviceLostText() : std::string(); });
        m_addendumInstalled = true;
    }
    return 1;
}

void CControllerCommand::ReportOpenFailure(const char* errorName) {
    const std::string port = m_comNumber > 0 ? std::to_string(m_comNumber) : DevicePath();
    Ui().MessageBox("Unable to open " + port + "\n" + errorName + "\n", MsgButtons::Ok, MsgIcon::Exclamation);
}


void CControllerCommand::RestoreOriginalPsf(const CPsfRecord& psf) {
    Ui().BeginWaitCursor();
    if (SendOriginalPsf(psf)) {
        m_recovery.DropPsf(psf);
        // Let the controller take the parameter set over before anyone talks to it.
        Ui().RestoreWaitCursor();
        Ui().CaptureMouse();
        CControllerLink::DelayMs(1000);
        Ui().ReleaseMouse();
    } else {
        OriginalNotRestored(psf);
    }
    Ui().EndWaitCursor();
}

void CControllerCommand::OriginalNotRestored(const CPsfRecord& psf) {
    // No keeps the entry: the controller may still hold the temporary set,
    // and the next start offers the original again. Only the user's own
    // save to a file settles it.
    if (Ui().MessageBox("Unable to restore original PSF.\n"
                        "Do you want to save the original PSF to a file?" +
                            m_lastWrite.Addendum(),
                        MsgButtons::YesNo, MsgIcon::Stop) == MsgResult::Yes &&
        SavePsfAs(psf) && !m_keepEntryUnlessSent)
        m_recovery.DropPsf(psf);
}

bool CControllerCommand::SavePsfAs(const CPsfRecord& psf) {
    const std::optional<std::string> path = Ui().PromptSaveFile(PsfSavePrompt());
    if (!path) return false;
    const int status = WritePsfFile(psf, *path);
    if (status != 0) ShowPsfFileError(status);
    return status == 0;
}

// Recovery: journaling originals before the controller is changed for a
// while, and sending back what an earlier run left.

bool CControllerCommand::JournalOriginalPsf(const std::string& commandName) {
    return JournalOriginalPsf(m_originalPsf, commandName);
}

void CControllerCommand::SetJournalDevice() {
    // A command that opened its port its own way journals under the device
    // its COM number stands for.
    if (m_recovery.Device().empty()) m_recovery.SetDevice(DevicePath(), m_comNumber);
}

bool CControllerCommand::JournalOriginalPsf(CPsfRecord& original, const std::string& commandName) {
    m_commandName = commandName;
    SetJournalDevice();
    const std::optional<RecoveryJournal::Item> pending = m_recovery.Pending();
    if (!ClearThePendingEntry()) return false;
    // An earlier run's original went back: the one just read was temporary.
    if (pending && pending->problem == EntryProblem::None && pending->entry->psf) original = m_originalPsf;
    std::string error;
    if (m_recovery.RecordPsf(original, IdentityForJournal(), commandName, error)) return true;
    return ContinueWithoutJournal(error);
}

bool CControllerCommand::JournalOriginalBlanking(const CBlankingMap& original,
                                                 const std::string& commandName) {
    m_commandName = commandName;
    SetJournalDevice();
    if (!ClearThePendingEntry()) return false;
    std::string error;
    if (m_recovery.RecordBlanking(OriginalBlanking::From(original), IdentityForJournal(), commandName,
                                  error))
        return true;
    return ContinueWithoutJournal(error);
}

void CControllerCommand::ForgetOriginalBlanking() { m_recovery.DropBlanking(); }


bool CControllerCommand::ClearThePendingEntry() {
    const std::optional<RecoveryJournal::Item> item = m_recovery.Pending();
    if (!item) return true;
    if (item->problem != EntryProblem::None) {
        // Never applied, never lost: it moves out of the way of the new entry.
        std::string error;
        const std::string kept = m_recovery.Journal().SetAside(*item, error);
        if (kept.empty()) {
            Report(error);
            return false;
        }
        Report("The recovery entry '" + item->path + "' cannot be used: " + item->why +
               ".\nIt was kept as '" + kept + "'; nothing was sent from it.");
        return true;
    }
    const RecoveryEntry& entry = *item->entry;
    if (StateOf(entry.writer) == ProcessState::Running && !(entry.writer == CurrentProcessIdentity())) {
        Report("The controller on " + EntryPortName(entry) + " is being changed by " + entry.command +
               " (process " + std::to_string(entry.writer.pid) + ").");
        return false;
    }
    return OfferPendingEntry(entry);
}

bool CControllerCommand::OfferPendingEntry(const RecoveryEntry& pending) {
    if (Ui().MessageBox(RecoveryQuestion(pending), MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return false;
    return SendBackPending(pending);
}

bool CControllerCommand::ContinueWithoutJournal(const std::string& reason) {
    // Enter must not change a controller with nothing to fall back on.
    return Ui().MessageBox(reason +
                               "\nShould the program end before the original settings go back, "
                               "they cannot be recovered.\nGo on all the same?",
                           MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No) == MsgResult::Yes;
}

bool CControllerCommand::SendToOtherController(const RecoveryEntry& entry, const std::string& difference) {
    return Ui().MessageBox("The controller on " + EntryPortName(entry) +
                               " is not the one this entry was made for (" + difference + ").\n"
                               "Send its original " + EntryContents(entry) + " back all the same?",
                           MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No) == MsgResult::Yes;
}

void CControllerCommand::NoteDiagnostics(const CDiagnosticsRecord& record) { m_hardware = HardwareOf(record); }

std::optional<ControllerIdentity> CControllerCommand::ReadIdentity() {
    CDiagnosticsRecord record;
    if (!m_link || !m_link->RequestDiagnostics(record)) return std::nullopt;
    NoteDiagnostics(record);
    return ControllerIdentity{m_link->ControllerId(), m_hardware};
}

void CControllerCommand::IdentifyController() {
    if (!m_hardware) ReadIdentity();
}

ControllerIdentity CControllerCommand::IdentityForJournal() const {
    return {m_link ? m_link->ControllerId() : uint8_t{0}, m_hardware};
}

CControllerCommand::Verdict CControllerCommand::CheckPendingIdentity(const RecoveryEntry& entry) {
    const std::optional<ControllerIdentity> found = ReadIdentity();
    if (!found) return Verdict::Unreachable;
    const std::string difference = IdentityDifference(entry.Identity(), *found);
    if (difference.empty() || SendToOtherController(entry, difference)) return Verdict::Send;
    return Verdict::Refused;
}

bool CControllerCommand::SendBackPending(const RecoveryEntry& entry, bool checkIdentity) {
    const Verdict verdict = checkIdentity ? CheckPendingIdentity(entry) : Verdict::Send;
    // Nothing goes out, and the entry stays as it is.
    if (verdict == Verdict::Refused) return false;
    m_recovery.Adopt(entry);
    if (verdict == Verdict::Unreachable) {
        m_lastWrite = {};  // nothing was sent
        // Reported as the send that could not be made would have been.
        if (entry.blanking) Report("Unable to restore blanking fields in controller.");
        if (entry.psf) {
            const bool keep = std::exchange(m_keepEntryUnlessSent, true);
            Ui().BeginWaitCursor();
            OriginalNotRestored(*entry.psf);
            Ui().EndWaitCursor();
            m_keepEntryUnlessSent = keep;
        }
        return false;
    }
    bool allBack = true;
    if (entry.blanking && !RestoreOriginalBlanking(entry.blanking->ToMap())) {
        Report("Unable to restore blanking fields in controller." + m_lastWrite.Addendum());
        allBack = false;
    }
    if (entry.psf) {
        const bool keep = m_keepEntryUnlessSent;
        m_keepEntryUnlessSent = true;
        RestoreOriginalPsf(*entry.psf);
        m_keepEntryUnlessSent = keep;
        if (m_recovery.HoldsPsf())
            allBack = false;
        else
            m_originalPsf = *entry.psf;  // what the controller holds again
    }
    return allBack;
}
