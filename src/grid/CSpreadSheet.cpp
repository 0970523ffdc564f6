#include "grid/CSpreadSheet.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "grid/GridItemDelegate.h"
#include "model/DrawingColours.h"

namespace {

constexpr int kTypeRole = GridItemDelegate::kCellTypeRole;
constexpr int kLockRole = GridItemDelegate::kLockedRole;
constexpr int kListItemsRole = GridItemDelegate::kListItemsRole;
constexpr int kListSelectionRole = GridItemDelegate::kListSelectionRole;
constexpr int kCentredRole = GridItemDelegate::kCentredCheckRole;

QStringList SplitListItems(const QString& tabSeparated) {
    QStringList items = tabSeparated.split(QLatin1Char('\t'));
    // A list written with a closing tab has no empty last item.
    if (!items.isEmpty() && items.last().isEmpty()) items.removeLast();
    return items;
}

}  // namespace

CSpreadSheet::CSpreadSheet(QWidget* parent) : QTableWidget(parent) {
    auto* delegate = new GridItemDelegate(this);
    setItemDelegate(delegate);
    connect(delegate, &GridItemDelegate::listItemChosen, this, &CSpreadSheet::ListChosen);
    // The editor opens on F2, Enter, a double click or typing; arrow keys
    // only ever move the cursor.
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
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

QStringList CSpreadSheet::ListItemsAt(int col, int row) const {
    const QTableWidgetItem* cell = CellItemIfAny(col, row);
    return cell ? cell->data(kListItemsRole).toStringList() : QStringList();
}

QComboBox* CSpreadSheet::OpenListEditor() const {
    return qobject_cast<QComboBox*>(indexWidget(currentIndex()));
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

    if (oldType == kCellTypeCheckBox) cell->setData(Qt::CheckStateRole, QVariant());

    if (type == kCellTypeCheckBox) {
        cell->setText(QString());
        cell->setData(Qt::CheckStateRole,
                      oldText == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
    } else if (type == kCellTypeList) {
        // The cell shows its item; the delegate opens a drop-down to change it.
        const QStringList items = cell->data(kListItemsRole).toStringList();
        const QVariant selection = cell->data(kListSelectionRole);
        const int index = selection.isValid() ? selection.toInt() : -1;
        cell->setText(index >= 0 && index < items.size() ? items.at(index) : QString());
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
    if (!locked && (type == kCellTypeEdit || type == kCellTypeList)) flags |= Qt::ItemIsEditable;
    if (!locked && type == kCellTypeCheckBox) flags |= Qt::ItemIsUserCheckable;
    cell->setFlags(flags);
    cell->setBackground(locked && m_lockedColour.isValid() ? QBrush(LockedShade()) : QBrush());
}

QColor CSpreadSheet::LockedShade() const {
    const auto rgb = [](const QColor& c) {
        return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
    };
    const Rgb shade = LockedCellShade(rgb(m_lockedColour), rgb(palette().color(QPalette::Base)),
                                      rgb(palette().color(QPalette::Text)));
    return QColor(shade.r, shade.g, shade.b);
}

void CSpreadSheet::changeEvent(QEvent* event) {
    // A theme changed while the table is open: the locked cells follow it.
    if (event->type() == QEvent::PaletteChange && m_lockedColour.isValid())
        for (int row = 1; row <= rowCount(); ++row)
            for (int col = 1; col <= columnCount(); ++col)
                if (IsLocked(col, row)) ApplyLook(col, row);
    QTableWidget::changeEvent(event);
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
        if (CellTypeAt(col, row) == kCellTypeList) cell->setText(kept >= 0 ? items.at(kept) : QString());
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
    if (CellTypeAt(col, row) == kCellTypeList) cell->setText(selection >= 0 ? items.at(selection) : QString());
}

int CSpreadSheet::ListSelection() const {
    const QTableWidgetItem* cell = CellItemIfAny(m_col, m_row);
    const QVariant selection = cell ? cell->data(kListSelectionRole) : QVariant();
    return selection.isValid() ? selection.toInt() : -1;
}

void CSpreadSheet::ListChosen(const QModelIndex& index, int item) {
    const int col = index.column() + 1;
    const int row = index.row() + 1;
    if (!IsCell(col, row) || IsLocked(col, row)) return;
    QTableWidgetItem* cell = CellItem(col, row);
    const QStringList items = cell->data(kListItemsRole).toStringList();
    if (item < 0 || item >= items.size()) return;
    const QVariant before = cell->data(kListSelectionRole);
    const int previous = before.isValid() ? before.toInt() : -1;
    cell->setData(kListSelectionRole, item);
    cell->setText(items.at(item));
    emit listCellChanged(col, row, static_cast<short>(item), item != previous);
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
    // Enter opens the editor of the current cell, as F2 does, rather than
    // falling through to the dialog's default button.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && plain && state() != EditingState && currentIndex().isValid() &&
        (model()->flags(currentIndex()) & Qt::ItemIsEditable) && editTriggers() != NoEditTriggers) {
        if (edit(currentIndex(), EditKeyPressed, event)) {
            event->accept();
            return;
        }
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
    const QModelIndex clicked = indexAt(event->position().toPoint());
    QTableWidget::mousePressEvent(event);
    // A check box takes the press for itself, which leaves the cursor where
    // it was; it follows the click all the same, so that Space next toggles
    // the box that was clicked.
    if (event->button() == Qt::LeftButton && clicked.isValid() && clicked != currentIndex() &&
        !m_moveRefused && (model()->flags(clicked) & Qt::ItemIsEnabled))
        selectionModel()->setCurrentIndex(clicked, selectionCommand(clicked, event));
}

void CSpreadSheet::mouseReleaseEvent(QMouseEvent* event) {
    QTableWidget::mouseReleaseEvent(event);
    m_moveRefused = false;
}
