#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "dialogs/psf/CDiscreteOutputsDlg.h"
#include "GridUser.h"
#include "grid/CSpreadSheet.h"
#include "support/ScriptedUi.h"

namespace {

QStringList Values(CSpreadSheet* grid, int row) {
    QStringList values;
    for (int col = 2; col <= 5; ++col) values << grid->CellText(col, row);
    return values;
}

QString Locks(CSpreadSheet* grid, int row) {
    QString locks;
    for (int col = 2; col <= 5; ++col) locks += grid->IsLocked(col, row) ? 'L' : '-';
    return locks;
}

// The user moves the cursor into a cell, types a text and moves on: the
// grid raises leaveCell for the cell left.
void TypeInto(CSpreadSheet* grid, int col, int row, const QString& text) {
    grid->setCurrentCell(row - 1, col - 1);
    grid->SetCellText(col, row, text);
    grid->setCurrentCell(row - 1, col == 5 ? 0 : col);
}

// Picks an item of a row's source list as the user would.
void PickSource(CSpreadSheet* grid, int row, int index) { QVERIFY(ChooseListItem(grid, 1, row, index)); }

}  // namespace

class TestDiscreteOutputs : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<ScriptedUi> m_ui;
    std::unique_ptr<ScopedUi> m_scopedUi;
    std::unique_ptr<CDiscreteOutputsDlg> m_dialog;

    CSpreadSheet* Grid() { return m_dialog->Grid(); }

    void Open(const DiscreteOutput (&outputs)[kDiscreteOutputCount], int scanCount) {
        m_dialog = std::make_unique<CDiscreteOutputsDlg>(nullptr);
        m_dialog->SetOutputs(outputs);
        m_dialog->SetScanCount(scanCount);
        m_dialog->show();
    }

    int Beeps() const { return int(m_ui->CallsOf(ScriptedUi::Kind::Beep).size()); }

  private slots:
    void init() {
        m_ui = std::make_unique<ScriptedUi>();
        m_scopedUi = std::make_unique<ScopedUi>(*m_ui);
    }

    void cleanup() {
        m_dialog.reset();
        m_scopedUi.reset();
        m_ui.reset();
    }

    void openingShowsOutputsLocksAndScanCount() {
        DiscreteOutput outputs[kDiscreteOutputCount];
        CPsfRecord().GetOutputs(outputs);
        outputs[0] = {'y', 10, 20, 5, 25};
        outputs[1] = {'Z', 1, 384, 0, 385};
        outputs[2] = {'w', 7, 7, 7, 7};   // Alarm cannot be shown on outputs 1 to 15
        outputs[3] = {'q', 3, 4, 2, 5};   // in no table: shown as Off
        outputs[15] = {'v', 100, 1, 0, 2};
        Open(outputs, 4);

        QCOMPARE(m_dialog->windowTitle(), QString("Edit Discrete Outputs"));
        QCOMPARE(Grid()->CellText(0, 1), QString("Output #1"));
        QCOMPARE(Grid()->CellText(0, 16), QString("Output #16"));
        QStringList headings;
        for (int col = 1; col <= 5; ++col) headings << Grid()->CellText(col, 0);
        QCOMPARE(headings, (QStringList{"Measurement", "Low", "High", "Low", "High"}));
        QCOMPARE(Grid()->ListItemsAt(1, 15).size(), 5);
        QCOMPARE(Grid()->ListItemsAt(1, 16).size(), 7);
        QCOMPARE(Grid()->ListItemsAt(1, 16).at(6), QString("Trigger"));
        QCOMPARE(Grid()->LockedCellColour(), QColor(192, 192, 192));

        QCOMPARE(Grid()->CellText(1, 1), QString("Meas1"));
        QCOMPARE(Values(Grid(), 1), (QStringList{"10", "20", "5", "25"}));
        QCOMPARE(Locks(Grid(), 1), QString("----"));
        QCOMPARE(Grid()->CellText(1, 2), QString("Meas 2 Inverted"));
        QCOMPARE(Grid()->CellText(1, 3), QString(""));
        QCOMPARE(Locks(Grid(), 3), QString("LLLL"));
        QCOMPARE(Grid()->CellText(1, 4), QString("Off"));
        QCOMPARE(Locks(Grid(), 5), QString("LLLL"));
        QCOMPARE(Grid()->CellText(1, 16), QString("Trigger"));
        QCOMPARE(Locks(Grid(), 16), QString("-LLL"));
        QCOMPARE(m_dialog->findChild<QComboBox*>("scanCountList")->currentText(), QString("4"));

        // OK reads the grid back; the Alarm nobody could see stays Alarm.
        m_dialog->findChild<QPushButton*>("okButton")->click();
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        DiscreteOutput back[kDiscreteOutputCount];
        m_dialog->GetOutputs(back);
        QCOMPARE(back[2].source, int32_t('w'));
        QCOMPARE(back[3].source, int32_t('x'));
        QCOMPARE(back[3].setPointHigh, uint16_t(4));
        QCOMPARE(back[15].setPointLow, uint16_t(100));
        QCOMPARE(m_dialog->ScanCount(), 4);
        QCOMPARE(Beeps(), 0);
    }

    // Up and Down in the Measurement column move between outputs and change
    // no source; a wider dialog gives its columns the room.
    void arrowsMoveAndTheColumnsGrowWithTheDialog() {
        DiscreteOutput outputs[kDiscreteOutputCount];
        CPsfRecord().GetOutputs(outputs);
        outputs[0].source = 'y';
        Open(outputs, 1);
        CSpreadSheet* grid = Grid();
        QStringList before;
        for (int row = 1; row <= kDiscreteOutputCount; ++row) before << grid->CellText(1, row);
        grid->setFocus();
        grid->setCurrentCell(0, 0);
        for (int i = 0; i < 5; ++i) QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(grid->currentRow(), 4);
        QCOMPARE(grid->currentColumn(), 0);
        QStringList after;
        for (int row = 1; row <= kDiscreteOutputCount; ++row) after << grid->CellText(1, row);
        QCOMPARE(after, before);
        QVERIFY(!grid->OpenListEditor());

        const int measurement = grid->columnWidth(0), low = grid->columnWidth(1);
        m_dialog->resize(m_dialog->width() + 300, m_dialog->height());
        QCoreApplication::processEvents();
        QVERIFY(grid->columnWidth(0) > measurement);
        QVERIFY(grid->columnWidth(1) > low);
        QCOMPARE(m_dialog->findChild<QLabel*>("setPointCaption")->width(), grid->columnWidth(1) + grid->columnWidth(2));
    }

    // The value rules as the user meets them, one beep per correction.
    void leavingACellAppliesItsRule_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("beeps");
        QTest::newRow("A pushes B and D") << int('y') << 2 << "30" << QStringList{"30", "30", "5", "31"} << 1;
        QTest::newRow("A to 0") << int('y') << 2 << "0" << QStringList{"1", "20", "0", "25"} << 1;
        QTest::newRow("D above range") << int('y') << 5 << "500" << QStringList{"10", "20", "5", "385"} << 1;
        QTest::newRow("D to 1") << int('y') << 5 << "1" << QStringList{"1", "1", "0", "2"} << 1;
        QTest::newRow("C above range") << int('y') << 4 << "400" << QStringList{"384", "384", "383", "385"} << 1;
        QTest::newRow("trigger A in range") << int('v') << 2 << "300" << QStringList{"300", "20", "5", "25"} << 0;
        QTest::newRow("trigger A to 0") << int('v') << 2 << "0" << QStringList{"1", "20", "5", "25"} << 1;
        QTest::newRow("-1 wraps") << int('y') << 2 << "-1" << QStringList{"384", "384", "5", "385"} << 1;
        QTest::newRow("70000 wraps") << int('y') << 3 << "70000" << QStringList{"10", "384", "5", "385"} << 1;
        QTest::newRow("text reads 0") << int('y') << 3 << "abc" << QStringList{"1", "1", "0", "25"} << 1;
        QTest::newRow("consistent") << int('y') << 4 << "9" << QStringList{"10", "20", "9", "25"} << 0;
    }

    void leavingACellAppliesItsRule() {
        QFETCH(int, source);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QStringList, values);
        QFETCH(int, beeps);
        DiscreteOutput outputs[kDiscreteOutputCount];
        outputs[15] = {source, 10, 20, 5, 25};
        Open(outputs, 1);
        TypeInto(Grid(), column, 16, typed);
        QCOMPARE(Values(Grid(), 16), values);
        QCOMPARE(Beeps(), beeps);
    }

    // The cursor passes over the grey cells of outputs that do not use them:
    // a trigger's set point must survive it, and nothing beeps.
    void passingOverALockedCellCorrectsNothing_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<int>("column");
        QTest::newRow("trigger, set point high") << int('v') << QStringList{"300", "20", "5", "25"} << 3;
        QTest::newRow("trigger, hysteresis low") << int('v') << QStringList{"3", "20", "5", "25"} << 4;
        QTest::newRow("trigger, hysteresis high") << int('v') << QStringList{"300", "1", "0", "1"} << 5;
        QTest::newRow("alarm") << int('w') << QStringList{"7", "7", "7", "7"} << 2;
        QTest::newRow("off") << int('x') << QStringList{"7", "7", "7", "7"} << 5;
    }

    void passingOverALockedCellCorrectsNothing() {
        QFETCH(int, source);
        QFETCH(QStringList, values);
        QFETCH(int, column);
        DiscreteOutput outputs[kDiscreteOutputCount];
        outputs[15] = {source, uint16_t(values[0].toUInt()), uint16_t(values[1].toUInt()),
                       uint16_t(values[2].toUInt()), uint16_t(values[3].toUInt())};
        Open(outputs, 1);
        QVERIFY(Grid()->IsLocked(column, 16));
        Grid()->setCurrentCell(15, column - 1);
        Grid()->setCurrentCell(15, 0);
        QCOMPARE(Values(Grid(), 16), values);
        QCOMPARE(Beeps(), 0);
    }

    void sourceChangeRelocksTheRowAndKeepsItsValues() {
        DiscreteOutput outputs[kDiscreteOutputCount];
        outputs[4] = {'y', 10, 20, 5, 25};
        Open(outputs, 1);
        QCOMPARE(Locks(Grid(), 5), QString("----"));
        PickSource(Grid(), 5, 0);  // Off
        QCOMPARE(Locks(Grid(), 5), QString("LLLL"));
        QCOMPARE(Values(Grid(), 5), (QStringList{"10", "20", "5", "25"}));
        PickSource(Grid(), 16, 6);  // Trigger
        QCOMPARE(Locks(Grid(), 16), QString("-LLL"));
        PickSource(Grid(), 16, 2);
        QCOMPARE(Locks(Grid(), 16), QString("----"));
        QCOMPARE(Beeps(), 0);

        m_dialog->findChild<QPushButton*>("okButton")->click();
        DiscreteOutput back[kDiscreteOutputCount];
        m_dialog->GetOutputs(back);
        QCOMPARE(back[4].source, int32_t('x'));
        QCOMPARE(back[4].hysteresisHigh, uint16_t(25));
        QCOMPARE(back[15].source, int32_t('z'));
    }

    void enterAndEscapeLeaveItOpenAndCancelKeepsNothing() {
        DiscreteOutput outputs[kDiscreteOutputCount];
        Open(outputs, 0);
        QComboBox* scans = m_dialog->findChild<QComboBox*>("scanCountList");
        QCOMPARE(scans->currentIndex(), -1);
        auto* ok = m_dialog->findChild<QPushButton*>("okButton");
        auto* cancel = m_dialog->findChild<QPushButton*>("cancelButton");
        QVERIFY(!ok->isDefault() && !cancel->isDefault());
        for (QWidget* focus : std::initializer_list<QWidget*>{Grid(), ok, scans}) {
            focus->setFocus();
            for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(focus, Qt::Key(key));
        }
        m_dialog->close();
        QVERIFY(m_dialog->isVisible());

        // No scan count chosen: the one handed in stays.
        ok->click();
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->ScanCount(), 0);

        Open(outputs, 3);
        m_dialog->findChild<QComboBox*>("scanCountList")->setCurrentIndex(8);
        TypeInto(Grid(), 2, 16, "44");
        m_dialog->findChild<QPushButton*>("cancelButton")->click();
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
        QCOMPARE(m_dialog->ScanCount(), 3);
        DiscreteOutput back[kDiscreteOutputCount];
        m_dialog->GetOutputs(back);
        QCOMPARE(back[15].setPointLow, uint16_t(0));
    }
};

QTEST_MAIN(TestDiscreteOutputs)
#include "tst_discreteoutputs.moc"
