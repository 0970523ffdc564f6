#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "dialogs/diagnostics/CDiagnosticsCommand.h"
#include "dialogs/diagnostics/CDiagnosticsDlg.h"
#include "dialogs/diagnostics/DiagnosticsView.h"
#include "grid/CSpreadSheet.h"

namespace {

// What the dialog showed: its six fields and the board table, row by row.
struct Shown {
    QString state, emitters, receivers, partNumber, dateCode, firmware;
    QStringList headings;
    QList<QStringList> rows;
};

Shown Read(CDiagnosticsDlg& dialog) {
    Shown shown;
    auto text = [&](const char* name) { return dialog.findChild<QLabel*>(name)->text(); };
    shown.state = text("systemState");
    shown.emitters = text("emitterBoards");
    shown.receivers = text("receiverBoards");
    shown.partNumber = text("partNumber");
    shown.dateCode = text("dateCode");
    shown.firmware = text("firmwareVersion");
    auto* grid = dialog.findChild<CSpreadSheet*>("boardGrid");
    for (int col = 1; col <= grid->ColCount(); ++col) shown.headings << grid->CellText(col, 0);
    for (int row = 1; row <= grid->RowCount(); ++row) {
        QStringList cells;
        for (int col = 1; col <= 4; ++col) cells << grid->CellText(col, row);
        shown.rows << cells;
    }
    return shown;
}

void Click(CDiagnosticsDlg& dialog, const char* button) {
    dialog.findChild<QPushButton*>(button)->click();
}

const QList<QStringList> kExampleRows = {
    {"1", "16", "E", "No Errors"},
    {"2", "16", "E", "No Errors"},
    {"1", "16", "R", "No Errors"},
    {"2", "16", "R", "No Errors"},
};

int CountRequests(const sim::SimulatedLine& line, const std::string& kind) {
    int count = 0;
    for (const sim::LogEntry& entry : line.RequestLog()) count += entry.kind == kind;
    return count;
}

}  // namespace

