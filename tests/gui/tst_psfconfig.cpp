#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <functional>
#include <memory>

#include "ModalDriver.h"
#include "SimulatedCommandWorld.h"
#include "dialogs/psf/CDiscreteOutputsDlg.h"
#include "dialogs/psf/CEditPsfCommand.h"
#include "dialogs/psf/CMeasurementOutputDlg.h"
#include "dialogs/psf/CPsfConfigDlg.h"
#include "GridUser.h"
#include "grid/CSpreadSheet.h"
#include "model/Fingerprint.h"
#include "model/PsfFile.h"
#include "support/ScopedEnv.h"
#include "support/ScopedTempDir.h"

namespace {

using Kind = ScriptedUi::Kind;

QString Shown(const QComboBox* list) { return list->currentIndex() < 0 ? QString() : list->currentText(); }

void Choose(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    if (index < 0) qFatal("no item %s", qPrintable(text));
    list->setCurrentIndex(index);
    emit list->activated(index);
}

template <size_t N>
uint8_t CodeOf(const PsfOption (&table)[N], const QString& text) {
    for (const PsfOption& option : table)
        if (text == QLatin1String(option.text)) return option.code;
    qFatal("no option %s", qPrintable(text));
}

void Click(CPsfConfigDlg& dialog, const char* button) {
    dialog.findChild<QPushButton*>(button)->click();
}

// The requests the controller heard, probes left out: "D C D".
QString RequestKinds(const sim::SimulatedLine& line) {
    QStringList kinds;
    for (const sim::LogEntry& entry : line.RequestLog())
        if (entry.kind != "probe" && entry.kind != "noise") kinds << QString::fromStdString(entry.kind);
    return kinds.join(' ');
}

// What the monitor was opened with, and the controller's set meanwhile.
struct MonitorSeen {
    int opened = 0;
    int selector = -1;
    QString meas1, meas2;
    CPsfRecord controllerSet;
    long controllerBaud = 0;
    QStringList stepRow;
};

}  // namespace

