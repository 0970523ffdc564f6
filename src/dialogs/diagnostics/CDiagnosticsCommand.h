#pragma once

#include "command/CControllerCommand.h"
#include "model/CDiagnosticsRecord.h"

class QWidget;

// The Diagnostics command (F2): reads the diagnostics block and shows it in
// the Diagnostics dialog, whose "&Refresh" reads it again.
class CDiagnosticsCommand : public CControllerCommand {
public:
    CDiagnosticsCommand(QWidget* parent, int portIndex, int baudRate);

    int Execute() override;
    // RequestDiagnostics into the record; shows "Error reading diagnostics"
    // when it fails. Returns the link's result.
    int ReadDiagnostics();
    const CDiagnosticsRecord& Record() const { return m_record; }

private:
    CDiagnosticsRecord m_record;
};
