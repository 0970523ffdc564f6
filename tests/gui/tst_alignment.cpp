#include <httplib.h>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "BlankingWrites.h"
#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "StepDriver.h"
#include "app/QtEventPump.h"
#include "command/AlignmentPsf.h"
#include "dialogs/alignment/CAlignmentCommand.h"
#include "dialogs/alignment/CAlignmentDlg.h"
#include "dialogs/alignment/CBeamStrip.h"
#include "dialogs/alignment/CChannelBlankDlg.h"
#include "dialogs/alignment/CPhoneViewDlg.h"
#include "dialogs/alignment/QrCodeView.h"
#include "grid/CSpreadSheet.h"
#include "model/BfsFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

using Dlg = CAlignmentDlg;
using Bytes = std::vector<uint8_t>;

bool Idle(Dlg& d) { return d.State() == Dlg::kIdle && !d.Busy(); }
auto Scanned(int state, int scans) {
    return [=](Dlg& d) { return d.State() == state && d.ScanCounter() >= scans; };
}
void Click(QWidget& d, const char* name) { d.findChild<QPushButton*>(name)->click(); }
QPushButton* Button(QWidget& d, const char* name) { return d.findChild<QPushButton*>(name); }
QString Label(QWidget& d, const char* name) { return d.findChild<QLabel*>(name)->text(); }

QStringList Column(Dlg& d, int col) {
    auto* grid = d.findChild<CSpreadSheet*>("beamGrid");
    QStringList texts;
    for (int row = 1; row <= grid->RowCount(); ++row) texts << grid->CellText(col, row);
    return texts;
}

// Blocked / Made / Blanked as the dialog shows them.
QStringList Counts(Dlg& d) {
    return {Label(d, "blockedValue"), Label(d, "madeValue"), Label(d, "blankedValue")};
}

QStringList EnabledButtons(Dlg& d) {
    QStringList names;
    // The phone view is no part of the enable table: it is always there.
    for (QPushButton* button : d.findChildren<QPushButton*>())
        if (button->isEnabled() && !button->isHidden() && button->objectName() != "phoneButton")
            names << button->objectName();
    names.sort();
    return names;
}

const QStringList kIdleButtons = {"autoBlankingButton", "cancelButton", "clearButton",
                                  "editButton",         "okButton",     "readButton",
                                  "restoreButton",      "saveButton",   "startButton",
                                  "stepButton"};

// Row and column of a button in the grid layout that holds it.
QPair<int, int> GridCell(QWidget* button) {
    auto* layout = qobject_cast<QGridLayout*>(button->parentWidget()->layout());
    int row = -1, col = -1, rowSpan = 0, colSpan = 0;
    if (layout) layout->getItemPosition(layout->indexOf(button), &row, &col, &rowSpan, &colSpan);
    return {row, col};
}

Bytes Frame(const CPsfRecord& psf, uint8_t id) {
    Bytes frame(kPsfFrameLength);
    CPsfRecord copy = psf;
    copy.Encode(frame.data(), id);
    return frame;
}


}  // namespace

