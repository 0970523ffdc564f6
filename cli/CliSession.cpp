#include "CliSession.h"

#include <utility>

#include "ExitCodes.h"
#include "StopSignals.h"
#include "model/PsfFile.h"
#include "platform/SettingsStore.h"
#include "serial/PortDeviceList.h"

namespace {

constexpr int kDefaultPortIndex = 1;  // COM2, as the desktop program defaults
constexpr int kDeviceSlot = 1;        // the COM number --device is opened as
constexpr int kBaudAtStart = 9600;    // every command starts probing here

int PortIndexFor(const GlobalOptions& options) {
    if (options.device) return kDeviceSlot - 1;
    if (options.comNumber) return *options.comNumber - 1;
    return SavedPortIndex();
}

}  // namespace

int SavedPortIndex() {
    SettingsStore* store = Settings();
    if (!store) return kDefaultPortIndex;
    const int index = store->GetInt("Communication", "Port", kDefaultPortIndex);
    // A damaged settings file must not send us to a nonsense device.
    return index >= 0 && index < 255 ? index : kDefaultPortIndex;
}

CliSession::CliSession(const GlobalOptions& options, ConsoleUi& ui)
    : CControllerCommand(nullptr, PortIndexFor(options), kBaudAtStart), m_options(options), m_ui(ui) {
    // A device named by its path has no COM number.
    if (options.device) SetDevicePath(*options.device, 0);
    // The tool answers the save offer itself; the journal keeps the original
    // for 'veltrixctl recover' all the same.
    m_keepEntryUnlessSent = true;
    m_deviceLostInMessages = false;
    SetVerifyWrites(!options.noVerify);
}

CliSession::~CliSession() {
    if (!m_recordsError.empty()) m_ui.Report(m_recordsError);
    if (!DeviceWasLost()) return;
    m_ui.Report(DeviceLostText());
    if (m_recovery.HoldsPsf() || m_recovery.HoldsBlanking())
        m_ui.Report("Run 'veltrixctl recover' when the controller is back.");
}

int CliSession::Open() {
    WarnAboutPendingEntry();
    return OpenLink() ? kExitOk : kExitPort;
}

void CliSession::WarnAboutPendingEntry() {
    const RecoveryJournal journal;
    const std::string device = DevicePath();
    const std::optional<RecoveryJournal::Item> item = journal.Find(device, ResolvedDevicePath(device));
    if (!item) return;
    if (item->problem != EntryProblem::None) {
        m_ui.Report("Warning: the recovery entry '" + item->path + "' of " + device +
                    " cannot be used: " + item->why + " (veltrixctl recover --list).");
        return;
    }
    const RecoveryEntry& entry = *item->entry;
    // A run that still goes on sends its own originals back.
    if (StateOf(entry.writer) != ProcessState::Gone) return;
    m_ui.Report("Warning: the controller on " + EntryPortName(entry) + " may still hold temporary settings from " +
                entry.command + " started " + FormatStartTime(entry.started) +
                "; 'veltrixctl recover' sends its original " + EntryContents(entry) + " back.");
}

void CliSession::ReportOpenFailure(const char* errorName) {
    const std::string device = DevicePath();
    // The port layer calls a refused permission a "General Error".
    const bool denied = DeviceAccessDenied(device);
    std::string text = "Unable to open " + (m_options.device ? device : std::to_string(m_portIndex + 1)) +
                       "\n" + (denied ? "Access denied" : errorName) + "\n";
    // On Linux a COM number alone does not say which device was tried.
    if (!m_options.device) text += "(COM" + std::to_string(m_portIndex + 1) + " is " + device + ")\n";
    if (denied) text += DescribePortDevice(device).hint + "\n";
    m_ui.Report(text);
}

int CliSession::ReadOperationalDiagnostics(CDiagnosticsRecord& record) {
    if (!m_link->RequestDiagnostics(record)) {
        m_ui.Report("Unable to input Diagnostics.");
        return kExitController;
    }
    NoteDiagnostics(record);
    if (record.systemState != 3) {
        m_ui.Report("Alignment cannot be executed because the device is not in an operational state.");
        return kExitController;
    }
    return kExitOk;
}

int CliSession::ReadOriginal(const char* failureText) {
    if (m_link->ReadPsfChecked(m_originalPsf)) return kExitOk;
    m_ui.Report(failureText);
    return kExitController;
}

int CliSession::JournalOriginal(const std::string& commandName) {
    m_refusal = kExitOk;
    // The entry says which controller it is for, so that 'recover' sends it
    // to no other.
    IdentifyController();
    return JournalOriginalPsf(commandName) ? kExitOk : m_refusal;
}

int CliSession::ReadAndJournalOriginal(const std::string& commandName) {
    if (const int rc = ReadOriginal(); rc != kExitOk) return rc;
    return JournalOriginal(commandName);
}

bool CliSession::OfferPendingEntry(const RecoveryEntry& pending) {
    m_ui.Report("Nothing was changed: the controller on " + EntryPortName(pending) +
                " may still hold temporary settings from " + pending.command + " started " +
                FormatStartTime(pending.started) + ". Run 'veltrixctl recover' first.");
    m_refusal = kExitController;
    return false;
}

bool CliSession::ContinueWithoutJournal(const std::string& reason) {
    m_ui.Report(reason + "\nNothing was changed: without the recovery journal the controller's "
                         "original settings could be lost.");
    m_refusal = kExitFile;
    return false;
}

bool CliSession::WriteWithoutRecords(const std::string& reason) {
    m_ui.Report(reason + "\nNothing was sent: the change history and audit log must keep every write.");
    m_refusal = kExitFile;
    return false;
}

void CliSession::ReportRecordsFailure(const std::string& reason) {
    m_recordsError = reason + "\nThe write was made, but the audit log does not show it.";
}

int CliSession::WriteResult(const WriteOutcome& outcome, const std::string& failureText) {
    if (outcome.status == WriteOutcome::Status::Refused) return m_refusal;
    if (!outcome.Succeeded()) {
        m_ui.Report(failureText + outcome.Addendum());
        return kExitController;
    }
    if (m_recordsError.empty()) return kExitOk;
    m_ui.Report(std::exchange(m_recordsError, {}));
    return kExitFile;
}

bool CliSession::RestoreIfChanged(const std::string& savePath) {
    if (!m_restoreFlag || !m_link) return true;
    m_restoreFlag = 0;
    return RestoreOriginal(*this, m_ui, savePath);
}

bool RestoreOriginal(CControllerCommand& context, ConsoleUi& ui, const std::string& savePath) {
    const RestoringScope restoring;
    const std::size_t before = ui.MessageCount();
    ui.SetSavePath(savePath);
    context.RestoreOriginalPsf(context.OriginalPsf());
    if (ui.MessageCount() == before) return true;

    // The restore failed and the question was answered; say whether the
    // original really is on disk, by reading it back.
    CPsfRecord check;
    if (ui.SavedTo() && ReadPsfFile(check, *ui.SavedTo()) == kPsfOk && check == context.OriginalPsf()) {
        ui.Report("The original PSF was saved to '" + *ui.SavedTo() + "'.");
    }
    return false;
}
