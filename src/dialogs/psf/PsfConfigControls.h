#pragma once

#include <functional>

#include "model/PsfChoices.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QRadioButton;

// The controls of the PSF configuration dialog and their layout: groups,
// lists, radio buttons, check boxes and the button column. Transfers the
// dialog's choices to and from the controls; the rules live in the dialog
// and in the core.
struct PsfConfigControls {
    QComboBox* controllerId = nullptr;
    QComboBox* baudRate = nullptr;
    QComboBox* controlMode = nullptr;
    QComboBox* scanningMethod = nullptr;
    QComboBox* meas1 = nullptr;
    QComboBox* meas2 = nullptr;
    QRadioButton* transmissionModes[3] = {};  // indexed by kTransmission*
    QRadioButton* ascii = nullptr;
    QRadioButton* binary = nullptr;
    QCheckBox* suppressClearData = nullptr;
    QCheckBox* suppressHeader = nullptr;
    QCheckBox* compressData = nullptr;

    // The fingerprint of the set as it stands, below the transmission setup.
    QLabel* fingerprint = nullptr;

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* upload = nullptr;
    QPushButton* send = nullptr;
    QPushButton* execute = nullptr;
    QPushButton* outputs = nullptr;
    QPushButton* save = nullptr;
    QPushButton* retrieve = nullptr;

    // Builds every control into the dialog.
    void Build(QDialog* dialog);

    void Show(const PsfChoices& choices);
    PsfChoices Read() const;
    void EnableTransmissionOptions(bool enabled);
    void EnableMeasLists(bool enabled);
    // Calls changed whenever the user changes a list, radio button or check box.
    void OnAnyChange(QDialog* dialog, const std::function<void()>& changed) const;
};
