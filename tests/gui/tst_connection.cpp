#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>

#include "ModalDriver.h"
#include "app/CMainFrame.h"
#include "app/MainMenu.h"
#include "app/QtEventPump.h"
#include "app/QtSettingsStore.h"
#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/diagnostics/CDiagnosticsDlg.h"
#include "dialogs/ports/CFindControllerDlg.h"
#include "serial/PortDevicePath.h"
#include "integration/sim/SimProcess.h"
#include "platform/UiServices.h"
#include "support/ScopedEnv.h"
#include "support/ScopedStateHome.h"
#include "support/ScriptedUi.h"

namespace {

// Descriptors of this process open on a device.
int DescriptorsOn(const std::string& device) {
    int count = 0;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        const std::string target = std::filesystem::read_symlink(fd.path(), linkError).string();
        count += !linkError && target.rfind(device, 0) == 0;
    }
    return count;
}

}  // namespace

// The desktop program against simulators on real pseudo-terminals, in real
// time: finding the controller, what the status bar says while it looks,
// and an adapter pulled out and plugged in again while a dialog is open.
class TestConnection : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QtSettingsStore> m_store;

  private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        qputenv("VELTRIX_PROFILE", m_config.filePath("profile.ini").toLocal8Bit());
    }
    void init() {
        m_store = std::make_unique<QtSettingsStore>();
        SetSettings(m_store.get());
        InstallQtEventPump();
    }
    void cleanup() {
        RemoveQtEventPump();
        ForgetChosenPortDevices();
        SetSettings(nullptr);
        m_store.reset();
        QFile::remove(m_config.filePath("Local AppWizard-Generated Applications/Multiple Output VELTRIX 2.0.conf"));
    }

    // Two controllers and a silent line among the devices: each row shows
    // what its probe found; "Use as COM3" maps the chosen one and selects it.
    void findControllerUsesTheChosenControllerAsComN() {
        ScopedStateHome state;
        SimProcess first({"--link", state.dir.File("first")});
        SimProcess second({"--link", state.dir.File("second"), "--baud", "38400", "--id", "C", "--part-number", "70000"});
        SimProcess silent({"--link", state.dir.File("silent"), "--fault", "silent"});
        QVERIFY(first.WaitReady() && second.WaitReady() && silent.WaitReady());
        ScopedEnv com5("VELTRIX_COM5", state.dir.File("first"));
        ScopedEnv com6("VELTRIX_COM6", state.dir.File("second"));
        ScopedEnv com7("VELTRIX_COM7", state.dir.File("silent"));
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        CMainFrame frame;
        QStringList states;
        QString summary;
        QString useText;
        ModalDriver<CFindControllerDlg> driver([&](CFindControllerDlg& dialog) {
            auto* list = dialog.findChild<QTreeWidget*>("devices");
            if (!QTest::qWaitFor([&] { return !dialog.Searching(); }, 20000)) {
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    qWarning() << list->topLevelItem(i)->text(0) << list->topLevelItem(i)->text(5);
                dialog.done(QDialog::Rejected);
                QFAIL("the search did not end");
            }
            const auto row = [&](const QString& path) {
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    if (list->topLevelItem(i)->text(0) == path) return list->topLevelItem(i);
                return static_cast<QTreeWidgetItem*>(nullptr);
            };
            for (const char* name : {"first", "second", "silent"})
                states << (row(QString::fromStdString(state.dir.File(name))) ?
                               row(QString::fromStdString(state.dir.File(name)))->text(5) : QString("missing"));
            summary = dialog.findChild<QLabel*>("summary")->text();
            auto* com = dialog.findChild<QComboBox*>("comNumber");
            com->setCurrentIndex(com->findText("COM3"));
            list->setCurrentItem(row(QString::fromStdString(state.dir.File("second"))));
            auto* use = dialog.findChild<QPushButton*>("useButton");
            useText = use->text();
            use->click();
            // Whatever went wrong above, the dialog must not stay up.
            if (dialog.isVisible()) dialog.done(QDialog::Rejected);
        });
        frame.OnCommand(kCmdFindController);

        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(useText, QString("&Use as COM3"));
        QCOMPARE(states, (QStringList{"A at 9600 baud, part number 123456, date code 1102, firmware 2.3, Operational",
                                      "C at 38400 baud, part number 70000, date code 1102, firmware 2.3, Operational",
                                      "no answer"}));
        QCOMPARE(summary, QString("2 controllers found."));
        QCOMPARE(frame.PortIndex(), 2);
        QVERIFY(frame.Action(kCmdFirstPort + 2)->isChecked());
        QCOMPARE(ComPortDevicePath(2), state.dir.File("second"));
    }

    // The status bar follows the probe through the rates; when nothing
    // answered it says where to look next. The message box stays as it is.
    void statusBarFollowsTheProbeAndPointsToFindController() {
        ScopedStateHome state;
        const std::string link = state.dir.File("tty");
        SimProcess silent({"--link", link, "--fault", "silent"});
        QVERIFY(silent.WaitReady());
        ScopedEnv com2("VELTRIX_COM2", link);
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        CMainFrame frame;
        QVERIFY(frame.findChild<QLabel*>("firstStartHint")->isVisibleTo(&frame));
        QStringList messages;
        connect(frame.statusBar(), &QStatusBar::messageChanged, this, [&](const QString& text) {
            if (!text.isEmpty() && (messages.isEmpty() || messages.back() != text)) messages << text;
        });
        frame.OnCommand(kCmdDiagnostics);

        const QString connecting = QString("Connecting to COM2 (%1) at %2 baud...").arg(QString::fromStdString(link));
        QCOMPARE(messages, (QStringList{connecting.arg(9600), connecting.arg(19200), connecting.arg(38400),
                                        QString("No controller answered on COM2 (%1). Options > Find Controller... "
                                                "searches every port.").arg(QString::fromStdString(link))}));
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Error reading diagnostics"}));
        // Nothing reached yet: the hint stays.
        QVERIFY(frame.findChild<QLabel*>("firstStartHint")->isVisibleTo(&frame));
    }

    // Once a command has reached a controller the hint goes, for good.
    void theFirstStartHintGoesOnceAControllerAnswered() {
        ScopedStateHome state;
        const std::string link = state.dir.File("tty");
        SimProcess sim({"--link", link});
        QVERIFY(sim.WaitReady());
        ScopedEnv com2("VELTRIX_COM2", link);
        ScriptedUi ui;
        ScopedUi scopedUi(ui);
        ModalDriver<CDiagnosticsDlg> close([](CDiagnosticsDlg& dialog) { dialog.accept(); });
        {
            CMainFrame frame;
            frame.OnCommand(kCmdDiagnostics);
            QCOMPARE(close.Shown(), 1);
            QVERIFY(!frame.findChild<QLabel*>("firstStartHint")->isVisibleTo(&frame));
            QCOMPARE(frame.statusBar()->currentMessage(), QString());
        }
        CMainFrame next;
        QVERIFY(!next.findChild<QLabel*>("firstStartHint")->isVisibleTo(&next));
        QVERIFY(ui.Messages().empty());
    }

    // The fault: the dialog kept the dead descriptor, and every button
    // blamed the controller afterwards.
    void diagnosticsRefreshNamesTheLostDeviceAndWorksOnceItIsBack() {
        ScopedStateHome state;
        const std::string link = state.dir.File("tty");
        SimProcess sim({"--link", link});
        QVERIFY(sim.WaitReady());
        const std::string firstDevice = sim.Device();
        ScopedEnv com2("VELTRIX_COM2", link);
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        QStringList partNumbers;
        int heldWhileOut = -1;
        bool unplugged = false;
        bool replugged = false;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            const auto partNumber = [&] { return dialog.findChild<QLabel*>("partNumber")->text(); };
            auto* refresh = dialog.findChild<QPushButton*>("refreshButton");
            partNumbers << partNumber();
            unplugged = sim.Unplug();
            refresh->click();
            heldWhileOut = DescriptorsOn(firstDevice);
            replugged = sim.Replug();
            refresh->click();
            partNumbers << partNumber();
            dialog.findChild<QPushButton*>("exitButton")->click();
        });
        CDiagnosticsCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);

        QVERIFY(unplugged && replugged);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Error reading diagnostics\n\nThe serial device " + link +
                                                          " was disconnected."}));
        QCOMPARE(heldWhileOut, 0);
        QCOMPARE(partNumbers, (QStringList{"123456", "123456"}));
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
