#include "dialogs/alignment/CAlignmentCommand.h"

#include "command/AlignmentPsf.h"
#include "dialogs/alignment/CAlignmentDlg.h"
#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "platform/UiServices.h"

namespace {

constexpr int kOperational = 3;
constexpr uint32_t kSettleMs = 1000;

}  // namespace

CAlignmentCommand::CAlignmentCommand(QWidget* parent, int portIndex, int baudRate)
    : CControllerCommand(parent, portIndex, baudRate) {}

void CAlignmentCommand::Stop(const char* text) {
    Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Stop);
}

int CAlignmentCommand::Execute() {
    CDiagnosticsRecord record;
    Ui().BeginWaitCursor();
    const char* failure = nullptr;
    const int diagnostics = m_link->RequestDiagnostics(record);
    // The journal identifies the controller by them.
    if (diagnostics) NoteDiagnostics(record);
    if (!diagnostics) {
        failure = "Unable to input Diagnostics.";
    } else if (record.systemState != kOperational) {
        failure = "Alignment cannot be executed because the device is not in an operational state.";
    } else {
        CControllerLink::DelayMs(kSettleMs);
        if (!m_link->ReadPsf(m_originalPsf)) failure = "Unable to input PSF.";
    }
    // The original is on disk before the working set goes out; a refusal
    // has been reported already.
    if (!failure && !JournalOriginalPsf("Alignment")) {
        Ui().EndWaitCursor();
        return 0;
    }
    if (!failure) {
        m_workingPsf = MakeAlignmentPsf(m_originalPsf);
        // From here on the controller leaves its own parameter set: the
        // original above is what has to go back.
        if (!m_link->SendPsf(m_workingPsf)) failure = "Unable to output PSF.";
    }
    if (failure) {
        Stop(failure);
        Ui().EndWaitCursor();
        return 0;
    }
    m_restoreFlag = 1;

    CBlankingMap map(record.emitterChannelTotal);
    const int read = m_link->ReadBlanking(map);
    Ui().EndWaitCursor();  // the dialog runs without it
    if (read)
        RunDialog(record.emitterChannelTotal, map);
    else
        Stop("Unable to input blanking fields.");
    Ui().EndWaitCursor();
    return 1;
}

void CAlignmentCommand::RunDialog(int channelCount, const CBlankingMap& map) {
    CAlignmentDlg dialog(channelCount, static_cast<QWidget*>(ParentWindow()));
    dialog.SetLink(m_link.get());
    dialog.SetCommand(this);
    dialog.SetChannelCount(channelCount);
    dialog.SetInitialMap(map);
    dialog.exec();
}
