#include "app/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "app/AppResources.h"
#include "app/ConnectionStatus.h"
#include "app/FirstStartHint.h"
#include "platform/KeyLockState.h"
#include "app/MainMenu.h"
#include "app/SupportTools.h"
#include "dialogs/alignment/CAlignmentCommand.h"
#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/history/CChangeHistoryDlg.h"
#include "dialogs/partnumber/CPartNumberCommand.h"
#include "dialogs/psf/CEditPsfCommand.h"
#include "dialogs/ports/CFindControllerDlg.h"
#include "dialogs/ports/CPortDevicesDlg.h"
#include "dialogs/station/ProductionStation.h"
#include "platform/AppInfo.h"
#include "platform/IniFile.h"
#include "platform/SettingsStore.h"
#include "platform/UiServices.h"
#include "serial/PortDevicePath.h"

namespace {

QKeySequence ShortcutOf(int id) {
    switch (id) {
        case kCmdDiagnostics:
            return QKeySequence(Qt::Key_F2);
        case kCmdAlignment:
            return QKeySequence(Qt::Key_F3);
        case kCmdEditPsf:
            return QKeySequence(Qt::Key_F4);
        default:
            return {};
    }
}

QLabel* MakeIndicator(const QString& name, QWidget* parent) {
    auto* pane = new QLabel(parent);
    pane->setObjectName(QStringLiteral("indicator") + name);
    pane->setAlignment(Qt::AlignCenter);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Wide enough for its text whether the key is on or off.
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(name) + 12);
    pane->setProperty("indicatorText", name);
    return pane;
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    EnsureAppResources();
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(QStringLiteral("Multiple Output VELTRIX"));
    setWindowIcon(QIcon(QStringLiteral(":/veltrix.png")));
    resize(640, 420);

    CreateMenus();
    CreateStatusBar();
    LoadSettings();
    // The view draws nothing; until a controller was reached it shows the
    // first-start hint.
    m_hint = new FirstStartHint(this);
    setCentralWidget(m_hint);
    m_connection = new ConnectionStatus(statusBar());
    m_trace = new ProtocolTraceToggle(m_actions[kCmdRecordTrace], *this);
    UpdateCommandStates();
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    SaveSettings();
}

void CMainFrame::CreateMenus() {
    std::map<std::string, QMenu*> popups;
    QMenu* portMenu = nullptr;
    for (const MenuItemSpec& item : MainMenuItems()) {
        QMenu*& popup = popups[item.popup];
        if (!popup) popup = menuBar()->addMenu(QString::fromStdString(item.popup));
        QMenu* menu = popup;
        if (!item.submenu.empty()) {
            if (!portMenu) {
                portMenu = popup->addMenu(QString::fromStdString(item.submenu));
                connect(portMenu, &QMenu::aboutToShow, this, &CMainFrame::ShowPortDevices);
            }
            menu = portMenu;
        }

        QAction* action = menu->addAction(QString::fromStdString(item.text));
        action->setObjectName(QStringLiteral("cmd%1").arg(item.id));
        action->setData(item.id);
        action->setCheckable(item.checkable);
        const QString prompt = QString::fromStdString(item.prompt);
        const qsizetype newline = prompt.indexOf('\n');
        action->setStatusTip(newline < 0 ? prompt : prompt.left(newline));
        if (newline >= 0) action->setToolTip(prompt.mid(newline + 1));
        action->setShortcut(ShortcutOf(item.id));
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_actions[id] = action;
    }
    // Enabled by the application once it has found the help file.
    m_actions[kCmdHelpIndex]->setEnabled(false);
    m_actions[kCmdProductionStation]->setVisible(ProductionStationAvailable());
    ShowPortDevices();
}

