#pragma once

#include <QStyledItemDelegate>

// Paints and edits the grid's cells.
//
// - Check-box cells marked centred show their box in the middle of the cell
//   and toggle on a click inside it or on Space.
// - Drop-down list cells show their item with an arrow; their editor, a
//   drop-down that opens at once, is made when the view asks for one (F2,
//   Enter, a double click, typing). Choosing an item reports it through
//   listItemChosen; closing the list without a choice changes nothing. A
//   locked list shows no arrow.
class GridItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    // The roles the sheet keeps its cell properties in.
    static constexpr int kCellTypeRole = Qt::UserRole + 1;
    static constexpr int kLockedRole = Qt::UserRole + 2;
    static constexpr int kListItemsRole = Qt::UserRole + 3;
    static constexpr int kListSelectionRole = Qt::UserRole + 4;
    static constexpr int kCentredCheckRole = Qt::UserRole + 5;
    static constexpr int kListCellType = 8;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

  signals:
    void listItemChosen(const QModelIndex& index, int item);

  protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

  private:
    static bool IsCentredCheck(const QModelIndex& index);
    static bool IsList(const QModelIndex& index);
    static QRect CentredCheckRect(const QStyleOptionViewItem& option);
};
