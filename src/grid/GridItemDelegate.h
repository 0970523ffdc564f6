#pragma once

#include <QStyledItemDelegate>

// Paints the grid's cells. Check-box cells marked centred show their box in
// the middle of the cell and toggle on a click inside it or on Space; every
// other cell is painted the standard way.
class GridItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    static constexpr int kCentredCheckRole = Qt::UserRole + 5;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

  private:
    static bool IsCentredCheck(const QModelIndex& index);
    static QRect CentredCheckRect(const QStyleOptionViewItem& option);
};
