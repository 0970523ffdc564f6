#include "app/SupportTools.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <cstdlib>

#include "platform/ProgramVersion.h"
#include "platform/SettingsStore.h"
#include "platform/UiServices.h"
#include "report/CServiceReportCommand.h"
#include "report/ReportFile.h"
#include "report/ReportRender.h"
#include "serial/TraceLog.h"

namespace {

constexpr int kCommandBaudRate = 9600;

bool TraceFromEnvironment() {
    const char* env = std::getenv("VELTRIX_TRACE");
    return env && *env;
}

}  // namespace

void SaveServiceReport(QMainWindow& frame, int portIndex) {
    FilePrompt prompt;
    prompt.filter = "HTML Files (*.html) |*.html||";
    prompt.defaultExtension = "html";
    prompt.confirmOverwrite = true;
    prompt.initialName = QFileInfo(QString::fromStdString(DefaultReportName("", false))).fileName().toStdString();
    const std::optional<std::string> path = Ui().PromptSaveFile(prompt);
    if (!path) return;

    Ui().BeginWaitCursor();
    ReportRequest request;
    QStatusBar* bar = frame.statusBar();
    request.progress = [bar](const std::string& step) { bar->showMessage(QString::fromStdString(step)); };
    CServiceReportCommand command(&frame, portIndex, kCommandBaudRate, VersionLine("veltrix"));
    const ServiceReport report = command.Gather(request);
    bar->clearMessage();
    std::string error;
    const bool written = WriteReportFile(*path, RenderReportHtml(report), error);
    Ui().EndWaitCursor();

    if (!written) {
        Ui().MessageBox("Unable to write the service report '" + *path + "'\n" + error, MsgButtons::Ok,
                        MsgIcon::Exclamation);
    } else if (report.AllOk()) {
        Ui().MessageBox("Service report saved to '" + *path + "'.", MsgButtons::Ok, MsgIcon::Information);
    } else {
        Ui().MessageBox("Service report saved to '" + *path +
                            "'.\nSome steps failed: the report gives the system's messages.",
                        MsgButtons::Ok, MsgIcon::Exclamation);
    }
}

ProtocolTraceToggle::ProtocolTraceToggle(QAction* action, QMainWindow& frame)
    : QObject(&frame), m_action(action), m_pane(new QLabel(frame.statusBar())) {
    // The service report shows the last lines of this run, trace file or not.
    KeepRecentTrace(true);
    m_pane->setObjectName(QStringLiteral("tracePane"));
    m_pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // After the message pane, before the key indicators.
    frame.statusBar()->insertPermanentWidget(1, m_pane);
    SettingsStore* settings = Settings();
    m_on = settings && settings->GetInt("Options", "Trace", 0) != 0;
    Apply();
}

void ProtocolTraceToggle::Toggle() {
    if (TraceFromEnvironment()) {
        Apply();
        return;
    }
    m_on = !m_on;
    if (SettingsStore* settings = Settings()) settings->SetInt("Options", "Trace", m_on ? 1 : 0);
    Apply();
}

void ProtocolTraceToggle::Apply() {
    std::string error;
    m_path = QString::fromStdString(ApplyRecordTrace(m_on, error));
    const bool fromEnvironment = TraceFromEnvironment();
    m_action->setEnabled(!fromEnvironment);
    m_action->setChecked(fromEnvironment || (m_on && !m_path.isEmpty()));
    m_pane->setText(m_path.isEmpty() ? QString() : QStringLiteral("Trace: ") + m_path);
    m_pane->setVisible(!m_path.isEmpty());
    if (!error.empty()) {
        Ui().MessageBox("Unable to record the protocol trace.\n" + error, MsgButtons::Ok, MsgIcon::Exclamation);
    }
}
