#include "app/CVeltrixApp.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <cstdio>

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CSplashDlg.h"
#include "app/MainMenu.h"
#include "app/QtEventPump.h"
#include "command/CRecoveryCommand.h"
#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"
#include "platform/UiServices.h"

CVeltrixApp::CVeltrixApp() = default;

CVeltrixApp::~CVeltrixApp() {
    m_frame.reset();  // writes its settings while the store is still installed
    RemoveQtEventPump();
    if (Settings() == m_settings.get()) SetSettings(nullptr);
    if (&Ui() == &m_ui) SetUi(nullptr);
}

bool CVeltrixApp::InitInstance(bool showSplash) {
    QCoreApplication::setOrganizationName(QString::fromUtf8(kCompanyKey));
    QCoreApplication::setApplicationName(QString::fromUtf8(kAppName));
    m_settings = std::make_unique<QtSettingsStore>();
    SetSettings(m_settings.get());
    SetUi(&m_ui);
    InstallQtEventPump();

    m_frame = std::make_unique<CMainFrame>();
    m_ui.SetMainWindow(m_frame.get());
    connect(m_frame->Action(kCmdAbout), &QAction::triggered, this, &CVeltrixApp::OnAppAbout);
    connect(m_frame->Action(kCmdHelpIndex), &QAction::triggered, this, &CVeltrixApp::OnHelpIndex);

    m_frame->show();
    m_frame->setWindowTitle(QString::fromUtf8(kAppName));

    m_helpFileFlag = 0;
    if (std::FILE* help = std::fopen(kHelpFileName, "rb")) {
        std::fclose(help);
        m_helpFileFlag = 1;
        m_helpFilePath = QDir::current().absoluteFilePath(QString::fromUtf8(kHelpFileName));
    }
    m_frame->Action(kCmdHelpIndex)->setEnabled(m_helpFileFlag == 1);

    if (showSplash) {
        CSplashDlg splash;
        splash.exec();
    }
    // Settings a crashed or killed run left in a controller.
    OfferPendingRecoveries(m_frame.get());
    return true;
}

void CVeltrixApp::OnAppAbout() {
    CAboutDlg about(m_frame.get());
    about.exec();
}

void CVeltrixApp::OnHelpIndex() {
    // The file found at start-up, so a later change of directory does not
    // point the viewer elsewhere.
    if (m_helpFileFlag == 1) QDesktopServices::openUrl(QUrl::fromLocalFile(m_helpFilePath));
}
