// The handlers of the Alignment dialog that talk to the controller: the
// scanning loops, the single scans and every change of blanking.

#include <QPushButton>

#include "dialogs/alignment/CAlignmentDlg.h"
#include "command/CControllerCommand.h"
#include "dialogs/alignment/CBeamStrip.h"
#include "dialogs/alignment/CChannelBlankDlg.h"
#include "grid/StaleScanMarker.h"
#include "model/BfsFile.h"
#include "model/BlankingEdits.h"
#include "platform/EventPump.h"
#include "platform/UiServices.h"
#include "protocol/CControllerLink.h"

// Marks a handler that exchanges with the controller, so that a posted
// command or a close arriving through the pump meanwhile is turned away.
class CAlignmentDlg::BusyScope {
  public:
    explicit BusyScope(CAlignmentDlg& dialog) : m_dialog(dialog) { ++m_dialog.m_busy; }
    ~BusyScope() { --m_dialog.m_busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    CAlignmentDlg& m_dialog;
};

namespace {

// The wait cursor over one exchange outside the loops; it is down again
// before any message about the exchange comes up.
template <typename Exchange>
int UnderWaitCursor(Exchange exchange) {
    Ui().BeginWaitCursor();
    const int result = exchange();
    Ui().EndWaitCursor();
    return result;
}

}  // namespace

bool CAlignmentDlg::SendBlanking(const CBlankingMap& map, const char* command, const char* failure) {
    WriteOutcome outcome;
    if (m_command) {
        Ui().BeginWaitCursor();
        outcome = m_command->WriteBlankingVerified(map, command);
        Ui().EndWaitCursor();
    } else if (m_link && SendTemporaryBlanking(map)) {
        // Without a command context there is nothing to record or compare.
        outcome.status = WriteOutcome::Status::Unverified;
    }
    if (outcome.Succeeded()) return true;
    if (outcome.status != WriteOutcome::Status::Refused) ShowMessage(failure + outcome.Addendum());
    return false;
}

int CAlignmentDlg::SendTemporaryBlanking(const CBlankingMap& map) {
    if (!m_link) return 0;
    return UnderWaitCursor([&] { return m_link->WriteBlanking(map); });
}

int CAlignmentDlg::ScanLoop(bool marks) {
    CBeamBitScan scan(m_channelCount);
    m_runFlag = 1;
    SetWaitingDialog(this);
    int result = 1;
    while (m_runFlag == 1) {
        if (!m_link || !m_link->RequestScan(scan)) {
            // The scan on screen stays, greyed, with its time.
            m_stale->ScanFailed();
            NoteLiveScan(false, LiveState::Stale);
            ShowMessage("Unable to Input Scan.");
            m_runFlag = 0;
            result = 0;
            break;
        }
        m_stale->ScanArrived();
        // An unchanged curtain costs no redraw.
        if (m_scanCounter == 0 || scan != m_currentScan) {
            m_currentScan = scan;
            ShowScan(marks);
        }
        NoteLiveScan(true, LiveState::Scanning);
        ++m_scanCounter;
    }
    return result;
}

int CAlignmentDlg::SingleScan() {
    const int result =
        m_link ? UnderWaitCursor([&] { return m_link->RequestScan(m_currentScan); }) : 0;
    if (!result) {
        m_stale->ScanFailed();
        NoteLiveScan(false, LiveState::Stale);
        ShowMessage("Unable to Input Scan.");
        return 0;
    }
    m_stale->ScanArrived();
    ShowScan(true);
    NoteLiveScan(true, LiveState::Stopped);
    return 1;
}

void CAlignmentDlg::ScanAfterChange() {
    if (!SingleScan()) ClearBeamColumn();
}

void CAlignmentDlg::ShowNewBlanking() {
    DrawBeams(true);
    ShowBlankedCount(m_workingMap.BlankedCount(0));
    ScanAfterChange();
}

void CAlignmentDlg::OnStart() {
    // Also reached by the command posted on showing, which must not start a
    // loop inside another one.
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    m_strip->ClearMarks();
    SetState(kScanning);
    m_stop->setFocus();
    if (ScanLoop(true)) NoteLiveScan(false, LiveState::Stopped);
    SetWaitingDialog(nullptr);
    SetState(kIdle);
    m_start->setFocus();
    m_scanCounter = 0;
}

void CAlignmentDlg::OnStop() { m_runFlag = 0; }

void CAlignmentDlg::OnStep() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    SingleScan();
}

