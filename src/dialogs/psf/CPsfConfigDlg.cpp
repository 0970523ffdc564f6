#include "dialogs/psf/CPsfConfigDlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "command/CControllerCommand.h"
#include "command/ServerRate.h"
#include "dialogs/psf/CDiscreteOutputsDlg.h"
#include "dialogs/psf/CMeasurementOutputDlg.h"
#include "model/Fingerprint.h"
#include "model/PsfCodes.h"
#include "model/PsfExecuteRules.h"
#include "model/PsfFile.h"
#include "platform/ExchangeScope.h"
#include "platform/UiServices.h"

namespace {

void Message(const std::string& text) {
    Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
}

// A set with codes the controller does not define goes out only when the
// user says so; No, the default, sends nothing.
bool ConfirmUndefinedSet(const CPsfRecord& record) {
    const std::string question = UndefinedSetQuestion(record);
    return question.empty() || Ui().MessageBox(question, MsgButtons::YesNo, MsgIcon::Exclamation,
                                               MsgResult::No) == MsgResult::Yes;
}

}  // namespace

CPsfConfigDlg::CPsfConfigDlg(CControllerCommand* command, QWidget* parent)
    : QDialog(parent), m_command(command) {
    setWindowTitle(tr("Multiple Output VELTRIX PSF Configuration"));
    setModal(true);
    m_controls.Build(this);

    const PsfConfigControls& c = m_controls;
    connect(c.ok, &QPushButton::clicked, this, &CPsfConfigDlg::OnOk);
    connect(c.cancel, &QPushButton::clicked, this, &CPsfConfigDlg::OnCancel);
    connect(c.upload, &QPushButton::clicked, this, &CPsfConfigDlg::OnUpload);
    connect(c.send, &QPushButton::clicked, this, &CPsfConfigDlg::OnSendPsf);
    connect(c.execute, &QPushButton::clicked, this, &CPsfConfigDlg::OnExecute);
    connect(c.outputs, &QPushButton::clicked, this, &CPsfConfigDlg::OnOutputs);
    connect(c.save, &QPushButton::clicked, this, &CPsfConfigDlg::OnSavePsf);
    connect(c.retrieve, &QPushButton::clicked, this, &CPsfConfigDlg::OnRetrievePsf);
    connect(c.transmissionModes[0]->group(), &QButtonGroup::idClicked, this,
            &CPsfConfigDlg::OnTransmissionMode);
    connect(c.scanningMethod, &QComboBox::activated, this, &CPsfConfigDlg::OnScanningMethod);
    c.OnAnyChange(this, [this] { ShowFingerprint(); });

    ShowRecord();
}

void CPsfConfigDlg::ShowFingerprint() {
    CPsfRecord current = m_record;
    StoreChoices(current);
    m_controls.fingerprint->setText(
        tr("Fingerprint: %1").arg(QString::fromStdString(PsfFingerprint(current))));
}

void CPsfConfigDlg::ShowRecord() {
    m_controls.EnableTransmissionOptions(true);
    const PsfChoices choices = ChoicesFromRecord(m_record);
    m_controls.Show(choices);
    ApplyTransmissionModeRule(choices.transmissionMode);
    ApplyScanningMethodRule(m_record.GetScanningMethod());
    ShowFingerprint();
}

void CPsfConfigDlg::StoreChoices(CPsfRecord& record) const {
    ::StoreChoices(m_controls.Read(), record);
}

void CPsfConfigDlg::ApplyTransmissionModeRule(int modeIndex) {
    PsfChoices choices = m_controls.Read();
    const bool enabled = ::ApplyTransmissionModeRule(choices, modeIndex);
    m_controls.Show(choices);
    m_controls.EnableTransmissionOptions(enabled);
}

void CPsfConfigDlg::ApplyScanningMethodRule(uint8_t code) {
    PsfChoices choices = m_controls.Read();
    const bool enabled = ::ApplyScanningMethodRule(choices, code);
    m_controls.Show(choices);
    m_controls.EnableMeasLists(enabled);
}

void CPsfConfigDlg::OnTransmissionMode(int modeIndex) { ApplyTransmissionModeRule(modeIndex); }

void CPsfConfigDlg::OnScanningMethod(int index) {
    const QVariant code = m_controls.scanningMethod->itemData(index);
    if (code.isValid()) ApplyScanningMethodRule(static_cast<uint8_t>(code.toInt()));
}

// Escape: the dialog ends through its buttons only.
void CPsfConfigDlg::reject() {}

void CPsfConfigDlg::closeEvent(QCloseEvent* event) { event->ignore(); }

void CPsfConfigDlg::OnOk() {
    StoreChoices(m_record);
    SaveRecordToFile();
    done(QDialog::Accepted);
}

void CPsfConfigDlg::OnCancel() { done(QDialog::Rejected); }

void CPsfConfigDlg::OnUpload() {
    const ExchangeScope busy;
    CPsfRecord received;
    CControllerLink* link = m_command->Link();
    if (link && link->ReadPsf(received)) {
        m_record = received;
        ShowRecord();
        Message("Uploaded PSF");
    } else {
        Message("PSF Was Not Received");
    }
}

