#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "app/CMainFrame.h"
#include "app/MainMenu.h"
#include "app/QtSettingsStore.h"
#include "serial/TraceLog.h"
#include "support/ScopedEnv.h"

namespace {

QString SettingsFile(const QString& dir) {
    return dir + "/Local AppWizard-Generated Applications/Multiple Output VELTRIX 2.0.conf";
}

QStringList TextsOf(CMainFrame& frame, const QString& popup) {
    QStringList texts;
    for (QAction* top : frame.menuBar()->actions()) {
        if (top->text() != popup) continue;
        for (QAction* item : top->menu()->actions()) texts << item->text();
    }
    return texts;
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::string Letters(const sim::SimulatedLine& line) {
    std::string letters;
    for (const sim::LogEntry& entry : line.RequestLog())
        if (entry.kind.size() == 1) letters += entry.kind;
    return letters;
}

}  // namespace

// Help > Save Service Report... and Options > Record Protocol Trace.
class TestSupportTools : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_config;
    QTemporaryDir m_files;
    std::unique_ptr<QtSettingsStore> m_store;
    std::unique_ptr<SimulatedCommandWorld> m_world;
    std::unique_ptr<ScopedEnv> m_state;
    std::unique_ptr<ScopedEnv> m_trace;

  private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid() && m_files.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void init() {
        QFile::remove(SettingsFile(m_config.path()));
        m_store = std::make_unique<QtSettingsStore>();
        SetSettings(m_store.get());
        m_world = std::make_unique<SimulatedCommandWorld>();
        m_state = std::make_unique<ScopedEnv>("XDG_STATE_HOME", m_files.filePath("state").toStdString());
        m_trace = std::make_unique<ScopedEnv>("VELTRIX_TRACE");
        qunsetenv("VELTRIX_TRACE");
    }

    void cleanup() {
        m_world.reset();
        SetTraceFile("");
        SetSettings(nullptr);
        m_store.reset();
        m_trace.reset();
        m_state.reset();
    }

    void itemsComeAfterTheSpecifiedOnes() {
        CMainFrame frame;
        const QStringList help = TextsOf(frame, "&Help");
        QCOMPARE(help, (QStringList{"&Index", "&About", "Save Service &Report..."}));
        const QStringList options = TextsOf(frame, "&Options");
        QCOMPARE(options.last(), QString("Record Protocol &Trace"));
        QCOMPARE(options.indexOf("&Save Settings on Exit"), options.size() - 2);
        QVERIFY(frame.Action(kCmdRecordTrace)->isCheckable());
    }

    void savePromptDecidesWhereTheReportGoes() {
        const QString path = m_files.filePath("report.html");
        m_world->ui.AnswerFile(path.toStdString());
        CMainFrame frame;
        frame.Action(kCmdServiceReport)->trigger();

        const std::vector<ScriptedUi::Call> prompts = m_world->ui.CallsOf(ScriptedUi::Kind::SaveFile);
        QCOMPARE(prompts.size(), size_t(1));
        QCOMPARE(QString::fromStdString(prompts[0].prompt.filter), QString("HTML Files (*.html) |*.html||"));
        QVERIFY(prompts[0].prompt.confirmOverwrite);
        QVERIFY(QString::fromStdString(prompts[0].prompt.initialName).startsWith("veltrix-report-"));

        // The wait cursor covers the exchanges and is down before the message.
        std::vector<ScriptedUi::Kind> kinds;
        for (const ScriptedUi::Call& call : m_world->ui.Calls()) kinds.push_back(call.kind);
        using K = ScriptedUi::Kind;
        QVERIFY(kinds == (std::vector<K>{K::SaveFile, K::CursorOn, K::CursorOff, K::Message}));
        QCOMPARE(m_world->ui.Messages().back(), "Service report saved to '" + path.toStdString() + "'.");
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);

        const QString html = ReadAll(path);
        for (const char* text : {"Every step succeeded.", "123456", "Operational", "Output #16", "D read PSF"})
            QVERIFY2(html.contains(text), text);
        QCOMPARE(Letters(*m_world->line), std::string("HDV"));
    }

    void cancelledPromptReadsNothing() {
        m_world->ui.AnswerFile(std::nullopt);
        const QStringList before = QDir(m_files.path()).entryList(QDir::Files);
        CMainFrame frame;
        frame.Action(kCmdServiceReport)->trigger();
        QVERIFY(m_world->line->RequestLog().empty());
        QVERIFY(m_world->ui.Messages().empty());
        QCOMPARE(QDir(m_files.path()).entryList(QDir::Files), before);
    }

    void silentControllerStillGivesAReport() {
        m_world->line->Faults().silent = true;
        const QString path = m_files.filePath("silent.html");
        m_world->ui.AnswerFile(path.toStdString());
        CMainFrame frame;
        frame.Action(kCmdServiceReport)->trigger();
        QCOMPARE(m_world->ui.Messages().back(),
                 "Service report saved to '" + path.toStdString() +
                     "'.\nSome steps failed: the report gives the system's messages.");
        QVERIFY(ReadAll(path).contains("No controller answered at 9600, 19200 or 38400 baud."));
    }

    void traceToggleIsKeptAcrossRestarts() {
        const QString expected = m_files.filePath("state") + "/veltrix/trace.log";
        {
            CMainFrame frame;
            QVERIFY(!frame.Action(kCmdRecordTrace)->isChecked());
            QVERIFY(frame.findChild<QLabel*>("tracePane")->isHidden());
            frame.Action(kCmdRecordTrace)->trigger();
            QVERIFY(frame.Action(kCmdRecordTrace)->isChecked());
            QCOMPARE(QString::fromStdString(WantedTraceFile()), expected);
            QCOMPARE(frame.findChild<QLabel*>("tracePane")->text(), "Trace: " + expected);
            // Stored at once, whatever the save flag says.
            frame.Action(kCmdSaveSettings)->trigger();
        }
        QCOMPARE(QSettings(SettingsFile(m_config.path()), QSettings::IniFormat).value("Options/Trace").toInt(), 1);
        {
            CMainFrame frame;
            QVERIFY(frame.Action(kCmdRecordTrace)->isChecked());
            QVERIFY(!frame.findChild<QLabel*>("tracePane")->isHidden());
            ModalDriver<QDialog> closeDiagnostics([](QDialog& dialog) { dialog.reject(); });
            frame.Action(kCmdDiagnostics)->trigger();
            QCOMPARE(closeDiagnostics.Shown(), 1);
            QVERIFY(ReadAll(expected).contains("H read diagnostics"));
            frame.Action(kCmdRecordTrace)->trigger();
            QCOMPARE(WantedTraceFile(), std::string());
        }
        CMainFrame frame;
        QVERIFY(!frame.Action(kCmdRecordTrace)->isChecked());
    }

    void environmentWinsOverTheMenu() {
        const QString other = m_files.filePath("env-trace.log");
        qputenv("VELTRIX_TRACE", other.toLocal8Bit());
        CMainFrame frame;
        QAction* item = frame.Action(kCmdRecordTrace);
        QVERIFY(item->isChecked());
        QVERIFY(!item->isEnabled());
        QCOMPARE(frame.findChild<QLabel*>("tracePane")->text(), "Trace: " + other);
        QCOMPARE(QString::fromStdString(WantedTraceFile()), other);
    }
};

QTEST_MAIN(TestSupportTools)
#include "tst_supporttools.moc"
