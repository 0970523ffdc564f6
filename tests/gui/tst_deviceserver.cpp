#include <QPushButton>
#include <QLabel>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ModalDriver.h"
#include "Ser2net.h"
#include "app/CMainFrame.h"
#include "app/MainMenu.h"
#include "app/QtEventPump.h"
#include "app/QtSettingsStore.h"
#include "app/QtUiServices.h"
#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/diagnostics/CDiagnosticsDlg.h"
#include "integration/sim/SimProcess.h"
#include "platform/UiServices.h"
#include "support/ScopedEnv.h"
#include "support/ScopedStateHome.h"
#include "support/ScriptedUi.h"
#include "support/posix/UnansweredPort.h"

// The desktop program reaching its controller through a serial device
// server: a server that dies under an open dialog, and one that does not
// answer the connect at all.
class TestDeviceServer : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QtSettingsStore> m_store;

  private slots:
    void initTestCase() {
        if (!VELTRIX_NET_DEVICES) QSKIP("this build has no serial device servers");
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
        SetSettings(nullptr);
        m_store.reset();
    }

    // ser2net killed while Diagnostics is open: Refresh reports the failure
    // once, naming the device; with ser2net back on its port the next
    // Refresh connects again. RFC 2217 and raw TCP alike.
    void aServerThatDiesIsALostDeviceUntilItIsBack_data() {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("tcp") << false;
    }
    void aServerThatDiesIsALostDeviceUntilItIsBack() {
        QFETCH(bool, rfc2217);
        if (!Ser2net::Installed()) QSKIP("ser2net is not installed (scripts/setup-deps installs it)");
        ScopedStateHome state;
        SimProcess sim({"--link", state.dir.File("tty")});
        QVERIFY(sim.WaitReady());
        Ser2net server(state.dir.Path());
        Ser2net::Connection connection;
        connection.rfc2217 = rfc2217;
        connection.device = state.dir.File("tty");
        QVERIFY2(server.Start({connection}), server.Log().c_str());
        ScopedEnv com2("VELTRIX_COM2", server.Url());
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        QStringList partNumbers;
        bool restarted = false;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            const auto partNumber = [&] { return dialog.findChild<QLabel*>("partNumber")->text(); };
            auto* refresh = dialog.findChild<QPushButton*>("refreshButton");
            partNumbers << partNumber();
            server.Stop();
            refresh->click();
            restarted = server.Start();
            refresh->click();
            partNumbers << partNumber();
            dialog.findChild<QPushButton*>("exitButton")->click();
        });
        CDiagnosticsCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);

        QVERIFY(restarted);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Error reading diagnostics\n\nThe serial device " +
                                                          server.Url() + " was disconnected."}));
        QCOMPARE(partNumbers, (QStringList{"123456", "123456"}));
        QVERIFY(command.DeviceWasLost());
        QVERIFY(!command.DeviceLost());
    }

    // A server that never answers: the window goes on painting and says it
    // is connecting, and after the connect's time-out one message names it.
    void aServerThatDoesNotAnswerIsWaitedForVisiblyAndNamed() {
        const UnansweredPort silent;
        QVERIFY(silent.Port() != 0);
        const std::string url = "tcp://127.0.0.1:" + std::to_string(silent.Port());
        ScopedStateHome state;
        ScopedEnv com2("VELTRIX_COM2", url);
        ScriptedUi ui;
        ScopedUi scopedUi(ui);

        CMainFrame frame;
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(100);
        QElapsedTimer elapsed;
        elapsed.start();
        frame.OnCommand(kCmdDiagnostics);
        QVERIFY(elapsed.elapsed() >= 4900);

        QVERIFY2(ticks >= 20, QByteArray::number(ticks));  // events ran all along
        const std::vector<ScriptedUi::Call> progress = ui.CallsOf(ScriptedUi::Kind::Progress);
        QCOMPARE(progress.size(), size_t{2});
        QCOMPARE(progress[0].text, "Connecting to " + url + "...");
        QCOMPARE(progress[1].text, std::string());
        QCOMPARE(ui.Messages(), (std::vector<std::string>{"Unable to open 2\nNo connection to 127.0.0.1:" +
                                                          std::to_string(silent.Port()) + " within 5 s\n"}));
        QCOMPARE(ui.WaitCursorCount(), 0);

        // The desktop's own services put the text in the status bar.
        QtUiServices qtUi;
        qtUi.SetMainWindow(&frame);
        qtUi.ShowProgress("Connecting to " + url + "...");
        QCOMPARE(frame.statusBar()->currentMessage(), QString::fromStdString("Connecting to " + url + "..."));
        qtUi.ShowProgress({});
        QCOMPARE(frame.statusBar()->currentMessage(), QString());
    }
};

QTEST_MAIN(TestDeviceServer)
#include "tst_deviceserver.moc"
