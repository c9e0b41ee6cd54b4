#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

#include <functional>

namespace tetrapan {

// Draws a row as a small icon followed by its title, and puts the title's editor exactly over the drawn
// text. From the left: 3 pixels, the icon, 3 pixels, the text.
class ImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Room left of the text besides the icon itself: the inset before it and the gap after it.
    static constexpr int BLANK_TEXT = 6;
    static constexpr int ImageInset = 3;

    using ImageProvider = std::function<QIcon(const QModelIndex&)>;

    explicit ImageAndTextCell(QObject* parent = nullptr);
    ~ImageAndTextCell() override;

    // Which icon a row shows; a null icon draws the row as plain text.
    void setImageProvider(ImageProvider provider) { imageProvider_ = std::move(provider); }
    QIcon image(const QModelIndex& index) const;

    // An empty image size stands for no image.
    static QRect imageFrameForCellFrame(const QRect& cellFrame, const QSize& imageSize);
    static QRect textFrameForCellFrame(const QRect& cellFrame, const QSize& imageSize);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    QSize imageSize(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    ImageProvider imageProvider_;
};

} // namespace tetrapan
