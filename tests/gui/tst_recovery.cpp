#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ModalDriver.h"
#include "StepDriver.h"
#include "app/QtEventPump.h"
#include "SimulatedCommandWorld.h"
#include "app/CMainFrame.h"
#include "app/CVeltrixApp.h"
#include "app/QtUiServices.h"
#include "command/AlignmentPsf.h"
#include "command/CRecoveryCommand.h"
#include "dialogs/alignment/CAlignmentCommand.h"
#include "dialogs/alignment/CAlignmentDlg.h"
#include "dialogs/psf/CEditPsfCommand.h"
#include "dialogs/psf/CMeasurementOutputDlg.h"
#include "dialogs/psf/CPsfConfigDlg.h"
#include "serial/PortDevicePath.h"
#include "support/GoneRunEntry.h"
#include "support/ScopedEnv.h"

namespace {

CPsfRecord TrueOriginal() {
    CPsfRecord psf;
    psf.SetControlMode('a');
    psf.SetScanningMethod('h');
    psf.SetMeasMode(1, 'C');
    psf.SetScanCount(3);
    return psf;
}

bool SameParameters(const CPsfRecord& a, const CPsfRecord& b) {
    return std::equal(a.Data() + 2, a.Data() + kPsfRecordSize, b.Data() + 2);
}

}  // namespace