// The Edit PSF command and its dialog against the simulated controller.
class TestPsfConfig : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<SimulatedCommandWorld> m_world;
    CPsfRecord m_original;  // the controller's own set at the start

    sim::ControllerModel& Model() { return m_world->line->Model(); }

    // Runs F4 with the action on the dialog; the action closes it.
    void RunCommand(const std::function<void(CPsfConfigDlg&)>& action) {
        int shown = 0;
        ModalDriver<CPsfConfigDlg> driver([&](CPsfConfigDlg& dialog) {
            ++shown;
            action(dialog);
            if (dialog.isVisible()) Click(dialog, "cancelButton");
        });
        CEditPsfCommand command(nullptr, 1, 9600);
        QCOMPARE(command.Run(), 1);
        QCOMPARE(shown, 1);
    }

    // Closes every monitor that opens, after one Step, noting what it showed.
    std::unique_ptr<ModalDriver<CMeasurementOutputDlg>> WatchMonitor(MonitorSeen& seen) {
        return std::make_unique<ModalDriver<CMeasurementOutputDlg>>([&](CMeasurementOutputDlg& m) {
            ++seen.opened;
            seen.selector = m.Selector();
            auto* grid = m.findChild<CSpreadSheet*>("measurementGrid");
            seen.meas1 = grid->CellText(1, 1);
            seen.meas2 = grid->CellText(1, 2);
            seen.controllerSet = Model().Psf();
            seen.controllerBaud = Model().Baud();
            m.findChild<QPushButton*>("stepButton")->click();
            const int row = m.Selector() == 1 ? 2 : 1;
            for (int col = 1; col <= 4; ++col) seen.stepRow << grid->CellText(col, row);
            m.findChild<QPushButton*>("exitButton")->click();
        });
    }

  private slots:
    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        CPsfRecord own;
        own.SetScanningMethod('c');
        own.SetMeasMode(0, 'E');
        own.Data()[8] = 0x2B;
        own.SetScanCount(3);
        DiscreteOutput outputs[kDiscreteOutputCount];
        own.GetOutputs(outputs);
        outputs[2] = {'y', 10, 20, 5, 25};
        own.SetOutputs(outputs);
        Model().StorePsf(own);
        Model().beams.SetBlocked(6, true);
        m_original = Model().Psf();
    }

    void cleanup() { m_world.reset(); }

    void openingShowsTheDefaultSet() {
        QString title;
        QStringList lists, items;
        QList<bool> checked, enabled;
        QStringList buttons;
        bool okDefault = false;
        QVariant baudData;
        bool idHasData = true;
        RunCommand([&](CPsfConfigDlg& d) {
            title = d.windowTitle();
            const PsfConfigControls& c = d.Controls();
            for (QComboBox* list : {c.controllerId, c.baudRate, c.controlMode, c.scanningMethod,
                                    c.meas1, c.meas2})
                lists << Shown(list);
            for (int i = 0; i < c.scanningMethod->count(); ++i) items << c.scanningMethod->itemText(i);
            baudData = c.baudRate->itemData(2);
            idHasData = c.controllerId->itemData(0).isValid();
            for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
                     c.transmissionModes[0], c.transmissionModes[1], c.transmissionModes[2],
                     c.ascii, c.binary, c.suppressClearData, c.suppressHeader, c.compressData}) {
                checked << b->isChecked();
                enabled << b->isEnabled();
            }
            for (QPushButton* b : {c.ok, c.cancel, c.upload, c.send, c.execute, c.outputs, c.save,
                                   c.retrieve})
                buttons << b->text();
            okDefault = c.ok->isDefault();
        });
        QCOMPARE(title, QString("Multiple Output VELTRIX PSF Configuration"));
        QCOMPARE(lists, (QStringList{"A", "9600", "Host", "Straight", "None", "None"}));
        QCOMPARE(items.size(), 10);
        QCOMPARE(items.last(), QString("Edge"));
        QCOMPARE(baudData.toInt(), int('C'));
        QVERIFY(!idHasData);
        QCOMPARE(checked, (QList<bool>{true, false, false, true, false, false, false, false}));
        QCOMPARE(enabled, (QList<bool>{true, true, true, false, false, false, false, false}));
        QCOMPARE(buttons, (QStringList{"OK", "Cancel", "&Upload PSF", "Send &PSF", "&Execute...",
                                       "&Outputs...", "File &Save PSF...", "File &Retrieve PSF..."}));
        QVERIFY(okDefault);
        // Nothing was said to the controller.
        QVERIFY(RequestKinds(*m_world->line).isEmpty());
    }

    void edgeForcesMeasListsUntilAnotherMethod() {
        QStringList afterEdge, afterSkip3;
        bool enabledAfterEdge = true, enabledAfterSkip3 = false;
        CPsfRecord stored;
        RunCommand([&](CPsfConfigDlg& d) {
            const PsfConfigControls& c = d.Controls();
            Choose(c.meas1, "TBB");
            Choose(c.meas2, "FBM");
            Choose(c.scanningMethod, "Edge");
            afterEdge << Shown(c.meas1) << Shown(c.meas2);
            enabledAfterEdge = c.meas1->isEnabled() || c.meas2->isEnabled();
            Choose(c.scanningMethod, "Skip3");
            afterSkip3 << Shown(c.meas1) << Shown(c.meas2);
            enabledAfterSkip3 = c.meas1->isEnabled() && c.meas2->isEnabled();
            d.StoreChoices(stored);
        });
        QCOMPARE(afterEdge, (QStringList{"LBB", "None"}));
        QVERIFY(!enabledAfterEdge);
        QCOMPARE(afterSkip3, (QStringList{"LBB", "None"}));
        QVERIFY(enabledAfterSkip3);
        QCOMPARE(stored.GetMeasMode(0), uint8_t('C'));
        QCOMPARE(stored.GetScanningMethod(), uint8_t('d'));
    }

    // Sent to the controller, so the bytes are the ones it keeps.
    void transmissionControlsReachByte8() {
        uint8_t afterNone = 0xFF, afterAll = 0xFF;
        bool checksClearedByNone = false, optionsDisabled = false;
        RunCommand([&](CPsfConfigDlg& d) {
            const PsfConfigControls& c = d.Controls();
            c.transmissionModes[kTransmissionMeasurement]->click();
            c.binary->click();
            for (QCheckBox* check : {c.suppressClearData, c.suppressHeader, c.compressData})
                check->click();
            c.transmissionModes[kTransmissionNone]->click();
            checksClearedByNone = !c.suppressClearData->isChecked() &&
                                  !c.suppressHeader->isChecked() && !c.compressData->isChecked();
            optionsDisabled = !c.binary->isEnabled() && !c.compressData->isEnabled();
            Click(d, "sendButton");
            afterNone = Model().Psf().Data()[8];
            c.transmissionModes[kTransmissionAll]->click();
            c.compressData->click();
            Click(d, "sendButton");
            afterAll = Model().Psf().Data()[8];
        });
        QVERIFY(checksClearedByNone);
        QVERIFY(optionsDisabled);
        QCOMPARE(afterNone, uint8_t(0x00));
        QCOMPARE(afterAll, uint8_t(0x2C));
        QCOMPARE(m_world->ui.Messages(), (std::vector<std::string>{"PSF Accepted", "PSF Accepted"}));
    }

    // Over a raw TCP device server the line keeps the server's rate: a set
    // of the controller's own rate goes out as ever, another one only once
    // the user agreed, and a trial at another rate not at all.
    void rateTheServersLineWillNotFollowNeedsConsent() {
        const ScopedEnv device("VELTRIX_COM2", "tcp://127.0.0.1:4001");
        m_world->ui.AnswerMessage(MsgResult::Ok);
        m_world->ui.AnswerMessage(MsgResult::No);
        QString afterSameRate, afterNo, afterYes;
        RunCommand([&](CPsfConfigDlg& d) {
            Click(d, "sendButton");
            afterSameRate = RequestKinds(*m_world->line);
            Choose(d.Controls().baudRate, "19200");
            Click(d, "sendButton");
            afterNo = RequestKinds(*m_world->line);
            Click(d, "sendButton");
            afterYes = RequestKinds(*m_world->line);
        });
        const std::string warning =
            "The controller will stop answering at the server's rate: this parameter set changes "
            "its baud rate from 9600 baud to 19200 baud, and the line through "
            "tcp://127.0.0.1:4001 keeps the rate the device server gives it.\n\nSend it anyway?";
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{"PSF Accepted", warning, warning, "PSF Accepted"}));
        QCOMPARE(m_world->ui.CallsOf(Kind::Message)[1].buttons, MsgButtons::YesNo);
        QCOMPARE(afterSameRate, QString("D H D C D"));
        QCOMPARE(afterNo, QString("D H D C D D"));
        // The set that leaves the server's rate is not read back: the
        // controller no longer answers through that server.
        QCOMPARE(afterYes, afterNo + " D D C");
        QCOMPARE(Model().Baud(), 19200L);
    }

    void trialAtARateTheServersLineWillNotFollowIsRefused() {
        const ScopedEnv device("VELTRIX_COM2", "tcp://127.0.0.1:4001");
        MonitorSeen seen;
        auto monitor = WatchMonitor(seen);
        int cursorAfter = -1;
        RunCommand([&](CPsfConfigDlg& d) {
            Choose(d.Controls().meas1, "FBB");
            Choose(d.Controls().baudRate, "38400");
            Click(d, "executeButton");
            cursorAfter = m_world->ui.WaitCursorCount();
        });
        QCOMPARE(m_world->ui.Messages(),
                 std::vector<std::string>{
                     "A trial at 38400 baud cannot be followed: the line through "
                     "tcp://127.0.0.1:4001 keeps the rate the device server gives it, and the "
                     "controller's own set could not be sent back. Choose its own rate, 9600 baud."});
        QCOMPARE(seen.opened, 0);
        QCOMPARE(RequestKinds(*m_world->line), QString("D"));
        QCOMPARE(Model().Psf(), m_original);
        QCOMPARE(cursorAfter, 0);
    }

    void executeRefusalsTalkToNoController_data() {
        QTest::addColumn<QString>("meas1");
        QTest::addColumn<QString>("meas2");
        QTest::addColumn<QString>("baudCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("both None") << "None" << "None" << "A" << "At least one meas must not be 'None'";
        QTest::newRow("SEG")
            << "SEG" << "None" << "A"
            << "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'";
        QTest::newRow("SEG second")
            << "FBB" << "SEG" << "A"
            << "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'";
        QTest::newRow("no baud rate") << "FBB" << "None" << "Q" << "Choose a Baud Rate before Execute.";
    }

    void executeRefusalsTalkToNoController() {
        QFETCH(QString, meas1);
        QFETCH(QString, meas2);
        QFETCH(QString, baudCode);
        QFETCH(QString, message);
        ScopedTempDir dir;
        CPsfRecord file;
        file.SetBaudCode(uint8_t(baudCode.at(0).toLatin1()));
        QCOMPARE(WritePsfFile(file, dir.File("set.PSF")), 0);
        m_world->ui.AnswerFile(dir.File("set.PSF"));
        MonitorSeen seen;
        auto monitor = WatchMonitor(seen);
        int cursorAfter = -1;
        bool capturedAfter = true;
        RunCommand([&](CPsfConfigDlg& d) {
            Click(d, "retrieveButton");
            Choose(d.Controls().meas1, meas1);
            Choose(d.Controls().meas2, meas2);
            m_world->ui.Clear();
            Click(d, "executeButton");
            cursorAfter = m_world->ui.WaitCursorCount();
            capturedAfter = m_world->ui.MouseCaptured();
        });
        QCOMPARE(m_world->ui.Messages(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(m_world->ui.CallsOf(Kind::Message).front().icon, MsgIcon::Exclamation);
        QCOMPARE(seen.opened, 0);
        QVERIFY(m_world->line->RequestLog().empty());
        QCOMPARE(cursorAfter, 0);
        QVERIFY(!capturedAfter);
    }

    // The try-out: the trial set goes in, the monitor opens with the right
    // selector, and the original comes back byte for byte when it closes.
    void executeTriesTheSetAndRestoresTheOriginal_data() {
        QTest::addColumn<QString>("meas1");
        QTest::addColumn<QString>("meas2");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("selector");
        QTest::newRow("only meas 2") << "None" << "TBB" << "9600" << 1;
        QTest::newRow("only meas 1") << "FBM" << "None" << "19200" << 0;
        QTest::newRow("both") << "FBB" << "LBB" << "38400" << 2;
    }

    void executeTriesTheSetAndRestoresTheOriginal() {
        QFETCH(QString, meas1);
        QFETCH(QString, meas2);
        QFETCH(QString, baud);
        QFETCH(int, selector);
        MonitorSeen seen;
        auto monitor = WatchMonitor(seen);
        int cursorAfter = -1;
        RunCommand([&](CPsfConfigDlg& d) {
            Choose(d.Controls().meas1, meas1);
            Choose(d.Controls().meas2, meas2);
            Choose(d.Controls().baudRate, baud);
            d.Controls().compressData->setEnabled(true);
            Click(d, "executeButton");
            cursorAfter = m_world->ui.WaitCursorCount();
        });
        QCOMPARE(seen.opened, 1);
        QCOMPARE(seen.selector, selector);
        QCOMPARE(seen.meas1, meas1);
        QCOMPARE(seen.meas2, meas2);
        // The trial set: the dialog's choices with Host control, measurement
        // results in binary with their header, and default outputs.
        CPsfRecord expected;
        expected.SetBaudCode(CodeOf(kBaudRates, baud));
        expected.SetMeasMode(0, CodeOf(kMeasurementModes, meas1));
        expected.SetMeasMode(1, CodeOf(kMeasurementModes, meas2));
        expected.Data()[8] = 0x44;
        QVERIFY(std::equal(expected.Data() + 2, expected.Data() + kPsfRecordSize,
                           seen.controllerSet.Data() + 2));
        QCOMPARE(seen.controllerBaud, baud.toLong());
        // A step through the trial set at its rate worked.
        QCOMPARE(seen.stepRow.size(), 4);
        QVERIFY(!seen.stepRow[3].isEmpty());
        QVERIFY(m_world->ui.Messages().empty());

        // The original goes back and is read back.
        QCOMPARE(RequestKinds(*m_world->line), QString("D C scan C D"));
        QVERIFY(Model().Psf() == m_original);
        QCOMPARE(Model().Baud(), 9600L);
        QCOMPARE(cursorAfter, 0);
        // The restore holds the mouse through its pause.
        QVERIFY(!m_world->ui.CallsOf(Kind::Capture).empty());
        QVERIFY(!m_world->ui.MouseCaptured());
    }

    void executeFailuresStopAtTheirStep_data() {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("read") << "D" << "Unable to input existing controller's PSF." << QStringList{"D"};
        QTest::newRow("send") << "C" << "Unable to output PSF." << QStringList{"D", "C"};
        QTest::newRow("restore") << "restore"
                                 << "Unable to restore original PSF.\nDo you want to save the "
                                    "original PSF to a file?"
                                 << QStringList{"D", "C", "scan"};
    }

    void executeFailuresStopAtTheirStep() {
        QFETCH(QString, failure);
        QFETCH(QString, message);
        QFETCH(QStringList, requests);
        if (failure != "restore") {
            // A reply the command does not accept.
            m_world->line->Controller().ScriptReply(failure.toStdString(), {0x1C, 'A', 'Q', 0x0A});
        } else {
            // The line dies after the monitor's scan.
            m_world->line->Faults().hangupAfter = 6;
            m_world->ui.AnswerMessage(MsgResult::No);
        }
        MonitorSeen seen;
        auto monitor = WatchMonitor(seen);
        RunCommand([&](CPsfConfigDlg& d) {
            Choose(d.Controls().meas1, "FBB");
            Click(d, "executeButton");
        });
        QCOMPARE(m_world->ui.Messages(), std::vector<std::string>{message.toStdString()});
        QCOMPARE(m_world->ui.CallsOf(Kind::Message).front().icon,
                 failure == "restore" ? MsgIcon::Stop : MsgIcon::Exclamation);
        QCOMPARE(seen.opened, failure == "restore" ? 1 : 0);
        QCOMPARE(RequestKinds(*m_world->line), requests.join(' '));
        QCOMPARE(m_world->ui.WaitCursorCount(), 0);
        QVERIFY(!m_world->ui.MouseCaptured());
    }

    void outputsReachSendButNotExecute() {
        CPsfRecord sentBySend, triedByExecute;
        MonitorSeen seen;
        auto monitor = WatchMonitor(seen);
        ModalDriver<CDiscreteOutputsDlg> editor([&](CDiscreteOutputsDlg& e) {
            CSpreadSheet* grid = e.Grid();
            QVERIFY(ChooseListItem(grid, 1, 7, 1));
            for (int col = 2; col <= 5; ++col)
                grid->SetCellText(col, 7, QString::number(QList<int>{40, 50, 30, 60}[col - 2]));
            e.findChild<QComboBox*>("scanCountList")->setCurrentIndex(4);
            e.findChild<QPushButton*>("okButton")->click();
        });
        RunCommand([&](CPsfConfigDlg& d) {
            Choose(d.Controls().meas1, "FBB");
            Click(d, "outputsButton");
            Click(d, "sendButton");
            sentBySend = Model().Psf();
            Click(d, "executeButton");
            triedByExecute = seen.controllerSet;
        });
        DiscreteOutput outputs[kDiscreteOutputCount];
        sentBySend.GetOutputs(outputs);
        QCOMPARE(outputs[6].source, int32_t('y'));
        QCOMPARE(outputs[6].setPointLow, uint16_t(40));
        QCOMPARE(outputs[6].hysteresisHigh, uint16_t(60));
        QCOMPARE(sentBySend.GetScanCount(), uint8_t(5));
        const CPsfRecord defaults;
        QVERIFY(std::equal(defaults.Data() + 9, defaults.Data() + kPsfRecordSize,
                           triedByExecute.Data() + 9));
    }

    void escapeCloseBoxAndEnter() {
        bool openAfterEscapeAndClose = false;
        std::vector<std::string> messagesAfterEnter;
        ModalDriver<CPsfConfigDlg> driver([&](CPsfConfigDlg& d) {
            QTest::keyClick(&d, Qt::Key_Escape);
            d.close();
            openAfterEscapeAndClose = d.isVisible();
            // Enter presses the focused button...
            d.Controls().upload->setFocus();
            QTest::keyClick(d.Controls().upload, Qt::Key_Return);
            messagesAfterEnter = m_world->ui.Messages();
            // ...else the default button, OK, which offers to save and closes.
            d.Controls().meas1->setFocus();
            QTest::keyClick(d.Controls().meas1, Qt::Key_Return);
        });
        CEditPsfCommand command(nullptr, 1, 9600);
        command.Run();
        QVERIFY(openAfterEscapeAndClose);
        QCOMPARE(messagesAfterEnter, std::vector<std::string>{"Uploaded PSF"});
        QCOMPARE(m_world->ui.CallsOf(Kind::SaveFile).size(), size_t(1));
        QCOMPARE(driver.Shown(), 1);
    }

    void uploadAndSendReportOnceUnderTheWaitCursor() {
        QStringList shownAfterUpload;
        RunCommand([&](CPsfConfigDlg& d) {
            Click(d, "uploadButton");
            shownAfterUpload << Shown(d.Controls().scanningMethod) << Shown(d.Controls().meas1)
                             << (d.Controls().transmissionModes[2]->isChecked() ? "all" : "?")
                             << (d.Controls().binary->isChecked() ? "binary" : "ascii");
            QVERIFY(d.Record() == m_original);
            m_world->line->Faults().silent = true;
            Click(d, "uploadButton");
            Click(d, "sendButton");
            QVERIFY(d.Record() == m_original);
        });
        QCOMPARE(shownAfterUpload, (QStringList{"Skip2", "TBB", "all", "ascii"}));
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{"Uploaded PSF", "PSF Was Not Received", "PSF Not Accepted"}));
        // Mouse and cursor are held until each message has been seen.
        std::string order;
        for (const ScriptedUi::Call& call : m_world->ui.Calls()) {
            if (call.kind == Kind::Capture) order += 'C';
            if (call.kind == Kind::CursorOn) order += '+';
            if (call.kind == Kind::Message) order += 'M';
            if (call.kind == Kind::CursorOff) order += '-';
            if (call.kind == Kind::Release) order += 'R';
        }
        QCOMPARE(QString::fromStdString(order), QString("C+M-RC+M-RC+M-R"));
    }

    // The fingerprint is the set's as it stands: what the controls show,
    // edits not yet stored included.
    void fingerprintFollowsTheSetAsItStands() {
        QStringList shown;
        RunCommand([&](CPsfConfigDlg& d) {
            auto* label = d.findChild<QLabel*>("fingerprintLabel");
            shown << label->text();
            Choose(d.Controls().meas1, "FBB");
            shown << label->text();
            Click(d, "uploadButton");
            shown << label->text();
        });
        CPsfRecord chosen;
        chosen.SetMeasMode(0, CodeOf(kMeasurementModes, "FBB"));
        const auto text = [](const CPsfRecord& r) {
            return "Fingerprint: " + QString::fromStdString(PsfFingerprint(r));
        };
        QCOMPARE(shown, (QStringList{text(CPsfRecord()), text(chosen), text(m_original)}));
        QVERIFY(shown[0] != shown[1]);
    }

    // A file with codes the controller does not define (here a random one)
    // loads, and Send PSF then asks, No being the default and sending nothing.
    void undefinedSetIsSentOnlyWhenTheUserSaysSo() {
        ScopedTempDir dir;
        CPsfRecord odd;
        odd.SetControlMode('o');
        odd.SetScanningMethod('u');
        odd.SetScanCount(124);
        QCOMPARE(WritePsfFile(odd, dir.File("random.PSF")), 0);
        CPsfRecord single;
        single.SetControlMode('o');
        QCOMPARE(WritePsfFile(single, dir.File("single.PSF")), 0);
        m_world->ui.AnswerFile(dir.File("random.PSF"));
        m_world->ui.AnswerMessage(MsgResult::Ok);   // the note after loading
        m_world->ui.AnswerMessage(MsgResult::No);   // the question
        m_world->ui.AnswerMessage(MsgResult::Yes);  // the question again
        m_world->ui.AnswerMessage(MsgResult::Ok);   // "PSF Accepted"
        m_world->ui.AnswerFile(dir.File("single.PSF"));
        QString afterNo;
        CPsfRecord afterYes;
        RunCommand([&](CPsfConfigDlg& d) {
            Click(d, "retrieveButton");
            Click(d, "sendButton");
            afterNo = RequestKinds(*m_world->line);
            Click(d, "sendButton");
            afterYes = Model().Psf();
            Click(d, "retrieveButton");
            Click(d, "sendButton");  // unanswered: Enter takes the default
        });
        const std::string fields =
            "Control Mode Selection holds code 'o', which this program does not know.\n"
            "Scanning Method holds code 'u', which this program does not know.\n"
            "Scan # holds 124, which is outside 1 to 9.";
        const std::string question = fields + "\n\nSend it anyway?";
        const std::vector<ScriptedUi::Call> calls = m_world->ui.CallsOf(Kind::Message);
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{
                     fields + "\n\nThe file was loaded as it is. Send PSF asks before it sends these "
                              "settings.",
                     question, question, "PSF Accepted",
                     "Control Mode Selection holds code 'o', which this program does not know.\n\n"
                     "The file was loaded as it is. Send PSF asks before it sends these settings.",
                     "Control Mode Selection holds code 'o', which this program does not know. "
                     "Send it anyway?"}));
        for (size_t k : {size_t(1), size_t(5)}) {
            QCOMPARE(calls[k].buttons, MsgButtons::YesNo);
            QCOMPARE(calls[k].defaultButton, MsgResult::No);
        }
        QVERIFY(afterNo.isEmpty());
        QCOMPARE(afterYes.GetControlMode(), uint8_t('o'));
        QCOMPARE(afterYes.GetScanCount(), uint8_t(124));
        // Yes sent it once, read back; the unanswered second question sent nothing.
        QCOMPARE(RequestKinds(*m_world->line), QString("H D C D"));
    }

    void filesSaveAndRetrieve() {
        ScopedTempDir dir;
        const std::string saved = dir.File("saved.PSF");
        CPsfRecord odd;
        odd.SetControlMode('Z');
        odd.SetScanningMethod('j');
        odd.SetMeasMode(0, 'E');
        QCOMPARE(WritePsfFile(odd, dir.File("odd.PSF")), 0);
        std::ofstream(dir.File("short.PSF")) << "too short";

        m_world->ui.AnswerFile(dir.File("odd.PSF"));
        m_world->ui.AnswerFile(dir.File("short.PSF"));
        m_world->ui.AnswerFile(saved);
        QStringList afterOdd;
        bool meas1Enabled = true;
        RunCommand([&](CPsfConfigDlg& d) {
            Click(d, "retrieveButton");
            afterOdd << Shown(d.Controls().controlMode) << Shown(d.Controls().scanningMethod)
                     << Shown(d.Controls().meas1);
            meas1Enabled = d.Controls().meas1->isEnabled();
            Click(d, "retrieveButton");
            Click(d, "okButton");
        });
        QCOMPARE(afterOdd, (QStringList{"", "Edge", "LBB"}));
        QVERIFY(!meas1Enabled);
        QCOMPARE(m_world->ui.Messages(),
                 (std::vector<std::string>{
                     "Control Mode Selection holds code 'Z', which this program does not know.\n\n"
                     "The file was loaded as it is. Send PSF asks before it sends these settings.",
                     "Size of PSF file '" + dir.File("short.PSF") + "' is invalid."}));
        QCOMPARE(m_world->ui.CallsOf(Kind::Message)[1].icon, MsgIcon::Stop);
        const ScriptedUi::Call prompt = m_world->ui.CallsOf(Kind::SaveFile).front();
        QCOMPARE(prompt.prompt.filter, std::string("PSF Files (*.PSF) |*.PSF||"));
        QVERIFY(prompt.prompt.confirmOverwrite);
        // OK saved the odd set with LBB stored, the unknown control mode kept.
        CPsfRecord back;
        QCOMPARE(ReadPsfFile(back, saved), 0);
        CPsfRecord expected = odd;
        expected.SetMeasMode(0, 'C');
        QVERIFY(back == expected);
        QVERIFY(m_world->line->RequestLog().empty());
    }
};

QTEST_MAIN(TestPsfConfig)
#include "tst_psfconfig.moc"
