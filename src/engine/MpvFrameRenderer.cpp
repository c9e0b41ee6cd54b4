#include "engine/MpvFrameRenderer.h"

#include "engine/FramePacer.h"

#include <mpv/render.h>

#include <algorithm>
#include <cstdlib>

#include <pthread.h>

namespace tetrapan {

namespace {
// A picture is drawn this long before it is due: drawing one takes a few milliseconds on a busy machine.
constexpr auto DrawAhead = std::chrono::milliseconds(10);
// mpv converts fastest into 64-byte aligned lines.
constexpr qsizetype LineAlignment = 64;
// QImage::Format_ARGB32_Premultiplied keeps 0xAARRGGBB words, that is bytes B, G, R, A on a little-endian
// machine. With alpha: into a format without it zimg leaves the unused byte 0, which Qt reads as transparent
// wherever the picture is drawn onto an image with alpha (a snapshot of the window, say).
constexpr const char* PixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "bgra" : "argb";

QImage alignedImage(QSize size)
{
    const qsizetype stride = (size.width() * 4 + LineAlignment - 1) / LineAlignment * LineAlignment;
    auto* pixels = static_cast<uchar*>(std::aligned_alloc(LineAlignment, stride * size.height()));
    if (!pixels)
        return {};
    return QImage(pixels, size.width(), size.height(), stride, QImage::Format_ARGB32_Premultiplied,
                  &std::free, pixels);
}
} // namespace

MpvFrameRenderer::MpvFrameRenderer(Delivery delivery) : delivery_(std::move(delivery))
{
    thread_ = std::thread([this] { run(); });
}

MpvFrameRenderer::~MpvFrameRenderer()
{
    setContext(nullptr, nullptr);
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

quint64 MpvFrameRenderer::setContext(mpv_render_context* context, mpv_handle* handle)
{
    mpv_render_context* old = nullptr;
    {
        std::unique_lock lock(mutex_);
        old = std::exchange(context_, nullptr);
        handle_ = nullptr;
        ++generation_;
        ready_.reset();
        wake_.notify_all();
        wake_.wait(lock, [this] { return !drawing_; });
    }
    // The thread is idle and has no context to draw with, so these calls overlap no other on either context.
    // Once the old callback is gone no more calls come from the old core's threads.
    if (old)
        mpv_render_context_set_update_callback(old, nullptr, nullptr);
    if (context)
        mpv_render_context_set_update_callback(context, &MpvFrameRenderer::onUpdate, this);
    std::lock_guard lock(mutex_);
    context_ = context;
    handle_ = handle;
    redraw_ = true;
    lastDue_.reset();
    wake_.notify_all();
    return generation_;
}

void MpvFrameRenderer::setPictureHook(PictureHook hook)
{
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !drawing_; });
    hook_ = std::move(hook);
    redraw_ = true;
    lock.unlock();
    wake_.notify_all();
}

void MpvFrameRenderer::redraw()
{
    {
        std::lock_guard lock(mutex_);
        redraw_ = true;
    }
    wake_.notify_all();
}

void MpvFrameRenderer::setSize(QSize size, qreal pixelRatio)
{
    {
        std::lock_guard lock(mutex_);
        if (size == size_ && pixelRatio == pixelRatio_)
            return;
        size_ = size;
        pixelRatio_ = pixelRatio;
        redraw_ = true;
    }
    wake_.notify_all();
}

void MpvFrameRenderer::onUpdate(void* context)
{
    // On one of mpv's threads, which must not call mpv back.
    auto* self = static_cast<MpvFrameRenderer*>(context);
    {
        std::lock_guard lock(self->mutex_);
        self->updated_ = true;
    }
    self->wake_.notify_all();
}

bool MpvFrameRenderer::waitForWork(std::unique_lock<std::mutex>& lock)
{
    wake_.wait(lock, [this] { return stop_ || (context_ && (updated_ || (redraw_ && !size_.isEmpty()))); });
    return !stop_;
}

