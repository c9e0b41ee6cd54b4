#include "playlist/ImageAndTextCell.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

namespace tetrapan {

ImageAndTextCell::ImageAndTextCell(QObject* parent) : QStyledItemDelegate(parent) {}

ImageAndTextCell::~ImageAndTextCell() = default;

QIcon ImageAndTextCell::image(const QModelIndex& index) const
{
    return imageProvider_ ? imageProvider_(index) : QIcon();
}

QSize ImageAndTextCell::imageSize(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return image(index).isNull() ? QSize() : option.decorationSize;
}

QRect ImageAndTextCell::imageFrameForCellFrame(const QRect& cellFrame, const QSize& imageSize)
{
    if (imageSize.isEmpty())
        return {};
    // rounded up, as the text below it is, so an odd leftover puts the icon a pixel low rather than high
    const int top = cellFrame.y() + (cellFrame.height() - imageSize.height() + 1) / 2;
    return {cellFrame.x() + ImageInset, top, imageSize.width(), imageSize.height()};
}

QRect ImageAndTextCell::textFrameForCellFrame(const QRect& cellFrame, const QSize& imageSize)
{
    const int strip = BLANK_TEXT + (imageSize.isEmpty() ? 0 : imageSize.width());
    return cellFrame.adjusted(std::min(strip, cellFrame.width()), 0, 0, 0);
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QIcon icon = image(index);
    if (icon.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // the selection and background span the whole row, icon strip included
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool enabled = opt.state & QStyle::State_Enabled;
    const bool selected = opt.state & QStyle::State_Selected;
    const QSize size = option.decorationSize;
    icon.paint(painter, imageFrameForCellFrame(opt.rect, size), Qt::AlignCenter,
               !enabled ? QIcon::Disabled : (selected ? QIcon::Selected : QIcon::Normal));

    const QRect textFrame = textFrameForCellFrame(opt.rect, size);
    painter->save();
    painter->setFont(opt.font);
    const QString shown = opt.fontMetrics.elidedText(text, opt.textElideMode, textFrame.width());
    style->drawItemText(painter, textFrame, Qt::AlignLeft | Qt::AlignVCenter, opt.palette, enabled, shown,
                        selected ? QPalette::HighlightedText : QPalette::Text);
    painter->restore();
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QSize image = imageSize(option, index);
    if (image.isEmpty()) {
        size.rwidth() += ImageInset;
        return size;
    }
    size.rwidth() += ImageInset + image.width();
    size.setHeight(std::max(size.height(), image.height()));
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    editor->setGeometry(textFrameForCellFrame(option.rect, imageSize(option, index)));
}

// An edit that ends without a change leaves the library alone, so it makes no undo step.
void ImageAndTextCell::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const
{
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (line->text() == index.data(Qt::EditRole).toString())
            return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace tetrapan
