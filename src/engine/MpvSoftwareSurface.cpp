#include "engine/MpvSoftwareSurface.h"

#include "engine/FramePacer.h"
#include "engine/MpvMovie.h"

#include <QLoggingCategory>
#include <QPainter>

namespace tetrapan {

Q_DECLARE_LOGGING_CATEGORY(lcMpv)

namespace {
// How many pixels a picture drawn for another place may differ from this one and be shown as drawn.
constexpr int AsDrawnWithin = 2;
} // namespace

MpvSoftwareSurface::MpvSoftwareSurface(FramePacer* pacer, QWidget* parent) : QWidget(parent), pacer_(pacer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Mouse input belongs to the pane underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    renderer_ = std::make_unique<MpvFrameRenderer>([this] {
        // On the renderer's thread; the widget outlives it. The picture stays with the renderer until it is
        // taken, so a GUI thread that is held up finds the newest one and no queue of old ones.
        QMetaObject::invokeMethod(this, &MpvSoftwareSurface::pictureArrived, Qt::QueuedConnection);
    });
}

MpvSoftwareSurface::~MpvSoftwareSurface()
{
    setMovie(nullptr);
    renderer_.reset();
}

void MpvSoftwareSurface::setMovie(MpvMovie* movie)
{
    disconnect(movieGoing_);
    disconnect(movieRate_);
    movie_ = movie;
    mpv_render_context* context = movie ? movie->softwareRenderContext() : nullptr;
    // Returns once nothing is drawn with the old movie's context any more: its core may go next.
    generation_ = renderer_->setContext(context, context ? movie->handle() : nullptr);
    shown_ = QImage();
    waiting_.reset();
    if (context)
        movieGoing_ = connect(movie, &MpvMovie::aboutToDestroyHandle, this, [this] { setMovie(nullptr); });
    else if (movie)
        qCWarning(lcMpv) << movie->filePath() << "has no software renderer to draw with";
    if (movie)
        movieRate_ = connect(movie, &Movie::rateDidChange, this, &MpvSoftwareSurface::playingChanged);
    Q_EMIT playingChanged();
    update();
}

bool MpvSoftwareSurface::moviePlays() const
{
    return movie_ && movie_->rate() != 0.0f;
}

QSize MpvSoftwareSurface::drawSize() const
{
    return drawSize_.value_or((QSizeF(size()) * devicePixelRatioF()).toSize());
}

std::optional<QRgb> MpvSoftwareSurface::pixelShown(QPointF point) const
{
    if (shown_.isNull())
        return std::nullopt;
    // the picture may be of another size than the widget while it is drawn anew
    const QPoint at(static_cast<int>(point.x() * shown_.width() / std::max(width(), 1)),
                    static_cast<int>(point.y() * shown_.height() / std::max(height(), 1)));
    return shown_.valid(at) ? std::optional(shown_.pixel(at)) : std::nullopt;
}

void MpvSoftwareSurface::setDrawSize(std::optional<QSize> size)
{
    drawSize_ = size;
    requestSize();
}

void MpvSoftwareSurface::requestSize()
{
    renderer_->setSize(drawSize(), devicePixelRatioF());
}

void MpvSoftwareSurface::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    requestSize();
}

void MpvSoftwareSurface::pictureArrived()
{
    std::optional<MpvFrameRenderer::Picture> taken = renderer_->takePicture();
    if (!taken || taken->generation != generation_)
        return;
    MpvFrameRenderer::Picture& picture = *taken;
    const auto now = MpvFrameRenderer::Clock::now();
    // One due already whose repaint has not come yet is not skipped.
    if (waiting_ && waiting_->due <= now + FramePacer::Together)
        shown_ = std::move(waiting_->image);
    if (!pacer_)
        picture.due = now;
    const auto dueIn = picture.due - now;
    waiting_ = std::move(picture);
    if (pacer_)
        pacer_->frameDue(this, dueIn);
    else
        update();
}

void MpvSoftwareSurface::paintEvent(QPaintEvent*)
{
    // The widget may have moved to a screen of another pixel ratio.
    requestSize();
    if (waiting_ && waiting_->due <= MpvFrameRenderer::Clock::now() + FramePacer::Together) {
        shown_ = std::move(waiting_->image);
        waiting_.reset();
    }
    QPainter painter(this);
    if (!movie_ || shown_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // At the widget's size in device pixels this is a plain copy; while a new size is being drawn for, the
    // picture at the old size is stretched over it.
    // Opaque pictures: copied, not blended.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (shown_.deviceIndependentSize() == QSizeF(size()))
        painter.drawImage(QPointF(0, 0), shown_);
    else if (drawSize_) {
        const QSizeF drawn = shown_.deviceIndependentSize();
        if (drawn.width() < width() || drawn.height() < height())
            painter.fillRect(rect(), Qt::black);
        // Drawn for a place a pixel or so larger or smaller (the other view's, in a window not divided
        // evenly), the picture is put here as it is, centred: scaled by so little it would lose as much as
        // the edge it loses here, and scaling it costs a pass over it at every frame.
        if (std::abs(drawn.width() - width()) <= AsDrawnWithin &&
            std::abs(drawn.height() - height()) <= AsDrawnWithin) {
            painter.drawImage(
                QPoint((width() - qRound(drawn.width())) / 2, (height() - qRound(drawn.height())) / 2),
                shown_);
            return;
        }
        const QSizeF whole = drawn.scaled(size(), Qt::KeepAspectRatio);
        painter.drawImage(
            QRectF(QPointF((width() - whole.width()) / 2, (height() - whole.height()) / 2), whole), shown_);
    } else
        painter.drawImage(QRectF(rect()), shown_);
}

} // namespace tetrapan
