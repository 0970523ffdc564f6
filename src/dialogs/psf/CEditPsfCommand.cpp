#include "dialogs/psf/CEditPsfCommand.h"

#include "dialogs/psf/CPsfConfigDlg.h"

CEditPsfCommand::CEditPsfCommand(QWidget* parent, int portIndex, int baudRate)
    : CControllerCommand(parent, portIndex, baudRate) {}

int CEditPsfCommand::Execute() {
    CPsfConfigDlg dialog(this, static_cast<QWidget*>(ParentWindow()));
    dialog.exec();
    return 1;
}
