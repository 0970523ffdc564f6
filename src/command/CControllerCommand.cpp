#include "command/CControllerCommand.h"

#include <cstdio>

#include "model/PsfFile.h"
#include "platform/UiServices.h"
#include "serial/PortFactory.h"

CControllerCommand::CControllerCommand(void* parentWindow, int portIndex, int baudRate)
    : m_baudRate(baudRate), m_parentWindow(parentWindow), m_portIndex(portIndex) {}

// Virtual on purpose: a command destroyed through its base still closes its port.
CControllerCommand::~CControllerCommand() = default;

int CControllerCommand::Run() {
    if (!OpenLink()) return 0;
    const int result = Execute();
    if (m_restoreFlag == 1) RestoreOriginalPsf(m_originalPsf);
    return result;
}

int CControllerCommand::OpenLink() {
    std::unique_ptr<RS232> port = OpenPort(m_portIndex, m_baudRate);
    const int status = port ? port->Status() : kSerialGeneralError;
    if (status != 0) {
        const char* name = port ? port->ErrorName(status) : BaseErrorName(status);
        char text[256];
        std::snprintf(text, sizeof text, "Unable to open %d\n%s\n", m_portIndex + 1, name);
        Ui().MessageBox(text, MsgButtons::Ok, MsgIcon::Exclamation);
        return 0;  // the port goes with this scope
    }
    m_link = std::make_unique<CControllerLink>(std::move(port));
    return 1;
}

void CControllerCommand::RestoreOriginalPsf(const CPsfRecord& psf) {
    Ui().BeginWaitCursor();
    CPsfRecord copy = psf;
    if (m_link && m_link->SendPsf(copy)) {
        // Let the controller take the parameter set over before anyone talks to it.
        Ui().RestoreWaitCursor();
        Ui().CaptureMouse();
        CControllerLink::DelayMs(1000);
        Ui().ReleaseMouse();
    } else if (Ui().MessageBox("Unable to restore original PSF.\n"
                               "Do you want to save the original PSF to a file?",
                               MsgButtons::YesNo, MsgIcon::Stop) == MsgResult::Yes) {
        SavePsfAs(psf);
    }
    Ui().EndWaitCursor();
}

void CControllerCommand::SavePsfAs(const CPsfRecord& psf) {
    const std::optional<std::string> path = Ui().PromptSaveFile(PsfSavePrompt());
    if (!path) return;
    if (const int status = WritePsfFile(psf, *path); status != 0) ShowPsfFileError(status);
}
