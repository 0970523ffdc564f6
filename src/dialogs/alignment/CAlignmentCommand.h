#pragma once

#include "command/CControllerCommand.h"
#include "model/CPsfRecord.h"

class QWidget;

// The Alignment command (F3): checks that the controller is operational,
// puts the working parameter set in (the original goes back when the command
// ends), reads the blanking fields and runs the Alignment dialog.
class CAlignmentCommand : public CControllerCommand {
public:
    CAlignmentCommand(QWidget* parent, int portIndex, int baudRate);

    // 1 when the dialog ran or the blanking fields could not be read, 0 when
    // the command stopped before the working set was in.
    int Execute() override;
    const CPsfRecord& WorkingPsf() const { return m_workingPsf; }

private:
    // Shown with the stop icon, as every message of this command.
    static void Stop(const char* text);
    void RunDialog(int channelCount, const CBlankingMap& map);

    CPsfRecord m_workingPsf;
};
