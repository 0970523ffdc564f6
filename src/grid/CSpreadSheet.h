#pragma once

#include <QColor>
#include <QString>
#include <QTableWidget>

class QComboBox;

// CSpreadSheet: the table every dialog shows its data in.
//
// Dialogs talk to it through addressing roles rather than Qt's item API:
// rows and columns count from 1, and row 0 / column 0 address the column and
// row headings. Row() and Col() choose the cell that text, type, lock and font
// calls work on; with block mode on those calls apply to the whole block
// (Row, Col) to (LastRow, LastCol) instead. The addressed cell is not the
// user's cursor: filling a table never moves the cursor and never raises a
// notification.
//
// Every put takes effect at once. With redraw off nothing is painted until
// redraw is switched on again, so bulk fills show as one change.
//
// Notifications (user actions only):
//  - leaveCell: the cursor is about to leave (col, row) for (newCol, newRow);
//    a handler that sets cancel keeps the cursor where it was. An edit under
//    way is committed before the signal, so the handler reads the new text.
//  - listCellChanged: the user picked an item in a drop-down list cell;
//    changed is true when the selection differs from the one before.
//  - advance: Tab on the last cell (true) or Shift+Tab on the first (false),
//    for the owner to move the keyboard focus to its next or previous control.
class CSpreadSheet : public QTableWidget {
    Q_OBJECT

  public:
    enum CellType {
        kCellTypeEdit = 1,  // the default: plain editable text
        kCellTypeStaticText = 5,
        kCellTypeList = 8,       // drop-down list; see SetListItems
        kCellTypeCheckBox = 10,  // text "1" checked, "0" not
    };
    enum Action {
        kActionActiveCell = 0,       // move the cursor to (Row, Col)
        kActionSelectBlock = 2,      // make the block the user's selection
        kActionSelectedBlocks = 18,  // accepted before reading the selected blocks
    };

    explicit CSpreadSheet(QWidget* parent = nullptr);

    // Geometry. Columns and headings are the owner's initial set-up.
    void SetRowCount(int rows);
    int RowCount() const { return rowCount(); }
    void SetColCount(int cols);
    int ColCount() const { return columnCount(); }
    void SetColumnHeadings(const QStringList& headings);

    // The addressed cell and the block.
    void SetRow(int row) { m_row = row; }
    int Row() const { return m_row; }
    void SetCol(int col) { m_col = col; }
    int Col() const { return m_col; }
    void SetLastRow(int row) { m_lastRow = row; }
    int LastRow() const { return m_lastRow; }
    void SetLastCol(int col) { m_lastCol = col; }
    int LastCol() const { return m_lastCol; }
    void SetBlock(int row, int col, int lastRow, int lastCol);
    void SetBlockMode(bool on) { m_blockMode = on; }
    bool BlockMode() const { return m_blockMode; }

    // Cell properties of the addressed cell or block.
    void SetCellType(int type);
    int CellTypeAt(int col, int row) const;
    void SetLock(bool locked);
    bool IsLocked(int col, int row) const;
    void SetLockedCellColour(const QColor& colour);
    // The colour as set; a dark palette shows it as a shade of its own base.
    QColor LockedCellColour() const { return m_lockedColour; }
    void SetFontName(const QString& family);
    void SetCheckBoxCentred(bool centred);

    // Drop-down list cells: items separated by tab characters; the selection
    // is an item index from 0, -1 for none.
    void SetListItems(const QString& tabSeparated);
    void SetListSelection(int index);
    int ListSelection() const;

    // Text of the addressed cell (a list cell gives its selected item, a
    // check box "1" or "0"); with block mode on, written into every cell of
    // the block.
    void SetText(const QString& text);
    QString Text() const;
    void SetCellText(int col, int row, const QString& text);
    QString CellText(int col, int row) const;

    // The user's selection.
    void SelectBlock(int row, int col, int lastRow, int lastCol);
    void SetAction(int action);
    int SelectedBlockCount() const;
    // Makes selected block i (from 0) the block: Row, Col, LastRow, LastCol.
    void SetSelectedBlockIndex(int index);

    void SetRedraw(bool on);
    bool Redraw() const { return m_redraw; }

    // The items a list cell offers, and the drop-down of the current cell
    // while its editor is open (nullptr otherwise).
    QStringList ListItemsAt(int col, int row) const;
    QComboBox* OpenListEditor() const;

    // Moves the keyboard focus out of the sheet to the next (or previous)
    // control of its window: what an owner connects to advance.
    void FocusNeighbour(bool next);

  signals:
    void leaveCell(int col, int row, int newCol, int newRow, bool& cancel);
    void listCellChanged(int col, int row, short selection, bool changed);
    void advance(bool next);

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    template <typename Fn>
    void ForEachAddressed(Fn fn);
    bool IsCell(int col, int row) const;
    QTableWidgetItem* CellItem(int col, int row);
    const QTableWidgetItem* CellItemIfAny(int col, int row) const;
    void ApplyType(int col, int row, int type);
    void ApplyLook(int col, int row);
    void SelectListItem(int col, int row, int index);
    void WriteText(int col, int row, const QString& text);
    QString ReadText(int col, int row) const;
    void ListChosen(const QModelIndex& index, int item);
    // The locked-cell colour as the present palette shows it.
    QColor LockedShade() const;
    bool IsLastCell(const QModelIndex& index) const;
    bool IsFirstCell(const QModelIndex& index) const;

    int m_row = 1;
    int m_col = 1;
    int m_lastRow = 1;
    int m_lastCol = 1;
    bool m_blockMode = false;
    bool m_redraw = true;
    QColor m_lockedColour;  // invalid: locked cells keep the normal background
    bool m_internalMove = false;
    bool m_moveRefused = false;
};
