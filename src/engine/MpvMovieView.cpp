#include "engine/MpvMovieView.h"

#include "engine/MpvCompare.h"
#include "engine/MpvGLSurface.h"
#include "engine/MpvMovie.h"
#include "engine/MpvPixelReader.h"
#include "engine/MpvSoftwareSurface.h"

#include <QPainter>
#include <QResizeEvent>

namespace tetrapan {

MpvMovieView::MpvMovieView(DrawingPath path, FramePacer* pacer, QWidget* parent)
    : MovieView(parent), path_(path)
{
    if (path_ == DrawingPath::OpenGL)
        glSurface_ = new MpvGLSurface(pacer, this);
    else
        softwareSurface_ = new MpvSoftwareSurface(pacer, this);
}

QWidget* MpvMovieView::surface() const
{
    return glSurface_ ? static_cast<QWidget*>(glSurface_) : softwareSurface_;
}

MpvMovieView::~MpvMovieView()
{
    compare_.reset();
    setMovie(nullptr);
}

void MpvMovieView::compareWith(MovieView* partner, const CompareSettings& settings)
{
    auto* other = qobject_cast<MpvMovieView*>(partner);
    if (!other || other == this || other->path_ != path_) {
        compare_.reset();
        return;
    }
    if (!compare_ || compare_->partner() != other) {
        compare_.reset();
        compare_ = std::make_unique<MpvCompare>(*this, *other);
    }
    compare_->setSettings(settings);
}

Movie* MpvMovieView::movie() const
{
    return movie_.data();
}

void MpvMovieView::setMovie(Movie* movie)
{
    auto* mpvMovie = qobject_cast<MpvMovie*>(movie);
    if (movie && !mpvMovie)
        return;
    if (mpvMovie == movie_)
        return;
    if (movie_)
        disconnect(movie_, &MpvMovie::pictureSizeChanged, this, &MpvMovieView::pictureShapeChanged);
    movie_ = mpvMovie;
    if (mpvMovie)
        connect(mpvMovie, &MpvMovie::pictureSizeChanged, this, &MpvMovieView::pictureShapeChanged);
    if (mpvMovie) {
        mpvMovie->setKeepAspect(preservesAspectRatio_);
        if (zoom() != ViewZoom())
            applyZoom();
    }
    if (glSurface_)
        glSurface_->setMovie(mpvMovie);
    else
        softwareSurface_->setMovie(mpvMovie);
    surface()->setVisible(!mpvMovie || mpvMovie->hasPicture());
    update();
    Q_EMIT pictureShapeChanged();
}

void MpvMovieView::readPixel(QPointF share, QPointF viewPoint, PixelAnswer answer)
{
    if (!movie_ || !movie_->hasPicture()) {
        answer(std::nullopt);
        return;
    }
    if (!pixelReader_)
        pixelReader_ = new MpvPixelReader(this);
    QPointer<MpvMovieView> self(this);
    pixelReader_->read(movie_->handle(), share, [self, viewPoint, answer](std::optional<PixelValue> value) {
        // the picture as drawn, where the decoded one could not be read
        if (!value && self) {
            const std::optional<QRgb> shown = self->glSurface_
                                                  ? self->glSurface_->pixelShown(viewPoint)
                                                  : self->softwareSurface_->pixelShown(viewPoint);
            if (shown)
                value = PixelValue{qRed(*shown), qGreen(*shown), qBlue(*shown), false};
        }
        answer(value);
    });
}

void MpvMovieView::setPreservesAspectRatio(bool preserve)
{
    const bool changed = preserve != preservesAspectRatio_;
    preservesAspectRatio_ = preserve;
    if (movie_)
        movie_->setKeepAspect(preserve);
    update();
    surface()->update();
    if (changed)
        Q_EMIT pictureShapeChanged();
}

void MpvMovieView::applyZoom()
{
    if (movie_)
        movie_->setZoom(zoom().factor, zoom().centre);
}

QSize MpvMovieView::sourcePictureSize() const
{
    return movie_ ? movie_->pictureSize() : QSize();
}

QSizeF MpvMovieView::pictureSize() const
{
    const QSize picture = movie_ ? movie_->pictureSize() : QSize();
    if (!preservesAspectRatio_ || picture.isEmpty())
        return size();
    return QSizeF(picture).scaled(size(), Qt::KeepAspectRatio);
}

void MpvMovieView::resizeEvent(QResizeEvent* event)
{
    MovieView::resizeEvent(event);
    surface()->setGeometry(rect());
}

void MpvMovieView::paintEvent(QPaintEvent*)
{
    if (!surface()->isHidden())
        return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!movie_)
        return;
    painter.setPen(QColor(220, 220, 220));
    const QRect text = rect().adjusted(8, 8, -8, -8);
    painter.drawText(
        text, Qt::AlignCenter | Qt::TextWordWrap,
        painter.fontMetrics().elidedText(movie_->displayName(), Qt::ElideMiddle, text.width() * 3));
}

} // namespace tetrapan
