#include <QComboBox>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <functional>
#include <memory>

#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "StepDriver.h"
#include "app/QtEventPump.h"
#include "dialogs/alignment/CAlignmentCommand.h"
#include "dialogs/alignment/CAlignmentDlg.h"
#include "dialogs/alignment/CChannelBlankDlg.h"
#include "dialogs/history/CChangeHistoryDlg.h"
#include "dialogs/partnumber/CPartNumberCommand.h"
#include "dialogs/partnumber/CPartNumberDlg.h"
#include "dialogs/psf/CEditPsfCommand.h"
#include "dialogs/psf/CMeasurementOutputDlg.h"
#include "dialogs/psf/CPsfConfigDlg.h"
#include "grid/CSpreadSheet.h"
#include "history/ChangeHistory.h"
#include "model/Fingerprint.h"
#include "model/PsfFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

using Kind = ScriptedUi::Kind;

const std::string kHoldsOther = "\n\nThe controller acknowledged the write but holds different settings: ";

void Click(QWidget& w, const char* name) { w.findChild<QPushButton*>(name)->click(); }

bool AlignmentIdle(CAlignmentDlg& d) { return d.State() == CAlignmentDlg::kIdle && !d.Busy(); }

// Runs Alignment, stops the scanning it starts with and, once the dialog is
// idle, hands it to the action (which closes it).
void RunAlignment(const std::function<void(CAlignmentDlg&)>& action) {
    StepDriver<CAlignmentDlg> driver;
    driver
        .Then([](CAlignmentDlg& d) { return d.State() == CAlignmentDlg::kScanning && d.ScanCounter() >= 1; },
              [](CAlignmentDlg& d) { Click(d, "stopButton"); })
        .Then(AlignmentIdle, action);
    CAlignmentCommand command(nullptr, 1, 9600);
    command.Run();
}

void RunEditPsf(const std::function<void(CPsfConfigDlg&)>& action) {
    ModalDriver<CPsfConfigDlg> driver([&](CPsfConfigDlg& d) {
        action(d);
        if (d.isVisible()) Click(d, "cancelButton");
    });
    CEditPsfCommand command(nullptr, 1, 9600);
    command.Run();
}

}  // namespace

