#include "grid/GridItemDelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPointer>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

// The drop-down editor of a list cell: says when its list closes, so that
// closing it without a choice also closes the editor.
class ListEditor : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> onListClosed;

    void hidePopup() override {
        QComboBox::hidePopup();
        if (onListClosed) onListClosed();
    }
};

}  // namespace

bool GridItemDelegate::IsList(const QModelIndex& index) {
    return index.data(kCellTypeRole).toInt() == kListCellType;
}

QWidget* GridItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    if (!IsList(index)) return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new ListEditor(parent);
    box->setObjectName("listEditor");
    box->addItems(index.data(kListItemsRole).toStringList());
    box->setFont(option.font);
    auto* self = const_cast<GridItemDelegate*>(this);
    const QPersistentModelIndex cell(index);
    connect(box, &QComboBox::activated, self, [self, box, cell](int item) {
        if (box->property("closed").toBool()) return;
        box->setProperty("closed", true);
        emit self->listItemChosen(cell, item);
        emit self->closeEditor(box, QAbstractItemDelegate::NoHint);
    });
    // The list comes up at once, so arrows move through it rather than
    // through the values; Escape takes it and the editor away.
    QPointer<ListEditor> guard(box);
    box->onListClosed = [self, guard] {
        QMetaObject::invokeMethod(
            self,
            [self, guard] {
                if (!guard || guard->property("closed").toBool()) return;
                guard->setProperty("closed", true);
                emit self->closeEditor(guard, QAbstractItemDelegate::RevertModelCache);
            },
            Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(box, [guard] { if (guard && guard->isVisible()) guard->showPopup(); },
                              Qt::QueuedConnection);
    return box;
}

void GridItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box || !IsList(index)) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant selection = index.data(kListSelectionRole);
    box->setCurrentIndex(selection.isValid() ? selection.toInt() : -1);
}

void GridItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    auto* box = qobject_cast<QComboBox*>(editor);
    if (!box || !IsList(index)) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    // Tab out of an open list keeps what it shows, if that is new.
    const QVariant selection = index.data(kListSelectionRole);
    const int before = selection.isValid() ? selection.toInt() : -1;
    if (box->currentIndex() >= 0 && box->currentIndex() != before)
        emit const_cast<GridItemDelegate*>(this)->listItemChosen(index, box->currentIndex());
}

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
    const bool locked = index.data(kLockedRole).toBool();
    if (IsList(index)) {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // Room for the arrow that tells a list from a text; a locked list
        // has none.
        const int arrow = style->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, widget);
        opt.rect.setRight(opt.rect.right() - arrow - 4);
        QStyleOptionViewItem whole = opt;
        whole.rect = option.rect;
        whole.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &whole, painter, widget);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (!locked) {
            QStyleOption indicator;
            indicator.initFrom(widget);
            indicator.rect = QRect(option.rect.right() - arrow - 2, option.rect.top(), arrow, option.rect.height());
            indicator.palette = opt.palette;
            style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &indicator, painter, widget);
        }
        return;
    }
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
