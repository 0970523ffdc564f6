#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

// Drives a dialog whose handlers run loops of exchanges: each step waits
// until its condition holds on the visible dialog of type Dialog, then acts.
// Polls on short single-shot timers, which fire from the dialog's own event
// loop and from the serial layer's pump inside an exchange alike, so a step
// can click Stop while a scan is waiting. The next poll is armed before a
// step acts, since the action itself may run a loop (a timer whose slot is
// running does not fire again), and the step counts as taken before it acts.
template <typename Dialog>
class StepDriver {
  public:
    using Condition = std::function<bool(Dialog&)>;
    using Action = std::function<void(Dialog&)>;

    StepDriver() { Arm(); }

    StepDriver& Then(Condition when, Action act) {
        m_steps.push_back({std::move(when), std::move(act)});
        return *this;
    }

    int StepsTaken() const { return m_next; }

  private:
    struct Step {
        Condition when;
        Action act;
    };

    void Arm() { QTimer::singleShot(1, &m_context, [this] { Poll(); }); }

    void Poll() {
        if (m_next >= static_cast<int>(m_steps.size())) return;
        Arm();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (!dialog || !dialog->isVisible()) continue;
            Step& step = m_steps[static_cast<size_t>(m_next)];
            if (!step.when(*dialog)) return;
            ++m_next;
            step.act(*dialog);
            return;
        }
    }

    std::vector<Step> m_steps;
    int m_next = 0;
    QObject m_context;  // pending polls go with the driver
};
