#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "command/ControllerSearch.h"
#include "serial/PortInventory.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

// "Find Controller": probes every serial device of the inventory at once
// (9600, 19200 and 38400 baud, one port and thread each) and shows a state
// per row as it goes, and the identity of each controller that answers.
// "Use as COM n" maps the chosen device to COM n, by its stable path where
// it has one, and makes COM n the port the commands use. Cancel stops the
// search; once it is over it closes the dialog.
class CFindControllerDlg : public QDialog {
    Q_OBJECT
  public:
    CFindControllerDlg(QWidget* parent, int comNumber, InventoryRoot root = {});
    ~CFindControllerDlg() override;

    int ComNumber() const;
    // The search goes on, or its end is not shown yet.
    bool Searching() const;
    const std::vector<InventoryPort>& Ports() const { return m_ports; }
    // The row's state as shown ("probing at 19200 baud...", "no answer", ...).
    static QString StateText(const DeviceProbe& probe);

    void reject() override;

  private:
    void Search();
    void ShowProgress();
    void ShowSelected();
    void UseAsCom();
    const DeviceProbe* SelectedProbe() const;

    InventoryRoot m_root;
    std::vector<InventoryPort> m_ports;
    std::vector<DeviceProbe> m_probes;
    std::unique_ptr<ControllerSearch> m_search;
    bool m_offered = false;  // the first controller found was selected

    QTreeWidget* m_list;
    QLabel* m_summary;
    QLabel* m_detail;
    QComboBox* m_comNumber;
    QPushButton* m_use;
    QPushButton* m_again;
    QPushButton* m_cancel;
    QTimer* m_progress;
};
