#pragma once

#include "command/CControllerCommand.h"

class QWidget;

// The Edit PSF command (F4): runs the PSF configuration dialog. It makes no
// exchange of its own and never asks for the restore at the end: the dialog
// sends the original parameter set back itself after a try-out.
class CEditPsfCommand : public CControllerCommand {
public:
    CEditPsfCommand(QWidget* parent, int portIndex, int baudRate);

    int Execute() override;
};
