#include "app/ConnectionStatus.h"

#include <QStatusBar>
#include <utility>

#include "command/CControllerCommand.h"

ConnectionStatus::ConnectionStatus(QStatusBar* bar) : QObject(bar), m_bar(bar) {
    // Runs while the link waits (the serial layer's pump) and while the
    // command's dialog waits for the user.
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &ConnectionStatus::Update);
}

QString ConnectionStatus::ConnectingText(const QString& port, const QString& device, long baud) {
    return QStringLiteral("Connecting to %1 (%2) at %3 baud...").arg(port, device).arg(baud);
}

QString ConnectionStatus::NoAnswerText(const QString& port, const QString& device) {
    return QStringLiteral("No controller answered on %1 (%2). Options > Find Controller... searches every port.")
        .arg(port, device);
}

void ConnectionStatus::Begin(CControllerCommand& command) {
    m_command = &command;
    // The port opens and the first probe starts at 9600 baud at once.
    m_bar->showMessage(ConnectingText(QString::fromStdString(command.PortName()),
                                      QString::fromStdString(command.DevicePath()), 9600));
    m_shown = true;
    m_timer.start();
}

void ConnectionStatus::Update() {
    CControllerLink* link = m_command ? m_command->Link() : nullptr;
    if (!link) return;
    // Only the search for the controller is shown, not a dialog waiting for
    // the user nor the exchanges after the controller was found.
    if (link->Connecting() && link->ConnectsAnswered() == 0) {
        m_bar->showMessage(ConnectingText(QString::fromStdString(m_command->PortName()),
                                          QString::fromStdString(m_command->DevicePath()),
                                          link->Port().CurrentSettings().baud));
        m_shown = true;
    } else if (m_shown) {
        m_bar->clearMessage();
        m_shown = false;
    }
}

bool ConnectionStatus::End() {
    m_timer.stop();
    CControllerCommand* command = std::exchange(m_command, nullptr);
    if (m_shown) m_bar->clearMessage();
    m_shown = false;
    CControllerLink* link = command ? command->Link() : nullptr;
    if (!link) return false;
    if (link->ConnectsAnswered() > 0) return true;
    if (link->ConnectsTried() > 0)
        m_bar->showMessage(NoAnswerText(QString::fromStdString(command->PortName()),
                                        QString::fromStdString(command->DevicePath())));
    return false;
}
