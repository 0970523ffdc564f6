#pragma once

#include "command/CControllerCommand.h"

class QWidget;

// The Set Part Number command: the part-number dialog, then the part number
// and today's date code written into the controller.
class CPartNumberCommand : public CControllerCommand {
public:
    CPartNumberCommand(QWidget* parent, int portIndex, int baudRate);
    int Execute() override;
};
