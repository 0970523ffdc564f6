#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <ctime>
#include <fstream>
#include <memory>

#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "dialogs/partnumber/CPartNumberCommand.h"
#include "dialogs/partnumber/CPartNumberDlg.h"
#include "dialogs/partnumber/PartNumberRules.h"
#include "model/PartNumbers.h"
#include "support/ScopedTempDir.h"

namespace {

// What the dialog showed when it opened.
struct Shown {
    QStringList items;
    int currentRow = -1;
    QString dateCode;
    bool dateCodeReadOnly = false;
    size_t messagesBefore = 0;
    size_t requestsBefore = 0;
};

Shown Read(CPartNumberDlg& dialog) {
    Shown shown;
    auto* list = dialog.findChild<QListWidget*>("partNumberList");
    for (int i = 0; i < list->count(); ++i) shown.items << list->item(i)->text();
    shown.currentRow = list->currentRow();
    auto* edit = dialog.findChild<QLineEdit*>("dateCodeEdit");
    shown.dateCode = edit->text();
    shown.dateCodeReadOnly = edit->isReadOnly();
    return shown;
}

void Click(CPartNumberDlg& dialog, const char* button) {
    dialog.findChild<QPushButton*>(button)->click();
}

std::string TodaysDateCode() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return MakeDateCode(local);
}

// The 'X' request as the controller must receive it.
std::vector<uint8_t> PartNumberRequest(uint8_t id, uint32_t partNumber, uint16_t dateCode) {
    std::vector<uint8_t> frame = {0x1B,
                                  id,
                                  'X',
                                  uint8_t(partNumber >> 24),
                                  uint8_t(partNumber >> 16),
                                  uint8_t(partNumber >> 8),
                                  uint8_t(partNumber),
                                  uint8_t(dateCode >> 8),
                                  uint8_t(dateCode)};
    unsigned sum = 0;
    for (size_t k = 3; k < frame.size(); ++k) sum += frame[k];
    frame.push_back(uint8_t(sum >> 8));
    frame.push_back(uint8_t(sum));
    frame.push_back(0x0D);
    return frame;
}

}  // namespace

