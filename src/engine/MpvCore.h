#pragma once

#include <QString>

#include <chrono>
#include <memory>

struct mpv_handle;
struct mpv_render_context;

namespace tetrapan {

class MpvWorkers;

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

private:
    MpvCore(mpv_handle* handle, MpvVideoOutput video, std::shared_ptr<MpvWorkers> workers);

    mpv_handle* handle_;
    mpv_render_context* softwareRenderContext_ = nullptr;
    MpvVideoOutput video_;
    std::shared_ptr<MpvWorkers> workers_;
};

using MpvCorePtr = std::unique_ptr<MpvCore>;

} // namespace tetrapan
