#include "grid/CSpreadSheet.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <algorithm>

#include "grid/GridItemDelegate.h"

namespace {

constexpr int kTypeRole = Qt::UserRole + 1;
constexpr int kLockRole = Qt::UserRole + 2;
constexpr int kListItemsRole = Qt::UserRole + 3;
constexpr int kListSelectionRole = Qt::UserRole + 4;
constexpr int kCentredRole = GridItemDelegate::kCentredCheckRole;

constexpr const char* kColProperty = "spreadSheetCol";
constexpr const char* kRowProperty = "spreadSheetRow";

QStringList SplitListItems(const QString& tabSeparated) {
    QStringList items = tabSeparated.split(QLatin1Char('\t'));
    // A list written with a closing tab has no empty last item.
    if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
    return items;
}

}  // namespace

CSpreadSheet::CSpreadSheet(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new GridItemDelegate(this));
    // Cells the user fills in by typing get the flags of a plain edit cell.
    auto* prototype = new QTableWidgetItem;
    prototype->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    setItemPrototype(prototype);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(true);
}

void CSpreadSheet::SetRowCount(int rows) { setRowCount(std::max(rows, 0)); }

void CSpreadSheet::SetColCount(int cols) { setColumnCount(std::max(cols, 0)); }

void CSpreadSheet::SetColumnHeadings(const QStringList& headings) {
    if (headings.size() > columnCount()) setColumnCount(int(headings.size()));
    setHorizontalHeaderLabels(headings);
}

void CSpreadSheet::SetBlock(int row, int col, int lastRow, int lastCol) {
    m_row = row;
    m_col = col;
    m_lastRow = lastRow;
    m_lastCol = lastCol;
}

bool CSpreadSheet::IsCell(int col, int row) const {
    return row >= 1 && row <= rowCount() && col >= 1 && col <= columnCount();
}

template <typename Fn>
void CSpreadSheet::ForEachAddressed(Fn fn) {
    if (!m_blockMode) {
        fn(m_col, m_row);
        return;
    }
    // The block may be given corner to corner in either order; headings
    // (row or column 0) are part of it, anything beyond the sheet is not.
    const int top = std::max(std::min(m_row, m_lastRow), 0);
    const int bottom = std::min(std::max(m_row, m_lastRow), rowCount());
    const int left = std::max(std::min(m_col, m_lastCol), 0);
    const int right = std::min(std::max(m_col, m_lastCol), columnCount());
    for (int row = top; row <= bottom; ++row)
        for (int col = left; col <= right; ++col) fn(col, row);
}

QTableWidgetItem* CSpreadSheet::CellItem(int col, int row) {
    QTableWidgetItem* cell = item(row - 1, col - 1);
    if (!cell) {
        cell = itemPrototype()->clone();
        setItem(row - 1, col - 1, cell);
    }
    return cell;
}

const QTableWidgetItem* CSpreadSheet::CellItemIfAny(int col, int row) const {
    return IsCell(col, row) ? item(row - 1, col - 1) : nullptr;
}

int CSpreadSheet::CellTypeAt(int col, int row) const {
    const QTableWidgetItem* cell = CellItemIfAny(col, row);
    const QVariant type = cell ? cell->data(kTypeRole) : QVariant();
    return type.isValid() ? type.toInt() : kCellTypeEdit;
}

bool CSpreadSheet::IsLocked(int col, int row) const {
    const QTableWidgetItem* cell = CellItemIfAny(col, row);
    return cell && cell->data(kLockRole).toBool();
}

QComboBox* CSpreadSheet::ListBoxAt(int col, int row) const {
    if (!IsCell(col, row)) return nullptr;
    return qobject_cast<QComboBox*>(cellWidget(row - 1, col - 1));
}

void CSpreadSheet::SetCellType(int type) {
    ForEachAddressed([&](int col, int row) {
        if (IsCell(col, row)) ApplyType(col, row, type);
    });
}