// The Alignment command and dialog against the simulated controller, in
// virtual time, with the Qt pump installed so that Stop works mid-exchange.
class TestAlignment : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;

    sim::ControllerModel& Model() { return m_world->line->Model(); }
    int RunCommand() {
        CAlignmentCommand command(nullptr, 1, 9600);
        return command.Run();
    }
    // Request kinds the controller heard, probes and noise left out.
    QStringList Kinds() const {
        QStringList kinds;
        for (const sim::LogEntry& e : m_world->line->RequestLog())
            if (e.kind != "probe" && e.kind != "noise") kinds << QString::fromStdString(e.kind);
        return kinds;
    }
    std::vector<Bytes> Requests(const std::string& kind) const {
        std::vector<Bytes> found;
        for (const sim::LogEntry& e : m_world->line->RequestLog())
            if (e.kind == kind) found.push_back(e.request);
        return found;
    }
    bool ScriptedScanAnswered() const {
        for (const sim::LogEntry& e : m_world->line->RequestLog())
            if (e.kind == "scan" && e.note == "scripted") return true;
        return false;
    }
    // Kinds with runs of scans folded into one "S*".
    QString Exchanges() const {
        QStringList folded;
        for (const QString& kind : Kinds())
            if (kind != "scan" || folded.isEmpty() || folded.last() != "S*")
                folded << (kind == "scan" ? QString("S*") : kind);
        return folded.join(' ');
    }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        InstallQtEventPump();
    }
    void cleanup() {
        RemoveQtEventPump();
        m_world.reset();
    }

    void exchangeOrderWorkingSetAndRestore() {
        const CPsfRecord original = Model().Psf();
        QStringList idleButtons, scanningButtons;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 3), [&](Dlg& d) {
                  scanningButtons = EnabledButtons(d);
                  QCOMPARE(m_world->ui.WaitCursorCount(), 0);
                  Click(d, "stopButton");
              })
            .Then(Idle, [&](Dlg& d) {
                idleButtons = EnabledButtons(d);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(driver.StepsTaken(), 2);
        // The original goes back and is read back (D).
        QCOMPARE(Exchanges(), QString("H D C V S* C D"));
        QCOMPARE(scanningButtons, QStringList{"stopButton"});
        QCOMPARE(idleButtons, kIdleButtons);

        const std::vector<Bytes> sets = Requests("C");
        QCOMPARE(sets.front(), Frame(MakeAlignmentPsf(original), 'A'));
        QCOMPARE(sets.back(), Frame(original, 'A'));
        QCOMPARE(Bytes(Model().Psf().Data(), Model().Psf().Data() + kPsfRecordSize),
                 Bytes(original.Data(), original.Data() + kPsfRecordSize));

        // The one-second settle after the diagnostics, every command probed
        // first, and the restore followed by its pause with the mouse held.
        const auto& log = m_world->line->RequestLog();
        uint32_t afterDiagnostics = 0;
        for (size_t i = 0; i < log.size(); ++i) {
            if (log[i].kind == "H") afterDiagnostics = log[i + 1].timeMs;
            if (log[i].kind != "scan" && log[i].kind != "probe") QCOMPARE(log[i - 1].kind, std::string("probe"));
        }
        // The diagnostics read ends by its 1000 ms time-out; the pause follows.
        QVERIFY(afterDiagnostics - log[1].timeMs >= 2000);
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::Capture).size(), size_t(1));
        QVERIFY(m_world->ui.Messages().empty());
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void failuresBeforeTheDialog_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("exchanges");
        QTest::addColumn<int>("result");
        const QString notOperational =
            "Alignment cannot be executed because the device is not in an operational state.";
        QTest::newRow("state 0") << 0 << notOperational << "H" << 0;
        QTest::newRow("state 1") << 1 << notOperational << "H" << 0;
        QTest::newRow("state 2") << 2 << notOperational << "H" << 0;
        QTest::newRow("no diagnostics") << 3 << "Unable to input Diagnostics." << "" << 0;
        QTest::newRow("no PSF") << 4 << "Unable to input PSF." << "H D" << 0;
        QTest::newRow("PSF refused") << 5 << "Unable to output PSF." << "H D C" << 0;
        QTest::newRow("no blanking") << 6 << "Unable to input blanking fields." << "H D C V C D" << 1;
    }
    void failuresBeforeTheDialog() {
        QFETCH(int, fault);
        QFETCH(QString, message);
        QFETCH(QString, exchanges);
        QFETCH(int, result);
        const Bytes refusal = {0x1C, 'A', 'X', 0x0A};
        switch (fault) {
            case 0: Model().emitter = {sim::Board{0, 3}}; break;
            case 1: Model().receiver = {sim::Board{-1, 0}}; break;
            case 2: Model().emitter = {sim::Board{0, 3}}; Model().receiver = {}; break;
            case 3: m_world->line->Faults().silent = true; break;
            case 4: m_world->line->Controller().ScriptReply("D", refusal); break;
            case 5: m_world->line->Controller().ScriptReply("C", refusal); break;
            case 6: m_world->line->Controller().ScriptReply("V", refusal); break;
        }
        const CPsfRecord original = Model().Psf();
        ModalDriver<Dlg> driver([](Dlg& d) { d.done(0); });
        QCOMPARE(RunCommand(), result);
        QCOMPARE(driver.Shown(), 0);
        QCOMPARE(m_world->ui.Messages(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::Message).front().icon, MsgIcon::Stop);
        QCOMPARE(Exchanges(), exchanges);
        // The controller ends with its own parameter set in every case.
        QCOMPARE(Bytes(Model().Psf().Data(), Model().Psf().Data() + kPsfRecordSize),
                 Bytes(original.Data(), original.Data() + kPsfRecordSize));
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
    }

    void failedRestoreAnsweredNoLeavesTheWorkingSet() {
        const CPsfRecord working = MakeAlignmentPsf(Model().Psf());
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                // Garbled on every one of the restore's tries.
                for (int attempt = 0; attempt < 3; ++attempt)
                    m_world->line->Controller().ScriptReply("C", {0x1C, 'A', 'X', 0x0A});
                m_world->ui.AnswerMessage(MsgResult::No);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(m_world->ui.Messages(),
                 std::vector<std::string>{
                     "Unable to restore original PSF.\nDo you want to save the original PSF to a file?"});
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::SaveFile).size(), size_t(0));
        QCOMPARE(Bytes(Model().Psf().Data(), Model().Psf().Data() + kPsfRecordSize),
                 Bytes(working.Data(), working.Data() + kPsfRecordSize));
    }

    // 16 + 16 + 8 emitter channels: five map bytes and a shorter third row.
    void fortyChannelsGetAShorterRow() {
        Model().emitter = {sim::Board{16, 0}, sim::Board{16, 0}, sim::Board{8, 0}};
        Model().blanking[0] = 0x0F;   // channels 5 to 8
        Model().blanking[4] = 0x80;   // channel 33
        Model().blanking[5] = 0xFF;   // beyond the curtain
        Model().beams.SetBlocked(39, true);
        QStringList labels, beams, counts;
        int mapBytes = 0;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                labels = Column(d, 1);
                beams = Column(d, 2);
                counts = Counts(d);
                mapBytes = d.InitialMap().ByteCount();
                Click(d, "cancelButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(mapBytes, 5);
        QCOMPARE(labels, (QStringList{"1 - 16", "17 - 32", "33 - 40"}));
        QCOMPARE(beams, (QStringList{"1111 BBBB 1111 1111 ", "1111 1111 1111 1111 ", "B111 1110 "}));
        QCOMPARE(counts, (QStringList{"1", "34", "5"}));
        // Cancel sends the five bytes back; the rest of the block is zero.
        QCOMPARE(BlankingWrites(*m_world->line).back(), BlockOf({0x0F, 0, 0, 0, 0x80}));
    }

    void autoBlankingShowsBeamsWithoutMarksAndAcceptTeachesTheBlocked() {
        Model().beams.SetBlocked(5, true);
        Model().beams.SetBlocked(6, true);
        Model().blanking[1] = 0x0F;  // channels 12 to 15
        QStringList idleBeams, idleCounts, autoBeams, autoCounts, autoButtons, afterCounts;
        bool acceptInPlace = false;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) {
                  idleBeams = Column(d, 2);
                  idleCounts = Counts(d);
                  Click(d, "stopButton");
              })
            .Then(Idle, [&](Dlg& d) { Click(d, "autoBlankingButton"); })
            .Then(Scanned(Dlg::kAutoBlanking, 2), [&](Dlg& d) {
                autoBeams = Column(d, 2);
                autoCounts = Counts(d);
                autoButtons = EnabledButtons(d);
                acceptInPlace = GridCell(Button(d, "acceptAutoButton")) ==
                                GridCell(Button(d, "autoBlankingButton"));
                Click(d, "acceptAutoButton");
            })
            .Then(Idle, [&](Dlg& d) {
                afterCounts = Counts(d);
                QVERIFY(Button(d, "autoBlankingButton")->isVisible());
                QVERIFY(Button(d, "acceptAutoButton")->isHidden());
                QVERIFY(Button(d, "sendButton")->isHidden());
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(idleBeams, (QStringList{"1111 1001 1111 BBBB ", "1111 1111 1111 1111 "}));
        QCOMPARE(idleCounts, (QStringList{"2", "26", "4"}));
        QCOMPARE(autoBeams, (QStringList{"1111 1001 1111 1111 ", "1111 1111 1111 1111 "}));
        QCOMPARE(autoCounts, (QStringList{"2", "30", "0"}));
        QCOMPARE(autoButtons, (QStringList{"abortAutoButton", "acceptAutoButton"}));
        QVERIFY(acceptInPlace);
        // The controller now ignores the two beams it blanks.
        QCOMPARE(afterCounts, (QStringList{"0", "30", "2"}));
        const std::vector<Bytes> writes = BlankingWrites(*m_world->line);
        QCOMPARE(writes.size(), size_t(2));
        QCOMPARE((writes[0]), BlockOf({}));
        QCOMPARE((writes[1]), BlockOf({0x06}));
        QCOMPARE(Model().blanking[0], uint8_t(0x06));
        QCOMPARE(Model().blanking[1], uint8_t(0));
        QVERIFY(m_world->ui.Messages().empty());
    }

    void abortOrAFailedScanRestoresTheEarlierMap_data() {
        QTest::addColumn<bool>("failScan");
        QTest::newRow("abort") << false;
        QTest::newRow("failed scan") << true;
    }
    void abortOrAFailedScanRestoresTheEarlierMap() {
        QFETCH(bool, failScan);
        Model().blanking[0] = 0xC0;
        Model().beams.SetBlocked(9, true);
        QStringList counts;
        int working = 0;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) { Click(d, "autoBlankingButton"); })
            .Then(Scanned(Dlg::kAutoBlanking, 1), [&](Dlg& d) {
                if (failScan)
                    m_world->line->Controller().ScriptReply("scan", {0x1C, 'A', 0, 0, 0, 0, 0x0B});
                else
                    Click(d, "abortAutoButton");
            })
            .Then(
                [&](Dlg&) { return !failScan || ScriptedScanAnswered(); },
                // Accept pressed during the exchange that then fails: still an abort.
                [&](Dlg& d) { Click(d, "acceptAutoButton"); })
            .Then(Idle, [&](Dlg& d) {
                counts = Counts(d);
                working = d.WorkingMap().Data()[0];
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(BlankingWrites(*m_world->line).back(), BlockOf({0xC0}));
        QCOMPARE(working, 0xC0);
        QCOMPARE(counts[2], QString("2"));
        QCOMPARE(m_world->ui.Messages().size(), size_t(failScan ? 1 : 0));
        if (failScan) QCOMPARE(m_world->ui.Messages().front(), std::string("Unable to Input Scan."));
    }

    void failedClearLeavesTheDialogIdle() {
        QStringList buttons;
        size_t scansBefore = 0;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                scansBefore = Requests("scan").size();
                m_world->line->Controller().ScriptReply("W", {0x1C, 'A', 'X', 0x0A});
                Click(d, "autoBlankingButton");
                QCOMPARE(d.State(), int(Dlg::kIdle));
                buttons = EnabledButtons(d);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(m_world->ui.Messages(),
                 std::vector<std::string>{"Unable to clear blanking fields in controller."});
        QCOMPARE(m_world->ui.CallsOf(ScriptedUi::Kind::Message).front().icon, MsgIcon::Exclamation);
        QCOMPARE(buttons, kIdleButtons);
        QCOMPARE(Requests("scan").size(), scansBefore);  // no scan after the failed clear
    }

    void cancelAfterClearSendsTheInitialMapAndStaysOpenIfThatFails() {
        Model().blanking[2] = 0x81;
        QStringList counts;
        bool stillOpen = false;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                Click(d, "clearButton");
                counts = Counts(d);
                m_world->line->Controller().ScriptReply("W", {0x1C, 'A', 'X', 0x0A});
                Click(d, "cancelButton");
                stillOpen = d.isVisible();
                Click(d, "cancelButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(counts, (QStringList{"0", "32", "0"}));
        QVERIFY(stillOpen);
        QCOMPARE(m_world->ui.Messages(),
                 std::vector<std::string>{"Unable to restore initial controller blanking fields."});
        const std::vector<Bytes> writes = BlankingWrites(*m_world->line);
        QCOMPARE(writes.size(), size_t(3));
        QCOMPARE((writes[0]), BlockOf({}));
        QCOMPARE((writes[2]), BlockOf({0, 0, 0x81}));
        QCOMPARE(Model().blanking[2], uint8_t(0x81));
        // Clear, then Cancel's retry: each followed by what it is due.
        // Each blanking write meant to stay reads what it replaces first and
        // what the controller holds after (V W V); the failed one stops at W.
        QCOMPARE(Exchanges(), QString("H D C V S* V W V S* V W V W V C D"));
    }

    void stopWhileAScanIsWaitingEndsAfterThatScan() {
        m_world->line->pace = true;
        m_world->line->turnaroundMs = 300;  // the reply is still on its way at the first block read
        size_t scansAtStop = 0;
        // A block read that came back short: the reply is still on its way.
        const auto readPending = [&](Dlg& d) {
            const sim::PortEvent& last = m_world->line->Events().back();
            return Scanned(Dlg::kScanning, 2)(d) && last.kind == sim::PortEvent::Kind::Read &&
                   last.result == kSerialTimeout;
        };
        StepDriver<Dlg> driver;
        driver.Then(readPending, [&](Dlg& d) {
                  scansAtStop = Requests("scan").size();
                  Click(d, "stopButton");
                  QCOMPARE(d.State(), int(Dlg::kScanning));  // only the flag went down
              })
            .Then(Idle, [&](Dlg& d) {
                QCOMPARE(d.CurrentScan().Statistics().madeCount, 32);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(driver.StepsTaken(), 2);
        QCOMPARE(Requests("scan").size(), scansAtStop);
        QVERIFY(m_world->ui.Messages().empty());
    }

    void restoreEditAndFilesEachScanOnceAfterwards() {
        Model().blanking[0] = 0x01;  // channel 7
        ScopedTempDir dir;
        const std::string path = dir.Path() + "/fields.BFS";
        QString editedCounts;
        StepDriver<Dlg> driver;
        ModalDriver<CChannelBlankDlg> editor([](CChannelBlankDlg& e) {
            e.findChild<CSpreadSheet*>("channelGrid")->SetCellText(1, 2, "1");  // channel 16
            e.accept();
        });
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                Click(d, "clearButton");
                Click(d, "restoreButton");
                Click(d, "editButton");
                editedCounts = Label(d, "blankedValue");
                m_world->ui.AnswerFile(path);
                Click(d, "saveButton");
                Click(d, "clearButton");
                m_world->ui.AnswerFile(path);
                Click(d, "readButton");
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(editor.Shown(), 1);
        QCOMPARE(editedCounts, QString("2"));
        QCOMPARE(Exchanges(),
                 QString("H D C V S* V W V S* V W V S* V W V S* V W V S* V W V S* C D"));
        QCOMPARE(Model().blanking[0], uint8_t(0x01));
        QCOMPARE(Model().blanking[2], uint8_t(0x80));
        QVERIFY(m_world->ui.Messages().empty());
    }

    void beamStripFollowsTheGridAndKeepsFlickerMarks() {
        QStringList looks;
        bool markAfterFlicker = false, markAfterRestart = true, emptyAfterFailedScan = false;
        bool staleAfterFailedScan = false, staleWhileScanning = true;
        int shownBefore = 0, shownAfterSteadyScans = 0;
        Model().blanking[0] = 0x80;  // channel 0
        StepDriver<Dlg> driver;
        auto strip = [](Dlg& d) { return d.findChild<CBeamStrip*>("beamStrip"); };
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg&) { Model().beams.SetBlocked(5, true); })
            .Then(
                [&](Dlg& d) { return strip(d)->LookAt(5) == BeamLook::Blocked; },
                [&](Dlg&) { Model().beams.SetBlocked(5, false); })
            .Then(
                [&](Dlg& d) { return strip(d)->LookAt(5) == BeamLook::Made; },
                [&](Dlg& d) {
                    markAfterFlicker = strip(d)->MarkedAt(5);
                    shownBefore = strip(d)->ScansShown();
                })
            .Then(Scanned(Dlg::kScanning, 40), [&](Dlg& d) {
                shownAfterSteadyScans = strip(d)->ScansShown();
                staleWhileScanning = strip(d)->Stale();
                for (int c : {0, 1, 5}) {
                    const std::optional<BeamLook> look = strip(d)->LookAt(c);
                    looks << (!look ? "none" : *look == BeamLook::Made ? "made"
                                             : *look == BeamLook::Blocked ? "blocked" : "blanked");
                }
                Click(d, "stopButton");
            })
            .Then(Idle, [&](Dlg& d) { Click(d, "startButton"); })
            .Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) {
                markAfterRestart = strip(d)->MarkedAt(5);
                Click(d, "stopButton");
            })
            .Then(Idle, [&](Dlg& d) {
                // The scan after a change fails: the grid's beam column and the strip empty together.
                m_world->line->Controller().ScriptReply("scan", {0x1C, 'A', 0, 0, 0, 0, 0x0B});
                Click(d, "clearButton");
                emptyAfterFailedScan = !strip(d)->LookAt(1) && d.findChild<CSpreadSheet*>()->CellText(2, 1).isEmpty();
                staleAfterFailedScan = strip(d)->Stale();
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QVERIFY(emptyAfterFailedScan);
        QVERIFY(staleAfterFailedScan);
        QVERIFY(!staleWhileScanning);
        QVERIFY(markAfterFlicker);
        QCOMPARE(shownAfterSteadyScans, shownBefore);
        QCOMPARE(looks, (QStringList{"blanked", "made", "made"}));
        QVERIFY(!markAfterRestart);
    }

    // The loop's scan fails: the strip and the grid keep the last scan,
    // veiled and greyed, with its time; the next scan makes them current
    // again.
    void aFailedScanLeavesTheLastOneShownAsStale() {
        Model().beams.SetBlocked(3, true);
        bool greyed = false, noteShown = false, stripKept = false, gridKept = false;
        bool freshAgain = false, noteGone = false;
        QString note;
        StepDriver<Dlg> driver;
        auto strip = [](Dlg& d) { return d.findChild<CBeamStrip*>("beamStrip"); };
        driver.Then(Scanned(Dlg::kScanning, 2),
                    [&](Dlg&) { m_world->line->Controller().ScriptReply("scan", {0x1C, 'A', 0, 0, 0, 0, 0x0B}); })
            .Then(Idle, [&](Dlg& d) {
                auto* label = d.findChild<QLabel*>("staleNote");
                noteShown = label->isVisibleTo(&d);
                note = label->text();
                greyed = strip(d)->Stale() && d.findChild<CSpreadSheet*>()->graphicsEffect();
                stripKept = strip(d)->LookAt(3) == BeamLook::Blocked;
                gridKept = d.findChild<CSpreadSheet*>()->CellText(2, 1) == "1110 1111 1111 1111 ";
                Click(d, "stepButton");
                freshAgain = !strip(d)->Stale() && !d.findChild<CSpreadSheet*>()->graphicsEffect();
                noteGone = !label->isVisibleTo(&d);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(m_world->ui.Messages(), std::vector<std::string>{"Unable to Input Scan."});
        QVERIFY(noteShown && greyed && stripKept && gridKept);
        QVERIFY2(QRegularExpression("^Last scan at \\d\\d:\\d\\d:\\d\\d; none since\\.$").match(note).hasMatch(),
                 qPrintable(note));
        QVERIFY(freshAgain && noteGone);
    }

    // Accept taking Auto Blanking's place moves no button, widening the
    // dialog widens none, and 192 beams wrap into rows of 48 readable cells.
    void layoutStaysPutAndTheStripStaysReadable() {
        Model().emitter.assign(12, sim::Board{16, 0});
        Model().receiver.assign(12, sim::Board{16, 0});
        const char* specified[] = {"startButton", "stopButton", "stepButton", "clearButton", "restoreButton",
                                   "abortAutoButton", "saveButton", "readButton", "editButton", "okButton",
                                   "cancelButton"};
        const auto geometries = [&](Dlg& d) {
            QList<QRect> rects;
            for (const char* name : specified) {
                QPushButton* button = Button(d, name);
                rects << QRect(button->mapTo(&d, QPoint(0, 0)), button->size());
            }
            return rects;
        };
        QList<QRect> idle, autoBlanking, widened;
        QRect autoPlace, acceptPlace;
        int perRow = 0, cellWidth = 0, channels = 0;
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 1), [&](Dlg& d) { Click(d, "stopButton"); })
            .Then(Idle, [&](Dlg& d) {
                idle = geometries(d);
                autoPlace = Button(d, "autoBlankingButton")->geometry();
                auto* strip = d.findChild<CBeamStrip*>("beamStrip");
                channels = strip->ChannelCount();
                perRow = strip->BeamsPerRow();
                cellWidth = strip->CellWidth();
                Click(d, "autoBlankingButton");
            })
            .Then(Scanned(Dlg::kAutoBlanking, 1), [&](Dlg& d) {
                autoBlanking = geometries(d);
                acceptPlace = Button(d, "acceptAutoButton")->geometry();  // both in one group
                Click(d, "abortAutoButton");
            })
            .Then(Idle, [&](Dlg& d) {
                d.resize(d.width() + 400, d.height());
                QCoreApplication::processEvents();
                widened = geometries(d);
                Click(d, "okButton");
            });
        QCOMPARE(RunCommand(), 1);
        QCOMPARE(autoBlanking, idle);
        QCOMPARE(acceptPlace, autoPlace);
        QCOMPARE(channels, 192);
        QCOMPARE(perRow, CBeamStrip::kRowOfBeams);
        QVERIFY2(cellWidth >= CBeamStrip::kMinCell, qPrintable(QString::number(cellWidth)));
        for (int i = 3; i < 9; ++i) {  // the blanking column: same size, moved along
            QCOMPARE(widened[i].size(), idle[i].size());
            QCOMPARE(widened[i].left() - idle[i].left(), 400);
        }
    }

    // The phone view follows the scans the dialog takes, says when they
    // stop, and goes with the dialog; the dialog's loop never waits for it.
    void phoneViewFollowsTheDialogAndStopsWithIt() {
        const ScopedEnv address("VELTRIX_PHONE_ADDRESS", "127.0.0.1");
        Model().beams.SetBlocked(5, true);
        std::mutex mutex;
        std::vector<nlohmann::json> events;
        std::atomic<int> received{0};
        std::thread reader;
        int port = 0;
        QString url;
        bool enabledWhileScanning = false, qrOk = false;
        const auto lastState = [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            return events.empty() ? std::string() : events.back().value("state", "");
        };
        StepDriver<Dlg> driver;
        driver.Then(Scanned(Dlg::kScanning, 2), [&](Dlg& d) {
                  enabledWhileScanning = Button(d, "phoneButton")->isEnabled();
                  Click(d, "phoneButton");
                  url = d.PhoneView()->Url();
                  // A QR code of the address, with its finder pattern in the corner.
                  const QrCodeView* code = d.PhoneView()->Code();
                  qrOk = code->ModuleCount() >= 25 && code->IsDark(0, 0) && code->IsDark(6, 6) &&
                         !code->IsDark(1, 1) && code->IsDark(2, 2);
                  port = d.PhoneView()->Server().Port();
                  const std::string path = url.mid(url.indexOf('/', 7)).toStdString() + "events";
                  reader = std::thread([&, path, port] {
                      httplib::Client client("127.0.0.1", port);
                      client.set_read_timeout(5, 0);
                      std::string pending;
                      client.Get(path, [&](const char* data, size_t length) {
                          pending.append(data, length);
                          for (size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
                              const std::string block = pending.substr(0, end);
                              pending.erase(0, end + 2);
                              const size_t at = block.find("data: ");
                              if (at == std::string::npos) continue;
                              const auto event = nlohmann::json::parse(block.substr(at + 6), nullptr, false);
                              const std::lock_guard<std::mutex> lock(mutex);
                              events.push_back(event);
                              ++received;
                              if (event.value("state", "") == "stopped") return false;
                          }
                          return true;
                      });
                  });
              })
            .Then([&](Dlg&) { return received >= 3; }, [&](Dlg& d) { Click(d, "stopButton"); })
            .Then([&](Dlg& d) { return Idle(d) && lastState() == "stopped"; },
                  [&](Dlg& d) { Click(d, "okButton"); });
        QCOMPARE(RunCommand(), 1);
        if (reader.joinable()) reader.join();

        QVERIFY(enabledWhileScanning);
        QVERIFY(qrOk);
        QVERIFY(url.startsWith("http://127.0.0.1:"));
        QVERIFY(events.size() >= 3);
        int previous = 0;
        for (const nlohmann::json& event : events) {
            // A new scan, or the end of the loop told about the last one.
            QVERIFY(event.at("scan").get<int>() > previous ||
                    (event.at("scan").get<int>() == previous && event.value("state", "") == "stopped"));
            previous = event.at("scan").get<int>();
            QCOMPARE(event.at("channels").get<int>(), 32);
            QCOMPARE(event.at("blocked").dump(), std::string("[5]"));
        }
        QCOMPARE(events.front().value("state", ""), std::string("scanning"));
        QCOMPARE(events.back().value("state", ""), std::string("stopped"));
        QVERIFY(events.back().at("was_blocked").dump().find('5') != std::string::npos);
        // Gone with the dialog: nothing listens any more.
        httplib::Client after("127.0.0.1", port);
        QVERIFY(!after.Get("/"));
    }
};

QTEST_MAIN(TestAlignment)
#include "tst_alignment.moc"