void CMainFrame::ShowPortDevices() {
    const QFontMetrics metrics(font());
    for (int n = 1; n <= kPortItemCount; ++n) {
        // A long name (a by-id link of an adapter not plugged in) is cut in
        // the middle rather than widening the menu beyond the screen.
        const QString device = metrics.elidedText(QString::fromStdString(PortItemDevice(n)), Qt::ElideMiddle,
                                                  metrics.averageCharWidth() * 56);
        m_actions[kCmdFirstPort + n - 1]->setText(QString::fromStdString(PortItemLabel(n)) + '\t' + device);
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    m_messagePane = new QLabel(QStringLiteral("Ready"), bar);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    // A normal widget: a highlighted item's prompt covers it, and it shows
    // again once the prompt goes away.
    bar->addWidget(m_messagePane, 1);
    m_capsPane = MakeIndicator(QStringLiteral("CAP"), bar);
    m_numPane = MakeIndicator(QStringLiteral("NUM"), bar);
    m_scrollPane = MakeIndicator(QStringLiteral("SCRL"), bar);
    bar->addPermanentWidget(m_capsPane);
    bar->addPermanentWidget(m_numPane);
    bar->addPermanentWidget(m_scrollPane);
    UpdateKeyIndicators();
}

void CMainFrame::LoadSettings() {
    SettingsStore* settings = Settings();
    // Taken as stored: an index outside the menu checks no item and still
    // goes to the commands.
    m_portIndex = settings ? settings->GetInt("Communication", "Port", 1) : 1;
    m_saveFlag = settings ? settings->GetInt("Options", "Save", 1) : 1;

    m_partNumberFlag = 0;
    for (const std::string& name : OpenAppProfile()->EntryNames("PartNumbers"))
        if (!name.empty()) m_partNumberFlag = 1;
}

void CMainFrame::SaveSettings() {
    if (m_settingsSaved) return;
    m_settingsSaved = true;
    SettingsStore* settings = Settings();
    if (m_saveFlag == 0 || !settings) return;
    settings->SetInt("Communication", "Port", m_portIndex);
    settings->SetInt("Options", "Save", m_saveFlag);
    StoreChosenPortDevices();
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CMainFrame::UpdateCommandStates() {
    for (int n = 0; n < kPortItemCount; ++n)
        m_actions[kCmdFirstPort + n]->setChecked(n == m_portIndex);
    m_actions[kCmdSaveSettings]->setChecked(m_saveFlag != 0);
    m_actions[kCmdSetPartNumber]->setEnabled(m_partNumberFlag == 1);
}

void CMainFrame::OnCommand(int id) {
    if (id >= kCmdFirstPort && id <= kCmdLastPort) {
        m_portIndex = id - kCmdFirstPort;
    } else {
        switch (id) {
            case kCmdDiagnostics:
                OnDiagnostics();
                break;
            case kCmdAlignment:
                OnAlignment();
                break;
            case kCmdEditPsf: {
                CEditPsfCommand command(this, m_portIndex, kCommandBaudRate);
                RunControllerCommand(command);
                break;
            }
            case kCmdSetPartNumber:
                if (m_partNumberFlag == 1) OnSetPartNumber();
                break;
            case kCmdSaveSettings:
                m_saveFlag = m_saveFlag == 0 ? 1 : 0;
                break;
            case kCmdPortDevices:
                OnPortDevices();
                break;
            case kCmdFindController:
                OnFindController();
                break;
            case kCmdChangeHistory:
                OnChangeHistory();
                break;
            case kCmdProductionStation:
                RunProductionStation(this, m_portIndex);
                break;
            case kCmdRecordTrace:
                m_trace->Toggle();
                break;
            case kCmdServiceReport:
                SaveServiceReport(*this, m_portIndex);
                break;
            case kCmdExit:
                close();
                break;
            default:
                break;  // About and Index belong to the application
        }
    }
    UpdateCommandStates();
}

void CMainFrame::RunControllerCommand(CControllerCommand& command) {
    m_connection->Begin(command);
    command.Run();
    if (m_connection->End()) m_hint->ControllerReached();
    if (!command.OpenFailed()) return;
    // "Unable to open 5" does not say which device that was on Linux.
    statusBar()->showMessage(QStringLiteral("%1 is %2. To use another device, see Options > Port Devices...")
                                 .arg(QString::fromStdString(command.PortName()),
                                      QString::fromStdString(command.DevicePath())));
}

void CMainFrame::OnDiagnostics() {
    CDiagnosticsCommand command(this, m_portIndex, kCommandBaudRate);
    RunControllerCommand(command);
}

void CMainFrame::OnAlignment() {
    CAlignmentCommand command(this, m_portIndex, kCommandBaudRate);
    RunControllerCommand(command);
}

void CMainFrame::OnSetPartNumber() {
    CPartNumberCommand command(this, m_portIndex, kCommandBaudRate);
    RunControllerCommand(command);
}

void CMainFrame::OnPortDevices() {
    CPortDevicesDlg dialog(this, m_portIndex + 1);
    // The COM number just mapped is the one the user means to use.
    if (dialog.exec() == QDialog::Accepted) m_portIndex = dialog.ComNumber() - 1;
}

void CMainFrame::OnFindController() {
    CFindControllerDlg dialog(this, m_portIndex + 1);
    if (dialog.exec() == QDialog::Accepted) m_portIndex = dialog.ComNumber() - 1;
}

void CMainFrame::OnChangeHistory() {
    CChangeHistoryDlg dialog(this, m_portIndex,
                             [this](CControllerCommand& command) { RunControllerCommand(command); });
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SaveSettings();
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::ApplicationStateChange:
            UpdateKeyIndicators();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateKeyIndicators() {
    const KeyLockState locks = ReadKeyLockState();
    const auto show = [](QLabel* pane, bool on) {
        pane->setText(on ? pane->property("indicatorText").toString() : QString());
    };
    show(m_capsPane, locks.caps);
    show(m_numPane, locks.num);
    show(m_scrollPane, locks.scroll);
}
