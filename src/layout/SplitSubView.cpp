#include "layout/SplitSubView.h"

#include <QEventLoop>
#include <QMouseEvent>
#include <QSplitterHandle>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace tetrapan {

namespace {

// A divider that says when the user lets go of it after a drag, so panes dragged out of sight can stop.
class SplitSubViewHandle final : public QSplitterHandle {
public:
    SplitSubViewHandle(Qt::Orientation orientation, SplitSubView* parent)
        : QSplitterHandle(orientation, parent), splitView_(parent)
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        dragging_ = event->button() == Qt::LeftButton;
        QSplitterHandle::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QSplitterHandle::mouseReleaseEvent(event);
        if (dragging_ && event->button() == Qt::LeftButton) {
            dragging_ = false;
            Q_EMIT splitView_->liveResizeEnded();
        }
    }

private:
    SplitSubView* splitView_;
    bool dragging_ = false;
};

} // namespace

SplitSubView::SplitSubView(QWidget* parent) : QSplitter(parent) {}

SplitSubView::SplitSubView(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {}

SplitSubView::~SplitSubView() = default;

void SplitSubView::awakeFromNib()
{
    isAnimate_ = false;
}

void SplitSubView::setDividerSize(float thickness)
{
    dividerSize_ = std::max(0.0f, thickness);
    setHandleWidth(static_cast<int>(std::lround(dividerSize_)));
}

int SplitSubView::length() const
{
    return orientation() == Qt::Horizontal ? contentsRect().width() : contentsRect().height();
}

int SplitSubView::room() const
{
    return std::max(0, length() - handleWidth());
}

void SplitSubView::setFirstLength(int first)
{
    const int shared = room();
    first = std::clamp(first, 0, shared);
    QList<int> lengths = sizes();
    lengths[0] = first;
    lengths[1] = shared - first;
    setSizes(lengths);
}

bool SplitSubView::standsAt(int first) const
{
    const QWidget* a = widget(0);
    const QWidget* b = widget(1);
    const int shared = room();
    if (orientation() == Qt::Horizontal) {
        return a->width() == first && b->x() == a->x() + first + handleWidth() &&
               b->width() == shared - first;
    }
    return a->height() == first && b->y() == a->y() + first + handleWidth() && b->height() == shared - first;
}

void SplitSubView::setSplitterPosition(QPointF position, bool animate)
{
    if (count() < 2)
        return;
    const double wanted = orientation() == Qt::Horizontal ? position.x() : position.y();
    // positions come from ratios and sizes; one that is no number leaves the divider at the start
    int first = std::clamp(std::isfinite(wanted) ? static_cast<int>(std::lround(wanted)) : 0, 0, room());
    if (standsAt(first))
        return;

    // The slide goes by shares of the room, so a window resized while it runs ends at the share it was sent
    // to, not at a length worked out for the old size.
    const int shared = room();
    const double endShare = shared > 0 ? double(first) / shared : 0.0;
    const auto lengthOf = [this](double share) { return static_cast<int>(std::lround(share * room())); };
    if (animate) {
        QVariantAnimation animation;
        animation.setStartValue(shared > 0 ? double(sizes().at(0)) / shared : 0.0);
        animation.setEndValue(endShare);
        animation.setDuration(static_cast<int>(AnimationDuration.count()));
        connect(&animation, &QVariantAnimation::valueChanged, this,
                [this, lengthOf](const QVariant& value) { setFirstLength(lengthOf(value.toDouble())); });
        isAnimate_ = true;
        animationRunner_(animation);
        isAnimate_ = false;
        if (room() != shared)
            first = lengthOf(endShare);
    } else {
        setFirstLength(first);
    }
    // an animation cut short (the program quitting meanwhile) still leaves the divider where it was sent
    if (!standsAt(first))
        setFirstLength(first);
    widget(0)->setHidden(false);
    widget(1)->setHidden(false);
    adjustSubviews();
}

void SplitSubView::adjustSubviews()
{
    refresh();
}

void SplitSubView::runBlocking(QVariantAnimation& animation)
{
    QEventLoop loop;
    connect(&animation, &QAbstractAnimation::finished, &loop, &QEventLoop::quit);
    animation.start();
    if (animation.state() == QAbstractAnimation::Running)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QSplitterHandle* SplitSubView::createHandle()
{
    return new SplitSubViewHandle(orientation(), this);
}

void SplitSubView::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    // the window resized while the divider slides: draw the frames as they now stand
    if (isAnimate_)
        update();
}

} // namespace tetrapan
