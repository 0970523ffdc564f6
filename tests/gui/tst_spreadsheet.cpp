#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "grid/CSpreadSheet.h"

// The grid as the dialogs drive it: 1-based addressing, blocks, cell types,
// locks, the user's selection, and the three notifications.
class TestSpreadSheet : public QObject {
    Q_OBJECT

  private:
    // Opens the list editor of the current cell with a key; nullptr when none opened.
    static QComboBox* OpenList(CSpreadSheet& sheet, Qt::Key key) {
        QTest::keyClick(&sheet, key);
        QComboBox* box = sheet.OpenListEditor();
        if (box) QTest::qWait(20);  // the list comes up once the event loop runs
        return box;
    }

    // A shown 3 x 4 sheet (rows x columns) with the cursor on (1, 1).
    static void Prepare(CSpreadSheet& sheet) {
        sheet.SetColCount(4);
        sheet.SetRowCount(3);
        sheet.resize(500, 300);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        sheet.SetBlock(1, 1, 1, 1);
        sheet.SetAction(CSpreadSheet::kActionActiveCell);
        sheet.setFocus();
    }

    // The same sheet with every cell a centred check box.
    static void PrepareCheckBoxes(CSpreadSheet& sheet) {
        Prepare(sheet);
        sheet.SetBlock(1, 1, 3, 4);
        sheet.SetBlockMode(true);
        sheet.SetCellType(CSpreadSheet::kCellTypeCheckBox);
        sheet.SetCheckBoxCentred(true);
        sheet.SetBlockMode(false);
    }

  private slots:
    void addressedCellAndHeadings() {
        CSpreadSheet sheet;
        sheet.SetColCount(3);
        sheet.SetRowCount(2);
        QCOMPARE(sheet.RowCount(), 2);

        sheet.SetRow(2);
        sheet.SetCol(3);
        sheet.SetText("last");
        QCOMPARE(sheet.item(1, 2)->text(), QString("last"));
        QCOMPARE(sheet.Text(), QString("last"));
        sheet.SetCellText(1, 2, "by method");  // column first
        QCOMPARE(sheet.item(1, 0)->text(), QString("by method"));

        // Row 0 and column 0 are the headings.
        sheet.SetCellText(2, 0, "Channels");
        sheet.SetRow(1);
        sheet.SetCol(0);
        sheet.SetText("1-16");
        QCOMPARE(sheet.horizontalHeaderItem(1)->text(), QString("Channels"));
        QCOMPARE(sheet.verticalHeaderItem(0)->text(), QString("1-16"));
        QCOMPARE(sheet.CellText(2, 0), QString("Channels"));
        QCOMPARE(sheet.Text(), QString("1-16"));

        // Outside the sheet nothing is written and nothing is read.
        sheet.SetCellText(4, 1, "x");
        sheet.SetCellText(1, 3, "x");
        QCOMPARE(sheet.ColCount(), 3);
        QCOMPARE(sheet.RowCount(), 2);
        QCOMPARE(sheet.CellText(4, 1), QString());

        // Shrinking and growing drops the old cells.
        sheet.SetRowCount(0);
        sheet.SetRowCount(2);
        QCOMPARE(sheet.CellText(3, 2), QString());
    }

    void blockModeAppliesToTheWholeBlockOnly() {
        CSpreadSheet sheet;
        sheet.SetColCount(4);
        sheet.SetRowCount(4);
        sheet.SetBlock(3, 3, 2, 2);  // corners in either order
        sheet.SetText("single");
        QCOMPARE(sheet.CellText(3, 3), QString("single"));
        QCOMPARE(sheet.CellText(2, 2), QString());

        sheet.SetBlockMode(true);
        sheet.SetText("B");
        sheet.SetCellType(CSpreadSheet::kCellTypeStaticText);
        sheet.SetBlockMode(false);
        for (int row = 1; row <= 4; ++row)
            for (int col = 1; col <= 4; ++col) {
                const bool inside = row >= 2 && row <= 3 && col >= 2 && col <= 3;
                QCOMPARE(sheet.CellText(col, row), inside ? QString("B") : QString());
                QCOMPARE(sheet.CellTypeAt(col, row), inside ? int(CSpreadSheet::kCellTypeStaticText)
                                                            : int(CSpreadSheet::kCellTypeEdit));
            }

        // A block reaching past the sheet stops at its edge.
        sheet.SetBlock(4, 4, 9, 9);
        sheet.SetBlockMode(true);
        sheet.SetText("edge");
        QCOMPARE(sheet.CellText(4, 4), QString("edge"));
        QCOMPARE(sheet.RowCount(), 4);
    }

