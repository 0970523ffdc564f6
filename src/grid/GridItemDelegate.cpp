#include "grid/GridItemDelegate.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

bool GridItemDelegate::IsCentredCheck(const QModelIndex& index) {
    return index.data(kCentredCheckRole).toBool() && index.data(Qt::CheckStateRole).isValid();
}

QRect GridItemDelegate::CentredCheckRect(const QStyleOptionViewItem& option) {
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    QStyleOptionButton probe;
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &probe, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &probe, widget);
    QRect rect(0, 0, w, h);
    rect.moveCenter(option.rect.center());
    return rect;
}

void GridItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (!IsCentredCheck(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool checked = opt.checkState == Qt::Checked;
    // Background and selection the standard way, without the left-hand box.
    opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    QStyleOptionViewItem box = opt;
    box.rect = CentredCheckRect(option);
    box.state &= ~QStyle::State_HasFocus;
    box.state |= checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
}

bool GridItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (!IsCentredCheck(index))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const Qt::ItemFlags flags = model->flags(index);
    if (!(flags & Qt::ItemIsUserCheckable) || !(flags & Qt::ItemIsEnabled)) return false;

    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton ||
                !CentredCheckRect(option).contains(mouse->position().toPoint()))
                return false;
            // Press and double click are swallowed so that only the release toggles.
            if (event->type() != QEvent::MouseButtonRelease) return true;
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
            break;
        }
        default:
            return false;
    }
    const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}
