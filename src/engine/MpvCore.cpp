#include "engine/MpvCore.h"

#include "engine/MpvNames.h"
#include "engine/MpvWorkers.h"
#include "engine/soundOutputs.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <utility>

namespace tetrapan {

namespace {

bool setOption(mpv_handle* handle, const char* name, const char* value, QString* error)
{
    const int rc = mpv_set_option_string(handle, name, value);
    if (rc < 0) {
        *error = QStringLiteral("mpv option %1=%2: %3")
                     .arg(QLatin1String(name), QLatin1String(value), QString::fromUtf8(mpv_error_string(rc)));
        return false;
    }
    return true;
}

// Until the core is idle: it has then let go of its video output, and with it of a view's render context.
void dropVideo(mpv_handle* handle)
{
    const char* stop[] = {mpvname::Stop, nullptr};
    if (mpv_command(handle, stop) < 0)
        return;
    int idle = 0;
    while (mpv_get_property(handle, mpvname::IdleActive, MPV_FORMAT_FLAG, &idle) >= 0 && !idle)
        mpv_wait_event(handle, 0.05);
}

void shutDown(mpv_handle* handle, mpv_render_context* renderContext)
{
    // A render context must go before its core.
    if (renderContext)
        mpv_render_context_free(renderContext);
    mpv_terminate_destroy(handle);
}

} // namespace

struct alignas(64) MpvCore::Scratch {
    static constexpr int Width = 64;
    static constexpr int Height = 36;
    static constexpr size_t Stride = Width * 4;
    unsigned char pixels[Stride * Height];
};

MpvCore::MpvCore(mpv_handle* handle, MpvVideoOutput video, std::shared_ptr<MpvWorkers> workers)
    : handle_(handle), video_(video), workers_(std::move(workers))
{
}

void MpvCore::setNewFrameCallback(void (*callback)(void*), void* context)
{
    if (softwareRenderContext_)
        mpv_render_context_set_update_callback(softwareRenderContext_, callback, context);
}

bool MpvCore::drawPendingFrame()
{
    if (!softwareRenderContext_ ||
        !(mpv_render_context_update(softwareRenderContext_) & MPV_RENDER_UPDATE_FRAME))
        return false;
    if (!scratch_)
        scratch_ = std::make_unique<Scratch>();
    int size[2] = {Scratch::Width, Scratch::Height};
    size_t stride = Scratch::Stride;
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, scratch_->pixels},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    // The frame stays the core's current one: a view attached later draws it again at its own size.
    mpv_render_context_render(softwareRenderContext_, params);
    return true;
}

MpvCore::~MpvCore()
{
    // a view's render context waits for the worker's request: without workers it is left with the core
    if (workers_)
        workers_->run([handle = handle_, renderContext = softwareRenderContext_, release = renderRelease_] {
            if (release) {
                dropVideo(handle);
                if (!release->requestFree())
                    return;
            }
            shutDown(handle, renderContext);
        });
    else if (!renderRelease_)
        shutDown(handle_, softwareRenderContext_);
}

void MpvRenderRelease::attach(QObject* receiver, std::function<void()> free)
{
    std::lock_guard lock(mutex_);
    receiver_ = receiver;
    free_ = std::move(free);
}

void MpvRenderRelease::freed()
{
    {
        std::lock_guard lock(mutex_);
        state_ = State::Freed;
        receiver_ = nullptr;
    }
    answered_.notify_all();
}

bool MpvRenderRelease::requestFree()
{
    std::unique_lock lock(mutex_);
    if (state_ == State::Waiting && receiver_)
        QMetaObject::invokeMethod(receiver_, free_, Qt::QueuedConnection);
    else if (state_ == State::Waiting)
        state_ = State::Abandoned;
    answered_.wait(lock, [this] { return state_ != State::Waiting; });
    return state_ == State::Freed;
}

