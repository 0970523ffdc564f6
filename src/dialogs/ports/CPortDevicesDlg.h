#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "serial/PortInventory.h"

class PortWatch;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QTimer;
class QTreeWidget;

// "Port Devices": which device each COM number opens. Lists the serial
// devices present (with their description, stable path, COM number and
// access) and follows them as adapters come and go. A device is stored by
// its stable path where it has one, so the choice survives re-plugging; OK
// keeps the choice for this run (the settings get it at exit, with the
// others) and makes its COM number the port the commands use. "Test" probes
// for a controller on the device in the path field (or, when it is empty,
// on the device the COM number opens now); a serial device server
// (rfc2217://HOST:PORT, tcp://HOST:PORT) is a path like any other.
class CPortDevicesDlg : public QDialog {
    Q_OBJECT
  public:
    // comNumber preselects that COM number (the port the menu has chosen).
    CPortDevicesDlg(QWidget* parent, int comNumber, InventoryRoot root = {});
    ~CPortDevicesDlg() override;

    int ComNumber() const;
    QString DevicePath() const;
    const std::vector<InventoryPort>& Ports() const { return m_ports; }

    void accept() override;

  private:
    void Refresh();
    void ShowMapping();
    void ShowSelectedDevice();
    void DevicesChanged();
    void TestDevice();

    InventoryRoot m_root;
    std::vector<InventoryPort> m_ports;
    std::unique_ptr<PortWatch> m_watch;

    QComboBox* m_comNumber;
    QLabel* m_mapping;
    QTreeWidget* m_list;
    QLabel* m_hint;
    QLineEdit* m_path;
    QPushButton* m_test;
    QLabel* m_testResult;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_refreshSoon;
};
