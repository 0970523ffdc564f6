// The Alignment dialog's side of the phone view: what it hands over, and
// the window that serves it.

#include "dialogs/alignment/CAlignmentDlg.h"
#include "dialogs/alignment/CBeamStrip.h"
#include "dialogs/alignment/CPhoneViewDlg.h"

CPhoneViewDlg* CAlignmentDlg::PhoneView() const { return m_phone.data(); }

void CAlignmentDlg::NoteLiveScan(bool taken, LiveState state) {
    if (taken) {
        ++m_liveScans;
        m_liveScanTime = WallClockMs();
    }
    m_liveState = state;
    // The strip and the phones tell an old picture the same way.
    m_strip->SetStale(state == LiveState::Stale);
    PublishLive();
}

void CAlignmentDlg::PublishLive() {
    // Before the first scan there is nothing to show; the page waits.
    if (!m_phone || m_liveScans == 0) return;
    m_phone->Publish(MakeLiveScan(m_liveScans, m_currentScan, m_workingMap, m_state != kAutoBlanking,
                                  m_strip->History(), m_liveState, m_liveScanTime));
}

void CAlignmentDlg::OnShowOnPhone() {
    if (!m_phone) {
        m_phone = new CPhoneViewDlg(this);
        m_phone->setObjectName("phoneView");
        // Serving ends when the dialog does, not only when it is destroyed.
        connect(this, &QDialog::finished, m_phone.data(), &QDialog::close);
        m_phone->show();
        if (m_phone->Listen()) PublishLive();
    }
    m_phone->show();
    m_phone->raise();
    m_phone->activateWindow();
}