std::unique_ptr<MpvCore> MpvCore::start(const MpvCoreOptions& options, QString* error)
{
    mpv_handle* h = mpv_create();
    if (!h) {
        *error = QStringLiteral("mpv could not be created");
        return {};
    }
    std::unique_ptr<MpvCore> core(new MpvCore(h, options.video, options.workers));

    const bool nullVideo = options.video != MpvVideoOutput::Software;
    const QByteArray sound = options.nullAudio ? QByteArray() : soundOutputs::ofThisMachine();
    // Tetrapan alone decides what a pane does: no user configuration, scripts, on-screen controls or keys.
    const std::pair<const char*, const char*> settings[] = {
        {mpvname::Config, mpvname::No},
        {mpvname::LoadScripts, mpvname::No},
        {mpvname::InputDefaultBindings, mpvname::No},
        {mpvname::InputVoKeyboard, mpvname::No},
        {mpvname::Osc, mpvname::No},
        {mpvname::OsdLevel, "0"},
        {mpvname::Terminal, mpvname::No},
        {mpvname::Ytdl, mpvname::No},
        {mpvname::LoadStatsOverlay, mpvname::No},
        {mpvname::LoadConsole, mpvname::No},
        {mpvname::LoadAutoProfiles, mpvname::No},
        {mpvname::ResumePlayback, mpvname::No},
        {mpvname::SaveOnQuit, mpvname::No},
        {mpvname::SubAuto, mpvname::No},
        {mpvname::AudioFileAuto, mpvname::No},
        {mpvname::CoverArtAuto, mpvname::No},
        {mpvname::Idle, mpvname::Yes},
        // Only the outputs that answer on this machine, silence last: a machine without any sound (no
        // server, no card) still plays the pictures, and no sound library is tried in vain.
        {mpvname::Ao, options.nullAudio ? mpvname::AoNull : sound.constData()},
        {mpvname::AudioFallbackToNull, mpvname::Yes},
        // A movie that reaches its end keeps its last frame on show instead of unloading.
        {mpvname::KeepOpen, mpvname::Yes},
        {mpvname::Pause, mpvname::Yes},
        {mpvname::HrSeek, mpvname::Yes},
        // On the software path every picture is scaled on the CPU anyway, and mpv's probe of the GPU's
        // decoders opens an X connection per core and complains on standard error where there is none.
        // A GPU decoder works with the OpenGL path, software decoding staying the fallback.
        {mpvname::Hwdec, options.video == MpvVideoOutput::OpenGL ? mpvname::AutoSafe : mpvname::No},
        {mpvname::LoopFile, mpvname::No},
        {mpvname::Vo, nullVideo ? mpvname::VoNull : mpvname::VoRenderApi},
        // What was played stays in memory for going back without reading the file again; mpv's own limit
        // (50 MiB a core) adds up to hundreds of MB with four long movies.
        {mpvname::DemuxerMaxBackBytes, "8MiB"},
    };
    for (const auto& [name, value] : settings) {
        if (!setOption(h, name, value, error))
            return {};
    }
    if (options.video == MpvVideoOutput::Software) {
        const std::pair<const char*, const char*> software[] = {
            // mpv's software renderer cannot turn pictures and fails an assertion on a phone's turned video;
            // the movie turns such pictures with a filter instead (MpvMovie).
            {mpvname::VideoRotate, mpvname::No},
            // Scaling and converting every picture to the pane is most of what drawing costs. zimg, bilinear
            // and without dithering, does it in half the time of libswscale's fastest scaler (720p to a
            // quarter of a 1280x720 window: 1.2 against 2.1 ms a picture) and looks alike at pane sizes. One
            // thread: each pane draws on a thread of its own, and four panes share the machine.
            {mpvname::SwsAllowZimg, mpvname::Yes},
            {mpvname::ZimgScaler, mpvname::Bilinear},
            {mpvname::ZimgScalerChroma, mpvname::Bilinear},
            {mpvname::ZimgDither, mpvname::No},
            {mpvname::ZimgFast, mpvname::Yes},
            {mpvname::ZimgThreads, "1"},
            // For the pictures zimg cannot convert.
            {mpvname::SwsScaler, mpvname::SwsFastBilinear},
            {mpvname::SwsFast, mpvname::Yes},
        };
        for (const auto& [name, value] : software) {
            if (!setOption(h, name, value, error))
                return {};
        }
    }

    if (const int rc = mpv_initialize(h); rc < 0) {
        *error = QStringLiteral("mpv could not start: %1").arg(QString::fromUtf8(mpv_error_string(rc)));
        return {};
    }
    mpv_request_log_messages(h, mpvname::LogLevelWarn);

    if (options.video == MpvVideoOutput::Software) {
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (const int rc = mpv_render_context_create(&core->softwareRenderContext_, h, params); rc < 0) {
            core->softwareRenderContext_ = nullptr;
            *error = QStringLiteral("mpv software renderer: %1").arg(QString::fromUtf8(mpv_error_string(rc)));
            return {};
        }
    }
    return core;
}

} // namespace tetrapan
