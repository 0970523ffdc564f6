#include "dialogs/psf/PsfConfigControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A drop-down list of an option table in table order, unsorted and not
// editable; withCodes puts each entry's code in its item data.
template <size_t N>
QComboBox* MakeList(const PsfOption (&table)[N], bool withCodes, const char* name) {
    auto* list = new QComboBox;
    list->setObjectName(name);
    list->setEditable(false);
    for (const PsfOption& option : table) {
        if (withCodes)
            list->addItem(QString::fromLatin1(option.text), int(option.code));
        else
            list->addItem(QString::fromLatin1(option.text));
    }
    return list;
}

template <typename Button>
Button* Make(const QString& text, const char* name) {
    auto* button = new Button(text);
    button->setObjectName(name);
    return button;
}

void AddLabelled(QFormLayout* form, const QString& label, QComboBox* list) {
    auto* caption = new QLabel(label);
    caption->setBuddy(list);
    form->addRow(caption, list);
}

// The radio groups are exclusive once a choice is made; showing "none"
// needs the exclusivity off for a moment.
void CheckOneOf(QRadioButton* const* buttons, int count, int index) {
    QButtonGroup* group = buttons[0]->group();
    group->setExclusive(false);
    for (int i = 0; i < count; ++i) buttons[i]->setChecked(i == index);
    group->setExclusive(true);
}

int CheckedOf(QRadioButton* const* buttons, int count) {
    for (int i = 0; i < count; ++i)
        if (buttons[i]->isChecked()) return i;
    return -1;
}

}  // namespace

void PsfConfigControls::Build(QDialog* dialog) {
    controllerId = MakeList(kControllerIds, false, "controllerIdList");
    baudRate = MakeList(kBaudRates, true, "baudRateList");
    controlMode = MakeList(kControlModes, true, "controlModeList");
    scanningMethod = MakeList(kScanningMethods, true, "scanningMethodList");
    meas1 = MakeList(kMeasurementModes, true, "meas1List");
    meas2 = MakeList(kMeasurementModes, true, "meas2List");

    auto* serial = new QGroupBox(QObject::tr("Seri&al Communication"));
    auto* serialForm = new QFormLayout(serial);
    AddLabelled(serialForm, QObject::tr("Controller ID"), controllerId);
    AddLabelled(serialForm, QObject::tr("Baud Rate"), baudRate);

    transmissionModes[kTransmissionNone] =
        Make<QRadioButton>(QObject::tr("No Ser&ial Communication"), "noSerialRadio");
    transmissionModes[kTransmissionMeasurement] =
        Make<QRadioButton>(QObject::tr("Meas&urement Mode Result"), "measurementResultRadio");
    transmissionModes[kTransmissionAll] =
        Make<QRadioButton>(QObject::tr("A&ll Mode"), "allModeRadio");
    ascii = Make<QRadioButton>(QObject::tr("ASC&II"), "asciiRadio");
    binary = Make<QRadioButton>(QObject::tr("&Binary"), "binaryRadio");
    suppressClearData = Make<QCheckBox>(QObject::tr("Suppress &Clear Data"), "suppressClearCheck");
    suppressHeader = Make<QCheckBox>(QObject::tr("Suppress &Header"), "suppressHeaderCheck");
    compressData = Make<QCheckBox>(QObject::tr("Compress &Data"), "compressCheck");

    auto* modeGroup = new QButtonGroup(dialog);
    for (int i = 0; i < 3; ++i) modeGroup->addButton(transmissionModes[i], i);
    auto* typeGroup = new QButtonGroup(dialog);
    typeGroup->addButton(ascii, 0);
    typeGroup->addButton(binary, 1);

    auto* type = new QGroupBox(QObject::tr("Transmission Type"));
    auto* typeLayout = new QVBoxLayout(type);
    typeLayout->addWidget(ascii);
    typeLayout->addWidget(binary);
    auto* options = new QGroupBox(QObject::tr("Serial Options"));
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(suppressClearData);
    optionsLayout->addWidget(suppressHeader);
    optionsLayout->addWidget(compressData);

    auto* transmission = new QGroupBox(QObject::tr("Serial &Transmission Setup"));
    auto* transmissionLayout = new QVBoxLayout(transmission);
    for (QRadioButton* mode : transmissionModes) transmissionLayout->addWidget(mode);
    auto* inner = new QHBoxLayout;
    inner->addWidget(type);
    inner->addWidget(options);
    transmissionLayout->addLayout(inner);

    auto* modes = new QFormLayout;
    AddLabelled(modes, QObject::tr("Control Mode Selection"), controlMode);
    AddLabelled(modes, QObject::tr("Scanning Method"), scanningMethod);

    auto* analysis = new QGroupBox(QObject::tr("Analysis &Mode Selection"));
    auto* analysisForm = new QFormLayout(analysis);
    AddLabelled(analysisForm, QObject::tr("Meas &1"), meas1);
    AddLabelled(analysisForm, QObject::tr("Meas &2"), meas2);

    ok = Make<QPushButton>(QObject::tr("OK"), "okButton");
    cancel = Make<QPushButton>(QObject::tr("Cancel"), "cancelButton");
    upload = Make<QPushButton>(QObject::tr("&Upload PSF"), "uploadButton");
    send = Make<QPushButton>(QObject::tr("Send &PSF"), "sendButton");
    execute = Make<QPushButton>(QObject::tr("&Execute..."), "executeButton");
    outputs = Make<QPushButton>(QObject::tr("&Outputs..."), "outputsButton");
    save = Make<QPushButton>(QObject::tr("File &Save PSF..."), "saveButton");
    retrieve = Make<QPushButton>(QObject::tr("File &Retrieve PSF..."), "retrieveButton");
    ok->setDefault(true);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {ok, cancel, upload, send, execute, outputs, save, retrieve})
        buttons->addWidget(button);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(serial);
    left->addLayout(modes);
    left->addWidget(analysis);
    left->addStretch();
    fingerprint = new QLabel;
    fingerprint->setObjectName("fingerprintLabel");
    fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fingerprint->setToolTip(QObject::tr(
        "The first 8 hex digits of the SHA-256 of this parameter set: the same set always has "
        "the same fingerprint"));

    auto* middle = new QVBoxLayout;
    middle->addWidget(transmission);
    middle->addWidget(fingerprint);
    middle->addStretch();
    auto* top = new QHBoxLayout(dialog);
    top->addLayout(left);
    top->addLayout(middle);
    top->addSpacing(8);
    top->addLayout(buttons);
}

