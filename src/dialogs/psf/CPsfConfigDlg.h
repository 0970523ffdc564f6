#pragma once

#include <QDialog>

#include "dialogs/psf/PsfConfigControls.h"
#include "model/CPsfRecord.h"

class CControllerCommand;

// "Multiple Output VELTRIX PSF Configuration": one parameter set as lists,
// radio buttons and check boxes. The user reads the controller's set, sends
// the edited one, tries a set out with the measurement output monitor, edits
// the discrete outputs and saves or loads .PSF files.
//
// The dialog opens on the default set. Escape and the close box do nothing:
// only "OK" and "Cancel" close it. Every exchange holds the mouse and shows
// the wait cursor until it and its message are done.
class CPsfConfigDlg : public QDialog {
    Q_OBJECT

  public:
    CPsfConfigDlg(CControllerCommand* command, QWidget* parent);

    const CPsfRecord& Record() const { return m_record; }
    const PsfConfigControls& Controls() const { return m_controls; }

    // Fills the controls from the record and applies both enabling rules.
    void ShowRecord();
    // Fills record bytes 2 to 8 from the controls.
    void StoreChoices(CPsfRecord& record) const;

    void OnOk();
    void OnCancel();
    void OnUpload();
    void OnSendPsf();
    void OnExecute();
    void OnOutputs();
    void OnSavePsf();
    void OnRetrievePsf();

    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnTransmissionMode(int modeIndex);
    void OnScanningMethod(int index);
    void ApplyTransmissionModeRule(int modeIndex);
    void ApplyScanningMethodRule(uint8_t code);
    void SaveRecordToFile();
    // The fingerprint of the dialog's record with the choices on screen.
    void ShowFingerprint();
    // The monitor, with the texts and selector of the set being tried out.
    void RunMonitor(const CPsfRecord& chosen);

    CControllerCommand* m_command;
    CPsfRecord m_record;
    PsfConfigControls m_controls;
};
