#pragma once

#include <memory>

#include <QDialog>
#include <QPointer>
#include <cstdint>

#include "live/LiveScan.h"
#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

class CBeamStrip;
class CControllerCommand;
class CControllerLink;
class CPhoneViewDlg;
class CSpreadSheet;
class QLabel;
class QPushButton;

// The "Alignment" dialog: live beams while the bars are lined up, and the
// controller's blanking fields cleared, restored, taught ("auto blanking"),
// edited, saved and loaded.
//
// Scanning runs inside the "&Start" and "&Auto Blanking" handlers. While
// their loop runs the dialog is the waiting dialog, so the serial layer's
// pump delivers clicks on "S&top", "Ab&ort Auto Blanking" and "A&ccept Auto
// Blanking"; those handlers only set flags, which the loop reads after the
// exchange in progress. Every other command is disabled meanwhile.
//
// "Show on &Phone..." (below the specified controls, enabled in every
// state) opens a modeless window that serves what the dialog shows to
// phones; every scan is handed to it by value and nothing comes back.
class StaleScanMarker;

class CAlignmentDlg : public QDialog {
    Q_OBJECT

  public:
    enum State { kScanning = 0, kIdle = 1, kAutoBlanking = 2 };

    CAlignmentDlg(int channelCount, QWidget* parent);
    ~CAlignmentDlg() override;

    // Set by the opener before the dialog runs.
    void SetLink(CControllerLink* link) { m_link = link; }
    // The command that opened the dialog: auto blanking journals the
    // controller's blanking there before it clears it.
    void SetCommand(CControllerCommand* command) { m_command = command; }
    void SetChannelCount(int channelCount);
    void SetInitialMap(const CBlankingMap& map) { m_initialMap = map; }

    int State() const { return m_state; }
    // True while a handler is exchanging with the controller.
    bool Busy() const { return m_busy > 0; }
    int ScanCounter() const { return m_scanCounter; }
    const CBlankingMap& InitialMap() const { return m_initialMap; }
    const CBlankingMap& WorkingMap() const { return m_workingMap; }
    const CBeamBitScan& CurrentScan() const { return m_currentScan; }
    CPhoneViewDlg* PhoneView() const;

  public slots:
    void OnStart();
    void OnStop();
    void OnStep();
    void OnClearBlanking();
    void OnRestore();
    void OnSaveToFile();
    void OnReadFromFile();
    void OnEdit();
    void OnAutoBlanking();
    void OnAbortAutoBlanking();
    void OnAcceptAutoBlanking();
    void OnSendToController() {}  // never shown
    void OnShowOnPhone();
    // OK keeps the controller's blanking; Cancel sends the initial map back
    // first and stays open if that fails. Both only from idle.
    void accept() override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    class BusyScope;

    void BuildLayout();
    QPushButton* AddButton(const QString& caption, const char* name, void (CAlignmentDlg::*handler)());
    void FitGridToRows();
    void InitDialog();
    void SetState(int state);
    void ApplyEnableTable();
    void ShowAcceptInPlaceOfAutoBlanking(bool accept);

    // Loops until the run flag drops; 0 after a failed scan.
    int ScanLoop(bool marks);
    // One scan into the current scan, shown with blanking marks; 0 (after
    // its message) when it failed.
    int SingleScan();
    // The single scan after a change of blanking: the beam column is emptied
    // when it fails, since it no longer says anything.
    void ScanAfterChange();
    // The working map has changed: marks redrawn on the scan on screen,
    // "Blanked:" updated, then the single scan.
    void ShowNewBlanking();
    // Blanking meant to stay: kept in the change history, read back and
    // audited through the command (command names the write in the records).
    // True when it went out and was confirmed; otherwise failure is shown,
    // with what the controller holds instead, unless the write was refused
    // and reported already.
    bool SendBlanking(const CBlankingMap& map, const char* command, const char* failure);
    // The cleared blanking of auto blanking: journalled, undone by Abort,
    // not read back.
    int SendTemporaryBlanking(const CBlankingMap& map);
    void ShowMessage(const char* text);
    void ShowMessage(const std::string& text) { ShowMessage(text.c_str()); }

    void ShowScan(bool marks);
    void DrawBeams(bool marks);
    void ClearBeamColumn();
    void ShowBlankedCount(int count);
    // A scan came in (or failed): counted, and handed to the phone view.
    void NoteLiveScan(bool taken, LiveState state);
    void PublishLive();

    CControllerLink* m_link = nullptr;
    CControllerCommand* m_command = nullptr;
    int m_channelCount = 0;
    CBlankingMap m_initialMap;
    CBlankingMap m_workingMap;
    CBeamBitScan m_currentScan;
    int m_rowCount = 0;
    int m_runFlag = 0;
    int m_acceptFlag = 0;
    int m_scanCounter = 0;
    int m_state = kIdle;
    int m_busy = 0;
    bool m_initialised = false;
    int m_liveScans = 0;
    int64_t m_liveScanTime = 0;
    LiveState m_liveState = LiveState::Stopped;
    QPointer<CPhoneViewDlg> m_phone;

    CSpreadSheet* m_grid = nullptr;
    CBeamStrip* m_strip = nullptr;
    // Greys the grid and gives the time of its scan when the line failed
    // after it.
    std::unique_ptr<StaleScanMarker> m_stale;
    QLabel* m_total = nullptr;
    QLabel* m_blocked = nullptr;
    QLabel* m_made = nullptr;
    QLabel* m_blanked = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_step = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_read = nullptr;
    QPushButton* m_autoBlanking = nullptr;
    QPushButton* m_abort = nullptr;
    QPushButton* m_acceptAuto = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_phoneButton = nullptr;
};
