#pragma once

#include <QMainWindow>
#include <map>

class CControllerCommand;
class ConnectionStatus;
class FirstStartHint;
class QAction;
class QLabel;
class QMenu;
class ProtocolTraceToggle;

// The main window: the menu, the status bar, the serial-port choice and the
// "save settings on exit" flag. The controller commands each run as a
// command context over the chosen port; the frame itself never opens it.
//
// Settings go through Settings() (section "Communication" value "Port",
// section "Options" value "Save"); the part-number flag comes from the
// profile's "PartNumbers" section. Both are read once, at construction.
class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kCommandBaudRate = 9600;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    void LoadSettings();
    // Writes the two settings when the save flag is set, else nothing. Runs
    // once, when the window closes (or is destroyed without closing).
    void SaveSettings();

    int PortIndex() const { return m_portIndex; }
    int SaveFlag() const { return m_saveFlag; }
    int PartNumberFlag() const { return m_partNumberFlag; }

    // The menu item of a command id, or nullptr.
    QAction* Action(int id) const;
    // Runs a command as if it had been chosen from the menu.
    void OnCommand(int id);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateMenus();
    void CreateStatusBar();
    void UpdateCommandStates();
    // The device each COM number opens, in the Serial Port items' shortcut
    // column; refreshed whenever the menu opens.
    void ShowPortDevices();
    void UpdateKeyIndicators();

    // Runs a command context; when its port did not open, the status bar
    // names the device that COM number stands for.
    void RunControllerCommand(CControllerCommand& command);
    void OnDiagnostics();
    void OnAlignment();
    void OnSetPartNumber();
    void OnPortDevices();
    void OnFindController();
    void OnChangeHistory();

    int m_saveFlag = 1;
    int m_partNumberFlag = 0;
    int m_portIndex = 1;
    bool m_settingsSaved = false;

    std::map<int, QAction*> m_actions;
    QLabel* m_messagePane = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    ProtocolTraceToggle* m_trace = nullptr;
    ConnectionStatus* m_connection = nullptr;
    FirstStartHint* m_hint = nullptr;
};
