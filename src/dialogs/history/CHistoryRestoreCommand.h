#pragma once

#include <string>

#include "command/CControllerCommand.h"
#include "history/WriteRecord.h"

class QWidget;

// Sends back what a change history entry replaced: the parameter set, the
// blanking or the part number and date code, as a verified write that the
// history and the audit log record like any other. A controller that is not
// the one the entry was made for gets it only when the user says so.
class CHistoryRestoreCommand : public CControllerCommand {
  public:
    CHistoryRestoreCommand(QWidget* parent, int portIndex, int baudRate, WriteRecord entry,
                           int number);
    int Execute() override;

    // The write went out and was confirmed.
    bool Restored() const { return m_restored; }

  private:
    WriteRecord m_entry;
    int m_number;
    bool m_restored = false;
};
