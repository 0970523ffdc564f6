#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "SimulatedCommandWorld.h"
#include "dialogs/station/CStationDlg.h"
#include "model/PsfFile.h"
#include "station/SqliteLog.h"

// The station dialog over the simulated controller. The station's worker
// runs in virtual time; the test only touches the controller while the
// station is stopped.
class StationDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatedCommandWorld> m_world;

    std::string File(const char* name) const { return m_dir.filePath(name).toStdString(); }

    void WriteRecipe(const std::string& extra = {}) {
        CPsfRecord psf;
        psf.SetControlMode('b');
        QCOMPARE(WritePsfFile(psf, File("golden.PSF")), 0);
        std::ofstream(File("line1.toml")) << "[station]\npsf = \"golden.PSF\"\npart_number = \"654321\"\n"
                                          << "log = \"line1.sqlite\"\n"
                                          << extra;
    }

    static QPushButton* Button(CStationDlg& dialog, const char* name) {
        return dialog.findChild<QPushButton*>(name);
    }

    void ChooseRecipe(CStationDlg& dialog) {
        m_world->ui.AnswerFile(File("line1.toml"));
        Button(dialog, "recipeButton")->click();
    }

  private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init() {
        m_world = std::make_unique<SimulatedCommandWorld>();
        qputenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8());
        QFile::remove(m_dir.filePath("line1.sqlite"));
    }
    void cleanup() { m_world.reset(); }

    void panelShowsTheUnit_data() {
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("colour");
        QTest::newRow("pass") << "16,16" << "PASS" << "Part number 654321, date code %1"
                              << "Today: 1 passed, 0 failed" << "#1b7a34";
        QTest::newRow("fail") << "16,0" << "FAIL" << "diagnostics: Receiver Error"
                              << "Today: 0 passed, 1 failed" << "#b0201a";
    }

    void panelShowsTheUnit() {
        QFETCH(QString, receiver);
        QFETCH(QString, word);
        QFETCH(QString, reason);
        QFETCH(QString, counts);
        QFETCH(QString, colour);
        WriteRecipe();
        if (receiver == "16,0") m_world->line->Model().receiver = {{16, 0}, {0, 0}};

        CStationDlg dialog(nullptr, 2);
        QVERIFY(!Button(dialog, "startButton")->isEnabled());
        ChooseRecipe(dialog);
        QVERIFY(Button(dialog, "startButton")->isEnabled());
        QSignalSpy shown(&dialog, &CStationDlg::unitShown);
        Button(dialog, "startButton")->click();
        QVERIFY(dialog.Running());
        QVERIFY(!Button(dialog, "recipeButton")->isEnabled());
        QVERIFY(shown.wait(10000));

        QCOMPARE(dialog.PanelWord(), word);
        QCOMPARE(dialog.PanelReason(), reason.contains("%1") ? reason.arg(TodaysDateCode()) : reason);
        QCOMPARE(dialog.findChild<QLabel*>("counts")->text(), counts);
        auto* panel = dialog.findChild<QFrame*>("panel");
        QVERIFY(panel->styleSheet().contains(colour));
        // Readable from across the bench.
        const QFont font = dialog.findChild<QLabel*>("panelWord")->font();
        QVERIFY(font.bold());
        QVERIFY(font.pointSize() >= 48);
        auto* recent = dialog.findChild<QTableWidget*>("recentUnits");
        QCOMPARE(recent->rowCount(), 1);
        QCOMPARE(recent->item(0, 1)->text(), word);

        QSignalSpy stopped(&dialog, &CStationDlg::stopped);
        Button(dialog, "stopButton")->click();
        QVERIFY(stopped.wait(10000));
        QVERIFY(!dialog.Running());
        QVERIFY(Button(dialog, "startButton")->isEnabled());

        // What the panel showed is what the log keeps.
        std::string error;
        LogTarget target;
        target.location = File("line1.sqlite");
        SqliteLog log(target);
        std::vector<UnitRecord> rows;
        QVERIFY2(log.Read({}, rows, error), error.c_str());
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(QString::fromStdString(std::string(ResultText(rows[0].result))).toUpper(), word);
        QCOMPARE(m_world->line->Model().partNumber, word == "PASS" ? 654321u : 123456u);

        // Opened again, the dialog shows today's units from the log.
        CStationDlg again(nullptr, 2);
        ChooseRecipe(again);
        QCOMPARE(again.findChild<QLabel*>("counts")->text(), counts);
        QCOMPARE(again.findChild<QTableWidget*>("recentUnits")->rowCount(), 1);
    }

    void aRecipeThatCannotBeUsedIsRefused() {
        WriteRecipe("colour = \"red\"\n");
        CStationDlg dialog(nullptr, 2);
        ChooseRecipe(dialog);
        const std::vector<std::string> messages = m_world->ui.Messages();
        QCOMPARE(messages.size(), size_t(1));
        QVERIFY2(messages[0].find("line1.toml:5: colour") != std::string::npos, messages[0].c_str());
        QVERIFY(!Button(dialog, "startButton")->isEnabled());
        QVERIFY(dialog.findChild<QLineEdit*>("recipePath")->text().isEmpty());
    }
};

QTEST_MAIN(StationDialogTest)
#include "tst_station.moc"
