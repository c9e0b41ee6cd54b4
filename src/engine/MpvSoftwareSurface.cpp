#include "engine/MpvSoftwareSurface.h"

#include "engine/FramePacer.h"
#include "engine/MpvMovie.h"

#include <QImage>
#include <QLoggingCategory>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <mpv/render.h>

#include <cstdlib>

namespace tetrapan {

Q_DECLARE_LOGGING_CATEGORY(lcMpv)

namespace {
constexpr qsizetype LineAlignment = 64;
// QImage::Format_RGB32 keeps 0xffRRGGBB words, that is bytes B, G, R, unused on a little-endian machine.
constexpr const char* PixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgr0" : "0rgb";
// The same with the unused byte as alpha, always opaque: QImage::Format_ARGB32_Premultiplied.
constexpr const char* OpaquePixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgra" : "argb";
} // namespace

void MpvSoftwareSurface::AlignedFree::operator()(uchar* p) const
{
    std::free(p);
}

MpvSoftwareSurface::MpvSoftwareSurface(FramePacer* pacer, QWidget* parent) : QWidget(parent), pacer_(pacer)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Mouse input belongs to the pane underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

MpvSoftwareSurface::~MpvSoftwareSurface()
{
    setMovie(nullptr);
}

void MpvSoftwareSurface::onUpdate(void* context)
{
    // Called on mpv's threads.
    auto* self = static_cast<MpvSoftwareSurface*>(context);
    QMetaObject::invokeMethod(
        self,
        [self] {
            FramePacer::repaintWhenDue(self->pacer_, self, self->renderContext_,
                                       self->movie_ ? self->movie_->handle() : nullptr);
        },
        Qt::QueuedConnection);
}

void MpvSoftwareSurface::setMovie(MpvMovie* movie)
{
    disconnect(movieGoing_);
    // After this no more update calls come from the old core's threads.
    if (renderContext_)
        mpv_render_context_set_update_callback(renderContext_, nullptr, nullptr);
    movie_ = movie;
    renderContext_ = movie ? movie->softwareRenderContext() : nullptr;
    if (renderContext_) {
        mpv_render_context_set_update_callback(renderContext_, &MpvSoftwareSurface::onUpdate, this);
        movieGoing_ = connect(movie, &MpvMovie::aboutToDestroyHandle, this, [this] { setMovie(nullptr); });
    } else if (movie) {
        qCWarning(lcMpv) << movie->filePath() << "has no software renderer to draw with";
    }
    update();
}

void MpvSoftwareSurface::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    const QSize size = (QSizeF(this->size()) * ratio).toSize();
    if (!renderContext_ || size.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (renderIntoWindowImage(painter, event->region()))
        return;
    if (size != pixelSize_) {
        stride_ = (size.width() * 4 + LineAlignment - 1) / LineAlignment * LineAlignment;
        pixels_.reset(static_cast<uchar*>(std::aligned_alloc(LineAlignment, stride_ * size.height())));
        pixelSize_ = size;
    }
    if (!render(size, PixelFormat, pixels_.get(), stride_)) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    QImage image(pixels_.get(), size.width(), size.height(), stride_, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(0, 0), image);
}

bool MpvSoftwareSurface::renderIntoWindowImage(QPainter& painter, const QRegion& dirty)
{
    // The window's own image is what Qt hands to the X server: mpv draws straight into it, which saves
    // copying every frame once more. Only where the whole surface is repainted at its own size: drawing
    // past a partial repaint would overwrite what is shown above the surface.
    QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    const QTransform transform = painter.deviceTransform();
    if (!device || device->devType() != QInternal::Image || transform.type() > QTransform::TxTranslate ||
        dirty != QRegion(rect()))
        return false;
    auto* image = static_cast<QImage*>(device);
    const QRect target = transform.mapRect(rect());
    // An image with alpha (X's usual window image) gets opaque pixels, so that what Qt paints over the
    // picture blends as over any other.
    const char* format = image->format() == QImage::Format_RGB32                  ? PixelFormat
                         : image->format() == QImage::Format_ARGB32_Premultiplied ? OpaquePixelFormat
                                                                                  : nullptr;
    if (!format || !image->rect().contains(target))
        return false;
    // Into the image itself, never a copy of it: scanLine() would copy an image that is shared.
    uchar* first = const_cast<uchar*>(image->constScanLine(target.top())) + target.left() * 4;
    return render(target.size(), format, first, image->bytesPerLine());
}

bool MpvSoftwareSurface::render(QSize size, const char* format, uchar* pixels, qsizetype lineBytes)
{
    int swSize[2] = {size.width(), size.height()};
    size_t stride = static_cast<size_t>(lineBytes);
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, swSize},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(format)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, pixels},
        // The GUI thread paints four panes; waiting here for one frame's due time would hold up the others.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(renderContext_, params) >= 0;
}

} // namespace tetrapan
