#pragma once

#include <QImage>
#include <QSize>

#include <atomic>
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
    // Called on the renderer's thread with each picture drawn, before it is handed out: newFrame is false for
    // the current picture drawn again. What compares two movies in one picture does its work here. False:
    // the picture is not shown, the one before stays.
    using PictureHook = std::function<bool(QImage& image, Clock::time_point due, bool newFrame)>;
    // Called on the renderer's thread when a finished picture waits to be taken where none waited before.
    using Delivery = std::function<void()>;
    // Pictures the renderer holds at most, whatever the GUI thread does: one on the screen, one waiting for
    // its moment there, one being drawn or waiting to be taken. A GUI thread that does not take them (it is
    // busy, or blocked) sees the picture waiting to be taken replaced by a newer one.
    static constexpr int MaxPictures = 3;

    explicit MpvFrameRenderer(Delivery delivery);
    // Waits for a picture being drawn.
    ~MpvFrameRenderer();
    MpvFrameRenderer(const MpvFrameRenderer&) = delete;
    MpvFrameRenderer& operator=(const MpvFrameRenderer&) = delete;

    // Draws the core's pictures from now on (none for null); the core's current picture is drawn at once.
    // Returns when nothing is drawn with the old context any more, so that it may be freed.
    // The number tags the pictures drawn for this context.
    quint64 setContext(mpv_render_context* context, mpv_handle* handle);
    // Returns when the hook before is no longer called.
    void setPictureHook(PictureHook hook);
    // The current picture drawn again, as for a new size.
    void redraw();
    // In device pixels, and how many to a pixel of the widget; a new size draws the picture again. At no
    // size the pictures are still taken from mpv, only not drawn, so that the movie goes on.
    void setSize(QSize size, qreal pixelRatio);
    // The newest finished picture not taken yet, if any; on any thread.
    std::optional<Picture> takePicture();
    // The most picture buffers held at once so far; for diagnostics and tests.
    int peakPictureCount() const { return peakPictures_.load(); }

private:
    static void onUpdate(void* self);
    void run();
    // Called with the lock held; false once the thread is to stop.
    bool waitForWork(std::unique_lock<std::mutex>& lock);
    // Holds a picture back until shortly before it is due: mpv hands the next one over only once this one
    // is taken, so the pictures keep coming one at a time at the pace they are shown.
    void waitUntilNearlyDue(std::unique_lock<std::mutex>& lock, Clock::time_point due, quint64 generation);
    // Without an image: mpv counts the picture as drawn and moves on.
    bool draw(mpv_render_context* context, QSize size, QImage* image);
    // An image of the size that nobody else holds any more: one let go of, a new one while fewer than
    // MaxPictures are held, or the one waiting to be taken, whose picture is then dropped. Null when the
    // GUI thread holds them all.
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
    PictureHook hook_;
    // Drawn into by the thread alone; handed out as shared copies. A buffer leaves it only once nobody
    // else holds it, so its size is every buffer this renderer has alive.
    std::vector<QImage> images_;
    // The finished picture not taken yet.
    std::optional<Picture> ready_;
    std::atomic<int> peakPictures_{0};
    std::thread thread_;
};

} // namespace tetrapan
