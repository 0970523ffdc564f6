#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "app/QtSettingsStore.h"
#include "app/QtUiServices.h"

class CMainFrame;

// The application object: installs the Qt side of the platform layer,
// creates and shows the main frame, checks for the help file and shows the
// splash. Handles About and the help index.
class CVeltrixApp : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kHelpFileName = "quorvel.hlp";

    CVeltrixApp();
    ~CVeltrixApp() override;

    // Start-up; false when the program cannot start. The splash is left out
    // when showSplash is false (tests).
    bool InitInstance(bool showSplash = true);

    CMainFrame* MainFrame() const { return m_frame.get(); }
    int HelpFileFlag() const { return m_helpFileFlag; }

    void OnAppAbout();
    void OnHelpIndex();

  private:
    QtUiServices m_ui;
    std::unique_ptr<QtSettingsStore> m_settings;
    std::unique_ptr<CMainFrame> m_frame;
    int m_helpFileFlag = 0;
    QString m_helpFilePath;
};
