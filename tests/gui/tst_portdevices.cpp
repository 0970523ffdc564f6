#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "SimulatedCommandWorld.h"
#include "app/QtSettingsStore.h"
#include "dialogs/ports/CPortDevicesDlg.h"
#include "serial/PortDeviceList.h"
#include "serial/PortDevicePath.h"
#include "support/FakeSerialTree.h"

class PortDevicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeSerialTree> m_tree;
    std::unique_ptr<QtSettingsStore> m_store;

    std::string Dev(const std::string& name) const { return m_tree->Dev(name); }
    std::string ById() const { return Dev("serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"); }

  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("config"));
    }

    void init() {
        m_tree = std::make_unique<FakeSerialTree>();
        m_tree->UsbTty("ttyUSB2", "188:2", "1-1", {"0403", "6001", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio"});
        m_tree->SerialLink("by-id", "usb-FTDI_FT232R_A50285BI-if00-port0", "ttyUSB2");
        m_tree->UsbTty("ttyACM0", "166:0", "1-2", {"2341", "0043", "Arduino", "Uno", "", "cdc_acm"});
        m_tree->Uart("ttyS0", "4:64", 4, "serial8250");
        QFile::remove(
            m_dir.filePath("config/Local AppWizard-Generated Applications/"
                           "Multiple Output VELTRIX 2.0.conf"));
        m_store = std::make_unique<QtSettingsStore>();
        SetSettings(m_store.get());
        qunsetenv("VELTRIX_COM3");
    }

    void cleanup() {
        ForgetChosenPortDevices();
        SetSettings(nullptr);
        m_store.reset();
        m_tree.reset();
    }

    void hintTellsHowToGetAccess() {
        DeviceOwnership dialout;
        dialout.mode = S_IFCHR | 0660;
        dialout.ownerUid = 0;
        dialout.ownerGid = 20;
        dialout.ownerName = "root";
        dialout.groupName = "dialout";

        UserIdentity outsider{1000, {1000}, {1000}};
        QCOMPARE(QString::fromStdString(AccessHint(dialout, outsider)),
                 QString("Join the group 'dialout': sudo usermod -aG dialout $USER, then log out "
                         "and log in again."));

        // Joined, but this login session predates it.
        UserIdentity joined{1000, {1000}, {1000, 20}};
        QVERIFY(QString::fromStdString(AccessHint(dialout, joined))
                    .contains("log out and log in again"));
        QVERIFY(!QString::fromStdString(AccessHint(dialout, joined)).contains("usermod"));

        DeviceOwnership rootOnly = dialout;
        rootOnly.mode = S_IFCHR | 0600;
        const QString hint = QString::fromStdString(AccessHint(rootOnly, outsider));
        QVERIFY(hint.startsWith("Only root may open it"));
        QVERIFY(hint.contains("udev"));
    }

    // The list shows what each device is and the name that stays; picking
    // a device stores that name.
    void dialogStoresTheStablePathOfTheChosenDevice() {
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        auto* com = dialog.findChild<QComboBox*>("comNumber");
        auto* list = dialog.findChild<QTreeWidget*>("devices");
        auto* mapping = dialog.findChild<QLabel*>("mapping");
        QVERIFY(com && list && mapping);
        QCOMPARE(com->count(), 24);
        QCOMPARE(com->currentText(), QString("COM3"));
        QCOMPARE(mapping->text(), QString("COM3 now opens /dev/ttyS2 (the default)."));
        QCOMPARE(list->topLevelItemCount(), 3);
        QTreeWidgetItem* ftdi = list->topLevelItem(0);
        QCOMPARE(ftdi->text(0), QString::fromStdString(Dev("ttyUSB2")));
        QCOMPARE(ftdi->text(1), QString("FTDI FT232R USB UART, 0403:6001, serial A50285BI, driver ftdi_sio"));
        QCOMPARE(ftdi->text(2), QString::fromStdString(ById()));

        list->setCurrentItem(ftdi);
        QCOMPARE(dialog.DevicePath(), QString::fromStdString(ById()));
        list->setCurrentItem(list->topLevelItem(1));  // no stable path: the node
        QCOMPARE(dialog.DevicePath(), QString::fromStdString(Dev("ttyACM0")));
        list->setCurrentItem(ftdi);
        dialog.accept();

        // What the serial layer opens for COM3 (index 2) from now on; the
        // settings store gets it only with the other settings, at exit.
        QCOMPARE(ComPortDevicePath(2), ById());
        QVERIFY(!m_store->GetString("Ports", "COM3"));
        CPortDevicesDlg again(nullptr, 3, m_tree->Inventory());
        QCOMPARE(again.findChild<QLabel*>("mapping")->text(),
                 QString("COM3 now opens %1.").arg(QString::fromStdString(ById())));
        QCOMPARE(again.findChild<QTreeWidget*>("devices")->currentItem()->text(0), QString::fromStdString(Dev("ttyUSB2")));
        QCOMPARE(again.findChild<QTreeWidget*>("devices")->topLevelItem(0)->text(3), QString("COM3"));
    }

    // An adapter plugged in or pulled out while the dialog is open.
    void theListFollowsAdaptersAsTheyComeAndGo() {
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        auto* list = dialog.findChild<QTreeWidget*>("devices");
        list->setCurrentItem(list->topLevelItem(1));
        m_tree->UsbTty("ttyUSB0", "188:0", "1-4", {"10c4", "ea60", "Silicon Labs", "CP2102 USB to UART", "0001", "cp210x"});
        QTRY_COMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->topLevelItem(0)->text(0), QString::fromStdString(Dev("ttyUSB0")));
        // The row chosen stays chosen.
        QCOMPARE(list->currentItem()->text(0), QString::fromStdString(Dev("ttyACM0")));
        m_tree->Remove("/dev/ttyUSB2");
        QTRY_COMPARE(list->topLevelItemCount(), 3);
    }

    void emptyPathGoesBackToTheDefaultDevice() {
        m_store->SetString("Ports", "COM3", "/dev/ttyUSB7");
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        auto* path = dialog.findChild<QLineEdit*>("path");
        QCOMPARE(path->text(), QString("/dev/ttyUSB7"));
        path->clear();
        dialog.accept();
        QCOMPARE(ComPortDevicePath(2), std::string("/dev/ttyS2"));
    }

    void environmentOverrideIsShown() {
        qputenv("VELTRIX_COM3", "/tmp/sim-link");
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        const QString text = dialog.findChild<QLabel*>("mapping")->text();
        QVERIFY(text.startsWith("COM3 now opens /tmp/sim-link"));
        QVERIFY(text.contains("VELTRIX_COM3"));
    }

    // "Test" probes the device in the path field as a command would open it.
    void testProbesThePathAndNamesTheRate_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("result");
        QTest::newRow("device file") << "/dev/ttyUSB7" << "Controller A answered at 38400 baud.";
        QTest::newRow("rfc2217") << "rfc2217://127.0.0.1:4001" << "Controller A answered at 38400 baud.";
        QTest::newRow("raw tcp") << "tcp://127.0.0.1:4001"
                                 << "Controller A answered at the server's rate.";
    }

    void testProbesThePathAndNamesTheRate() {
        QFETCH(QString, path);
        QFETCH(QString, result);
        SimulatedCommandWorld world;
        QVERIFY(world.line->Model().SetBaud(38400));
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        dialog.findChild<QLineEdit*>("path")->setText(path);
        dialog.findChild<QPushButton*>("test")->click();
        QCOMPARE(dialog.findChild<QLabel*>("testResult")->text(), result);
        QCOMPARE(world.line->RequestLog().back().kind, std::string("probe"));
        QCOMPARE(world.ui.WaitCursorCount(), 0);
        QVERIFY(dialog.isEnabled());
        // A test chooses nothing.
        QCOMPARE(ComPortDevicePath(2), std::string("/dev/ttyS2"));
    }

    void testOfADeviceThatWillNotOpenSaysWhy() {
        CPortDevicesDlg dialog(nullptr, 3, m_tree->Inventory());
        dialog.findChild<QLineEdit*>("path")->setText("tcp://127.0.0.1");
        dialog.findChild<QPushButton*>("test")->click();
        QCOMPARE(dialog.findChild<QLabel*>("testResult")->text(),
                 QString("Unable to open tcp://127.0.0.1\n'tcp://127.0.0.1' is not a device server "
                         "name: it needs HOST:PORT"));
    }
};

QTEST_MAIN(PortDevicesTest)
#include "tst_portdevices.moc"
