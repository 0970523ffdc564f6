#include "dialogs/partnumber/CPartNumberCommand.h"

#include "dialogs/partnumber/CPartNumberDlg.h"
#include "dialogs/partnumber/PartNumberRules.h"
#include "platform/UiServices.h"

CPartNumberCommand::CPartNumberCommand(QWidget* parent, int portIndex, int baudRate)
    : CControllerCommand(parent, portIndex, baudRate) {}

int CPartNumberCommand::Execute() {
    CPartNumberDlg dialog(static_cast<QWidget*>(ParentWindow()));
    if (dialog.exec() != QDialog::Accepted) return 1;
    // The dialog ends with OK only on a text that reads as a number.
    const std::optional<uint32_t> partNumber = ReadPartNumber(dialog.PartNumberText());
    if (!partNumber) return 1;
    const uint32_t dateCode = LeadingDigits(dialog.DateCodeText());

    Ui().BeginWaitCursor();
    Ui().CaptureMouse();
    const WriteOutcome written = WritePartNumberVerified(*partNumber, dateCode, "Set Part Number");
    // A refused write was reported already.
    if (written.status != WriteOutcome::Status::Refused)
        Ui().MessageBox(written.Succeeded() ? "Part Number and Date Code Set."
                                            : "Error setting Part Number and Date Code." +
                                                  written.Addendum(),
                        MsgButtons::Ok, MsgIcon::Exclamation);
    Ui().ReleaseMouse();
    Ui().EndWaitCursor();
    return 1;
}