// Start-up recovery: entries a killed run left are offered after the splash.
class RecoveryTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;
    QTemporaryDir m_config;

    RecoveryJournal Journal() const { return RecoveryJournal(m_world->stateHome.RecoveryFolder()); }

    // What a run killed in the middle of Alignment leaves: the controller
    // with the alignment set and cleared blanking, the journal with both
    // originals, written by a process that is gone.
    RecoveryEntry LeaveKilledAlignment(bool withPsf, bool withBlanking) {
        RecoveryEntry entry = GoneRunEntry(ComPortDevicePath(1), 2, "Alignment");
        if (withPsf) {
            entry.psf = TrueOriginal();
            m_world->line->Model().StorePsf(MakeAlignmentPsf(TrueOriginal()));
        }
        if (withBlanking) {
            CBlankingMap blanking(32);
            blanking.Blank(2);
            blanking.Blank(30);
            entry.blanking = OriginalBlanking::From(blanking);
            m_world->line->Model().blanking.fill(0);
        }
        std::string error;
        [&] { QVERIFY2(Journal().Write(entry, error), error.c_str()); }();
        return entry;
    }

    int Requests(const std::string& kind) const {
        int count = 0;
        for (const auto& entry : m_world->line->RequestLog()) count += entry.kind == kind;
        return count;
    }

  private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        qputenv("VELTRIX_PROFILE", m_config.filePath("profile.ini").toLocal8Bit());
    }
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        InstallQtEventPump();
    }
    void cleanup() {
        RemoveQtEventPump();
        m_world.reset();
    }

    // The program itself, with its own message boxes: the question comes up
    // after start-up, Yes is its default, and Yes puts the original back.
    void startUpAsksAndYesSendsTheOriginalBack() {
        LeaveKilledAlignment(true, false);
        QString text;
        bool yesIsDefault = false;
        ModalDriver<QMessageBox> driver([&](QMessageBox& box) {
            text = box.text();
            yesIsDefault = box.defaultButton() == box.button(QMessageBox::Yes);
            box.button(QMessageBox::Yes)->click();
        });
        {
            CVeltrixApp app;
            QVERIFY(app.InitInstance(false));
        }
        QCOMPARE(driver.Shown(), 1);
        QCOMPARE(text, QString::fromStdString(
                           "The controller on COM2 may still hold temporary settings from Alignment "
                           "started " + FormatStartTime(1796638920) +
                           ". Send its original parameter set back now?"));
        QVERIFY(yesIsDefault);
        QVERIFY(SameParameters(m_world->line->Model().Psf(), TrueOriginal()));
        QVERIFY(Journal().List().empty());
    }

    // What the journal holds while Alignment runs: the original parameter set
    // from before the working set until the restore, and the controller's
    // blanking only while auto blanking has it cleared.
    void alignmentJournalsWhatItChangesForAWhile() {
        m_world->line->Model().StorePsf(TrueOriginal());
        m_world->line->Model().blanking[0] = 0x30;
        m_world->line->Model().beams.SetBlocked(9, true);
        const auto held = [&] {
            const auto items = Journal().List();
            if (items.empty()) return QString("nothing");
            const RecoveryEntry& entry = *items.front().entry;
            return QString("%1%2").arg(entry.psf ? "set" : "").arg(entry.blanking ? "+blanking" : "");
        };
        QStringList seen;
        bool originalJournaled = false;
        using Dlg = CAlignmentDlg;
        const auto idle = [](Dlg& d) { return d.State() == Dlg::kIdle && !d.Busy(); };
        StepDriver<Dlg> driver;
        driver.Then([](Dlg& d) { return d.State() == Dlg::kScanning && d.ScanCounter() >= 1; },
                    [&](Dlg& d) {
                        seen << held();
                        const auto items = Journal().List();
                        originalJournaled = !items.empty() && items.front().entry->psf &&
                                            SameParameters(*items.front().entry->psf, TrueOriginal());
                        d.findChild<QPushButton*>("stopButton")->click();
                    })
            .Then(idle, [&](Dlg& d) { d.findChild<QPushButton*>("autoBlankingButton")->click(); })
            .Then([](Dlg& d) { return d.State() == Dlg::kAutoBlanking && d.ScanCounter() >= 1; },
                  [&](Dlg& d) {
                      seen << held();
                      d.findChild<QPushButton*>("acceptAutoButton")->click();
                  })
            .Then(idle, [&](Dlg& d) {
                seen << held();
                d.findChild<QPushButton*>("okButton")->click();
            });
        CAlignmentCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);
        QCOMPARE(seen, (QStringList{"set", "set+blanking", "set"}));
        QVERIFY(originalJournaled);
        QCOMPARE(held(), QString("nothing"));
        QVERIFY(SameParameters(m_world->line->Model().Psf(), TrueOriginal()));
    }

    // Edit PSF's Execute: the controller's own set is on disk while the trial
    // set is in, and gone once it went back.
    void editPsfExecuteJournalsTheOriginalWhileTheTrialRuns() {
        m_world->line->Model().StorePsf(TrueOriginal());
        bool journaled = false;
        ModalDriver<CMeasurementOutputDlg> monitor([&](CMeasurementOutputDlg& m) {
            const auto items = Journal().List();
            journaled = items.size() == 1 && items[0].entry->psf &&
                        SameParameters(*items[0].entry->psf, TrueOriginal()) &&
                        items[0].entry->command == "Edit PSF";
            m.findChild<QPushButton*>("exitButton")->click();
        });
        ModalDriver<CPsfConfigDlg> dialog([&](CPsfConfigDlg& d) {
            QComboBox* meas1 = d.Controls().meas1;
            meas1->setCurrentIndex(meas1->findText("FBB"));
            emit meas1->activated(meas1->currentIndex());
            d.findChild<QPushButton*>("executeButton")->click();
            d.findChild<QPushButton*>("cancelButton")->click();
        });
        CEditPsfCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);
        QCOMPARE(monitor.Shown(), 1);
        QVERIFY(journaled);
        QVERIFY(Journal().List().empty());
        QVERIFY(SameParameters(m_world->line->Model().Psf(), TrueOriginal()));
    }

    // A different controller answers on the entry's device: the desktop asks
    // again, Enter (No) sends nothing and keeps the entry.
    void anotherControllerIsAskedAboutWithNoAsTheDefault() {
        RecoveryEntry entry = LeaveKilledAlignment(true, false);
        entry.hardware = ControllerHardware{"123456", "1102", "2.3", "16,16/16,16"};
        std::string error;
        QVERIFY(Journal().Write(entry, error));
        m_world->line->Model().partNumber = 999;
        const CPsfRecord held = m_world->line->Model().Psf();
        QStringList texts;
        QList<bool> noIsDefault;
        ModalDriver<QMessageBox> driver([&](QMessageBox& box) {
            texts << box.text();
            noIsDefault << (box.defaultButton() == box.button(QMessageBox::No));
            // Yes to the recovery question, then Enter.
            if (texts.size() == 1)
                box.button(QMessageBox::Yes)->click();
            else
                QTest::keyClick(&box, Qt::Key_Return);
        });
        {
            CVeltrixApp app;
            QVERIFY(app.InitInstance(false));
        }
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[1], QString("The controller on COM2 is not the one this entry was made for (part number 999, "
                                   "not 123456).\nSend its original parameter set back all the same?"));
        QCOMPARE(noIsDefault, (QList<bool>{false, true}));
        QCOMPARE(Requests("C"), 0);
        QVERIFY(m_world->line->Model().Psf() == held);
        QCOMPARE(Journal().List().size(), size_t(1));
    }

    // "Go on all the same?" with the program's own message box: Enter keeps
    // the controller as it is.
    void aJournalThatCannotBeWrittenDefaultsToNotGoingOn() {
        QTemporaryDir scratch;
        const QString notAFolder = scratch.filePath("not-a-folder");
        QFile(notAFolder).open(QIODevice::WriteOnly);
        ScopedEnv state("XDG_STATE_HOME", notAFolder.toStdString());
        QtUiServices qtUi;
        ScopedUi scoped(qtUi);
        bool noIsDefault = false;
        QString text;
        ModalDriver<QMessageBox> driver([&](QMessageBox& box) {
            text = box.text();
            noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
            QTest::keyClick(&box, Qt::Key_Return);
        });
        ModalDriver<CAlignmentDlg> dialog([](CAlignmentDlg& d) { d.reject(); });
        CAlignmentCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 0);
        QVERIFY2(text.endsWith("Go on all the same?"), qPrintable(text));
        QVERIFY(noIsDefault);
        QCOMPARE(dialog.Shown(), 0);
        QCOMPARE(Requests("C"), 0);
    }

    void noKeepsTheEntryForTheNextStart() {
        const RecoveryEntry entry = LeaveKilledAlignment(true, false);
        m_world->ui.AnswerMessage(MsgResult::No);
        QCOMPARE(OfferPendingRecoveries(nullptr), 1);
        QCOMPARE(Requests("C"), 0);
        QCOMPARE(m_world->line->portsOpened, 0);
        const auto items = Journal().List();
        QCOMPARE(items.size(), size_t(1));
        QVERIFY(items[0].entry && *items[0].entry == entry);
    }

    void blankingIsOfferedInItsOwnWordsAndRestoredWithTheSet() {
        LeaveKilledAlignment(true, true);
        QCOMPARE(OfferPendingRecoveries(nullptr), 1);
        QVERIFY(QString::fromStdString(m_world->ui.Messages().at(0))
                    .endsWith("Send its original parameter set and blanking fields back now?"));
        QVERIFY(m_world->line->Model().IsBlanked(2));
        QVERIFY(m_world->line->Model().IsBlanked(30));
        QVERIFY(!m_world->line->Model().IsBlanked(3));
        QVERIFY(SameParameters(m_world->line->Model().Psf(), TrueOriginal()));
        QVERIFY(Journal().List().empty());
    }

    // A controller that cannot be reached: the save offer follows and the
    // entry stays, whatever the answer to it.
    void aFailedSendKeepsTheEntry() {
        LeaveKilledAlignment(true, false);
        m_world->line->Faults().silent = true;
        m_world->ui.AnswerMessage(MsgResult::Yes);  // send it back
        m_world->ui.AnswerMessage(MsgResult::No);   // do not save it to a file
        QCOMPARE(OfferPendingRecoveries(nullptr), 1);
        QCOMPARE(m_world->ui.Messages().size(), size_t(2));
        QCOMPARE(m_world->ui.Messages()[1],
                 std::string("Unable to restore original PSF.\nDo you want to save the original PSF to a file?"));
        QCOMPARE(Journal().List().size(), size_t(1));
    }

    void entriesOfARunningProgramOrUnusableOnesAreNotOffered() {
        RecoveryEntry running = LeaveKilledAlignment(true, false);
        running.writer = CurrentProcessIdentity();
        std::string error;
        QVERIFY(Journal().Write(running, error));
        const std::string stranger = m_world->stateHome.RecoveryFolder() + "/notes";
        WriteBytes(stranger, {'?'});

        QCOMPARE(OfferPendingRecoveries(nullptr), 0);
        QCOMPARE(m_world->ui.Messages().size(), size_t(1));
        QVERIFY(m_world->ui.Messages()[0].find(stranger) != std::string::npos);
        QCOMPARE(Journal().List().size(), size_t(2));
        QCOMPARE(m_world->line->portsOpened, 0);
    }
};

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