void CSpreadSheet::ApplyType(int col, int row, int type) {
    if (type != kCellTypeStaticText && type != kCellTypeList && type != kCellTypeCheckBox)
        type = kCellTypeEdit;
    const int oldType = CellTypeAt(col, row);
    const QString oldText = ReadText(col, row);
    QTableWidgetItem* cell = CellItem(col, row);
    if (oldType == type) return;
    cell->setData(kTypeRole, type);

    if (oldType == kCellTypeList) removeCellWidget(row - 1, col - 1);
    if (oldType == kCellTypeCheckBox) cell->setData(Qt::CheckStateRole, QVariant());

    if (type == kCellTypeCheckBox) {
        cell->setText(QString());
        cell->setData(Qt::CheckStateRole,
                      oldText == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
    } else if (type == kCellTypeList) {
        auto* box = new QComboBox;
        box->setProperty(kColProperty, col);
        box->setProperty(kRowProperty, row);
        box->setFocusPolicy(Qt::StrongFocus);
        box->setFont(cell->data(Qt::FontRole).isValid() ? cell->font() : font());
        const QStringList items = cell->data(kListItemsRole).toStringList();
        box->addItems(items);
        const QVariant selection = cell->data(kListSelectionRole);
        const int index = selection.isValid() ? selection.toInt() : -1;
        box->setCurrentIndex(index >= 0 && index < items.size() ? index : -1);
        cell->setText(box->currentText());
        connect(box, &QComboBox::activated, this, [this, box](int i) { ListActivated(box, i); });
        box->installEventFilter(this);
        setCellWidget(row - 1, col - 1, box);
    } else if (oldType == kCellTypeList || oldType == kCellTypeCheckBox) {
        cell->setText(QString());
    }
    ApplyLook(col, row);
}

void CSpreadSheet::ApplyLook(int col, int row) {
    QTableWidgetItem* cell = CellItem(col, row);
    const int type = CellTypeAt(col, row);
    const bool locked = cell->data(kLockRole).toBool();

    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!locked && type == kCellTypeEdit) flags |= Qt::ItemIsEditable;
    if (!locked && type == kCellTypeCheckBox) flags |= Qt::ItemIsUserCheckable;
    cell->setFlags(flags);
    cell->setBackground(locked && m_lockedColour.isValid() ? QBrush(m_lockedColour) : QBrush());
    if (QComboBox* box = ListBoxAt(col, row)) box->setEnabled(!locked);
}

void CSpreadSheet::SetLock(bool locked) {
    ForEachAddressed([&](int col, int row) {
        if (!IsCell(col, row)) return;
        CellItem(col, row)->setData(kLockRole, locked);
        ApplyLook(col, row);
    });
}

void CSpreadSheet::SetLockedCellColour(const QColor& colour) {
    m_lockedColour = colour;
    for (int row = 1; row <= rowCount(); ++row)
        for (int col = 1; col <= columnCount(); ++col)
            if (IsLocked(col, row)) ApplyLook(col, row);
}

void CSpreadSheet::SetFontName(const QString& family) {
    ForEachAddressed([&](int col, int row) {
        if (!IsCell(col, row)) return;
        QTableWidgetItem* cell = CellItem(col, row);
        QFont cellFont = cell->data(Qt::FontRole).isValid() ? cell->font() : font();
        cellFont.setFamily(family);
        cell->setFont(cellFont);
        if (QComboBox* box = ListBoxAt(col, row)) box->setFont(cellFont);
    });
}

void CSpreadSheet::SetCheckBoxCentred(bool centred) {
    ForEachAddressed([&](int col, int row) {
        if (IsCell(col, row)) CellItem(col, row)->setData(kCentredRole, centred);
    });
}

void CSpreadSheet::SetListItems(const QString& tabSeparated) {
    const QStringList items = SplitListItems(tabSeparated);
    ForEachAddressed([&](int col, int row) {
        if (!IsCell(col, row)) return;
        QTableWidgetItem* cell = CellItem(col, row);
        cell->setData(kListItemsRole, items);
        const int selection =
            cell->data(kListSelectionRole).isValid() ? cell->data(kListSelectionRole).toInt() : -1;
        const int kept = selection >= 0 && selection < items.size() ? selection : -1;
        cell->setData(kListSelectionRole, kept);
        if (QComboBox* box = ListBoxAt(col, row)) {
            const QSignalBlocker blocker(box);
            box->clear();
            box->addItems(items);
            box->setCurrentIndex(kept);
            cell->setText(box->currentText());
        }
    });
}

void CSpreadSheet::SetListSelection(int index) {
    ForEachAddressed([&](int col, int row) {
        if (IsCell(col, row)) SelectListItem(col, row, index);
    });
}

