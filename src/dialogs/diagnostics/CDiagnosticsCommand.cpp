#include "dialogs/diagnostics/CDiagnosticsCommand.h"

#include "dialogs/diagnostics/CDiagnosticsDlg.h"
#include "platform/UiServices.h"

CDiagnosticsCommand::CDiagnosticsCommand(QWidget* parent, int portIndex, int baudRate)
    : CControllerCommand(parent, portIndex, baudRate) {}

int CDiagnosticsCommand::ReadDiagnostics() {
    const int result = m_link ? m_link->RequestDiagnostics(m_record) : 0;
    if (!result) Ui().MessageBox("Error reading diagnostics", MsgButtons::Ok, MsgIcon::Exclamation);
    return result;
}

int CDiagnosticsCommand::Execute() {
    Ui().BeginWaitCursor();
    const int result = ReadDiagnostics();
    // The wait cursor covers the exchange only: held through the modal run it
    // would show over the whole dialog.
    Ui().EndWaitCursor();
    if (!result) return 0;

    CDiagnosticsDlg dialog(this, static_cast<QWidget*>(ParentWindow()));
    dialog.exec();
    return 1;
}