void CAlignmentDlg::OnClearBlanking() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    const CBlankingMap cleared(m_channelCount);
    if (!SendBlanking(cleared, "Alignment: Clear Blanking Fields",
                      "Unable to clear blanking fields in controller."))
        return;
    m_workingMap = cleared;
    ShowBlankedCount(0);
    ScanAfterChange();
}

void CAlignmentDlg::OnRestore() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    if (!SendBlanking(m_initialMap, "Alignment: Restore Controller Settings",
                      "Unable to restore initial controller blanking fields."))
        return;
    m_workingMap = m_initialMap;
    ShowNewBlanking();
}

void CAlignmentDlg::OnSaveToFile() {
    if (m_state != kIdle || Busy()) return;
    SaveBlankingFile(m_workingMap);
}

void CAlignmentDlg::OnReadFromFile() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    if (!LoadBlankingFile(m_workingMap)) return;
    // On a failed send the working map keeps the file's bytes, so that OK,
    // Save To File or another try still have them.
    if (!SendBlanking(m_workingMap, "Alignment: Read From File",
                      "Unable to download blanking fields to controller."))
        return;
    ShowNewBlanking();
}

void CAlignmentDlg::OnEdit() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    CChannelBlankDlg editor(this);
    editor.SetMap(m_workingMap);
    editor.SetChannelCount(m_channelCount);
    editor.SetLink(m_link);
    editor.SetCommand(m_command);
    if (editor.exec() != QDialog::Accepted) return;
    // The editor has sent its map already.
    m_workingMap = editor.Map();
    ShowNewBlanking();
}

void CAlignmentDlg::OnAutoBlanking() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    CBlankingMap taught(m_channelCount);
    const CBlankingMap saved = m_workingMap;
    m_acceptFlag = 0;
    // The controller's blanking (saved) is cleared here and only comes back
    // by Abort or a failed scan; until then the recovery journal holds it.
    if (m_command && !m_command->JournalOriginalBlanking(saved, "Alignment")) return;
    if (!SendTemporaryBlanking(taught)) {
        ShowMessage("Unable to clear blanking fields in controller.");
        return;
    }
    ShowBlankedCount(0);
    ShowAcceptInPlaceOfAutoBlanking(true);
    m_state = kAutoBlanking;
    m_scanCounter = 0;
    ApplyEnableTable();
    m_strip->ClearMarks();

    const int scanned = ScanLoop(false);
    SetWaitingDialog(nullptr);
    // A failed scan ends auto blanking as an abort, even after an Accept
    // that came during that exchange: nothing was seen to teach.
    if (!scanned) m_acceptFlag = 0;

    // Once the controller holds the fields taught or saved, the journal lets
    // the saved ones go; after a failed send it keeps them.
    bool settled = false;
    if (m_acceptFlag) {
        taught = TaughtBlankingMap(m_currentScan, m_channelCount);
        settled = SendBlanking(taught, "Alignment: Accept Auto Blanking",
                               "Unable to download blanking fields to controller.");
        if (settled) m_workingMap = taught;
    } else {
        m_workingMap = saved;
        settled = SendBlanking(m_workingMap, "Alignment: Abort Auto Blanking",
                               "Unable to restore blanking fields in controller.");
    }
    if (settled && m_command) m_command->ForgetOriginalBlanking();
    ShowBlankedCount(m_workingMap.BlankedCount(0));
    m_state = kIdle;
    ScanAfterChange();
    ShowAcceptInPlaceOfAutoBlanking(false);
    ApplyEnableTable();
    m_scanCounter = 0;
}

void CAlignmentDlg::OnAbortAutoBlanking() {
    m_runFlag = 0;
    m_acceptFlag = 0;
}

void CAlignmentDlg::OnAcceptAutoBlanking() {
    m_runFlag = 0;
    m_acceptFlag = 1;
}

void CAlignmentDlg::reject() {
    if (m_state != kIdle || Busy()) return;
    const BusyScope busy(*this);
    if (!SendBlanking(m_initialMap, "Alignment: Cancel",
                      "Unable to restore initial controller blanking fields."))
        return;
    QDialog::reject();
}