// The desktop program's writes that are meant to stay, read back against a
// simulated controller that acknowledges them and stores something else,
// and the change history they leave behind.
class TestSafeWrites : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;
    std::unique_ptr<ScopedTempDir> m_dir;

    sim::ControllerModel& Model() { return m_world->line->Model(); }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        m_dir = std::make_unique<ScopedTempDir>();
        InstallQtEventPump();
    }
    void cleanup() {
        RemoveQtEventPump();
        m_world.reset();
        m_dir.reset();
    }

    // Every desktop write path meets a controller that stores one byte
    // other than it was sent (bad-store) and names what it holds after the
    // write's own failure text.
    void mismatchIsReportedOnEveryWrite_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("path");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("field");
        QTest::newRow("Send PSF") << "C" << 0 << "PSF Not Accepted" << "Scan Count";
        QTest::newRow("Execute's restore")
            << "C" << 1 << "Unable to restore original PSF." << "Scan Count";
        QTest::newRow("Clear Blanking Fields")
            << "W" << 2 << "Unable to clear blanking fields in controller." << "Channel";
        QTest::newRow("Restore Controller Settings")
            << "W" << 3 << "Unable to restore initial controller blanking fields." << "Channel";
        QTest::newRow("channel editor OK")
            << "W" << 4 << "Unable to download blanking fields to controller." << "Channel";
        QTest::newRow("Cancel's restore")
            << "W" << 5 << "Unable to restore initial controller blanking fields." << "Channel";
        QTest::newRow("Accept Auto Blanking")
            << "W" << 7 << "Unable to download blanking fields to controller." << "Channel";
        QTest::newRow("Abort Auto Blanking")
            << "W" << 8 << "Unable to restore blanking fields in controller." << "Channel";
        QTest::newRow("Set Part Number")
            << "X" << 6 << "Error setting Part Number and Date Code." << "Part Number";
    }

    void mismatchIsReportedOnEveryWrite() {
        QFETCH(QString, fault);
        QFETCH(int, path);
        QFETCH(QString, failure);
        QFETCH(QString, field);
        Model().blanking[0] = 0x01;
        const auto arm = [&] { m_world->line->Faults().badStore = fault.toStdString(); };
        switch (path) {
            case 0:
                arm();
                RunEditPsf([](CPsfConfigDlg& d) { Click(d, "sendButton"); });
                break;
            case 1: {
                arm();
                ModalDriver<CMeasurementOutputDlg> monitor(
                    [](CMeasurementOutputDlg& m) { Click(m, "exitButton"); });
                RunEditPsf([](CPsfConfigDlg& d) {
                    d.Controls().meas1->setCurrentIndex(0);
                    Click(d, "executeButton");
                });
                break;
            }
            case 2:
            case 3:
                RunAlignment([&](CAlignmentDlg& d) {
                    arm();
                    Click(d, path == 2 ? "clearButton" : "restoreButton");
                    m_world->line->Faults().badStore.clear();
                    Click(d, "okButton");
                });
                break;
            case 4: {
                ModalDriver<CChannelBlankDlg> editor([&](CChannelBlankDlg& e) {
                    e.findChild<CSpreadSheet*>("channelGrid")->SetCellText(1, 1, "1");
                    e.accept();
                    m_world->line->Faults().badStore.clear();
                    e.reject();
                });
                RunAlignment([&](CAlignmentDlg& d) {
                    arm();
                    Click(d, "editButton");
                    Click(d, "okButton");
                });
                break;
            }
            case 5:
                RunAlignment([&](CAlignmentDlg& d) {
                    Click(d, "clearButton");
                    arm();
                    Click(d, "cancelButton");
                    m_world->line->Faults().badStore.clear();
                    Click(d, "cancelButton");
                });
                break;
            case 7:
            case 8: {
                // The fault comes once auto blanking has cleared the fields
                // (that temporary write is not read back).
                StepDriver<CAlignmentDlg> driver;
                driver
                    .Then([](CAlignmentDlg& d) { return d.State() == CAlignmentDlg::kScanning; },
                          [](CAlignmentDlg& d) { Click(d, "stopButton"); })
                    .Then(AlignmentIdle, [](CAlignmentDlg& d) { Click(d, "autoBlankingButton"); })
                    .Then([](CAlignmentDlg& d) { return d.State() == CAlignmentDlg::kAutoBlanking; },
                          [&](CAlignmentDlg& d) {
                              arm();
                              Click(d, path == 7 ? "acceptAutoButton" : "abortAutoButton");
                          })
                    .Then(AlignmentIdle, [&](CAlignmentDlg& d) {
                        m_world->line->Faults().badStore.clear();
                        Click(d, "okButton");
                    });
                CAlignmentCommand command(nullptr, 1, 9600);
                command.Run();
                break;
            }
            case 6: {
                const std::string profile = m_dir->File("profile.ini");
                std::ofstream(profile) << "[PartNumbers]\nP1=654321\n";
                const ScopedEnv env("VELTRIX_PROFILE", profile);
                ModalDriver<CPartNumberDlg> dialog([](CPartNumberDlg& p) { Click(p, "okButton"); });
                arm();
                CPartNumberCommand command(nullptr, 1, 9600);
                command.Run();
                break;
            }
        }
        const std::vector<std::string> messages = m_world->ui.Messages();
        const std::string expected = failure.toStdString();
        const auto reported = std::find_if(messages.begin(), messages.end(), [&](const std::string& m) {
            return m.rfind(expected, 0) == 0 && m.find(kHoldsOther) != std::string::npos;
        });
        QVERIFY2(reported != messages.end(),
                 qPrintable(QString::fromStdString(messages.empty() ? "(none)" : messages.back())));
        const std::string held = reported->substr(reported->find(kHoldsOther) + kHoldsOther.size());
        QVERIFY2(held.rfind(field.toStdString(), 0) == 0, held.c_str());
        QVERIFY2(held.find("(sent ") != std::string::npos, held.c_str());
    }

    // Two sends leave two entries, newest first, beside a damaged file that
    // is shown and cannot be used. Restore asks first (No sends nothing),
    // then puts the controller's own set back byte for byte and is itself
    // the newest entry; Save As writes what an entry replaced.
    void changeHistoryRestoresAndSaves() {
        CPsfRecord own;
        own.SetScanningMethod('c');
        own.SetScanCount(3);
        Model().StorePsf(own);
        CPsfRecord second;
        RunEditPsf([&](CPsfConfigDlg& d) {
            Click(d, "sendButton");
            d.Controls().meas1->setCurrentIndex(3);
            Click(d, "sendButton");
            second = d.Record();
        });
        const CPsfRecord first;  // the dialog opens on the default set
        const std::string damaged =
            ChangeHistory().Folder() + "/20200101T000000Z-0000001-0001-psf.json";
        std::ofstream(damaged) << "not an entry";
        m_world->ui.Clear();
        const size_t requestsBefore = m_world->line->RequestLog().size();

        int runs = 0;
        CChangeHistoryDlg dialog(nullptr, 1, [&](CControllerCommand& command) {
            ++runs;
            command.Run();
        });
        auto* list = dialog.findChild<QTreeWidget*>("historyList");
        // The cells of a row by their column headings.
        const auto row = [&](int r) {
            QMap<QString, QString> cells;
            for (int c = 0; c < list->columnCount(); ++c)
                cells[list->headerItem()->text(c)] = list->topLevelItem(r)->text(c);
            return cells;
        };
        const auto print = [](const CPsfRecord& r) { return QString::fromStdString(PsfFingerprint(r)); };
        QCOMPARE(list->topLevelItemCount(), 3);
        const QString device = QString::fromStdString(CEditPsfCommand(nullptr, 1, 9600).DevicePath());
        QCOMPARE(row(1)["Settings"], QString("parameter set"));
        QCOMPARE(row(1)["Command"], QString("Send PSF"));
        QCOMPARE(row(1)["Device"], device);
        QCOMPARE(row(1)["Controller"], QString("A (123456, firmware 2.3)"));
        QCOMPARE(row(1)["Fingerprints"], print(own) + " -> " + print(first));
        QCOMPARE(row(0)["Fingerprints"], print(first) + " -> " + print(second));
        QCOMPARE(row(2)["Settings"], QString("cannot be used"));
        list->setCurrentItem(list->topLevelItem(2));
        QVERIFY(!dialog.findChild<QPushButton*>("restoreButton")->isEnabled());

        list->setCurrentItem(list->topLevelItem(1));
        m_world->ui.AnswerMessage(MsgResult::No);
        dialog.OnRestore();
        QCOMPARE(runs, 0);
        QCOMPARE(m_world->line->RequestLog().size(), requestsBefore);
        m_world->ui.AnswerMessage(MsgResult::Yes);
        dialog.OnRestore();
        QCOMPARE(runs, 1);
        QVERIFY(std::equal(own.Data() + 2, own.Data() + kPsfRecordSize, Model().Psf().Data() + 2));

        const std::vector<ScriptedUi::Call> calls = m_world->ui.CallsOf(Kind::Message);
        QVERIFY(calls.size() >= 3);
        QCOMPARE(calls[0].buttons, MsgButtons::YesNo);
        QCOMPARE(calls[0].defaultButton, MsgResult::No);
        QVERIFY2(calls[0].text.find("\"Send PSF\"") != std::string::npos, calls[0].text.c_str());
        QCOMPARE(calls.back().text, "Parameter set " + PsfFingerprint(own) + " restored.");
        // The wait is explained while it lasts, and the text is gone before the result.
        std::vector<std::string> progress;
        for (const ScriptedUi::Call& call : m_world->ui.CallsOf(Kind::Progress)) progress.push_back(call.text);
        QCOMPARE(progress, (std::vector<std::string>{
                               "Sending the parameter set of history entry 2 back to COM2...", ""}));
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(row(0)["Command"], QString("Change History: restore 2"));
        QCOMPARE(row(0)["Fingerprints"], print(second) + " -> " + print(own));

        // The restore replaced the second set: Save As writes that one.
        list->setCurrentItem(list->topLevelItem(0));
        const std::string saved = m_dir->File("replaced.PSF");
        m_world->ui.AnswerFile(saved);
        dialog.OnSaveAs();
        CPsfRecord back;
        QCOMPARE(ReadPsfFile(back, saved), 0);
        QCOMPARE(print(back), print(second));
        QCOMPARE(m_world->ui.CallsOf(Kind::SaveFile).back().prompt.filter,
                 std::string("PSF Files (*.PSF) |*.PSF||"));
    }
    // A part number entry goes back to the controller whose part number it
    // changed without a question about that part number; Save As has
    // nothing to write for it.
    void partNumberEntryGoesBackToTheControllerItChanged() {
        const std::string profile = m_dir->File("profile.ini");
        std::ofstream(profile) << "[PartNumbers]\nP1=654321\n";
        const ScopedEnv env("VELTRIX_PROFILE", profile);
        {
            ModalDriver<CPartNumberDlg> dialog([](CPartNumberDlg& p) { Click(p, "okButton"); });
            CPartNumberCommand command(nullptr, 1, 9600);
            command.Run();
        }
        QCOMPARE(Model().partNumber, uint32_t(654321));
        QVERIFY(Model().dateCode != 1102);  // today's
        m_world->ui.Clear();

        CChangeHistoryDlg dialog(nullptr, 1, [](CControllerCommand& command) { command.Run(); });
        QVERIFY(!dialog.findChild<QPushButton*>("saveAsButton")->isEnabled());
        m_world->ui.AnswerMessage(MsgResult::Yes);
        dialog.OnRestore();
        QCOMPARE(Model().partNumber, uint32_t(123456));
        QCOMPARE(Model().dateCode, uint16_t(1102));
        const std::vector<std::string> messages = m_world->ui.Messages();
        QCOMPARE(messages.size(), size_t(2));
        QVERIFY2(messages.back().rfind("Part number and date code ", 0) == 0, messages.back().c_str());
    }
};

QTEST_MAIN(TestSafeWrites)
#include "tst_safewrites.moc"