    void cellTypesReadAndWriteText() {
        CSpreadSheet sheet;
        sheet.SetColCount(3);
        sheet.SetRowCount(2);

        sheet.SetBlock(1, 1, 1, 1);
        sheet.SetCellType(CSpreadSheet::kCellTypeStaticText);
        sheet.SetText("fixed");
        QVERIFY(!(sheet.item(0, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(sheet.Text(), QString("fixed"));

        // Check boxes: "1" checked, anything else unchecked, read as "1"/"0".
        sheet.SetCellText(2, 1, "1");
        sheet.SetCol(2);
        sheet.SetCellType(CSpreadSheet::kCellTypeCheckBox);
        QCOMPARE(sheet.Text(), QString("1"));  // the text it had becomes the state
        QCOMPARE(sheet.item(0, 1)->checkState(), Qt::Checked);
        sheet.SetText("0");
        QCOMPARE(sheet.Text(), QString("0"));
        sheet.SetText("yes");
        QCOMPARE(sheet.Text(), QString("0"));
        QVERIFY(sheet.item(0, 1)->flags() & Qt::ItemIsUserCheckable);

        // Drop-down lists: tab-separated items, selection from 0, text of the item.
        sheet.SetCol(3);
        sheet.SetCellType(CSpreadSheet::kCellTypeList);
        sheet.SetListItems("Off\tMeas1\tMeas2\t");
        QCOMPARE(sheet.ListItemsAt(3, 1), (QStringList{"Off", "Meas1", "Meas2"}));
        QCOMPARE(sheet.ListSelection(), -1);
        QCOMPARE(sheet.Text(), QString());
        sheet.SetListSelection(2);
        QCOMPARE(sheet.ListSelection(), 2);
        QCOMPARE(sheet.Text(), QString("Meas2"));
        QCOMPARE(sheet.item(0, 2)->text(), QString("Meas2"));  // what the cell shows
        sheet.SetText("Meas1");
        QCOMPARE(sheet.ListSelection(), 1);
        sheet.SetListSelection(7);
        QCOMPARE(sheet.ListSelection(), -1);
        // New items keep a selection that still fits.
        sheet.SetListSelection(1);
        sheet.SetListItems("A\tB");
        QCOMPARE(sheet.Text(), QString("B"));
        sheet.SetListItems("A");
        QCOMPARE(sheet.ListSelection(), -1);
        QCOMPARE(sheet.item(0, 2)->text(), QString());

        // Changing the type away from a list leaves a plain text cell.
        sheet.SetCellType(CSpreadSheet::kCellTypeEdit);
        QCOMPARE(sheet.CellTypeAt(3, 1), int(CSpreadSheet::kCellTypeEdit));
        QVERIFY(sheet.item(0, 2)->flags() & Qt::ItemIsEditable);
    }

    void lockStopsEditingAndShowsTheLockedColour() {
        CSpreadSheet sheet;
        sheet.SetColCount(3);
        sheet.SetRowCount(1);
        sheet.SetBlock(1, 2, 1, 2);
        sheet.SetCellType(CSpreadSheet::kCellTypeList);
        sheet.SetCol(3);
        sheet.SetCellType(CSpreadSheet::kCellTypeCheckBox);

        sheet.SetBlock(1, 1, 1, 3);
        sheet.SetBlockMode(true);
        sheet.SetLock(true);
        sheet.SetBlockMode(false);
        QVERIFY(sheet.IsLocked(1, 1) && sheet.IsLocked(2, 1) && sheet.IsLocked(3, 1));
        QVERIFY(!(sheet.item(0, 0)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(sheet.item(0, 1)->flags() & Qt::ItemIsEditable));  // no drop-down opens
        QVERIFY(!(sheet.item(0, 2)->flags() & Qt::ItemIsUserCheckable));
        // No colour until the owner sets one; then every locked cell shows it.
        QCOMPARE(sheet.item(0, 0)->background().style(), Qt::NoBrush);
        sheet.SetLockedCellColour(QColor(192, 192, 192));
        QCOMPARE(sheet.item(0, 0)->background().color(), QColor(192, 192, 192));
        QCOMPARE(sheet.item(0, 2)->background().color(), QColor(192, 192, 192));

        // Unlocking one cell of the block gives it back.
        sheet.SetCol(1);
        sheet.SetLock(false);
        QVERIFY(sheet.item(0, 0)->flags() & Qt::ItemIsEditable);
        QCOMPARE(sheet.item(0, 0)->background().style(), Qt::NoBrush);
        QVERIFY(sheet.IsLocked(2, 1));
    }

    void fontNameAndRedraw() {
        CSpreadSheet sheet;
        sheet.SetColCount(2);
        sheet.SetRowCount(2);
        sheet.SetBlock(1, 1, 2, 1);
        sheet.SetBlockMode(true);
        sheet.SetFontName("Courier New");
        sheet.SetBlockMode(false);
        QCOMPARE(sheet.item(0, 0)->font().family(), QString("Courier New"));
        QCOMPARE(sheet.item(1, 0)->font().family(), QString("Courier New"));
        QVERIFY(!sheet.item(0, 1));

        sheet.SetRedraw(false);
        QVERIFY(!sheet.updatesEnabled());
        sheet.SetCellText(2, 2, "filled while hidden");
        sheet.SetRedraw(true);
        QVERIFY(sheet.updatesEnabled());
        QCOMPARE(sheet.CellText(2, 2), QString("filled while hidden"));
    }

    void selectedBlocks() {
        CSpreadSheet sheet;
        sheet.SetColCount(16);
        sheet.SetRowCount(3);
        sheet.SelectBlock(1, 1, 3, 16);
        QCOMPARE(sheet.SelectedBlockCount(), 1);
        QCOMPARE(sheet.selectedRanges().first().rowCount(), 3);
        QCOMPARE(sheet.selectedRanges().first().columnCount(), 16);

        // Two separate ranges, as a user makes them with Ctrl.
        sheet.clearSelection();
        sheet.setRangeSelected(QTableWidgetSelectionRange(0, 2, 1, 3), true);
        sheet.setRangeSelected(QTableWidgetSelectionRange(2, 10, 2, 10), true);
        sheet.SetAction(CSpreadSheet::kActionSelectedBlocks);
        QCOMPARE(sheet.SelectedBlockCount(), 2);
        sheet.SetSelectedBlockIndex(1);
        QCOMPARE(sheet.Row(), 3);
        QCOMPARE(sheet.Col(), 11);
        QCOMPARE(sheet.LastRow(), 3);
        QCOMPARE(sheet.LastCol(), 11);
        sheet.SetSelectedBlockIndex(0);
        QCOMPARE(sheet.Row(), 1);
        QCOMPARE(sheet.Col(), 3);
        QCOMPARE(sheet.LastRow(), 2);
        QCOMPARE(sheet.LastCol(), 4);
        sheet.SetSelectedBlockIndex(5);  // no such block: the block stays
        QCOMPARE(sheet.Col(), 3);

        // Filling the selected block as the blank editor does.
        sheet.SetBlockMode(true);
        sheet.SetText("1");
        sheet.SetBlockMode(false);
        QCOMPARE(sheet.CellText(3, 1), QString("1"));
        QCOMPARE(sheet.CellText(4, 2), QString("1"));
        QCOMPARE(sheet.CellText(5, 2), QString());

        // The block action makes the block the selection, headings clipped.
        sheet.SetBlock(0, 0, 2, 2);
        sheet.SetAction(CSpreadSheet::kActionSelectBlock);
        QCOMPARE(sheet.SelectedBlockCount(), 1);
        QCOMPARE(sheet.selectedRanges().first().topRow(), 0);
        QCOMPARE(sheet.selectedRanges().first().leftColumn(), 0);
        QCOMPARE(sheet.selectedRanges().first().bottomRow(), 1);
    }

    void leaveCellReportsTheMoveAndCanRefuseIt() {
        CSpreadSheet sheet;
        Prepare(sheet);
        QList<QList<int>> moves;
        bool refuse = false;
        connect(&sheet, &CSpreadSheet::leaveCell,
                [&](int col, int row, int newCol, int newRow, bool& cancel) {
                    moves.append({col, row, newCol, newRow});
                    cancel = refuse;
                });

        QTest::keyClick(&sheet, Qt::Key_Right);
        QCOMPARE(moves.size(), 1);
        QCOMPARE(moves.last(), (QList<int>{1, 1, 2, 1}));
        QCOMPARE(sheet.currentColumn(), 1);

        refuse = true;
        QTest::keyClick(&sheet, Qt::Key_Down);
        QCOMPARE(moves.last(), (QList<int>{2, 1, 2, 2}));
        QCOMPARE(sheet.currentRow(), 0);
        QCOMPARE(sheet.currentColumn(), 1);

        // A refused click neither moves the cursor nor the selection.
        const QPoint far = sheet.visualRect(sheet.model()->index(2, 3)).center();
        QTest::mouseClick(sheet.viewport(), Qt::LeftButton, {}, far);
        QCOMPARE(moves.last(), (QList<int>{2, 1, 4, 3}));
        QCOMPARE(sheet.currentRow(), 0);
        QCOMPARE(sheet.currentColumn(), 1);
        QVERIFY(!sheet.selectionModel()->isSelected(sheet.model()->index(2, 3)));

        // Programmatic filling and the active-cell action raise nothing.
        refuse = false;
        const int before = int(moves.size());
        sheet.SetCellText(3, 3, "x");
        sheet.SetBlock(3, 3, 3, 3);
        sheet.SetAction(CSpreadSheet::kActionActiveCell);
        QCOMPARE(sheet.currentRow(), 2);
        QCOMPARE(int(moves.size()), before);
    }

    void leaveCellSeesTheCommittedEdit() {
        CSpreadSheet sheet;
        Prepare(sheet);
        QString seen;
        connect(&sheet, &CSpreadSheet::leaveCell,
                [&](int col, int row, int, int, bool&) { seen = sheet.CellText(col, row); });
        QTest::keyClick(&sheet, Qt::Key_5);  // typing opens the editor
        QLineEdit* editor = sheet.findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, "00");
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(seen, QString("500"));
        QCOMPARE(sheet.currentColumn(), 1);
    }

    void listCellChangedOnlyForTheUser() {
        CSpreadSheet sheet;
        Prepare(sheet);
        sheet.SetBlock(2, 1, 2, 1);
        sheet.SetCellType(CSpreadSheet::kCellTypeList);
        sheet.SetListItems("Off\tMeas1\tMeas2");
        QSignalSpy spy(&sheet, &CSpreadSheet::listCellChanged);

        sheet.SetListSelection(0);
        QCOMPARE(spy.count(), 0);

        // F2 opens the list; Down and Enter choose the next item.
        QTest::keyClick(&sheet, Qt::Key_Down);
        QCOMPARE(sheet.currentRow(), 1);
        QCOMPARE(spy.count(), 0);  // moving onto the list changes nothing
        QComboBox* box = OpenList(sheet, Qt::Key_F2);
        QVERIFY(box);
        QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        QTRY_VERIFY(!sheet.OpenListEditor());
        QCOMPARE(spy.count(), 1);
        const QList<QVariant> args = spy.takeFirst();
        QCOMPARE(args.at(0).toInt(), 1);
        QCOMPARE(args.at(1).toInt(), 2);
        QCOMPARE(args.at(2).toInt(), 1);
        QCOMPARE(args.at(3).toBool(), true);
        sheet.SetBlock(2, 1, 2, 1);
        QCOMPARE(sheet.ListSelection(), 1);
        QCOMPARE(sheet.Text(), QString("Meas1"));

        // Choosing the item already chosen reports no change.
        box = OpenList(sheet, Qt::Key_Return);
        QVERIFY(box);
        QTest::keyClick(box->view(), Qt::Key_Return);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(3).toBool(), false);
    }

    // Arrows move the cursor and never a value; the list opens on F2, Enter,
    // a double click or typing, and closes on Escape without a change.
    void listCellsOpenOnlyWhenAsked_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("F2") << int(Qt::Key_F2);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("typing") << int(Qt::Key_M);
        QTest::newRow("double click") << 0;
    }

    void listCellsOpenOnlyWhenAsked() {
        QFETCH(int, how);
        CSpreadSheet sheet;
        Prepare(sheet);
        sheet.SetBlock(1, 1, 3, 1);
        sheet.SetBlockMode(true);
        sheet.SetCellType(CSpreadSheet::kCellTypeList);
        sheet.SetListItems("Off\tMeas1\tMeas2");
        sheet.SetListSelection(0);
        sheet.SetBlockMode(false);
        QSignalSpy spy(&sheet, &CSpreadSheet::listCellChanged);

        for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left})
            QTest::keyClick(&sheet, Qt::Key(key));
        QCOMPARE(sheet.currentRow(), 1);
        QCOMPARE(sheet.currentColumn(), 0);
        QVERIFY(!sheet.OpenListEditor());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(sheet.CellText(1, 1) + sheet.CellText(1, 2) + sheet.CellText(1, 3), QString("OffOffOff"));

