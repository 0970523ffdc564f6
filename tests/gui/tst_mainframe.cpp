#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "ModalDriver.h"
#include "app/CMainFrame.h"
#include "app/MainMenu.h"
#include "app/QtSettingsStore.h"
#include "serial/PortDevicePath.h"
#include "serial/PortFactory.h"
#include "sim/SimulatedPort.h"
#include "support/ScriptedUi.h"

namespace {

QString SettingsFile(const QString& dir) {
    return dir + "/Local AppWizard-Generated Applications/Multiple Output VELTRIX 2.0.conf";
}

QList<QAction*> ItemsOf(QMenu* menu) {
    QList<QAction*> items;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) items << action;
    return items;
}

QMenu* TopMenu(QMainWindow& frame, const QString& title) {
    for (QAction* action : frame.menuBar()->actions())
        if (action->text() == title) return action->menu();
    return nullptr;
}

// Closes whatever modal dialog a command opens and remembers that it did,
// so a command that must not open one cannot hang the test either.
class ModalWatch : public QObject {
  public:
    ModalWatch() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QWidget* modal = CurrentModalWidget()) {
                opened << modal->windowTitle();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            }
        });
        m_timer.start(50);
    }
    QStringList opened;

  private:
    QTimer m_timer;
};

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_config;
    QTemporaryDir m_files;
    std::unique_ptr<QtSettingsStore> m_store;
    ScriptedUi m_ui;
    std::unique_ptr<ScopedUi> m_scopedUi;

    QVariant Stored(const QString& key) const {
        QSettings file(SettingsFile(m_config.path()), QSettings::IniFormat);
        return file.value(key);
    }
    void Store(const QString& key, const QVariant& value) {
        m_store->SetInt(key.section('/', 0, 0).toStdString(), key.section('/', 1).toStdString(),
                        value.toInt());
    }
    void WriteProfile(const QByteArray& text) {
        QFile file(m_files.filePath("profile.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

  private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid() && m_files.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        qputenv("VELTRIX_PROFILE", m_files.filePath("profile.ini").toLocal8Bit());
    }

    void init() {
        QFile::remove(SettingsFile(m_config.path()));
        m_store = std::make_unique<QtSettingsStore>();
        QCOMPARE(m_store->FileName(), SettingsFile(m_config.path()));
        SetSettings(m_store.get());
        WriteProfile("[PartNumbers]\nfirst=123456\n");
        m_ui.Clear();
        m_scopedUi = std::make_unique<ScopedUi>(m_ui);
    }

    void cleanup() {
        ForgetChosenPortDevices();
        m_scopedUi.reset();
        SetSettings(nullptr);
        m_store.reset();
        SetPortFactory({});
    }

    void menuBarHasThreePopupsInOrder() {
        CMainFrame frame;
        QStringList titles;
        for (QAction* action : frame.menuBar()->actions()) titles << action->text();
        QCOMPARE(titles, (QStringList{"&VELTRIX", "&Options", "&Help"}));
        QCOMPARE(frame.windowTitle().isEmpty(), false);
    }

    void veltrixMenu_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("diagnostics") << 32771 << "&Diagnostics...\tF2"
                                     << "Executes Diagnostic Test" << QKeySequence(Qt::Key_F2);
        QTest::newRow("alignment") << 32772 << "&Alignment...\tF3"
                                   << "Executes the Channel Alignment" << QKeySequence(Qt::Key_F3);
        QTest::newRow("edit psf") << 32773 << "&Edit PSF...\tF4"
                                  << "Edit and execute a PSF" << QKeySequence(Qt::Key_F4);
        QTest::newRow("part number")
            << 32774 << "Set &Part Number..."
            << "Sets the part number and date code in the controller." << QKeySequence();
        QTest::newRow("production station")
            << 32814 << "Production &Station..."
            << "Programs, checks and records one controller after another." << QKeySequence();
        QTest::newRow("exit") << 57665 << "E&xit"
                              << "Quit the application; prompts to save documents"
                              << QKeySequence();
    }

    void veltrixMenu() {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, prompt);
        QFETCH(QKeySequence, shortcut);
        CMainFrame frame;
        const QList<QAction*> items = ItemsOf(TopMenu(frame, "&VELTRIX"));
        QCOMPARE(items.size(), 6);
        QAction* action = frame.findChild<QAction*>(QStringLiteral("cmd%1").arg(id));
        QVERIFY(action);
        QVERIFY(items.contains(action));
        QCOMPARE(action->data().toInt(), id);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->statusTip(), prompt);
        QCOMPARE(action->shortcut(), shortcut);
        // The specified items in the order of their ids, the station after
        // them, Exit last.
        QCOMPARE(items.indexOf(action), id == 57665 ? 5 : id == 32814 ? 4 : id - 32771);
    }

    void serialPortItems_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("1") << 1 << "COM&1"
                           << "Device is connected to COM1";
        QTest::newRow("2") << 2 << "COM&2"
                           << "Device is connected to COM2";
        QTest::newRow("9") << 9 << "COM&9"
                           << "Device is connected to COM9";
        QTest::newRow("10") << 10 << "COM10"
                            << "Device is connected to COM10";
        QTest::newRow("20") << 20 << "COM20"
                            << "Device is connected to COM20";
        QTest::newRow("21 spelt with a zero") << 21 << "C0M21"
                                              << "Device is connected to COM21";
        QTest::newRow("22") << 22 << "COM22"
                            << "Device is connected to COM22";
        QTest::newRow("24 with a blank") << 24 << "COM24"
                                         << "Device is connected to COM 24";
    }

    void serialPortItems() {
        QFETCH(int, n);
        QFETCH(QString, label);
        QFETCH(QString, prompt);
        CMainFrame frame;
        QMenu* options = TopMenu(frame, "&Options");
        QVERIFY(options);
        const QList<QAction*> top = ItemsOf(options);
        QVERIFY(top.size() >= 2);
        QCOMPARE(top[0]->text(), QString("Serial Port"));
        QMenu* ports = top[0]->menu();
        QVERIFY(ports);
        const QList<QAction*> items = ItemsOf(ports);
        QCOMPARE(items.size(), 24);
        QAction* item = items[n - 1];
        // The specified caption; the shortcut column names the device.
        QCOMPARE(item->text().section('\t', 0, 0), label);
        QCOMPARE(item->text().section('\t', 1), QStringLiteral("/dev/ttyS%1").arg(n - 1));
        QCOMPARE(item->statusTip(), prompt);
        QCOMPARE(item->objectName(), QStringLiteral("cmd%1").arg(32775 + n));
        QVERIFY(item->isCheckable());
    }

    // What each COM number opens now, read again whenever the menu opens.
    void serialPortItemsShowTheDeviceEachComNumberOpens() {
        const QString target = m_files.filePath("ttyUSB0");
        QFile(target).open(QIODevice::WriteOnly);
        const QString link = m_files.filePath("by-id-link");
        QFile::remove(link);
        QVERIFY(QFile::link(target, link));
        CMainFrame frame;
        QMenu* ports = nullptr;
        for (QMenu* menu : frame.findChildren<QMenu*>())
            if (menu->title() == "Serial Port") ports = menu;
        QVERIFY(ports);
        const auto device = [&](int n) { return frame.Action(kCmdFirstPort + n - 1)->text().section('\t', 1); };
        QCOMPARE(device(3), QString("/dev/ttyS2"));

        qputenv("VELTRIX_COM3", link.toLocal8Bit());
        ChoosePortDevice(5, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QCOMPARE(device(3), QString("/dev/ttyS2"));  // not until the menu opens
        emit ports->aboutToShow();
        // A link reads as the device it leads to; one that leads nowhere as
        // itself, cut in the middle when long.
        QCOMPARE(device(3), target);
        QVERIFY2(device(5).startsWith("/dev/serial/") && device(5).endsWith("if00-port0"), qPrintable(device(5)));
        QCOMPARE(frame.Action(kCmdFirstPort + 4)->text().section('\t', 0, 0), QString("COM&5"));
        qunsetenv("VELTRIX_COM3");
    }

    // OK in Port Devices makes the COM number just mapped the one in use.
    void portDevicesOkSelectsItsComNumber() {
        CMainFrame frame;
        QCOMPARE(frame.PortIndex(), 1);
        ModalDriver<QDialog> driver([](QDialog& dialog) {
            auto* com = dialog.findChild<QComboBox*>("comNumber");
            com->setCurrentIndex(com->findText("COM5"));
            dialog.findChild<QLineEdit*>("path")->setText("/dev/ttyUSB3");
            dialog.accept();
        });
        frame.OnCommand(kCmdPortDevices);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(frame.PortIndex(), 4);
        QVERIFY(frame.Action(kCmdFirstPort + 4)->isChecked());
        QVERIFY(!frame.Action(kCmdFirstPort + 1)->isChecked());
        QCOMPARE(ComPortDevicePath(4), std::string("/dev/ttyUSB3"));

        // Cancel changes nothing.
        ModalDriver<QDialog> cancel([](QDialog& dialog) {
            auto* com = dialog.findChild<QComboBox*>("comNumber");
            com->setCurrentIndex(com->findText("COM9"));
            dialog.reject();
        });
        frame.OnCommand(kCmdPortDevices);
        QCOMPARE(frame.PortIndex(), 4);
    }

    void optionsAndHelpItems() {
        CMainFrame frame;
        const QList<QAction*> options = ItemsOf(TopMenu(frame, "&Options"));
        QAction* save = frame.Action(32775);
        QVERIFY(options.contains(save));
        QCOMPARE(save->text(), QString("&Save Settings on Exit"));
        QCOMPARE(save->statusTip(), QString("Save Settings when application exits."));
        QAction* devices = frame.findChild<QAction*>("cmd32800");
        QVERIFY(options.contains(devices));
        QCOMPARE(devices->text(), QString("Port &Devices..."));

        const QList<QAction*> help = ItemsOf(TopMenu(frame, "&Help"));
        QCOMPARE(help.size(), 3);  // the specified two, then Save Service Report...
        QCOMPARE(help[0]->text(), QString("&Index"));
        QCOMPARE(help[0]->data().toInt(), 57666);
        QCOMPARE(help[0]->statusTip(), QString());
        QCOMPARE(help[1]->text(), QString("&About"));
        QCOMPARE(help[1]->data().toInt(), 57664);
        QCOMPARE(help[1]->statusTip(),
                 QString("Display program information, version number and copyright"));
    }

    void statusBarShowsReadyAndThePromptOfTheHighlightedItem() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        auto* ready = frame.findChild<QLabel*>("messagePane");
        QVERIFY(ready);
        QCOMPARE(ready->text(), QString("Ready"));
        QVERIFY(ready->isVisible());
        for (const char* name : {"indicatorCAP", "indicatorNUM", "indicatorSCRL"})
            QVERIFY2(frame.findChild<QLabel*>(name), name);

        // Opened from the menu bar, as a user does, so prompts reach the frame.
        QMenu* veltrix = TopMenu(frame, "&VELTRIX");
        frame.menuBar()->setActiveAction(veltrix->menuAction());
        QVERIFY(QTest::qWaitForWindowExposed(veltrix));
        QTest::mouseMove(veltrix, veltrix->actionGeometry(frame.Action(32772)).center());
        QTRY_COMPARE(frame.statusBar()->currentMessage(),
                     QString("Executes the Channel Alignment"));
        QVERIFY(!ready->isVisible());
        veltrix->hide();
        QTRY_COMPARE(frame.statusBar()->currentMessage(), QString());
        QTRY_VERIFY(ready->isVisible());
    }

    void firstStartChecksCom2AndTheSaveFlag() {
        CMainFrame frame;
        QCOMPARE(frame.PortIndex(), 1);
        for (int n = 1; n <= 24; ++n) QCOMPARE(frame.Action(32775 + n)->isChecked(), n == 2);
        QVERIFY(frame.Action(32775)->isChecked());
        QVERIFY(frame.Action(32774)->isEnabled());
        QVERIFY(frame.Action(32771)->isEnabled());
    }

    void storedPortOutsideTheMenuChecksNoItemAndReachesTheCommand() {
        Store("Communication/Port", 30);
        qputenv("VELTRIX_COM31", m_files.filePath("no-such-device").toLocal8Bit());
        {
            CMainFrame frame;
            QCOMPARE(frame.PortIndex(), 30);
            for (int n = 1; n <= 24; ++n) QVERIFY(!frame.Action(32775 + n)->isChecked());

            ModalWatch watch;
            frame.Action(32771)->trigger();
            QCOMPARE(m_ui.Messages(),
                     (std::vector<std::string>{"Unable to open 31\nPort not found\n"}));
            QCOMPARE(m_ui.Calls()[0].icon, MsgIcon::Exclamation);
            QVERIFY(watch.opened.isEmpty());
            // Afterwards the status bar says which device COM31 stands for.
            QCOMPARE(frame.statusBar()->currentMessage(),
                     QString("COM31 is %1. To use another device, see Options > Port Devices...")
                         .arg(m_files.filePath("no-such-device")));

            // Set Part Number opens no dialog either when the port fails.
            m_ui.Clear();
            frame.Action(32774)->trigger();
            QCOMPARE(m_ui.Messages().size(), size_t(1));
            QVERIFY(watch.opened.isEmpty());
        }
        qunsetenv("VELTRIX_COM31");
    }

    void everyCommandNamesTheDeviceOfAPortThatWillNotOpen_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("diagnostics") << 32771;
        QTest::newRow("alignment") << 32772;
        QTest::newRow("edit psf") << 32773;
        QTest::newRow("set part number") << 32774;
    }

    void everyCommandNamesTheDeviceOfAPortThatWillNotOpen() {
        QFETCH(int, id);
        const QString missing = m_files.filePath("gone");
        qputenv("VELTRIX_COM9", missing.toLocal8Bit());
        {
            CMainFrame frame;
            frame.Action(32776 + 8)->trigger();
            ModalWatch watch;
            frame.Action(id)->trigger();
            QCOMPARE(m_ui.Messages(), (std::vector<std::string>{"Unable to open 9\nPort not found\n"}));
            QVERIFY(watch.opened.isEmpty());
            QCOMPARE(frame.statusBar()->currentMessage(),
                     QString("COM9 is %1. To use another device, see Options > Port Devices...").arg(missing));
        }
        qunsetenv("VELTRIX_COM9");
    }

    void commandsGetTheChosenIndexAnd9600() {
        std::vector<std::pair<int, long>> opened;
        SetPortFactory([&](int index, long baud) -> std::unique_ptr<RS232> {
            opened.emplace_back(index, baud);
            return nullptr;  // reported as a port that cannot open
        });
        CMainFrame frame;
        frame.Action(32776 + 6)->trigger();  // COM7
        frame.Action(32771)->trigger();
        frame.Action(32774)->trigger();
        QCOMPARE(opened.size(), size_t(2));
        QCOMPARE(opened[0].first, 6);
        QCOMPARE(opened[0].second, 9600L);
        QCOMPARE(opened[1].first, 6);
        QCOMPARE(opened[1].second, 9600L);
        QCOMPARE(m_ui.Messages().size(), size_t(2));
        QVERIFY(QString::fromStdString(m_ui.Messages()[0]).startsWith("Unable to open 7\n"));
    }

    void choosingCom5AndExitingStoresPort4AndSave1() {
        {
            CMainFrame frame;
            frame.show();
            frame.Action(32780)->trigger();
            QVERIFY(frame.Action(32780)->isChecked());
            QVERIFY(!frame.Action(32777)->isChecked());
            QVERIFY(!Stored("Communication/Port").isValid());  // nothing before exit
            frame.Action(57665)->trigger();
            QVERIFY(!frame.isVisible());
            QCOMPARE(Stored("Communication/Port").toInt(), 4);
            QCOMPARE(Stored("Options/Save").toInt(), 1);
        }
        CMainFrame next;
        QCOMPARE(next.PortIndex(), 4);
        QVERIFY(next.Action(32780)->isChecked());
    }

    void uncheckedSaveFlagWritesNothing() {
        Store("Communication/Port", 7);
        Store("Options/Save", 1);
        const QByteArray before = [&] {
            QFile file(SettingsFile(m_config.path()));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        {
            CMainFrame frame;
            frame.Action(32775)->trigger();
            QVERIFY(!frame.Action(32775)->isChecked());
            frame.Action(32778)->trigger();  // COM3
            frame.close();
        }
        QFile file(SettingsFile(m_config.path()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);

        CMainFrame next;
        QCOMPARE(next.PortIndex(), 7);
        QVERIFY(next.Action(32783)->isChecked());
        QVERIFY(next.Action(32775)->isChecked());
    }

    void togglingTheSaveFlagTwiceKeepsItAndWritesOnlyAtExit() {
        CMainFrame frame;
        frame.Action(32775)->trigger();
        frame.Action(32775)->trigger();
        QVERIFY(frame.Action(32775)->isChecked());
        QCOMPARE(frame.SaveFlag(), 1);
        QVERIFY(!QFile::exists(SettingsFile(m_config.path())));
        frame.close();
        QCOMPARE(Stored("Options/Save").toInt(), 1);
        QCOMPARE(Stored("Communication/Port").toInt(), 1);
    }

    // A device chosen under Port Devices follows "Save Settings on Exit" like
    // the port and the flag: in force at once, on disk only at a saving exit.
    void portDeviceChoiceIsWrittenOnlyWithTheOtherSettings_data() {
        QTest::addColumn<bool>("saveOnExit");
        QTest::newRow("save on exit") << true;
        QTest::newRow("no saving") << false;
    }
    void portDeviceChoiceIsWrittenOnlyWithTheOtherSettings() {
        QFETCH(bool, saveOnExit);
        {
            CMainFrame frame;
            if (!saveOnExit) frame.Action(32775)->trigger();
            ModalDriver<QDialog> driver([](QDialog& dialog) {
                dialog.findChild<QLineEdit*>("path")->setText("/dev/ttyUSB3");
                dialog.accept();
            });
            frame.OnCommand(kCmdPortDevices);
            QCOMPARE(driver.Shown(), 1);
            QCOMPARE(ComPortDevicePath(1), std::string("/dev/ttyUSB3"));
            QVERIFY(!Stored("Ports/COM2").isValid());
            frame.close();
        }
        QCOMPARE(Stored("Ports/COM2").isValid(), saveOnExit);
        if (saveOnExit) QCOMPARE(Stored("Ports/COM2").toString(), QString("/dev/ttyUSB3"));
    }

    void emptyPartNumbersSectionGreysSetPartNumberUntilRestart() {
        WriteProfile("[PartNumbers]\n[Other]\nx=123456\n");
        CMainFrame frame;
        QCOMPARE(frame.PartNumberFlag(), 0);
        QVERIFY(!frame.Action(32774)->isEnabled());
        // A list added while the program runs is not seen.
        WriteProfile("[PartNumbers]\nfirst=123456\n");
        frame.Action(32776)->trigger();
        QVERIFY(!frame.Action(32774)->isEnabled());
        frame.OnCommand(32774);
        QVERIFY(m_ui.Calls().empty());

        CMainFrame next;
        QVERIFY(next.Action(32774)->isEnabled());
    }

    void editPsfOpensThePortAndItsDialog() {
        std::vector<std::pair<int, long>> opened;
        SetPortFactory([&](int index, long baud) -> std::unique_ptr<RS232> {
            opened.emplace_back(index, baud);
            return std::make_unique<sim::SimulatedPort>(std::make_shared<sim::SimulatedLine>(),
                                                        index, baud);
        });
        QString title;
        ModalDriver<QDialog> driver([&](QDialog& dialog) {
            title = dialog.windowTitle();
            dialog.done(QDialog::Rejected);
        });
        CMainFrame frame;
        frame.Action(32773)->trigger();
        QCOMPARE(title, QString("Multiple Output VELTRIX PSF Configuration"));
        QCOMPARE(opened, (std::vector<std::pair<int, long>>{{1, 9600L}}));
        QVERIFY(m_ui.Messages().empty());
    }
};

QTEST_MAIN(MainFrameTest)
#include "tst_mainframe.moc"
