#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "history/ChangeHistory.h"

class CControllerCommand;
class QPushButton;
class QTreeWidget;

// "Change History": what each write replaced in a controller, newest first
// (time, settings, command, device, controller, fingerprints before and
// after). Restore sends the replaced settings of the chosen entry back to
// the controller on the chosen port, read back and itself recorded; Save
// As... writes a replaced parameter set or blanking to a .PSF or .BFS file.
class CChangeHistoryDlg : public QDialog {
    Q_OBJECT
  public:
    // Runs a command context the way the main frame runs its commands.
    using CommandRunner = std::function<void(CControllerCommand&)>;

    CChangeHistoryDlg(QWidget* parent, int portIndex, CommandRunner run,
                      ChangeHistory history = ChangeHistory());

    // Reads the history folder again and shows it.
    void Reload();
    void OnRestore();
    void OnSaveAs();

    static QString TimeText(std::time_t time);
    static QString ControllerText(const ControllerIdentity& controller);

  private:
    void ShowSelected();
    // The sound entry of the selected row and its number, else nullptr.
    const WriteRecord* Selected(int* number = nullptr) const;

    int m_portIndex;
    CommandRunner m_run;
    ChangeHistory m_history;
    std::vector<ChangeHistory::Item> m_items;

    QTreeWidget* m_list;
    QPushButton* m_restore;
    QPushButton* m_saveAs;
    QPushButton* m_close;
};