        if (how == Qt::Key_M) {
            // The typed letter picks the first item that starts with it.
            QTest::keyClick(&sheet, Qt::Key_M, {}, 10);
            QTRY_VERIFY(!sheet.OpenListEditor());
            QCOMPARE(sheet.CellText(1, 2), QString("Meas1"));
            QCOMPARE(spy.count(), 1);
            return;
        }
        QComboBox* box = nullptr;
        if (how == 0) {
            const QPoint centre = sheet.visualRect(sheet.model()->index(1, 0)).center();
            // A double click is a click and then a second press.
            QTest::mouseClick(sheet.viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(sheet.viewport(), Qt::LeftButton, {}, centre);
            box = sheet.OpenListEditor();
        } else {
            box = OpenList(sheet, Qt::Key(how));
        }
        QVERIFY(box);
        QCOMPARE(box->count(), 3);
        QTRY_VERIFY(box->view()->isVisible());  // the list is up at once
        QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet.OpenListEditor());
        QCOMPARE(sheet.CellText(1, 2), QString("Off"));
        QCOMPARE(spy.count(), 0);
        QVERIFY(sheet.hasFocus());
    }

    // A click on a check box ticks it and moves the cursor there, so the
    // next Space toggles that box again and no other.
    void clickOnACheckBoxMovesTheCursor() {
        CSpreadSheet sheet;
        PrepareCheckBoxes(sheet);
        QList<QList<int>> moves;
        connect(&sheet, &CSpreadSheet::leaveCell,
                [&](int col, int row, int newCol, int newRow, bool&) { moves.append({col, row, newCol, newRow}); });

        const QPoint box = sheet.visualRect(sheet.model()->index(2, 3)).center();
        QTest::mouseClick(sheet.viewport(), Qt::LeftButton, {}, box);
        QCOMPARE(sheet.CellText(4, 3), QString("1"));
        QCOMPARE(sheet.currentRow(), 2);
        QCOMPARE(sheet.currentColumn(), 3);
        QCOMPARE(moves, (QList<QList<int>>{{1, 1, 4, 3}}));

        QTest::keyClick(&sheet, Qt::Key_Space);
        QCOMPARE(sheet.CellText(4, 3), QString("0"));
        QCOMPARE(sheet.CellText(1, 1), QString("0"));
        QTest::keyClick(&sheet, Qt::Key_Left);
        QTest::keyClick(&sheet, Qt::Key_Space);
        QCOMPARE(sheet.CellText(3, 3), QString("1"));
    }

    void advanceAtTheEdgesOfTheSheet() {
        CSpreadSheet sheet;
        Prepare(sheet);
        QSignalSpy spy(&sheet, &CSpreadSheet::advance);

        QTest::keyClick(&sheet, Qt::Key_Backtab);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toBool(), false);

        QTest::keyClick(&sheet, Qt::Key_Tab);  // inside the sheet Tab moves on
        QCOMPARE(spy.count(), 0);
        QCOMPARE(sheet.currentColumn(), 1);

        sheet.SetBlock(3, 4, 3, 4);
        sheet.SetAction(CSpreadSheet::kActionActiveCell);
        QTest::keyClick(&sheet, Qt::Key_Tab);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toBool(), true);
        QCOMPARE(sheet.currentRow(), 2);
        QCOMPARE(sheet.currentColumn(), 3);

        // Tab out of an edit on the last cell commits it and advances too.
        QTest::keyClicks(&sheet, "7");
        QLineEdit* editor = sheet.findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(sheet.CellText(4, 3), QString("7"));
    }

    void centredCheckBoxToggledByTheUserUnlessLocked() {
        CSpreadSheet sheet;
        PrepareCheckBoxes(sheet);

        QTest::keyClick(&sheet, Qt::Key_Space);
        QCOMPARE(sheet.CellText(1, 1), QString("1"));

        const QPoint centre = sheet.visualItemRect(sheet.item(1, 1)).center();
        QTest::mouseClick(sheet.viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(sheet.CellText(2, 2), QString("1"));
        // A click beside the centred box does not toggle it.
        const QRect cell = sheet.visualItemRect(sheet.item(1, 2));
        QTest::mouseClick(sheet.viewport(), Qt::LeftButton, {}, cell.topLeft() + QPoint(2, 2));
        QCOMPARE(sheet.CellText(3, 2), QString("0"));

        sheet.SetBlock(1, 1, 1, 1);
        sheet.SetLock(true);
        sheet.SetAction(CSpreadSheet::kActionActiveCell);
        QTest::keyClick(&sheet, Qt::Key_Space);
        QCOMPARE(sheet.CellText(1, 1), QString("1"));
    }
};

QTEST_MAIN(TestSpreadSheet)
#include "tst_spreadsheet.moc"
