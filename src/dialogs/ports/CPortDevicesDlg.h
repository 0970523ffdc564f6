#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "serial/PortDeviceList.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Port Devices": which device each COM number opens. Lists the serial
// devices present with their access state, and stores the choice in the
// settings store (section "Ports", value "COM<n>"); an empty path goes back
// to the default device. "Test" probes for a controller on the device in the
// path field (or, when it is empty, on the device the COM number opens now);
// a serial device server (rfc2217://HOST:PORT, tcp://HOST:PORT) is a path
// like any other.
class CPortDevicesDlg : public QDialog {
    Q_OBJECT
  public:
    // comNumber preselects that COM number (the port the menu has chosen).
    CPortDevicesDlg(QWidget* parent, int comNumber, std::string devRoot = "/dev",
                    std::string ttyClassRoot = "/sys/class/tty");

    int ComNumber() const;
    QString DevicePath() const;
    const std::vector<PortDevice>& Devices() const { return m_devices; }

    void accept() override;

  private:
    void Refresh();
    void ShowMapping();
    void ShowSelectedDevice();
    void TestDevice();

    std::string m_devRoot;
    std::string m_ttyClassRoot;
    std::vector<PortDevice> m_devices;

    QComboBox* m_comNumber;
    QLabel* m_mapping;
    QTreeWidget* m_list;
    QLabel* m_hint;
    QLineEdit* m_path;
    QPushButton* m_test;
    QLabel* m_testResult;
};
