#include "engine/MpvMovie.h"

#include "engine/MpvFrameImage.h"
#include "engine/MpvNames.h"
#include "engine/MpvProperties.h"
#include "platform/fileNames.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QThreadPool>

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tetrapan {

Q_LOGGING_CATEGORY(lcMpv, "tetrapan.engine.mpv", QtWarningMsg)
// One line each time a movie stops, with the frames it has dropped since it was opened (read by a benchmark).
Q_LOGGING_CATEGORY(lcFrames, "tetrapan.engine.frames", QtWarningMsg)

namespace {

enum ObservedProperty : uint64_t {
    ObservePause = 1,
    ObserveEof,
    ObserveTimePos,
    ObserveAudioPts,
    ObserveOutputParams,
    ObserveHwdec,
    ObserveDecoder,
    ObserveFps
};

} // namespace

MpvMovie::MpvMovie(MpvCorePtr core, QString path)
    : core_(std::move(core)), filePath_(std::move(path)), source_(filePath_)
{
    mpv_handle* h = core_->handle();
    mpv_observe_property(h, ObservePause, mpvname::Pause, MPV_FORMAT_FLAG);
    mpv_observe_property(h, ObserveEof, mpvname::EofReached, MPV_FORMAT_FLAG);
    // Positions come with mpv's reports, read by its own thread: asking for them would wait for the core,
    // which may be busy decoding a frame, many times a second on the GUI thread.
    mpv_observe_property(h, ObserveTimePos, mpvname::TimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(h, ObserveAudioPts, mpvname::AudioPts, MPV_FORMAT_DOUBLE);
    // for zooming around the pointer, which must know where the picture lies in the view
    mpv_observe_property(h, ObserveOutputParams, mpvname::VideoOutParams, MPV_FORMAT_NODE);
    // Known once the first picture is decoded: only then does mpv settle on a decoder.
    mpv_observe_property(h, ObserveHwdec, mpvname::HwdecCurrent, MPV_FORMAT_STRING);
    mpv_observe_property(h, ObserveDecoder, mpvname::VideoDecoder, MPV_FORMAT_STRING);
    // for the frame numbers the bars may show
    mpv_observe_property(h, ObserveFps, mpvname::ContainerFps, MPV_FORMAT_DOUBLE);
}

void MpvMovie::hearEvents()
{
    mpv_set_wakeup_callback(handle(), &MpvMovie::wakeup, this);
    // Events may have arrived between the opener's last look and the callback.
    drainEvents();
}

MpvMovie::~MpvMovie()
{
    Q_EMIT aboutToDestroyHandle(this);
    mpv_set_wakeup_callback(handle(), nullptr, nullptr);
}

void MpvMovie::wakeup(void* context)
{
    // Called on one of mpv's threads: nothing but queue the drain on the GUI thread.
    auto* self = static_cast<MpvMovie*>(context);
    if (!self->drainQueued_.exchange(true))
        QMetaObject::invokeMethod(
            self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
}

void MpvMovie::drainEvents()
{
    drainQueued_ = false;
    QPointer<MpvMovie> alive(this);
    while (alive) {
        const mpv_event* event = mpv_wait_event(handle(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void MpvMovie::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        const bool flag = property->format == MPV_FORMAT_FLAG && *static_cast<int*>(property->data) != 0;
        if (event.reply_userdata == ObservePause && property->format == MPV_FORMAT_FLAG) {
            // While our own requests are on their way, mpv's reports describe states already left behind.
            if (pendingPauseRequests_ == 0 && !(steppingFrame_ && !flag))
                setPausedState(flag);
            if (flag)
                steppingFrame_ = false;
        } else if (event.reply_userdata == ObserveEof && property->format == MPV_FORMAT_FLAG) {
            const bool ended = flag && !eofReached_;
            eofReached_ = flag;
            if (ended) {
                atEnd_ = true;
                standsAtStart_ = false;
                // keep-open pauses the core at the end, but reports it after the end itself; a subscriber
                // told of the end must find the movie stopped.
                setPausedState(true);
                Q_EMIT didEnd(this);
            }
        } else if (event.reply_userdata == ObserveTimePos) {
            reports_.timePosChanged(property->format, property->data);
            Q_EMIT timeDidChange(this);
        } else if (event.reply_userdata == ObserveAudioPts) {
            reports_.audioPtsChanged(property->format, property->data);
        } else if (event.reply_userdata == ObserveOutputParams) {
            // A phone's movie the output turns upright (the OpenGL path) is given to it lying on its side.
            const mpv_node* params =
                property->format == MPV_FORMAT_NODE ? static_cast<const mpv_node*>(property->data) : nullptr;
            QSize shown;
            if (params) {
                shown = QSize(static_cast<int>(nodeInt(mapValue(*params, mpvname::OutputWidth))),
                              static_cast<int>(nodeInt(mapValue(*params, mpvname::OutputHeight))));
                if (nodeInt(mapValue(*params, mpvname::OutputRotate)) % 180 == 90)
                    shown.transpose();
            }
            if (shown != std::exchange(pictureSize_, shown))
                Q_EMIT pictureSizeChanged();
        } else if (event.reply_userdata == ObserveFps) {
            framesPerSecond_ =
                property->format == MPV_FORMAT_DOUBLE ? *static_cast<double*>(property->data) : 0.0;
        } else if (event.reply_userdata == ObserveHwdec || event.reply_userdata == ObserveDecoder) {
            const QString text = property->format == MPV_FORMAT_STRING
                                     ? QString::fromUtf8(*static_cast<const char* const*>(property->data))
                                     : QString();
            (event.reply_userdata == ObserveHwdec ? hwdec_ : decoder_) = text;
            logDecoder();
        }
        break;
    }
    case MPV_EVENT_SET_PROPERTY_REPLY:
    case MPV_EVENT_COMMAND_REPLY:
        if (event.reply_userdata == PauseReply && pendingPauseRequests_ > 0)
            --pendingPauseRequests_;
        if (event.reply_userdata == FrameImageReply) {
            frameImageArrived(event);
            break;
        }
        if (event.reply_userdata == SeekReply && seeksNotTaken_ > 0)
            --seeksNotTaken_;
        if (event.error < 0) {
            qCWarning(lcMpv) << filePath_ << "request failed:" << errorText(event.error);
            // A seek that failed will never land.
            if (event.reply_userdata == SeekReply)
                seekTarget_.reset();
        }
        break;
    case MPV_EVENT_END_FILE: {
        // With keep-open a file is only closed by a new load or by mpv giving it up; mpv gives up a file
        // without sound when its picture loses its output. This may be heard of after a new output came.
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->reason != MPV_END_FILE_REASON_ERROR || !lostOutputAt_)
            break;
        if (openGLOutputLost_)
            closedWithOutput_ = true;
        else
            reloadAt(*lostOutputAt_);
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        // Reports from before the seek may still be the last ones; mpv is asked until new ones come.
        reports_.forget();
        if (seeksNotTaken_ == 0)
            seekTarget_.reset();
        Q_EMIT timeDidChange(this);
        break;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* message = static_cast<const mpv_event_log_message*>(event.data);
        qCDebug(lcMpv).noquote() << message->prefix << QString::fromUtf8(message->text).trimmed();
        break;
    }
    default:
        break;
    }
}

void MpvMovie::logDecoder()
{
    const QString decoder = decoder_ + QLatin1Char('/') + hwdec_;
    if (decoder_.isEmpty() || hwdec_.isEmpty() || decoder == loggedDecoder_)
        return;
    loggedDecoder_ = decoder;
    // hwdec-current is "no" for decoding on the CPU, else the GPU interface.
    qCDebug(lcMpv).noquote() << filePath_ << "decodes with" << decoder_ << "hardware decoding:" << hwdec_;
}

QString MpvMovie::displayName() const
{
    return title_.isEmpty() ? QFileInfo(filePath_).fileName() : title_;
}

void MpvMovie::setFlagAsync(const char* name, bool value)
{
    int flag = value ? 1 : 0;
    mpv_set_property_async(handle(), AsyncReply, name, MPV_FORMAT_FLAG, &flag);
}

void MpvMovie::requestPause(bool pause)
{
    int flag = pause ? 1 : 0;
    if (mpv_set_property_async(handle(), PauseReply, mpvname::Pause, MPV_FORMAT_FLAG, &flag) >= 0)
        ++pendingPauseRequests_;
}

void MpvMovie::setPausedState(bool paused)
{
    if (paused == paused_)
        return;
    paused_ = paused;
    if (paused && lcFrames().isDebugEnabled())
        qCDebug(lcFrames).nospace() << "stopped " << filePath_ << ": dropped " << droppedFrameCount();
    Q_EMIT rateDidChange(this);
}

void MpvMovie::gotoBeginning()
{
    seekToSeconds(0.0);
}

void MpvMovie::gotoEnd()
{
    seekToSeconds(durationSeconds_);
}

void MpvMovie::play()
{
    steppingFrame_ = false;
    // With keep-open, unpausing a movie that stands at its end would leave it there.
    if (atEnd_ || eofReached_)
        seekToSeconds(0.0);
    requestPause(false);
    standsAtStart_ = false;
    setPausedState(false);
}

void MpvMovie::stop()
{
    steppingFrame_ = false;
    requestPause(true);
    setPausedState(true);
}

MovieTime MpvMovie::currentTime() const
{
    return MovieTime::fromSeconds(positionSeconds());
}

double MpvMovie::positionSeconds() const
{
    if (seekTarget_)
        return *seekTarget_;
    if (atEnd_)
        return durationSeconds_;
    return std::clamp(reports_.timePosSeconds(handle()), 0.0, durationSeconds_);
}

double MpvMovie::clockSeconds() const
{
    if (seekTarget_ || atEnd_ || paused_)
        return positionSeconds();
    // The sound's position is the clock the pictures are shown by, and it moves smoothly. time-pos steps
    // from frame to frame and follows the frames handed to the output: players held level by it still
    // showed their pictures a frame apart. A report is carried forward by the time since it came, up to
    // a limit, so a core that stopped reporting does not run on in our eyes.
    if (const auto carried = reports_.carriedAudioSeconds(playbackSpeed_.value()))
        return std::clamp(*carried, 0.0, durationSeconds_);
    // A silent pane decodes no sound: the sync lock asks many times a second, and asking mpv would wait
    // for the core each time only to hear there is none.
    if (reports_.hasNoSound())
        return positionSeconds();
    if (const auto sound = doubleProperty(handle(), mpvname::AudioPts))
        return std::clamp(*sound, 0.0, durationSeconds_);
    return positionSeconds();
}

void MpvMovie::setSpeed(double speed)
{
    playbackSpeed_.set(handle(), speed);
}

void MpvMovie::nudgeSpeed(double speed)
{
    playbackSpeed_.nudge(handle(), speed);
}

void MpvMovie::setCurrentTime(const MovieTime& time)
{
    // A time without a scale names no instant.
    if (!time.isValid())
        return;
    seekToSeconds(time.seconds());
}

void MpvMovie::seekFast(const MovieTime& time)
{
    if (time.isValid())
        seekToSeconds(time.seconds(), false);
}

void MpvMovie::seekToSeconds(double seconds, bool exact)
{
    // mpv counts a negative position from the end, and the pane's arithmetic may land before the beginning.
    const double target = std::clamp(seconds, 0.0, durationSeconds_);
    if (target == 0.0 && standsAtStart_ && paused_)
        return;
    if (!requestSeek(target, exact))
        return;
    standsAtStart_ = target == 0.0;
    atEnd_ = target >= durationSeconds_;
    if (!atEnd_)
        eofReached_ = false;
    Q_EMIT timeDidChange(this);
}

bool MpvMovie::requestSeek(double seconds, bool exact)
{
    const QByteArray text = QByteArray::number(seconds, 'f', 6);
    const char* command[] = {mpvname::Seek, text.constData(),
                             exact ? mpvname::SeekAbsoluteExact : mpvname::SeekAbsoluteKeyframes, nullptr};
    if (const int rc = mpv_command_async(handle(), SeekReply, command); rc < 0) {
        qCWarning(lcMpv) << "seek in" << filePath_ << "failed:" << errorText(rc);
        return false;
    }
    seekTarget_ = seconds;
    ++seeksNotTaken_;
    return true;
}

void MpvMovie::setMuted(bool muted)
{
    setFlagAsync(mpvname::Mute, muted);
    muted_ = muted;
    decodeSoundWhenHeard();
}

void MpvMovie::setVolume(float volume)
{
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    double percent = volume_ * 100.0;
    mpv_set_property_async(handle(), AsyncReply, mpvname::Volume, MPV_FORMAT_DOUBLE, &percent);
    decodeSoundWhenHeard();
}

void MpvMovie::decodeSoundWhenHeard()
{
    // Panes play silent until the user gives them a volume; until then decoding their sound tracks only
    // costs CPU, and opens a sound output for each. mpv starts the sound again where the pictures are. A
    // file of sound alone keeps it: it is what such a movie plays by, a cover picture standing still too.
    const bool heard = (!muted_ && volume_ > 0.0f) || videoTrackId_ <= 0 || !picturesMove_;
    if (heard == decodesSound_)
        return;
    decodesSound_ = heard;
    const char* track = heard ? soundTrack_.constData() : mpvname::No;
    mpv_set_property_async(handle(), AsyncReply, mpvname::Aid, MPV_FORMAT_STRING, &track);
}

void MpvMovie::setLoops(bool loops)
{
    loops_ = loops;
    const char* value = loops ? "inf" : mpvname::No;
    mpv_set_property_async(handle(), AsyncReply, mpvname::LoopFile, MPV_FORMAT_STRING, &value);
}

void MpvMovie::setKeepAspect(bool keep)
{
    setFlagAsync(mpvname::KeepAspect, keep);
}

void MpvMovie::setZoom(double factor, QPointF centre)
{
    // mpv centres the zoomed picture and moves it by shares of its zoomed size
    double values[] = {std::log2(std::max(factor, 1.0)), 0.5 - centre.x(), 0.5 - centre.y()};
    const char* names[] = {mpvname::VideoZoom, mpvname::VideoPanX, mpvname::VideoPanY};
    for (int i = 0; i < 3; ++i)
        mpv_set_property_async(handle(), AsyncReply, names[i], MPV_FORMAT_DOUBLE, &values[i]);
}

void MpvMovie::openGLOutputAttached()
{
    if (videoOutput() != MpvVideoOutput::OpenGL)
        return;
    if (!openGLOutputOn_) {
        // The core was born decoding into nothing; switching the output brings the picture to the view.
        const char* value = mpvname::VoRenderApi;
        mpv_set_property_async(handle(), AsyncReply, mpvname::Vo, MPV_FORMAT_STRING, &value);
        // A video chain restarted on a paused core does not always decode a frame again (one start in three
        // stayed black); a seek to where the movie stands always does.
        requestSeek(currentTime().seconds());
    } else if (closedWithOutput_) {
        reloadAt(*lostOutputAt_);
    } else if (openGLOutputLost_ && videoTrackId_ > 0) {
        int64_t id = videoTrackId_;
        mpv_set_property_async(handle(), AsyncReply, mpvname::Vid, MPV_FORMAT_INT64, &id);
        requestSeek(currentTime().seconds());
    }
    openGLOutputOn_ = true;
    openGLOutputLost_ = false;
    closedWithOutput_ = false;
}

void MpvMovie::openGLOutputDetaching()
{
    if (!openGLOutputOn_ || openGLOutputLost_)
        return;
    lostOutputAt_ = currentTime().seconds();
    openGLOutputLost_ = true;
}

void MpvMovie::reloadAt(double seconds)
{
    const QByteArray path = fileNames::toBytes(source_);
    const QByteArray start = QByteArrayLiteral("start=") + QByteArray::number(seconds, 'f', 6);
    const char* command[] = {mpvname::LoadFile, path.constData(), mpvname::LoadReplace, start.constData(),
                             nullptr};
    if (mpv_command_async(handle(), AsyncReply, command) < 0)
        return;
    seekTarget_ = seconds;
    lostOutputAt_.reset();
}

qint64 MpvMovie::displayedFrameNumber() const
{
    return intProperty(handle(), QLatin1String(mpvname::FrameNumber)).value_or(-1);
}

qint64 MpvMovie::droppedFrameCount() const
{
    return intProperty(handle(), QLatin1String(mpvname::FrameDropCount)).value_or(0) +
           intProperty(handle(), QLatin1String(mpvname::DecoderFrameDropCount)).value_or(0);
}

} // namespace tetrapan

namespace tetrapan {

QString MpvMovie::propertyText(const char* name) const
{
    return stringProperty(handle(), QString::fromLatin1(name));
}

} // namespace tetrapan

// Single frames and snapshots

namespace tetrapan {

void MpvMovie::stepFrame(bool forward)
{
    if (!paused_)
        stop();
    // Sound alone or under a still picture has no frames, and a forward step from the last frame would only
    // end the movie again.
    if (!picturesMove_ || (forward && (atEnd_ || eofReached_)))
        return;
    // mpv finds the next frame by playing it and the previous one by an exact seek backwards, so uneven
    // frame spacing is honoured; a step of a frame's nominal length is not.
    const char* command[] = {forward ? mpvname::FrameStep : mpvname::FrameBackStep, nullptr};
    if (const int rc = mpv_command_async(handle(), AsyncReply, command); rc < 0) {
        qCWarning(lcMpv) << "frame step in" << filePath_ << "failed:" << errorText(rc);
        return;
    }
    steppingFrame_ = forward;
    standsAtStart_ = false;
    atEnd_ = false;
}

void MpvMovie::requestFrameImage()
{
    if (hasPicture() && requestRawFrame(handle(), FrameImageReply))
        return;
    // the answer comes later also when there is none
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT frameImageReady(this, QImage()); }, Qt::QueuedConnection);
}

void MpvMovie::frameImageArrived(const mpv_event& event)
{
    const QImage image = rawFrameImage(event);
    if (event.error < 0)
        qCWarning(lcMpv) << filePath_ << "gave no picture:" << errorText(event.error);
    Q_EMIT frameImageReady(this, image);
}

} // namespace tetrapan
