#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "SimulatedCommandWorld.h"
#include "app/QtEventPump.h"
#include "dialogs/psf/CMeasurementOutputDlg.h"
#include "dialogs/psf/MeasurementTrendChart.h"
#include "grid/CSpreadSheet.h"
#include "platform/EventPump.h"
#include "protocol/CControllerLink.h"

namespace {

QPushButton* Button(CMeasurementOutputDlg& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(name);
}

// Run, Stop, Step, Exit: enabled or not, as "1010".
QString EnableStates(CMeasurementOutputDlg& dialog) {
    QString states;
    for (const char* name : {"runButton", "stopButton", "stepButton", "exitButton"})
        states += Button(dialog, name)->isEnabled() ? '1' : '0';
    return states;
}

QStringList Row(CMeasurementOutputDlg& dialog, int row) {
    auto* grid = dialog.findChild<CSpreadSheet*>("measurementGrid");
    QStringList cells;
    for (int col = 1; col <= 4; ++col) cells << grid->CellText(col, row);
    return cells;
}

int ScanCount(const sim::SimulatedLine& line) {
    int count = 0;
    for (const sim::LogEntry& entry : line.RequestLog()) count += entry.kind == "scan";
    return count;
}

std::vector<sim::MeasurementScript::Pair> Script(const char* text) {
    std::vector<sim::MeasurementScript::Pair> values;
    std::string error;
    if (!sim::ParseMeasurementScript(text, values, error)) qFatal("%s", error.c_str());
    return values;
}

}  // namespace

