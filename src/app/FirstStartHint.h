#pragma once

#include <QLabel>

// The empty main window's first words to a new user: which port, how to
// search for the controller, F2. Shown until a command has reached a
// controller, then never again (kept in the settings as [Options] Reached).
class FirstStartHint : public QLabel {
    Q_OBJECT
  public:
    explicit FirstStartHint(QWidget* parent);

    // A command got an answer from a controller: the hint has done its job.
    void ControllerReached();

    static QString Text();
};
