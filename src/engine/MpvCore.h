#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

struct mpv_handle;
struct mpv_render_context;

namespace tetrapan {

class MpvWorkers;

// A render context a view made on a core with its own thread's OpenGL context, which only that thread can
// free, and only before the core ends. mpv frees it at once when the core has already let go of its video,
// and otherwise waits for the core to let go, which a core stuck in a sound server or a network read never
// does. So the core's worker, which waits for the core anyway, first has the core drop its video, then asks
// the view's thread to free the context (a queued call) and waits for the answer before ending the core.
class MpvRenderRelease {
public:
    // On the view's thread: free runs there when the worker asks; the view then calls freed().
    void attach(QObject* receiver, std::function<void()> free);
    void freed();
    // On the worker: true once the context is freed; false when nobody will free it (no view attached):
    // the core is then left running rather than ended under a live context.
    bool requestFree();

private:
    enum class State { Waiting, Freed, Abandoned };
    std::mutex mutex_;
    std::condition_variable answered_;
    QObject* receiver_ = nullptr;
    std::function<void()> free_;
    State state_ = State::Waiting;
};

// Where a core's pictures go.
enum class MpvVideoOutput {
    // Nowhere: tests and measurements that need no picture.
    Null,
    // mpv's software renderer, set up with the core, so a file's first frame is decoded while it loads and
    // is ready the moment a view draws.
    Software,
    // mpv's OpenGL renderer into a view's GL context. Until a view gives it one the core decodes into
    // nothing: a file without sound would otherwise have nothing to play and be closed by mpv at once.
    OpenGL,
};

struct MpvCoreOptions {
    MpvVideoOutput video = MpvVideoOutput::Software;
    // Tests and measurements run without any sound device.
    bool nullAudio = false;
    // Where cores are shut down; without it the shutdown happens on the thread that lets go of the core.
    std::shared_ptr<MpvWorkers> workers;
    // Threads of the decoder of the next file loaded, read by mpv when the decoder starts. The engine gives
    // each load the pane's share of the machine.
    int decoderThreads = 1;
};

// One started mpv core, set up the way every pane wants it, with (on the software path) its render
// context. Letting go of it shuts the core down on a worker, because that waits for all of mpv's threads.
class MpvCore {
public:
    // Safe on any thread; fails when the process's LC_NUMERIC is not "C".
    static std::unique_ptr<MpvCore> start(const MpvCoreOptions& options, QString* error);
    ~MpvCore();
    MpvCore(const MpvCore&) = delete;
    MpvCore& operator=(const MpvCore&) = delete;

    mpv_handle* handle() const { return handle_; }
    // Only with MpvVideoOutput::Software; null otherwise.
    mpv_render_context* softwareRenderContext() const { return softwareRenderContext_; }
    MpvVideoOutput videoOutput() const { return video_; }

    // Until a view draws this core's pictures, mpv's video output waits up to 200 ms for each new frame to be
    // drawn, and the core waits for its video output: whoever then waits for the core waits as long. While a
    // file opens the opener draws the frames itself: new frames call callback(context) on one of mpv's
    // threads (null for none), and drawPendingFrame draws one into a picture of its own, answering whether
    // there was one. Only with MpvVideoOutput::Software.
    void setNewFrameCallback(void (*callback)(void*), void* context);
    // A view's render context on this core (OpenGL), freed through release before the core ends.
    void setRenderRelease(std::shared_ptr<MpvRenderRelease> release) { renderRelease_ = std::move(release); }
    bool drawPendingFrame();

private:
    MpvCore(mpv_handle* handle, MpvVideoOutput video, std::shared_ptr<MpvWorkers> workers);

    mpv_handle* handle_;
    mpv_render_context* softwareRenderContext_ = nullptr;
    MpvVideoOutput video_;
    // What drawPendingFrame draws into: small, since nobody looks at it.
    struct Scratch;
    std::unique_ptr<Scratch> scratch_;
    std::shared_ptr<MpvWorkers> workers_;
    std::shared_ptr<MpvRenderRelease> renderRelease_;
};

using MpvCorePtr = std::unique_ptr<MpvCore>;

} // namespace tetrapan