void MpvFrameRenderer::run()
{
    pthread_setname_np(pthread_self(), "pane pictures");
    std::unique_lock lock(mutex_);
    while (waitForWork(lock)) {
        mpv_render_context* context = context_;
        mpv_handle* handle = handle_;
        const quint64 generation = generation_;
        // a redraw waits for a size to draw at
        const bool redraw = !size_.isEmpty() && std::exchange(redraw_, false);
        updated_ = false;
        drawing_ = true;
        lock.unlock();
        const bool frame = mpv_render_context_update(context) & MPV_RENDER_UPDATE_FRAME;
        const Clock::time_point due =
            Clock::now() + std::clamp<Clock::duration>(FramePacer::nextFrameDueIn(context, handle),
                                                       Clock::duration::zero(), FramePacer::LongestWait);
        lock.lock();
        if (frame || redraw) {
            waitUntilNearlyDue(lock, due, generation);
            const QSize size = size_;
            const qreal pixelRatio = pixelRatio_;
            // setPictureHook waits while this one is drawing
            const PictureHook hook = hook_;
            if (generation == generation_ && !stop_) {
                lock.unlock();
                // At no size, or with every buffer held, the frame is still taken: mpv's video output waits
                // for each frame to be drawn, and a movie whose frames nobody takes falls behind.
                QImage* image = size.isEmpty() ? nullptr : freeImage(size, pixelRatio);
                const bool drawn = (image || frame) && draw(context, size, image) && image &&
                                   (!hook || hook(*image, due, frame));
                lock.lock();
                if (drawn && generation == generation_) {
                    lastDue_ = due;
                    const bool told = ready_.has_value();
                    // Under the lock: setContext cannot return meanwhile, so nothing of the movie before
                    // arrives after a new one was set.
                    ready_ = Picture{*image, due, generation};
                    if (!told)
                        delivery_();
                }
            }
        }
        drawing_ = false;
        wake_.notify_all();
    }
}

std::optional<MpvFrameRenderer::Picture> MpvFrameRenderer::takePicture()
{
    std::lock_guard lock(mutex_);
    return std::exchange(ready_, std::nullopt);
}

void MpvFrameRenderer::waitUntilNearlyDue(std::unique_lock<std::mutex>& lock, Clock::time_point due,
                                          quint64 generation)
{
    // Nor before the picture handed over last is due, so that the screen gets one at a time.
    Clock::time_point wakeAt = due - DrawAhead;
    if (lastDue_)
        wakeAt = std::max(wakeAt, *lastDue_);
    wake_.wait_until(lock, wakeAt, [&] { return stop_ || generation != generation_; });
}

bool MpvFrameRenderer::draw(mpv_render_context* context, QSize size, QImage* image)
{
    int swSize[2] = {size.width(), size.height()};
    size_t stride = image ? static_cast<size_t>(image->bytesPerLine()) : 0;
    int block = 0;
    int skip = image ? 0 : 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, swSize},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>(PixelFormat)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        // Into the image itself, never a copy of it: nobody else holds it (freeImage).
        {MPV_RENDER_PARAM_SW_POINTER, image ? const_cast<uchar*>(image->constBits()) : nullptr},
        // The picture's time is kept by waiting before drawing it.
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_render(context, params) >= 0;
}

QImage* MpvFrameRenderer::freeImage(QSize size, qreal pixelRatio)
{
    // A picture handed out is held by the screen until a newer one replaces it; the others are free. The
    // screen lets go of one on the GUI thread at any moment, so every test of a picture here asks for its
    // size as well: one let go of between two passes may be of a size before, and too small to draw into.
    QImage* image = nullptr;
    for (bool dropWaiting : {false, true}) {
        if (dropWaiting) {
            // the picture nobody took yet is replaced by this one
            std::lock_guard lock(mutex_);
            ready_.reset();
        }
        std::erase_if(images_,
                      [size](const QImage& held) { return held.isDetached() && held.size() != size; });
        const auto free = std::find_if(images_.begin(), images_.end(), [size](const QImage& held) {
            return held.isDetached() && held.size() == size;
        });
        if (free != images_.end()) {
            image = &*free;
            break;
        }
        if (static_cast<int>(images_.size()) < MaxPictures) {
            QImage made = alignedImage(size);
            if (made.isNull())
                return nullptr;
            images_.push_back(std::move(made));
            peakPictures_ = std::max(peakPictures_.load(), static_cast<int>(images_.size()));
            image = &images_.back();
            break;
        }
    }
    if (!image)
        return nullptr;
    // No copy: nobody else holds it.
    image->setDevicePixelRatio(pixelRatio);
    return image;
}

} // namespace tetrapan