// Set Part Number against the simulated controller, with the profile in a
// temporary file, and the rules that turn the chosen text into a number.
class TestPartNumber : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<ScopedTempDir> m_dir;
    std::unique_ptr<SimulatedCommandWorld> m_world;

    void UseProfile(const std::string& partNumbersSection) {
        const std::string path = m_dir->File("profile.ini");
        std::ofstream(path) << "[Other]\nX=999999\n[PartNumbers]\n" << partNumbersSection;
        qputenv("VELTRIX_PROFILE", QByteArray::fromStdString(path));
    }

    int RunCommand() {
        CPartNumberCommand command(nullptr, 1, 9600);
        return command.Run();
    }

    // Reads the dialog, then lets act close it.
    Shown RunWith(std::function<void(CPartNumberDlg&)> act, int* shownCount = nullptr) {
        Shown shown;
        ModalDriver<CPartNumberDlg> driver([&](CPartNumberDlg& dialog) {
            shown = Read(dialog);
            shown.messagesBefore = m_world->ui.Messages().size();
            shown.requestsBefore = m_world->line->RequestLog().size();
            act(dialog);
        });
        const int result = RunCommand();
        if (result != 1) qWarning("the command returned %d", result);
        if (shownCount) *shownCount = driver.Shown();
        return shown;
    }

    std::vector<std::vector<uint8_t>> PartNumberRequests() const {
        std::vector<std::vector<uint8_t>> requests;
        for (const sim::LogEntry& entry : m_world->line->RequestLog())
            if (entry.kind == "X") requests.push_back(entry.request);
        return requests;
    }

  private slots:
    void init() {
        m_dir = std::make_unique<ScopedTempDir>();
        m_world = std::make_unique<SimulatedCommandWorld>();
        UseProfile("P1=123456\nP2=12345\nP3=654321\n");
    }

    void cleanup() {
        m_world.reset();
        qunsetenv("VELTRIX_PROFILE");
        m_dir.reset();
    }

    void onlySixCharacterValuesAreListed() {
        int shownCount = 0;
        const Shown shown =
            RunWith([](CPartNumberDlg& d) { Click(d, "cancelButton"); }, &shownCount);
        QCOMPARE(shownCount, 1);
        QCOMPARE(shown.items, (QStringList{"123456", "654321"}));
        QCOMPARE(shown.currentRow, 0);
        QCOMPARE(shown.dateCode, QString::fromStdString(TodaysDateCode()));
        QVERIFY(shown.dateCodeReadOnly);
        // The warning comes before the dialog, and it is the only message.
        QCOMPARE(shown.messagesBefore, size_t(1));
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{
                     "Warning: INI value: '12345' for entry 'P2' must be six characters"}));
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::Message).front().icon, MsgIcon::Exclamation);
    }

    void okWithoutTouchingTheListSendsTheFirstValueAndTodaysDateCode() {
        UseProfile("P1=123456\nP3=654321\n");
        const Shown shown = RunWith([](CPartNumberDlg& d) { Click(d, "okButton"); });
        QCOMPARE(shown.requestsBefore, size_t(0));  // the controller is probed only after OK

        const uint16_t dateCode = uint16_t(std::stoul(TodaysDateCode()));
        QCOMPARE(PartNumberRequests(), (std::vector<std::vector<uint8_t>>{PartNumberRequest(
                                           m_world->line->Model().Id(), 123456, dateCode)}));
        QCOMPARE(m_world->line->Model().partNumber, uint32_t(123456));
        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"Part Number and Date Code Set."}));

        // Wait cursor and mouse capture around the exchange, released after the message.
        std::vector<ScriptedUi::Kind> order;
        for (const ScriptedUi::Call& call : m_world->ui.Calls()) order.push_back(call.kind);
        using K = ScriptedUi::Kind;
        QCOMPARE(order,
                 (std::vector<K>{K::CursorOn, K::Capture, K::Message, K::Release, K::CursorOff}));
        QVERIFY(!m_world->ui.MouseCaptured());
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void anotherChoiceSendsThatValue() {
        UseProfile("P1=123456\nP3=654321\n");
        RunWith([](CPartNumberDlg& d) {
            d.findChild<QListWidget*>("partNumberList")->setCurrentRow(1);
            Click(d, "okButton");
        });
        const auto requests = PartNumberRequests();
        QCOMPARE(requests.size(), size_t(1));
        QCOMPARE(std::vector<uint8_t>(requests[0].begin() + 3, requests[0].begin() + 7),
                 (std::vector<uint8_t>{0x00, 0x09, 0xFB, 0xF1}));  // 654321
    }

    void cancelOpensAndClosesThePortAndSendsNothing() {
        const long idle = m_world->line.use_count();
        long whileOpen = 0;
        RunWith([&](CPartNumberDlg& d) {
            whileOpen = m_world->line.use_count();
            Click(d, "cancelButton");
        });
        QCOMPARE(m_world->line->portsOpened, 1);
        QCOMPARE(whileOpen, idle + 1);  // the command's port holds the line
        QCOMPARE(m_world->line.use_count(), idle);
        QVERIFY(m_world->line->Writes().empty());
        QVERIFY(m_world->line->RequestLog().empty());
        QCOMPARE(m_world->ui.Messages().size(), size_t(1));  // the profile's warning only
    }

    void silentControllerFailsOnlyAfterOk() {
        m_world->line->Faults().silent = true;
        const Shown shown = RunWith([](CPartNumberDlg& d) { Click(d, "okButton"); });
        QCOMPARE(shown.messagesBefore, size_t(1));  // the warning, nothing about the controller
        QCOMPARE(m_world->ui.Messages().back(), std::string("Error setting Part Number and Date Code."));
        QCOMPARE(m_world->ui.Messages().size(), size_t(2));
        QVERIFY(!m_world->ui.MouseCaptured());
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void choicesWithNoNumberAreRefused() {
        // Every value rejected: the list is empty and OK cannot send anything.
        UseProfile("P1=12345\n");
        std::vector<std::string> afterOk;
        bool stayedOpen = false;
        Shown shown = RunWith([&](CPartNumberDlg& d) {
            Click(d, "okButton");
            afterOk = m_world->ui.Messages();
            stayedOpen = d.isVisible();
            Click(d, "cancelButton");
        });
        QVERIFY(shown.items.isEmpty());
        QVERIFY(stayedOpen);
        QCOMPARE(afterOk.size(), size_t(2));
        QCOMPARE(afterOk.back(),
                 std::string("No part number is selected. Nothing was sent to the controller."));
        QVERIFY(m_world->line->RequestLog().empty());

        // A six-character value that does not begin with a digit.
        m_world->ui.Clear();
        UseProfile("P1=AB1234\n");
        shown = RunWith([&](CPartNumberDlg& d) {
            Click(d, "okButton");
            stayedOpen = d.isVisible();
            Click(d, "cancelButton");
        });
        QCOMPARE(shown.items, QStringList{"AB1234"});
        QVERIFY(stayedOpen);
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{"Part number 'AB1234' does not begin with a digit and "
                                           "cannot be sent. Nothing was sent to the controller."}));
        QVERIFY(m_world->line->RequestLog().empty());
    }

    void dateCodeCannotBeTypedOver() {
        QString after;
        RunWith([&](CPartNumberDlg& d) {
            auto* edit = d.findChild<QLineEdit*>("dateCodeEdit");
            edit->setFocus();
            QTest::keyClicks(edit, "9999");
            QTest::keyClick(edit, Qt::Key_Backspace);
            after = edit->text();
            Click(d, "okButton");
        });
        QCOMPARE(after, QString::fromStdString(TodaysDateCode()));
        const auto requests = PartNumberRequests();
        QCOMPARE(requests.size(), size_t(1));
        const unsigned sent = requests[0][7] * 256u + requests[0][8];
        QCOMPARE(sent, unsigned(std::stoul(TodaysDateCode())));
    }

    void dateCodeLooksReadOnlyAndTheTitleFits() {
        QColor field, background;
        int width = 0, titleWidth = 0;
        RunWith([&](CPartNumberDlg& d) {
            auto* edit = d.findChild<QLineEdit*>("dateCodeEdit");
            field = edit->palette().color(QPalette::Base);
            background = d.palette().color(QPalette::Window);
            width = d.width();
            QFont bold = d.font();
            bold.setBold(true);
            titleWidth = QFontMetrics(bold).horizontalAdvance(d.windowTitle());
            Click(d, "cancelButton");
        });
        QCOMPARE(field, background);
        QVERIFY2(width >= titleWidth + 100, qPrintable(QString("%1 for %2").arg(width).arg(titleWidth)));
    }

    void textsReadAsNumbers() {
        QCOMPARE(ReadPartNumber("123456"), std::optional<uint32_t>(123456));
        QCOMPARE(ReadPartNumber("12A456"), std::optional<uint32_t>(12));
        QCOMPARE(ReadPartNumber("000042"), std::optional<uint32_t>(42));
        // Blanks and signs, which "%lu" would accept, count as no digit.
        QVERIFY(!ReadPartNumber(""));
        QVERIFY(!ReadPartNumber(" 12345"));
        QVERIFY(!ReadPartNumber("-12345"));
        QVERIFY(!ReadPartNumber("+12345"));
        QVERIFY(!ReadPartNumber("A12345"));
        QVERIFY(!PartNumberRefusal("12A456"));
        QVERIFY(PartNumberRefusal("").has_value());
        QVERIFY(PartNumberRefusal("x12345")->find("'x12345'") != std::string::npos);

        QCOMPARE(LeadingDigits("1111"), uint32_t(1111));     // sent as 0x0457
        QCOMPARE(LeadingDigits("10053"), uint32_t(10053));   // from 2100 on
        QCOMPARE(LeadingDigits("4294967296"), uint32_t(0));  // wraps like 32 bits
    }
};

QTEST_MAIN(TestPartNumber)
#include "tst_partnumber.moc"
