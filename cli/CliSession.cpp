#include "CliSession.h"

#include <cstdlib>

#include "ExitCodes.h"
#include "model/PsfFile.h"
#include "platform/SettingsStore.h"
#include "serial/PortDevicePath.h"
#include "serial/PortFactory.h"

namespace {

constexpr int kDefaultPortIndex = 1;  // COM2, as the desktop program defaults
constexpr int kDeviceSlot = 1;        // the COM number --device is opened as
constexpr int kBaudAtStart = 9600;    // every command starts probing here

int PortIndexFor(const GlobalOptions& options) {
    if (options.device) return kDeviceSlot - 1;
    if (options.comNumber) return *options.comNumber - 1;
    return SavedPortIndex();
}

}  // namespace

int SavedPortIndex() {
    SettingsStore* store = Settings();
    if (!store) return kDefaultPortIndex;
    const int index = store->GetInt("Communication", "Port", kDefaultPortIndex);
    // A damaged settings file must not send us to a nonsense device.
    return index >= 0 && index < 255 ? index : kDefaultPortIndex;
}

CliSession::CliSession(const GlobalOptions& options, ConsoleUi& ui)
    : CControllerCommand(nullptr, PortIndexFor(options), kBaudAtStart), m_options(options), m_ui(ui) {}

int CliSession::Open() {
    if (!m_options.device) {
        if (OpenLink()) return kExitOk;
        // On Linux a COM number alone does not say which device was tried.
        m_ui.Report("(COM" + std::to_string(m_portIndex + 1) + " is " + ComPortDevicePath(m_portIndex) +
                    ")");
        return kExitPort;
    }

    // A device path goes through the port's own resolution: the environment
    // variable of a COM number is looked up first, so the path is opened with
    // exactly the settings and locking of any other port.
    ::setenv(ComPortEnvironmentName(m_portIndex).c_str(), m_options.device->c_str(), 1);
    std::unique_ptr<RS232> port = OpenPort(m_portIndex, m_baudRate);
    const int status = port ? port->Status() : kSerialGeneralError;
    if (status != 0) {
        const char* name = port ? port->ErrorName(status) : BaseErrorName(status);
        m_ui.Report("Unable to open " + *m_options.device + "\n" + name + "\n");
        return kExitPort;
    }
    m_link = std::make_unique<CControllerLink>(std::move(port));
    return kExitOk;
}

int CliSession::ReadOperationalDiagnostics(CDiagnosticsRecord& record) {
    if (!m_link->RequestDiagnostics(record)) {
        m_ui.Report("Unable to input Diagnostics.");
        return kExitController;
    }
    if (record.systemState != 3) {
        m_ui.Report("Alignment cannot be executed because the device is not in an operational state.");
        return kExitController;
    }
    return kExitOk;
}

bool CliSession::RestoreIfChanged(const std::string& savePath) {
    if (!m_restoreFlag || !m_link) return true;
    m_restoreFlag = 0;
    return RestoreOriginal(*this, m_ui, savePath);
}

bool RestoreOriginal(CControllerCommand& context, ConsoleUi& ui, const std::string& savePath) {
    const std::size_t before = ui.MessageCount();
    ui.SetSavePath(savePath);
    context.RestoreOriginalPsf(context.OriginalPsf());
    if (ui.MessageCount() == before) return true;

    // The restore failed and the question was answered; say whether the
    // original really is on disk, by reading it back.
    CPsfRecord check;
    if (ui.SavedTo() && ReadPsfFile(check, *ui.SavedTo()) == kPsfOk && check == context.OriginalPsf()) {
        ui.Report("The original PSF was saved to '" + *ui.SavedTo() + "'.");
    }
    return false;
}