void CSpreadSheet::SelectListItem(int col, int row, int index) {
    QTableWidgetItem* cell = CellItem(col, row);
    const QStringList items = cell->data(kListItemsRole).toStringList();
    const int selection = index >= 0 && index < items.size() ? index : -1;
    cell->setData(kListSelectionRole, selection);
    if (QComboBox* box = ListBoxAt(col, row)) {
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(selection);
        cell->setText(box->currentText());
    }
}

int CSpreadSheet::ListSelection() const {
    const QTableWidgetItem* cell = CellItemIfAny(m_col, m_row);
    const QVariant selection = cell ? cell->data(kListSelectionRole) : QVariant();
    return selection.isValid() ? selection.toInt() : -1;
}

void CSpreadSheet::ListActivated(QComboBox* box, int index) {
    const int col = box->property(kColProperty).toInt();
    const int row = box->property(kRowProperty).toInt();
    if (!IsCell(col, row)) return;
    QTableWidgetItem* cell = CellItem(col, row);
    const QVariant before = cell->data(kListSelectionRole);
    const int previous = before.isValid() ? before.toInt() : -1;
    cell->setData(kListSelectionRole, index);
    cell->setText(box->itemText(index));
    emit listCellChanged(col, row, static_cast<short>(index), index != previous);
}

void CSpreadSheet::WriteText(int col, int row, const QString& text) {
    if (row == 0 && col >= 1 && col <= columnCount()) {
        QTableWidgetItem* heading = horizontalHeaderItem(col - 1);
        if (heading)
            heading->setText(text);
        else
            setHorizontalHeaderItem(col - 1, new QTableWidgetItem(text));
        return;
    }
    if (col == 0 && row >= 1 && row <= rowCount()) {
        QTableWidgetItem* heading = verticalHeaderItem(row - 1);
        if (heading)
            heading->setText(text);
        else
            setVerticalHeaderItem(row - 1, new QTableWidgetItem(text));
        return;
    }
    if (!IsCell(col, row)) return;

    QTableWidgetItem* cell = CellItem(col, row);
    switch (CellTypeAt(col, row)) {
        case kCellTypeCheckBox:
            cell->setData(Qt::CheckStateRole,
                          text == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
            break;
        case kCellTypeList:
            SelectListItem(col, row, int(cell->data(kListItemsRole).toStringList().indexOf(text)));
            break;
        default:
            cell->setText(text);
            break;
    }
}

QString CSpreadSheet::ReadText(int col, int row) const {
    if (row == 0 && col >= 1 && col <= columnCount())
        return model()->headerData(col - 1, Qt::Horizontal).toString();
    if (col == 0 && row >= 1 && row <= rowCount())
        return model()->headerData(row - 1, Qt::Vertical).toString();
    const QTableWidgetItem* cell = CellItemIfAny(col, row);
    if (!cell) return CellTypeAt(col, row) == kCellTypeCheckBox ? QStringLiteral("0") : QString();

    switch (CellTypeAt(col, row)) {
        case kCellTypeCheckBox:
            return cell->data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStringLiteral("1")
                                                                         : QStringLiteral("0");
        case kCellTypeList: {
            const QStringList items = cell->data(kListItemsRole).toStringList();
            const QVariant selection = cell->data(kListSelectionRole);
            const int index = selection.isValid() ? selection.toInt() : -1;
            return index >= 0 && index < items.size() ? items.at(index) : QString();
        }
        default:
            return cell->text();
    }
}

void CSpreadSheet::SetText(const QString& text) {
    ForEachAddressed([&](int col, int row) { WriteText(col, row, text); });
}

QString CSpreadSheet::Text() const { return ReadText(m_col, m_row); }

void CSpreadSheet::SetCellText(int col, int row, const QString& text) { WriteText(col, row, text); }

QString CSpreadSheet::CellText(int col, int row) const { return ReadText(col, row); }

void CSpreadSheet::SelectBlock(int row, int col, int lastRow, int lastCol) {
    SetBlock(row, col, lastRow, lastCol);
    SetAction(kActionSelectBlock);
}

void CSpreadSheet::SetAction(int action) {
    switch (action) {
        case kActionActiveCell:
            if (IsCell(m_col, m_row)) {
                m_internalMove = true;
                setCurrentCell(m_row - 1, m_col - 1);
                m_internalMove = false;
            }
            break;
        case kActionSelectBlock: {
            clearSelection();
            // A heading in the block stands for the first row or column.
            const int top = std::max(std::min(m_row, m_lastRow), 1);
            const int bottom = std::min(std::max(m_row, m_lastRow), rowCount());
            const int left = std::max(std::min(m_col, m_lastCol), 1);
            const int right = std::min(std::max(m_col, m_lastCol), columnCount());
            if (top <= bottom && left <= right)
                setRangeSelected(
                    QTableWidgetSelectionRange(top - 1, left - 1, bottom - 1, right - 1), true);
            break;
        }
        default:
            // The selected blocks are read live, so asking for them needs no step.
            break;
    }
}

int CSpreadSheet::SelectedBlockCount() const { return int(selectedRanges().size()); }

void CSpreadSheet::SetSelectedBlockIndex(int index) {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    if (index < 0 || index >= ranges.size()) return;
    const QTableWidgetSelectionRange& range = ranges.at(index);
    SetBlock(range.topRow() + 1, range.leftColumn() + 1, range.bottomRow() + 1,
             range.rightColumn() + 1);
}

void CSpreadSheet::SetRedraw(bool on) {
    m_redraw = on;
    setUpdatesEnabled(on);
    if (on) viewport()->update();
}

// --- user navigation ---------------------------------------------------------

bool CSpreadSheet::IsLastCell(const QModelIndex& index) const {
    return index.isValid() && index.row() == rowCount() - 1 && index.column() == columnCount() - 1;
}

bool CSpreadSheet::IsFirstCell(const QModelIndex& index) const {
    return index.isValid() && index.row() == 0 && index.column() == 0;
}

void CSpreadSheet::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base commits an edit under way, so the handler sees the new text.
    QTableWidget::currentChanged(current, previous);
    if (m_internalMove || !previous.isValid() || !current.isValid() || current == previous) return;
    bool cancel = false;
    emit leaveCell(previous.column() + 1, previous.row() + 1, current.column() + 1,
                   current.row() + 1, cancel);
    if (!cancel) return;
    m_internalMove = true;
    selectionModel()->setCurrentIndex(previous, QItemSelectionModel::ClearAndSelect);
    m_internalMove = false;
    // The mouse press or key that asked for the move goes on to select and
    // edit the refused cell; setSelection and edit ignore it until it ends.
    m_moveRefused = true;
}

