#pragma once

#include <QImage>
#include <QSize>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct mpv_handle;
struct mpv_render_context;

namespace tetrapan {

// Has mpv draw a movie's pictures with its software renderer on a thread of its own, at the size they are
// shown at, so that the GUI thread only puts finished pictures on the screen: scaling and converting four
// pictures on the GUI thread took a fifth of a core there and held every repaint of the window up.
// Every mpv_render_* call for a render context happens on that thread, or while it is known to be idle.
class MpvFrameRenderer {
public:
    using Clock = std::chrono::steady_clock;
    struct Picture {
        QImage image;
        // When it is to be shown: a redraw is due when it is drawn.
        Clock::time_point due;
        // The setContext call it was drawn for, so that a picture of the movie before is told apart.
        quint64 generation = 0;
    };
    // Called on the renderer's thread for each finished picture.
    using Delivery = std::function<void(Picture)>;

    explicit MpvFrameRenderer(Delivery delivery);
    // Waits for a picture being drawn.
    ~MpvFrameRenderer();
    MpvFrameRenderer(const MpvFrameRenderer&) = delete;
    MpvFrameRenderer& operator=(const MpvFrameRenderer&) = delete;

    // Draws the core's pictures from now on (none for null); the core's current picture is drawn at once.
    // Returns when nothing is drawn with the old context any more, so that it may be freed.
    // The number tags the pictures drawn for this context.
    quint64 setContext(mpv_render_context* context, mpv_handle* handle);
    // In device pixels, and how many to a pixel of the widget; a new size draws the picture again.
    void setSize(QSize size, qreal pixelRatio);

private:
    static void onUpdate(void* self);
    void run();
    // Called with the lock held; false once the thread is to stop.
    bool waitForWork(std::unique_lock<std::mutex>& lock);
    // Holds a picture back until shortly before it is due: mpv hands the next one over only once this one
    // is taken, so the pictures keep coming one at a time at the pace they are shown.
    void waitUntilNearlyDue(std::unique_lock<std::mutex>& lock, Clock::time_point due, quint64 generation);
    bool draw(mpv_render_context* context, QSize size, QImage* image);
    // An image of the size that no picture on show holds any more.
    QImage* freeImage(QSize size, qreal pixelRatio);

    const Delivery delivery_;
    std::mutex mutex_;
    std::condition_variable wake_;
    mpv_render_context* context_ = nullptr;
    mpv_handle* handle_ = nullptr;
    quint64 generation_ = 0;
    QSize size_;
    qreal pixelRatio_ = 1.0;
    bool updated_ = false;
    bool redraw_ = false;
    bool drawing_ = false;
    bool stop_ = false;
    std::optional<Clock::time_point> lastDue_;
    // Drawn into by the thread alone; handed out as shared copies.
    std::vector<QImage> images_;
    std::thread thread_;
};

} // namespace tetrapan