// The measurement output monitor over the simulated controller, which holds a
// trial set in measurement mode and plays scripted values.
class TestMeasurementOutput : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;
    std::unique_ptr<CControllerLink> m_link;

    void StoreTrialSet(uint8_t meas1, uint8_t meas2) {
        CPsfRecord psf;
        psf.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
        psf.SetBinary(true);
        psf.SetMeasMode(0, meas1);
        psf.SetMeasMode(1, meas2);
        m_world->line->Model().StorePsf(psf);
    }

    std::unique_ptr<CMeasurementOutputDlg> Open(int selector) {
        auto dialog = std::make_unique<CMeasurementOutputDlg>(m_link.get(), nullptr);
        dialog->SetMeasTexts("FBB", selector == 0 ? "None" : "LBB");
        dialog->SetSelector(selector);
        dialog->show();
        return dialog;
    }

    // Runs until the controller has answered `scans` scan requests, then
    // stops the loop as a click on Stop would.
    void RunFor(CMeasurementOutputDlg& dialog, int scans,
                const std::function<void()>& between = {}) {
        int seen = 0;
        SetEventPumpHook([&] {
            const int now = ScanCount(*m_world->line);
            if (now != seen && between) between();
            seen = now;
            if (now >= scans) dialog.OnStop();
        });
        Button(dialog, "runButton")->click();
        SetEventPumpHook(nullptr);
    }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        m_link = std::make_unique<CControllerLink>(
            std::make_unique<sim::SimulatedPort>(m_world->line, 1, 9600));
        ProbeInfo info;
        QVERIFY(m_link->Connect(info));
        m_world->line->ClearLogs();
    }

    void cleanup() {
        SetEventPumpHook(nullptr);
        SetWaitingDialog(nullptr);
        m_link.reset();
        m_world.reset();
    }

    void openingState() {
        StoreTrialSet('A', 'K');
        auto dialog = Open(0);
        QCOMPARE(dialog->windowTitle(), QString("Measurement Output"));
        QStringList texts;
        for (const char* name : {"runButton", "stopButton", "stepButton", "exitButton"})
            texts << Button(*dialog, name)->text();
        QCOMPARE(texts, (QStringList{"&Run", "&Stop", "S&tep", "E&xit"}));
        QCOMPARE(EnableStates(*dialog), QString("1011"));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowCloseButtonHint));
        auto* grid = dialog->findChild<CSpreadSheet*>("measurementGrid");
        QStringList headings;
        for (int col = 1; col <= 4; ++col) headings << grid->CellText(col, 0);
        QCOMPARE(headings, (QStringList{"Measurement", "Low", "High", "Present"}));
        QCOMPARE(Row(*dialog, 1), (QStringList{"FBB", "", "", ""}));
        QCOMPARE(Row(*dialog, 2), (QStringList{"None", "", "", ""}));
        QCOMPARE(ScanCount(*m_world->line), 0);
    }

    // The statistics rules as the user sees them, one Run per sequence; the
    // script holds its last value, so the run ends on identical scans.
    void statisticsSequences_data() {
        QTest::addColumn<int>("selector");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("row1");
        QTest::addColumn<QStringList>("row2");
        QTest::newRow("zeros passed over, then frozen")
            << 0 << "0,0,15,12,0,20" << QStringList{"FBB", "0", "20", "20"}
            << QStringList{"None", "", "", ""};
        QTest::newRow("a zero after a value freezes")
            << 0 << "7,0,9" << QStringList{"FBB", "0", "9", "9"} << QStringList{"None", "", "", ""};
        QTest::newRow("an initial zero does not freeze")
            << 0 << "0,5" << QStringList{"FBB", "5", "5", "5"} << QStringList{"None", "", "", ""};
        QTest::newRow("selector 1 fills row 2 only")
            << 1 << "3/40,3/12,3/0" << QStringList{"FBB", "", "", ""}
            << QStringList{"LBB", "0", "40", "0"};
        QTest::newRow("both measurements")
            << 2 << "4/9,2/9,8/0" << QStringList{"FBB", "2", "8", "8"}
            << QStringList{"LBB", "0", "9", "0"};
    }

    void statisticsSequences() {
        QFETCH(int, selector);
        QFETCH(QString, script);
        QFETCH(QStringList, row1);
        QFETCH(QStringList, row2);
        StoreTrialSet(selector == 1 ? 'K' : 'A', selector == 0 ? 'K' : 'C');
        m_world->line->Model().measurementScript.values = Script(script.toLatin1().constData());
        auto dialog = Open(selector);
        RunFor(*dialog, int(m_world->line->Model().measurementScript.values.size()) + 2);
        QCOMPARE(Row(*dialog, 1), row1);
        QCOMPARE(Row(*dialog, 2), row2);
        QCOMPARE(EnableStates(*dialog), QString("1011"));
        QVERIFY(m_world->ui.Messages().empty());
        QVERIFY(WaitingDialog() == nullptr);
    }

    // Run resets the statistics, Step accumulates; only a scan that differs
    // from the one before rewrites the grid during Run.
    void gridRewrittenOnlyForNewValues() {
        StoreTrialSet('A', 'K');
        m_world->line->Model().measurementScript.values = Script("30,30,30,12");
        auto dialog = Open(0);
        auto* grid = dialog->findChild<CSpreadSheet*>("measurementGrid");
        QStringList presentAfterScan;
        RunFor(*dialog, 4, [&] {
            presentAfterScan << grid->CellText(4, 1);
            grid->SetCellText(4, 1, "mark");
        });
        // The marks after the first scan stay until 12 arrives.
        QCOMPARE(presentAfterScan, (QStringList{"", "30", "mark", "mark"}));
        QCOMPARE(Row(*dialog, 1), (QStringList{"FBB", "12", "30", "12"}));

        m_world->line->Model().measurementScript.values = Script("50");
        m_world->line->Model().measurementScript.next = 0;
        Button(*dialog, "stepButton")->click();
        QCOMPARE(Row(*dialog, 1), (QStringList{"FBB", "12", "50", "50"}));
        RunFor(*dialog, ScanCount(*m_world->line) + 1);
        QCOMPARE(Row(*dialog, 1), (QStringList{"FBB", "50", "50", "50"}));
        QVERIFY(dialog->Chart()->RedrawCount() > 0);
        QVERIFY(!dialog->Chart()->Points(0).isEmpty());
    }

    // The trend breaks where no scan was taken and marks the scans that failed.
    void trendBreaksBetweenRunsAndStepsAndMarksFailures() {
        StoreTrialSet('A', 'K');
        m_world->line->Model().measurementScript.values = Script("10,20,30");
        auto dialog = Open(0);
        MeasurementTrendChart* chart = dialog->Chart();
        RunFor(*dialog, 3);
        QCOMPARE(chart->PieceCount(0), 1);
        QVERIFY(chart->Points(0).size() >= 2);
        Button(*dialog, "stepButton")->click();
        Button(*dialog, "stepButton")->click();
        QCOMPARE(chart->PieceCount(0), 3);
        QCOMPARE(chart->Points(0).size(), 1);  // a lone Step: a dot, joined to nothing
        RunFor(*dialog, ScanCount(*m_world->line) + 2);
        QCOMPARE(chart->PieceCount(0), 4);
        QCOMPARE(chart->FailedScanCount(), 0);

        m_world->line->Faults().hangupAfter = ScanCount(*m_world->line) + 2;
        Button(*dialog, "runButton")->click();
        QCOMPARE(chart->FailedScanCount(), 1);
        Button(*dialog, "stepButton")->click();
        QCOMPARE(chart->FailedScanCount(), 2);
        QCOMPARE(chart->PieceCount(0), 5);  // the run cut short
    }

    void failedRequestReportsOnceAndReturnsToIdle() {
        StoreTrialSet('A', 'K');
        auto dialog = Open(0);
        m_world->line->Faults().hangupAfter = 3;
        QString statesWhileRunning;
        SetEventPumpHook([&] { statesWhileRunning = EnableStates(*dialog); });
        Button(*dialog, "runButton")->click();
        SetEventPumpHook(nullptr);
        QCOMPARE(statesWhileRunning, QString("0100"));
        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"Could not input scan"}));
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::Message).front().icon, MsgIcon::Exclamation);
        QCOMPARE(EnableStates(*dialog), QString("1011"));
        QVERIFY(!dialog->IsRunning());
        QVERIFY(WaitingDialog() == nullptr);
        // The grid keeps the last values shown.
        QVERIFY(!Row(*dialog, 1)[3].isEmpty());

        m_world->ui.Clear();
        Button(*dialog, "stepButton")->click();
        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"Could not input scan"}));
        QCOMPARE(EnableStates(*dialog), QString("1011"));
    }

    // A real click on Stop, queued before Run starts, reaches the dialog
    // through the program's event pump while the first scan is awaited.
    void stopClickedWhileRequestWaits() {
        StoreTrialSet('A', 'K');
        auto dialog = Open(0);
        // Should the click never arrive, the line dies and the loop ends anyway.
        m_world->line->Faults().hangupAfter = 4;
        QPushButton* stop = Button(*dialog, "stopButton");
        void* waitingAtClick = nullptr;
        bool runningAtClick = false;
        connect(stop, &QPushButton::pressed, this, [&] {
            waitingAtClick = WaitingDialog();
            runningAtClick = dialog->IsRunning();
        });
        const QPoint centre = stop->rect().center();
        const QPointF global = stop->mapToGlobal(QPointF(centre));
        QCoreApplication::postEvent(stop, new QMouseEvent(QEvent::MouseButtonPress, QPointF(centre),
                                                          global, Qt::LeftButton, Qt::LeftButton,
                                                          Qt::NoModifier));
        QCoreApplication::postEvent(stop, new QMouseEvent(QEvent::MouseButtonRelease,
                                                          QPointF(centre), global, Qt::LeftButton,
                                                          Qt::NoButton, Qt::NoModifier));
        InstallQtEventPump();
        Button(*dialog, "runButton")->click();
        RemoveQtEventPump();

        QVERIFY(runningAtClick);
        QVERIFY(waitingAtClick == dialog.get());
        QCOMPARE(ScanCount(*m_world->line), 1);
        QVERIFY(m_world->ui.Messages().empty());
        QCOMPARE(EnableStates(*dialog), QString("1011"));
        QVERIFY(Button(*dialog, "runButton")->hasFocus() || !dialog->isActiveWindow());
    }

    void escapeIgnoredWhileRunningClosesWhenIdle() {
        StoreTrialSet('A', 'K');
        auto dialog = Open(0);
        bool visibleAfterEscape = false;
        RunFor(*dialog, 2, [&] {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            dialog->close();
            visibleAfterEscape = dialog->isVisible();
        });
        QVERIFY(visibleAfterEscape);
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
    }
};

QTEST_MAIN(TestMeasurementOutput)
#include "tst_measurementoutput.moc"