// The Diagnostics command against the simulated controller (virtual time, so
// the silent controller's time-outs cost nothing), and the filling rules.
class TestDiagnostics : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;

    int RunCommand() {
        CDiagnosticsCommand command(nullptr, 1, 9600);
        return command.Run();
    }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
    }

    void cleanup() {
        m_world.reset();
    }

    void exampleBlockShowsEveryField() {
        Shown shown;
        int waitCountInDialog = -1;
        QString title, exitText, refreshText;
        bool exitIsDefault = false;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            shown = Read(dialog);
            waitCountInDialog = m_world->ui.WaitCursorCount();
            title = dialog.windowTitle();
            exitText = dialog.findChild<QPushButton*>("exitButton")->text();
            exitIsDefault = dialog.findChild<QPushButton*>("exitButton")->isDefault();
            refreshText = dialog.findChild<QPushButton*>("refreshButton")->text();
            Click(dialog, "exitButton");
        });

        QCOMPARE(RunCommand(), 1);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(title, QString("Diagnostics"));
        QCOMPARE(exitText, QString("&Exit"));
        QVERIFY(exitIsDefault);
        QCOMPARE(refreshText, QString("&Refresh"));
        QCOMPARE(shown.state, QString("Operational"));
        QCOMPARE(shown.emitters, QString("2"));
        QCOMPARE(shown.receivers, QString("2"));
        QCOMPARE(shown.partNumber, QString("123456"));
        QCOMPARE(shown.dateCode, QString("1102"));
        QCOMPARE(shown.firmware, QString("2.3"));
        QCOMPARE(shown.headings, (QStringList{"Board", "Channels", "Bar", "Error"}));
        QCOMPARE(shown.rows, kExampleRows);
        QVERIFY(m_world->ui.Messages().empty());
        // The wait cursor covers the exchange, not the open dialog.
        QCOMPARE(waitCountInDialog, 0);
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::CursorOn).size(), size_t(1));
        QCOMPARE(CountRequests(*m_world->line, "H"), 1);
        QCOMPARE(m_world->line->portsOpened, 1);
    }

    void emitterBoardsOnlyReadAsSensorNotResponding() {
        m_world->line->Model().receiver.clear();
        Shown shown;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            shown = Read(dialog);
            Click(dialog, "exitButton");
        });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(shown.state, QString("Sensor Not Responding"));
        QCOMPARE(shown.emitters, QString("2"));
        QCOMPARE(shown.receivers, QString("No Response From Receiver"));
        QCOMPARE(shown.rows, kExampleRows.mid(0, 2));
    }

    void silentControllerShowsOnlyTheMessage() {
        m_world->line->Faults().silent = true;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) { dialog.reject(); });
        QCOMPARE(RunCommand(), 0);
        QCOMPARE(driver.Shown(), 0);
        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"Error reading diagnostics"}));
        const ScriptedUi::Call message = m_world->ui.CallsOf(ScriptedUi::Kind::Message).front();
        QCOMPARE(message.buttons, MsgButtons::Ok);
        QCOMPARE(message.icon, MsgIcon::Exclamation);
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void refreshAfterSilenceKeepsTheValues() {
        Shown before, after;
        std::vector<std::string> messagesAtRefresh;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            before = Read(dialog);
            m_world->line->Faults().silent = true;
            Click(dialog, "refreshButton");
            messagesAtRefresh = m_world->ui.Messages();
            after = Read(dialog);
            Click(dialog, "exitButton");
        });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(messagesAtRefresh, (std::vector<std::string>{"Error reading diagnostics"}));
        QCOMPARE(after.state, QString("Operational"));
        QCOMPARE(after.partNumber, before.partNumber);
        QCOMPARE(after.rows, kExampleRows);
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void refreshShowsWhatTheNewReadReturned() {
        Shown changed, reset;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            sim::ControllerModel& model = m_world->line->Model();
            model.partNumber = 654321;
            model.dateCode = 7;
            model.firmware = 0x31;
            model.emitter = {sim::Board{8, 17}, sim::Board{-1, 0}, sim::Board{16, 19}};
            model.receiver = {sim::Board{0, 5}};
            Click(dialog, "refreshButton");
            changed = Read(dialog);
            // A reply whose header is wrong leaves the emptied record.
            m_world->line->Controller().ScriptReply("H", {0x1C, 'A', 'J', 0, 0, 0, 1, 0, 1, 0x23, 0x0A});
            Click(dialog, "refreshButton");
            reset = Read(dialog);
            Click(dialog, "exitButton");
        });
        QCOMPARE(RunCommand(), 1);

        QCOMPARE(changed.state, QString("Emit/Rcv Errors"));
        QCOMPARE(changed.emitters, QString("3"));
        QCOMPARE(changed.receivers, QString("1"));
        QCOMPARE(changed.partNumber, QString("654321"));
        QCOMPARE(changed.dateCode, QString("0007"));
        QCOMPARE(changed.firmware, QString("3.1"));
        const QList<QStringList> rows = {
            {"1", "8", "E", "End of Board"},
            {"2", "Undefined", "E", "No Errors"},
            {"3", "16", "E", "19 Invalid Error Code"},
            {"1", "Invalid", "R", ""},
        };
        QCOMPARE(changed.rows, rows);

        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"Error reading diagnostics"}));
        QCOMPARE(reset.state, QString("Sensor Not Responding"));
        QCOMPARE(reset.emitters, QString("No Response From Emitter"));
        QCOMPARE(reset.receivers, QString("No Response From Receiver"));
        QCOMPARE(reset.partNumber, QString());
        QVERIFY(reset.rows.isEmpty());
    }

    // Tab on the last cell and Shift+Tab on the first leave the table, so
    // the keyboard can reach the buttons again.
    void tabLeavesTheBoardTableAtItsEdges() {
        // Where the focus went, by the focused widget's object name.
        QString inside, afterLast, beforeFirst;
        const auto focused = [] {
            QWidget* widget = QApplication::focusWidget();
            return widget ? widget->objectName() : QString("(none)");
        };
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            auto* grid = dialog.findChild<CSpreadSheet*>("boardGrid");
            dialog.activateWindow();
            QApplication::setActiveWindow(&dialog);
            grid->setFocus();
            grid->setCurrentCell(0, 0);
            QTest::keyClick(grid, Qt::Key_Tab);  // within the table, Tab moves on
            inside = focused();
            grid->setCurrentCell(grid->rowCount() - 1, grid->columnCount() - 1);
            QTest::keyClick(grid, Qt::Key_Tab);
            afterLast = focused();
            grid->setFocus();
            grid->setCurrentCell(0, 0);
            QTest::keyClick(grid, Qt::Key_Backtab);
            beforeFirst = focused();
            dialog.reject();
        });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(inside, QString("boardGrid"));
        QVERIFY2(afterLast.endsWith("Button"), qPrintable(afterLast));
        QVERIFY2(beforeFirst.endsWith("Button"), qPrintable(beforeFirst));
    }

    void portThatCannotOpenShowsNoDialog() {
        m_world->line->openStatus = -2;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) { dialog.reject(); });
        QCOMPARE(RunCommand(), 0);
        QCOMPARE(driver.Shown(), 0);
        QCOMPARE(m_world->ui.Messages().size(), size_t(1));
        QVERIFY(m_world->ui.Messages().front().rfind("Unable to open 2\n", 0) == 0);
        QCOMPARE(CountRequests(*m_world->line, "H"), 0);
    }

    // The filling rules on records no controller sends in one piece.
    void viewOfUnusualRecords() {
        CDiagnosticsRecord record;
        DiagnosticsView view = MakeDiagnosticsView(record);
        QCOMPARE(view.systemState, std::string("Sensor Not Responding"));
        QCOMPARE(view.emitterBoards, std::string("No Response From Emitter"));
        QCOMPARE(view.receiverBoards, std::string("No Response From Receiver"));
        QVERIFY(view.boards.empty());

        // Receivers only: the emitter side decides the state text.
        record.receiverBoardCount = 1;
        record.receiverBoards[0] = {16, 18};
        record.systemState = 0;
        view = MakeDiagnosticsView(record);
        QCOMPARE(view.systemState, std::string("Sensor Not Responding"));
        QCOMPARE(view.receiverBoards, std::string("1"));
        QCOMPARE(view.boards.size(), size_t(1));
        QCOMPARE(view.boards[0].bar, std::string("R"));
        QCOMPARE(view.boards[0].error, std::string("End of Scan"));

        // Both bars present: the record's own state text stands.
        record.emitterBoardCount = 1;
        record.emitterBoards[0] = {0, 3};
        view = MakeDiagnosticsView(record);
        QCOMPARE(view.systemState, std::string("Emitter Error"));
        QCOMPARE(view.boards[0].channels, std::string("Invalid"));
        QCOMPARE(view.boards[0].error, std::string());

        // A count beyond what the record can hold never reads past its boards.
        record.emitterBoardCount = 40;
        view = MakeDiagnosticsView(record);
        QCOMPARE(view.emitterBoards, std::string("40"));
        QCOMPARE(view.boards.size(), size_t(CDiagnosticsRecord::kMaxBoards + 1));
        QCOMPARE(view.boards[CDiagnosticsRecord::kMaxBoards - 1].board, std::string("12"));
        QCOMPARE(view.boards.back().bar, std::string("R"));
    }
};

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
