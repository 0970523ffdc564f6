#pragma once

#include <QApplication>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>

// The modal widget now up: the application's active one or, when the window
// system has not made it active (the offscreen platform after another dialog
// closed), any visible modal top-level widget.
inline QWidget* CurrentModalWidget() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->isModal()) return widget;
    return nullptr;
}

// Drives modal dialogs from inside their own event loop: every dialog of type
// Dialog that becomes visible while the driver lives is handed once to the
// action, which reads what it needs and closes it. Polls on a short timer,
// which only runs while some event loop (the dialog's exec) does.
template <typename Dialog>
class ModalDriver {
  public:
    explicit ModalDriver(std::function<void(Dialog&)> action) : m_action(std::move(action)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    // How many dialogs were handed to the action.
    int Shown() const { return m_shown; }

  private:
    void Poll() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (!dialog || !dialog->isVisible() || m_seen.contains(dialog)) continue;
            m_seen.insert(dialog);
            // A later dialog may be built at the same address.
            QObject::connect(dialog, &QObject::destroyed, &m_timer,
                             [this, dialog] { m_seen.remove(dialog); });
            ++m_shown;
            m_action(*dialog);
        }
    }

    std::function<void(Dialog&)> m_action;
    QTimer m_timer;
    QSet<QObject*> m_seen;
    int m_shown = 0;
};
