#pragma once

#include <memory>

#include "model/CPsfRecord.h"
#include "protocol/CControllerLink.h"

// CControllerCommand: the context of one controller command from the menu.
// It opens the port (through OpenPort, so tests can supply simulated ports),
// owns the link for the command's duration, runs the derived class's Execute
// and sends the original parameter set back when the command changed it.
// Qt-free: messages, file prompts, the wait cursor and the mouse capture go
// through the UI services; the parent window is an opaque handle for the
// derived classes that build dialogs.
class CControllerCommand {
public:
    CControllerCommand(void* parentWindow, int portIndex, int baudRate);
    virtual ~CControllerCommand();
    CControllerCommand(const CControllerCommand&) = delete;
    CControllerCommand& operator=(const CControllerCommand&) = delete;

    int Run();
    virtual int Execute() = 0;

    int OpenLink();
    void RestoreOriginalPsf(const CPsfRecord& psf);
    void SavePsfAs(const CPsfRecord& psf);

    CControllerLink* Link() { return m_link.get(); }
    void* ParentWindow() const { return m_parentWindow; }
    int PortIndex() const { return m_portIndex; }
    CPsfRecord& OriginalPsf() { return m_originalPsf; }
    int RestoreFlag() const { return m_restoreFlag; }
    void SetRestoreFlag(int flag) { m_restoreFlag = flag; }

protected:
    int m_baudRate;
    void* m_parentWindow;
    int m_portIndex;
    std::unique_ptr<CControllerLink> m_link;
    CPsfRecord m_originalPsf;
    int m_restoreFlag = 0;
};
