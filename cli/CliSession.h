#pragma once

#include <string>

#include "ConsoleUi.h"
#include "CommandEnv.h"
#include "command/CControllerCommand.h"
#include "model/CDiagnosticsRecord.h"

// The command context of one veltrixctl command: the same owner of port and
// link as the desktop program's commands, so the original parameter set is
// restored (or offered for saving) by the same code.
class CliSession : public CControllerCommand {
public:
    CliSession(const GlobalOptions& options, ConsoleUi& ui);

    // Opens the port the options name and the link over it. Reports the
    // failure and returns kExitPort when the port cannot be opened.
    int Open();
    // Not used: each command drives the link itself.
    int Execute() override { return 1; }

    // Diagnostics of an operational controller, as the Alignment command
    // checks before touching blanking or beams. Reports and returns
    // kExitController otherwise.
    int ReadOperationalDiagnostics(CDiagnosticsRecord& record);

    // When the command changed the controller's parameter set: sends the
    // original back and, should that fail, saves it to savePath (the caller
    // picks a path that holds no file yet unless the user named it). Returns
    // false when the original could not be restored.
    bool RestoreIfChanged(const std::string& savePath);

private:
    const GlobalOptions& m_options;
    ConsoleUi& m_ui;
};

// The COM index the desktop program saved last (section "Communication",
// value "Port"), or index 1 (COM2) when there is none.
int SavedPortIndex();

// Sends the context's original parameter set back; should that fail, the
// question to save it is answered with savePath. False when it did not go
// back (saying where it was saved, when it was).
bool RestoreOriginal(CControllerCommand& context, ConsoleUi& ui, const std::string& savePath);
