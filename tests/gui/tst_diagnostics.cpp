#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ModalDriver.h"
#include "dialogs/CDiagnosticsCommand.h"
#include "dialogs/CDiagnosticsDlg.h"
#include "dialogs/DiagnosticsView.h"
#include "grid/CSpreadSheet.h"
#include "platform/Clock.h"
#include "sim/SimulatedPort.h"
#include "support/ScriptedUi.h"

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
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<ScopedClock> m_scopedClock;
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<ScopedUi> m_scopedUi;
    std::shared_ptr<sim::SimulatedLine> m_line;
    std::unique_ptr<sim::ScopedSimulatedPorts> m_ports;

    int RunCommand() {
        CDiagnosticsCommand command(nullptr, 1, 9600);
        return command.Run();
    }

  private slots:
    void init() {
        m_clock = std::make_unique<VirtualClock>();
        m_scopedClock = std::make_unique<ScopedClock>(*m_clock);
        m_ui = std::make_unique<ScriptedUi>();
        m_scopedUi = std::make_unique<ScopedUi>(*m_ui);
        m_line = std::make_shared<sim::SimulatedLine>();
        m_ports = std::make_unique<sim::ScopedSimulatedPorts>(m_line);
    }

    void cleanup() {
        m_ports.reset();
        m_line.reset();
        m_scopedUi.reset();
        m_ui.reset();
        m_scopedClock.reset();
        m_clock.reset();
    }

    void exampleBlockShowsEveryField() {
        Shown shown;
        int waitCountInDialog = -1;
        QString title, exitText, refreshText;
        bool exitIsDefault = false;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            shown = Read(dialog);
            waitCountInDialog = m_ui->WaitCursorCount();
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
        QVERIFY(m_ui->Messages().empty());
        // The wait cursor covers the exchange, not the open dialog.
        QCOMPARE(waitCountInDialog, 0);
        QCOMPARE(m_ui->CallsOf(ScriptedUi::Kind::CursorOn).size(), size_t(1));
        QCOMPARE(CountRequests(*m_line, "H"), 1);
        QCOMPARE(m_line->portsOpened, 1);
    }

    void emitterBoardsOnlyReadAsSensorNotResponding() {
        m_line->Model().receiver.clear();
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
        m_line->Faults().silent = true;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) { dialog.reject(); });
        QCOMPARE(RunCommand(), 0);
        QCOMPARE(driver.Shown(), 0);
        QCOMPARE(m_ui->Messages(), (std::vector<std::string>{"Error reading diagnostics"}));
        const ScriptedUi::Call message = m_ui->CallsOf(ScriptedUi::Kind::Message).front();
        QCOMPARE(message.buttons, MsgButtons::Ok);
        QCOMPARE(message.icon, MsgIcon::Exclamation);
        QCOMPARE(m_ui->WaitCursorCount(), 0);
    }

    void refreshAfterSilenceKeepsTheValues() {
        Shown before, after;
        std::vector<std::string> messagesAtRefresh;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            before = Read(dialog);
            m_line->Faults().silent = true;
            Click(dialog, "refreshButton");
            messagesAtRefresh = m_ui->Messages();
            after = Read(dialog);
            Click(dialog, "exitButton");
        });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(messagesAtRefresh, (std::vector<std::string>{"Error reading diagnostics"}));
        QCOMPARE(after.state, QString("Operational"));
        QCOMPARE(after.partNumber, before.partNumber);
        QCOMPARE(after.rows, kExampleRows);
        QCOMPARE(m_ui->WaitCursorCount(), 0);
    }

    void refreshShowsWhatTheNewReadReturned() {
        Shown changed, reset;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) {
            sim::ControllerModel& model = m_line->Model();
            model.partNumber = 654321;
            model.dateCode = 7;
            model.firmware = 0x31;
            model.emitter = {sim::Board{8, 17}, sim::Board{-1, 0}, sim::Board{16, 19}};
            model.receiver = {sim::Board{0, 5}};
            Click(dialog, "refreshButton");
            changed = Read(dialog);
            // A reply whose header is wrong leaves the emptied record.
            m_line->Controller().ScriptReply("H", {0x1C, 'A', 'J', 0, 0, 0, 1, 0, 1, 0x23, 0x0A});
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

        QCOMPARE(m_ui->Messages(), (std::vector<std::string>{"Error reading diagnostics"}));
        QCOMPARE(reset.state, QString("Sensor Not Responding"));
        QCOMPARE(reset.emitters, QString("No Response From Emitter"));
        QCOMPARE(reset.receivers, QString("No Response From Receiver"));
        QCOMPARE(reset.partNumber, QString());
        QVERIFY(reset.rows.isEmpty());
    }

    void portThatCannotOpenShowsNoDialog() {
        m_line->openStatus = -2;
        ModalDriver<CDiagnosticsDlg> driver([&](CDiagnosticsDlg& dialog) { dialog.reject(); });
        QCOMPARE(RunCommand(), 0);
        QCOMPARE(driver.Shown(), 0);
        QCOMPARE(m_ui->Messages().size(), size_t(1));
        QVERIFY(m_ui->Messages().front().rfind("Unable to open 2\n", 0) == 0);
        QCOMPARE(CountRequests(*m_line, "H"), 0);
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
