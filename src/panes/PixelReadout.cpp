#include "panes/PixelReadout.h"

#include "panes/MovController.h"
#include "panes/PaneCompare.h"
#include "panes/QTMovieSubView.h"

#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QMenu>

#include <cmath>

namespace tetrapan {

namespace {

// The point of the picture, in shares across and down, under viewPoint of view, and back.
QPointF shareAt(const MovieView& view, QPointF viewPoint)
{
    const ViewZoom zoom = view.zoom();
    const QSizeF picture = view.pictureSize() * zoom.factor;
    const QPointF fromMiddle = viewPoint - QPointF(view.width() / 2.0, view.height() / 2.0);
    return zoom.centre + QPointF(fromMiddle.x() / std::max(picture.width(), 1.0),
                                 fromMiddle.y() / std::max(picture.height(), 1.0));
}

QPointF viewPointAt(const MovieView& view, QPointF share)
{
    const ViewZoom zoom = view.zoom();
    const QSizeF picture = view.pictureSize() * zoom.factor;
    const QPointF fromCentre = share - zoom.centre;
    return QPointF(view.width() / 2.0 + fromCentre.x() * picture.width(),
                   view.height() / 2.0 + fromCentre.y() * picture.height());
}

QString line(const QString& name, const PixelValue& value, int luma)
{
    return QStringLiteral("%1  R %2  G %3  B %4  Y′ %5%6")
        .arg(name)
        .arg(value.red, 3)
        .arg(value.green, 3)
        .arg(value.blue, 3)
        .arg(luma, 3)
        .arg(value.decoded ? QString() : QStringLiteral("  (as drawn)"));
}

} // namespace

PixelReadout::PixelReadout(MovController& panes, PaneCompare& compare, Scheduler& scheduler, QObject* parent)
    : QObject(parent), panes_(panes), compare_(compare), scheduler_(scheduler)
{
}

PixelReadout::~PixelReadout()
{
    scheduler_.cancel(task_);
}

int PixelReadout::luma(const PixelValue& value)
{
    return static_cast<int>(std::lround(0.2126 * value.red + 0.7152 * value.green + 0.0722 * value.blue));
}

void PixelReadout::addMenuItem(QMenu& view, QWidget& window)
{
    window_ = &window;
    label_ = new QLabel(&window);
    label_->setObjectName(QStringLiteral("pixelReadout"));
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    label_->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 200); color: white; padding: 4px;"));
    label_->setFont(QFont(QStringLiteral("monospace")));
    label_->hide();
    action_ = view.addAction(QStringLiteral("Pi&xel Readout"));
    action_->setCheckable(true);
    action_->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+P")));
    action_->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(action_);
    connect(action_, &QAction::toggled, this, &PixelReadout::setShown);
}

void PixelReadout::setShown(bool shown)
{
    if (shown == isShown())
        return;
    if (action_)
        action_->setChecked(shown);
    scheduler_.cancel(std::exchange(task_, Scheduler::NoTask));
    if (shown)
        task_ = scheduler_.scheduleRepeating(Interval, [this] { followPointer(); });
    else if (label_)
        label_->hide();
}

MovieView* PixelReadout::viewOf(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return pane ? pane->movieView() : nullptr;
}

void PixelReadout::followPointer()
{
    for (int viewNo = 1; viewNo <= MovController::PaneCount; ++viewNo) {
        MovieView* view = viewOf(viewNo);
        if (view && view->isVisible() && view->rect().contains(view->mapFromGlobal(QCursor::pos()))) {
            readAt(viewNo, view->mapFromGlobal(QCursor::pos().toPointF()));
            return;
        }
    }
    if (label_)
        label_->hide();
}

void PixelReadout::readAt(int viewNo, QPointF viewPoint)
{
    const MovieView* pointed = viewOf(viewNo);
    if (!pointed)
        return;
    const QPointF share = shareAt(*pointed, viewPoint);
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        MovieView* view = viewOf(n);
        if (!view || share.x() < 0 || share.x() >= 1 || share.y() < 0 || share.y() >= 1) {
            values_[n - 1].reset();
            continue;
        }
        QPointer<PixelReadout> self(this);
        view->readPixel(share, viewPointAt(*view, share), [self, n](std::optional<PixelValue> value) {
            if (!self)
                return;
            self->values_[n - 1] = value;
            self->show();
        });
    }
    if (label_ && window_) {
        label_->move(window_->mapFromGlobal(pointed->mapToGlobal(viewPoint.toPoint())) + QPoint(16, 16));
        show();
    }
}

QString PixelReadout::text() const
{
    QStringList lines;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        if (const std::optional<PixelValue>& value = values_[n - 1])
            lines << line(QStringLiteral("Pane %1").arg(n), *value, luma(*value));
    }
    const std::optional<PixelValue>& a = values_[compare_.paneA() - 1];
    const std::optional<PixelValue>& b = values_[compare_.paneB() - 1];
    if (compare_.isComparing() && a && b) {
        const PixelValue difference{std::abs(a->red - b->red), std::abs(a->green - b->green),
                                    std::abs(a->blue - b->blue), a->decoded && b->decoded};
        lines << line(QStringLiteral("A − B "), difference, std::abs(luma(*a) - luma(*b)));
    }
    return lines.join(QLatin1Char('\n'));
}

void PixelReadout::show()
{
    if (!label_ || !isShown())
        return;
    label_->setText(text());
    label_->adjustSize();
    label_->setVisible(!label_->text().isEmpty());
    label_->raise();
}

} // namespace tetrapan
