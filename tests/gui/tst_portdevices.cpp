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

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void Link(const QString& target, const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(QFile::link(target, path));
}

std::vector<std::string> Paths(const std::vector<PortDevice>& devices) {
    std::vector<std::string> paths;
    for (const PortDevice& device : devices) paths.push_back(device.path);
    return paths;
}

}  // namespace

class PortDevicesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_dev;
    QString m_sys;
    std::unique_ptr<QtSettingsStore> m_store;

  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath("config"));
        m_dev = m_dir.filePath("dev");
        m_sys = m_dir.filePath("sys");
        for (const char* name :
             {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "tty1", "ttyprintk", "null"})
            Touch(m_dev + "/" + name);
        Link("../../ttyUSB2", m_dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
        // ttyS1 is a placeholder the kernel registers for an absent UART.
        QDir().mkpath(m_sys + "/bus/platform");
        QDir().mkpath(m_sys + "/tty/ttyS1/device");
        Link(m_sys + "/bus/platform", m_sys + "/tty/ttyS1/device/subsystem");
        QDir().mkpath(m_sys + "/bus/pnp");
        QDir().mkpath(m_sys + "/tty/ttyS0/device");
        Link(m_sys + "/bus/pnp", m_sys + "/tty/ttyS0/device/subsystem");
    }

    void init() {
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
    }

    void listsStableNamesFirstThenDevicesInNumericOrder() {
        const auto devices = ListPortDevices(m_dev.toStdString(), (m_sys + "/tty").toStdString());
        const std::string dev = m_dev.toStdString();
        QCOMPARE(Paths(devices),
                 (std::vector<std::string>{
                     dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0", dev + "/ttyUSB2",
                     dev + "/ttyUSB10", dev + "/ttyACM0", dev + "/ttyS0"}));
        QCOMPARE(devices[0].target, dev + "/ttyUSB2");
        QCOMPARE(devices[1].target, devices[1].path);
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

    void dialogStoresTheChosenDeviceForTheComNumber() {
        CPortDevicesDlg dialog(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
        auto* com = dialog.findChild<QComboBox*>("comNumber");
        auto* list = dialog.findChild<QTreeWidget*>("devices");
        auto* mapping = dialog.findChild<QLabel*>("mapping");
        QVERIFY(com && list && mapping);
        QCOMPARE(com->count(), 24);
        QCOMPARE(com->currentText(), QString("COM3"));
        QCOMPARE(mapping->text(), QString("COM3 now opens /dev/ttyS2 (the default)."));
        QCOMPARE(list->topLevelItemCount(), 5);

        list->setCurrentItem(list->topLevelItem(0));
        QCOMPARE(dialog.DevicePath(), QString::fromStdString(dialog.Devices()[0].path));
        dialog.accept();

        // What the serial layer opens for COM3 (index 2) from now on; the
        // settings store gets it only with the other settings, at exit.
        QCOMPARE(ComPortDevicePath(2), dialog.Devices()[0].path);
        QVERIFY(!m_store->GetString("Ports", "COM3"));
        CPortDevicesDlg again(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
        QCOMPARE(again.findChild<QLabel*>("mapping")->text(),
                 QString("COM3 now opens %1.").arg(QString::fromStdString(dialog.Devices()[0].path)));
    }

    void emptyPathGoesBackToTheDefaultDevice() {
        m_store->SetString("Ports", "COM3", "/dev/ttyUSB7");
        CPortDevicesDlg dialog(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
        auto* path = dialog.findChild<QLineEdit*>("path");
        QCOMPARE(path->text(), QString("/dev/ttyUSB7"));
        path->clear();
        dialog.accept();
        QCOMPARE(ComPortDevicePath(2), std::string("/dev/ttyS2"));
    }

    void environmentOverrideIsShown() {
        qputenv("VELTRIX_COM3", "/tmp/sim-link");
        CPortDevicesDlg dialog(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
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
        CPortDevicesDlg dialog(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
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
        CPortDevicesDlg dialog(nullptr, 3, m_dev.toStdString(), (m_sys + "/tty").toStdString());
        dialog.findChild<QLineEdit*>("path")->setText("tcp://127.0.0.1");
        dialog.findChild<QPushButton*>("test")->click();
        QCOMPARE(dialog.findChild<QLabel*>("testResult")->text(),
                 QString("Unable to open tcp://127.0.0.1\n'tcp://127.0.0.1' is not a device server "
                         "name: it needs HOST:PORT"));
    }
};

QTEST_MAIN(PortDevicesTest)
#include "tst_portdevices.moc"