void CPsfConfigDlg::OnSendPsf() {
    StoreChoices(m_record);
    if (!ConfirmUndefinedSet(m_record)) return;
    const ExchangeScope busy;
    CControllerLink* link = m_command->Link();
    // Over a raw TCP device server a new baud rate would cut the controller
    // off: the user decides first, and once it is sent there is nothing left
    // to read it back from.
    bool cutOff = false;
    if (link) {
        const std::string warning = CheckServerRate(*link, m_command->DevicePath(), m_record);
        if (!warning.empty() &&
            Ui().MessageBox(warning + "\n\nSend it anyway?", MsgButtons::YesNo,
                            MsgIcon::Exclamation) != MsgResult::Yes)
            return;
        cutOff = !warning.empty();
    }
    m_command->SetVerifyWrites(!cutOff);
    const WriteOutcome sent = m_command->WritePsfVerified(m_record, "Send PSF");
    m_command->SetVerifyWrites(true);
    // A refused write was reported already.
    if (sent.status != WriteOutcome::Status::Refused)
        Message(sent.Succeeded() ? "PSF Accepted" : "PSF Not Accepted" + sent.Addendum());
}

void CPsfConfigDlg::OnOutputs() {
    DiscreteOutput outputs[kDiscreteOutputCount];
    m_record.GetOutputs(outputs);
    CDiscreteOutputsDlg editor(this);
    editor.SetOutputs(outputs);
    editor.SetScanCount(m_record.GetScanCount());
    if (editor.exec() != QDialog::Accepted) return;
    editor.GetOutputs(outputs);
    m_record.SetOutputs(outputs);
    m_record.SetScanCount(static_cast<uint8_t>(editor.ScanCount()));
    ShowFingerprint();
}

void CPsfConfigDlg::SaveRecordToFile() {
    const std::optional<std::string> path = Ui().PromptSaveFile(PsfSavePrompt());
    if (!path) return;
    if (const int status = WritePsfFile(m_record, *path); status != kPsfOk) ShowPsfFileError(status);
}

void CPsfConfigDlg::OnSavePsf() {
    StoreChoices(m_record);
    SaveRecordToFile();
}

void CPsfConfigDlg::OnRetrievePsf() {
    const std::optional<std::string> path = Ui().PromptOpenFile(PsfOpenPrompt());
    if (!path) return;
    CPsfRecord loaded;
    if (const int status = ReadPsfFile(loaded, *path); status != kPsfOk) {
        ShowPsfFileError(status);
        return;
    }
    m_record = loaded;
    ShowRecord();
    if (const std::string note = UndefinedSetLoadedNote(m_record); !note.empty()) Message(note);
}

void CPsfConfigDlg::OnExecute() {
    Ui().CaptureMouse();
    Ui().BeginWaitCursor();
    const auto stop = [](const std::string& message) {
        Message(message);
        Ui().EndWaitCursor();
        Ui().ReleaseMouse();
    };

    // The set is built from the controls alone: default outputs and scan
    // count, whatever the dialog's record holds.
    const PsfChoices choices = m_controls.Read();
    CPsfRecord chosen;
    ::StoreChoices(choices, chosen);
    std::string refusal = MissingChoiceMessage(choices);
    if (refusal.empty()) refusal = ExecuteRefusal(chosen);
    if (!refusal.empty()) return stop(refusal);

    CControllerLink* link = m_command->Link();
    // What the controller held: it goes back once the monitor closes,
    // whatever happened there.
    CPsfRecord original;
    if (!link || !link->ReadPsf(original)) return stop("Unable to input existing controller's PSF.");
    if (const std::string refusal = TrialRateRefusal(m_command->DevicePath(), chosen, original);
        !refusal.empty())
        return stop(refusal);
    // On disk before the trial set goes out; a refusal was reported already.
    if (!m_command->JournalOriginalPsf(original, "Edit PSF")) {
        Ui().EndWaitCursor();
        Ui().ReleaseMouse();
        return;
    }
    CPsfRecord trial = MakeTrialPsf(chosen);
    if (!link->SendPsf(trial)) return stop("Unable to output PSF.");
    // The controller now talks at the rate just sent.
    link->SelectBaud(choices.baudRate);

    // The monitor takes clicks and shows the normal cursor while it is open.
    Ui().EndWaitCursor();
    Ui().ReleaseMouse();
    RunMonitor(chosen);

    Ui().BeginWaitCursor();
    m_command->RestoreOriginalPsf(original);
    Ui().EndWaitCursor();
}

void CPsfConfigDlg::RunMonitor(const CPsfRecord& chosen) {
    const auto textOf = [](uint8_t code) {
        const int index = LookupMeasurementMode(code);
        return index >= 0 ? QString::fromLatin1(kMeasurementModes[index].text) : QString();
    };
    CMeasurementOutputDlg monitor(m_command->Link(), this);
    monitor.SetMeasTexts(textOf(chosen.GetMeasMode(0)), textOf(chosen.GetMeasMode(1)));
    monitor.SetSelector(MeasurementSelector(chosen.GetMeasMode(0), chosen.GetMeasMode(1)));
    monitor.exec();
}
