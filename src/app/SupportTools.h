#pragma once

#include <QObject>

class QAction;
class QLabel;
class QMainWindow;

// The main frame's tools for remote support, beside the specified menus.

// Help > Save Service Report...: asks where to save, reads the controller on
// the chosen port under the wait cursor (the steps shown in the status bar),
// writes the HTML report and says in one message where it went.
void SaveServiceReport(QMainWindow& frame, int portIndex);

// Options > Record Protocol Trace: a checked item kept in the settings
// (section "Options", value "Trace") and written when it changes. While on,
// every exchange is traced to a file under $XDG_STATE_HOME/veltrix/, whose
// path the status bar shows. VELTRIX_TRACE, when set, wins: the item is then
// checked and disabled and the status bar shows that file.
class ProtocolTraceToggle : public QObject {
    Q_OBJECT
  public:
    ProtocolTraceToggle(QAction* action, QMainWindow& frame);

    // The menu item was chosen.
    void Toggle();
    bool IsOn() const { return m_on; }
    // The file traced to; empty when none.
    const QString& TracePath() const { return m_path; }

  private:
    void Apply();

    QAction* m_action;
    QLabel* m_pane;
    bool m_on = false;
    QString m_path;
};