void PsfConfigControls::Show(const PsfChoices& choices) {
    controllerId->setCurrentIndex(choices.controllerId);
    baudRate->setCurrentIndex(choices.baudRate);
    controlMode->setCurrentIndex(choices.controlMode);
    scanningMethod->setCurrentIndex(choices.scanningMethod);
    meas1->setCurrentIndex(choices.meas1);
    meas2->setCurrentIndex(choices.meas2);
    CheckOneOf(transmissionModes, 3, choices.transmissionMode);
    QRadioButton* const types[] = {ascii, binary};
    CheckOneOf(types, 2, choices.transmissionType);
    suppressClearData->setChecked(choices.suppressClearData);
    suppressHeader->setChecked(choices.suppressHeader);
    compressData->setChecked(choices.compressData);
}

PsfChoices PsfConfigControls::Read() const {
    PsfChoices choices;
    choices.controllerId = controllerId->currentIndex();
    choices.baudRate = baudRate->currentIndex();
    choices.controlMode = controlMode->currentIndex();
    choices.scanningMethod = scanningMethod->currentIndex();
    choices.meas1 = meas1->currentIndex();
    choices.meas2 = meas2->currentIndex();
    choices.transmissionMode = CheckedOf(transmissionModes, 3);
    QRadioButton* const types[] = {ascii, binary};
    choices.transmissionType = CheckedOf(types, 2);
    choices.suppressClearData = suppressClearData->isChecked();
    choices.suppressHeader = suppressHeader->isChecked();
    choices.compressData = compressData->isChecked();
    return choices;
}

void PsfConfigControls::EnableTransmissionOptions(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{ascii, binary, suppressClearData,
                                                            suppressHeader, compressData})
        control->setEnabled(enabled);
}

void PsfConfigControls::OnAnyChange(QDialog* dialog, const std::function<void()>& changed) const {
    for (QComboBox* list : {controllerId, baudRate, controlMode, scanningMethod, meas1, meas2})
        QObject::connect(list, &QComboBox::currentIndexChanged, dialog, changed);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             transmissionModes[0], transmissionModes[1], transmissionModes[2], ascii, binary,
             suppressClearData, suppressHeader, compressData})
        QObject::connect(button, &QAbstractButton::toggled, dialog, changed);
}

void PsfConfigControls::EnableMeasLists(bool enabled) {
    meas1->setEnabled(enabled);
    meas2->setEnabled(enabled);
}