void CSpreadSheet::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (m_moveRefused) return;
    QTableWidget::setSelection(rect, command);
}

bool CSpreadSheet::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (m_moveRefused && index != currentIndex()) return false;
    return QTableWidget::edit(index, trigger, event);
}

void CSpreadSheet::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const QModelIndex current = currentIndex();
    if ((hint == QAbstractItemDelegate::EditNextItem && IsLastCell(current)) ||
        (hint == QAbstractItemDelegate::EditPreviousItem && IsFirstCell(current))) {
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
        emit advance(hint == QAbstractItemDelegate::EditNextItem);
        return;
    }
    QTableWidget::closeEditor(editor, hint);
}

void CSpreadSheet::keyPressEvent(QKeyEvent* event) {
    m_moveRefused = false;
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    const bool tab = event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
    const bool backTab = event->key() == Qt::Key_Backtab ||
                         (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier));
    if (plain &&
        ((tab && IsLastCell(currentIndex())) || (backTab && IsFirstCell(currentIndex())))) {
        event->accept();
        emit advance(tab);
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void CSpreadSheet::FocusNeighbour(bool next) {
    // The widget's own chain, not the view's: that one would move between
    // cells and come back to advance.
    QWidget::focusNextPrevChild(next);
}

void CSpreadSheet::mousePressEvent(QMouseEvent* event) {
    m_moveRefused = false;
    QTableWidget::mousePressEvent(event);
}

void CSpreadSheet::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    m_moveRefused = false;
}

bool CSpreadSheet::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QComboBox*>(watched);
    if (!box) return QTableWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel && !box->hasFocus())
        return true;  // no change by scrolling past
    if (event->type() == QEvent::FocusIn) {
        // Entering a list cell moves the cursor there like a click would.
        const int col = box->property(kColProperty).toInt();
        const int row = box->property(kRowProperty).toInt();
        if (IsCell(col, row) && (currentRow() != row - 1 || currentColumn() != col - 1)) {
            setCurrentCell(row - 1, col - 1);
            if (currentRow() != row - 1 || currentColumn() != col - 1) setFocus();
        }
    }
    return QTableWidget::eventFilter(watched, event);
}
