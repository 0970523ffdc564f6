#pragma once

#include <QObject>
#include <QTimer>

class CControllerCommand;
class QStatusBar;

// What the status bar says about the line while a controller command runs:
// "Connecting to COM1 (/dev/ttyUSB0) at 9600 baud..." while its first probe
// goes through the rates (updated whenever the link waits and events run),
// and afterwards, when no controller answered, where to look next. The
// specified message boxes of the command stay as they are.
class ConnectionStatus : public QObject {
    Q_OBJECT
  public:
    explicit ConnectionStatus(QStatusBar* bar);

    void Begin(CControllerCommand& command);
    // Ends the watch; true when a controller answered during the command.
    bool End();

    static QString ConnectingText(const QString& port, const QString& device, long baud);
    static QString NoAnswerText(const QString& port, const QString& device);

  private:
    void Update();

    QStatusBar* m_bar;
    QTimer m_timer;
    CControllerCommand* m_command = nullptr;
    bool m_shown = false;
};
