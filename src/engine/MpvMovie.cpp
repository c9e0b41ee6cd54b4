#include "engine/MpvMovie.h"

#include "engine/MpvNames.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QThreadPool>

#include <mpv/client.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <vector>

namespace tetrapan {

Q_LOGGING_CATEGORY(lcMpv, "tetrapan.engine.mpv", QtWarningMsg)

namespace {

enum ObservedProperty : uint64_t { ObservePause = 1, ObserveEof, ObserveTimePos, ObserveAudioPts };
// Tags of asynchronous requests, to tell their replies apart.
enum AsyncRequest : uint64_t { AsyncReply = 100, SeekReply, PauseReply, FrameImageReply };
// Tags of the questions asked about a file just loaded.
enum FileQuestion : uint64_t {
    AskPlaylistCount = 200,
    AskTracks,
    AskDuration,
    AskTitle,
    AskRotation,
};

QString errorText(int code)
{
    return QString::fromUtf8(mpv_error_string(code));
}

std::optional<double> doubleProperty(mpv_handle* handle, const char* name)
{
    double value = 0.0;
    if (mpv_get_property(handle, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<qint64> intProperty(mpv_handle* handle, const QString& name)
{
    int64_t value = 0;
    if (mpv_get_property(handle, name.toUtf8().constData(), MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

QString stringProperty(mpv_handle* handle, const QString& name)
{
    char* value = mpv_get_property_string(handle, name.toUtf8().constData());
    if (!value)
        return {};
    QString text = QString::fromUtf8(value);
    mpv_free(value);
    return text;
}

// The value under key in one of mpv's property maps; null when the map has none.
const mpv_node* mapValue(const mpv_node& map, const char* key)
{
    if (map.format != MPV_FORMAT_NODE_MAP)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

bool nodeFlag(const mpv_node* node)
{
    return node && node->format == MPV_FORMAT_FLAG && node->u.flag != 0;
}

// While the opener waits for mpv, it draws the frames nobody else draws yet (see MpvCore).
class FrameDrawingWhileOpening {
public:
    explicit FrameDrawingWhileOpening(MpvCore& core) : core_(core) { core_.setWakeOnNewFrames(true); }
    ~FrameDrawingWhileOpening() { core_.setWakeOnNewFrames(false); }
    FrameDrawingWhileOpening(const FrameDrawingWhileOpening&) = delete;
    FrameDrawingWhileOpening& operator=(const FrameDrawingWhileOpening&) = delete;

private:
    MpvCore& core_;
};

} // namespace

MpvMovie::MpvMovie(MpvCorePtr core, QString path) : core_(std::move(core)), filePath_(std::move(path))
{
    mpv_handle* h = core_->handle();
    mpv_observe_property(h, ObservePause, mpvname::Pause, MPV_FORMAT_FLAG);
    mpv_observe_property(h, ObserveEof, mpvname::EofReached, MPV_FORMAT_FLAG);
    // Positions come with mpv's reports, read by its own thread: asking for them would wait for the core,
    // which may be busy decoding a frame, many times a second on the GUI thread.
    mpv_observe_property(h, ObserveTimePos, mpvname::TimePos, MPV_FORMAT_DOUBLE);
    mpv_observe_property(h, ObserveAudioPts, mpvname::AudioPts, MPV_FORMAT_DOUBLE);
    reportClock_.start();
}

bool MpvMovie::startLoading(mpv_handle* handle, const QString& absolutePath, QString* error)
{
    const QByteArray pathBytes = absolutePath.toUtf8();
    const char* command[] = {mpvname::LoadFile, pathBytes.constData(), nullptr};
    if (const int rc = mpv_command(handle, command); rc < 0) {
        *error = QStringLiteral("mpv could not load %1: %2").arg(absolutePath, errorText(rc));
        return false;
    }
    return true;
}

MpvMovie::OpenResult MpvMovie::openWaiting(const QString& path, const Options& options, MpvCorePtr warm,
                                           bool loading)
{
    OpenResult result;
    // Qt applies the user's locale to LC_NUMERIC, and mpv refuses to start under one whose decimal point is
    // not '.'; it parses and prints numbers with the C library.
    std::setlocale(LC_NUMERIC, "C");
    MpvCorePtr core = std::move(warm);
    if (!core) {
        core = MpvCore::start(options, &result.error);
        if (!core)
            return result;
    }
    mpv_handle* h = core->handle();

    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    if (!loading && !startLoading(h, absolutePath, &result.error))
        return result;

    std::unique_ptr<MpvMovie> movie(new MpvMovie(std::move(core), absolutePath));
    const FrameDrawingWhileOpening drawing(*movie->core_);
    const QDeadlineTimer deadline(options.openTimeout);
    for (;;) {
        movie->core_->drawPendingFrame();
        const double waitSeconds = std::max<qint64>(deadline.remainingTime(), 0) / 1000.0;
        const mpv_event* event = mpv_wait_event(h, waitSeconds);
        if (event->event_id == MPV_EVENT_NONE) {
            if (deadline.hasExpired()) {
                result.error = QStringLiteral("%1: not loaded within %2 ms")
                                   .arg(absolutePath)
                                   .arg(options.openTimeout.count());
                return result;
            }
            continue;
        }
        if (event->event_id == MPV_EVENT_FILE_LOADED)
            break;
        if (event->event_id == MPV_EVENT_END_FILE) {
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            result.error =
                QStringLiteral("%1: %2").arg(absolutePath, end->reason == MPV_END_FILE_REASON_ERROR
                                                               ? errorText(end->error)
                                                               : QStringLiteral("ended while loading"));
            return result;
        }
        if (event->event_id == MPV_EVENT_SHUTDOWN) {
            result.error = QStringLiteral("%1: mpv shut down while loading").arg(absolutePath);
            return result;
        }
        movie->handleEvent(*event);
    }

    result.error = movie->inspectLoadedFile(deadline);
    if (!result.error.isEmpty())
        return result;
    mpv_set_wakeup_callback(h, &MpvMovie::wakeup, movie.get());
    // Events may have arrived between the last wait and the callback.
    movie->drainEvents();
    result.movie = std::move(movie);
    return result;
}

QString MpvMovie::inspectLoadedFile(const QDeadlineTimer& deadline)
{
    mpv_handle* h = handle();
    // Every question goes out at once and mpv answers them between its other work; the frames that come
    // meanwhile are drawn, so the core never waits for a GUI thread that waits for the core.
    std::vector<FileQuestion> questions{AskPlaylistCount, AskTracks, AskDuration, AskTitle};
    mpv_get_property_async(h, AskPlaylistCount, mpvname::PlaylistCount, MPV_FORMAT_INT64);
    mpv_get_property_async(h, AskTracks, mpvname::TrackList, MPV_FORMAT_NODE);
    mpv_get_property_async(h, AskDuration, mpvname::Duration, MPV_FORMAT_DOUBLE);
    mpv_get_property_async(h, AskTitle, mpvname::Title, MPV_FORMAT_STRING);
    // A phone's video is stored turned, with the turn in its metadata; the software path turns it itself.
    if (videoOutput() == MpvVideoOutput::Software) {
        questions.push_back(AskRotation);
        mpv_get_property_async(h, AskRotation, mpvname::VideoRotation, MPV_FORMAT_INT64);
    }

    int64_t playlistCount = 1;
    bool hasAudio = false;
    bool hasMovingVideo = false;
    qint64 firstVideoId = 0;
    std::optional<double> duration;
    qint64 rotation = 0;
    while (!questions.empty()) {
        core_->drawPendingFrame();
        const double waitSeconds = std::max<qint64>(deadline.remainingTime(), 0) / 1000.0;
        const mpv_event* event = mpv_wait_event(h, waitSeconds);
        if (event->event_id == MPV_EVENT_NONE) {
            if (deadline.hasExpired())
                return QStringLiteral("%1: mpv did not tell what the file holds").arg(filePath_);
            continue;
        }
        if (event->event_id == MPV_EVENT_SHUTDOWN)
            return QStringLiteral("%1: mpv shut down while loading").arg(filePath_);
        const auto question = std::find(questions.begin(), questions.end(), event->reply_userdata);
        if (event->event_id != MPV_EVENT_GET_PROPERTY_REPLY || question == questions.end()) {
            handleEvent(*event);
            continue;
        }
        questions.erase(question);
        const auto* property = static_cast<const mpv_event_property*>(event->data);
        // An unanswered question (no title tag, no duration) leaves its default.
        if (event->error < 0 || property->format == MPV_FORMAT_NONE)
            continue;
        switch (event->reply_userdata) {
        case AskPlaylistCount:
            playlistCount = *static_cast<int64_t*>(property->data);
            break;
        case AskTracks: {
            const auto* tracks = static_cast<const mpv_node*>(property->data);
            if (tracks->format != MPV_FORMAT_NODE_ARRAY)
                break;
            for (int i = 0; i < tracks->u.list->num; ++i) {
                const mpv_node& track = tracks->u.list->values[i];
                const mpv_node* type = mapValue(track, mpvname::TrackType);
                if (!type || type->format != MPV_FORMAT_STRING)
                    continue;
                if (std::strcmp(type->u.string, mpvname::TrackTypeAudio) == 0)
                    hasAudio = true;
                if (std::strcmp(type->u.string, mpvname::TrackTypeVideo) != 0)
                    continue;
                const mpv_node* id = mapValue(track, mpvname::TrackId);
                const bool still = nodeFlag(mapValue(track, mpvname::TrackImage)) ||
                                   nodeFlag(mapValue(track, mpvname::TrackAlbumArt));
                if (firstVideoId == 0 || (!still && !hasMovingVideo))
                    firstVideoId = id && id->format == MPV_FORMAT_INT64 ? id->u.int64 : 0;
                hasMovingVideo = hasMovingVideo || !still;
            }
            break;
        }
        case AskDuration:
            duration = *static_cast<double*>(property->data);
            break;
        case AskTitle:
            title_ = QString::fromUtf8(*static_cast<char**>(property->data));
            break;
        case AskRotation:
            rotation = *static_cast<int64_t*>(property->data);
            break;
        default:
            break;
        }
    }

    // mpv opens a folder or a playlist file as a list of movies; a pane shows one file.
    if (playlistCount > 1)
        return QStringLiteral("%1: a list of %2 files, not one movie").arg(filePath_).arg(playlistCount);
    if (!hasAudio && !hasMovingVideo)
        return QStringLiteral("%1: neither moving pictures nor sound").arg(filePath_);
    if (!duration || *duration <= 0.0)
        return QStringLiteral("%1: no duration").arg(filePath_);

    durationSeconds_ = *duration;
    videoTrackId_ = firstVideoId;
    picturesMove_ = hasMovingVideo;
    if (rotation != 0)
        turnPicturesUpright(rotation);
    return {};
}

void MpvMovie::turnPicturesUpright(qint64 rotation)
{
    const char* filter = rotation == 90    ? mpvname::TurnClockwise
                         : rotation == 180 ? mpvname::TurnHalfway
                         : rotation == 270 ? mpvname::TurnCounterClockwise
                                           : nullptr;
    if (filter)
        mpv_set_property_async(handle(), AsyncReply, mpvname::VideoFilters, MPV_FORMAT_STRING, &filter);
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
            timePos_ = reading(property->format, property->data);
            Q_EMIT timeDidChange(this);
        } else if (event.reply_userdata == ObserveAudioPts) {
            audioPts_ = reading(property->format, property->data);
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
        forgetReports();
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

MpvMovie::Report MpvMovie::reading(int format, const void* data) const
{
    if (format != MPV_FORMAT_DOUBLE)
        return {};
    return {*static_cast<const double*>(data), reportClock_.nsecsElapsed(), true};
}

void MpvMovie::forgetReports()
{
    timePos_ = {};
    audioPts_ = {};
}

double MpvMovie::timePosSeconds() const
{
    if (timePos_.known)
        return timePos_.seconds;
    return doubleProperty(handle(), mpvname::TimePos).value_or(0.0);
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
    return std::clamp(timePosSeconds(), 0.0, durationSeconds_);
}

double MpvMovie::clockSeconds() const
{
    if (seekTarget_ || atEnd_ || paused_)
        return positionSeconds();
    // The sound's position is the clock the pictures are shown by, and it moves smoothly. time-pos steps
    // from frame to frame and follows the frames handed to the output: players held level by it still
    // showed their pictures a frame apart. A report is carried forward by the time since it came, up to
    // a limit, so a core that stopped reporting does not run on in our eyes.
    if (audioPts_.known) {
        constexpr qint64 MaxCarryNs = 100'000'000;
        const qint64 since = std::min(reportClock_.nsecsElapsed() - audioPts_.atNs, MaxCarryNs);
        return std::clamp(audioPts_.seconds + since / 1e9 * speed_, 0.0, durationSeconds_);
    }
    if (const auto sound = doubleProperty(handle(), mpvname::AudioPts))
        return std::clamp(*sound, 0.0, durationSeconds_);
    return positionSeconds();
}

void MpvMovie::setSpeed(double speed)
{
    if (speed <= 0.0)
        return;
    if (speed != speed_ &&
        mpv_set_property_async(handle(), AsyncReply, mpvname::Speed, MPV_FORMAT_DOUBLE, &speed) >= 0)
        speed_ = speed;
    if (nudged_) {
        // After the speed, which mpv applies first: at the normal speed no stretcher comes back in.
        int correct = 1;
        mpv_set_property_async(handle(), AsyncReply, mpvname::AudioPitchCorrection, MPV_FORMAT_FLAG,
                               &correct);
        nudged_ = false;
    }
}

void MpvMovie::nudgeSpeed(double speed)
{
    if (speed <= 0.0)
        return;
    if (!nudged_) {
        // mpv puts its stretcher in while the speed is not 1 and takes it out at 1, and the sound jumps by
        // the stretcher's delay each time: about a frame, the very thing a nudge corrects.
        int correct = 0;
        if (mpv_set_property_async(handle(), AsyncReply, mpvname::AudioPitchCorrection, MPV_FORMAT_FLAG,
                                   &correct) >= 0)
            nudged_ = true;
    }
    if (speed != speed_ &&
        mpv_set_property_async(handle(), AsyncReply, mpvname::Speed, MPV_FORMAT_DOUBLE, &speed) >= 0)
        speed_ = speed;
}

void MpvMovie::setCurrentTime(const MovieTime& time)
{
    // A time without a scale names no instant.
    if (!time.isValid())
        return;
    seekToSeconds(time.seconds());
}

void MpvMovie::seekToSeconds(double seconds)
{
    // mpv counts a negative position from the end, and the pane's arithmetic may land before the beginning.
    const double target = std::clamp(seconds, 0.0, durationSeconds_);
    if (target == 0.0 && standsAtStart_ && paused_)
        return;
    if (!requestExactSeek(target))
        return;
    standsAtStart_ = target == 0.0;
    atEnd_ = target >= durationSeconds_;
    if (!atEnd_)
        eofReached_ = false;
    Q_EMIT timeDidChange(this);
}

bool MpvMovie::requestExactSeek(double seconds)
{
    const QByteArray text = QByteArray::number(seconds, 'f', 6);
    const char* command[] = {mpvname::Seek, text.constData(), mpvname::SeekAbsoluteExact, nullptr};
    if (const int rc = mpv_command_async(handle(), SeekReply, command); rc < 0) {
        qCWarning(lcMpv) << "seek in" << filePath_ << "failed:" << errorText(rc);
        return false;
    }
    seekTarget_ = seconds;
    return true;
}

void MpvMovie::setMuted(bool muted)
{
    setFlagAsync(mpvname::Mute, muted);
    muted_ = muted;
}

void MpvMovie::setVolume(float volume)
{
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    double percent = volume_ * 100.0;
    mpv_set_property_async(handle(), AsyncReply, mpvname::Volume, MPV_FORMAT_DOUBLE, &percent);
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
        requestExactSeek(currentTime().seconds());
    } else if (closedWithOutput_) {
        reloadAt(*lostOutputAt_);
    } else if (openGLOutputLost_ && videoTrackId_ > 0) {
        int64_t id = videoTrackId_;
        mpv_set_property_async(handle(), AsyncReply, mpvname::Vid, MPV_FORMAT_INT64, &id);
        requestExactSeek(currentTime().seconds());
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
    const QByteArray path = filePath_.toUtf8();
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
    if (hasPicture()) {
        const QByteArray command = mpvname::ScreenshotRaw;
        const QByteArray flags = mpvname::ScreenshotVideo;
        mpv_node items[2];
        items[0].format = MPV_FORMAT_STRING;
        items[0].u.string = const_cast<char*>(command.constData());
        items[1].format = MPV_FORMAT_STRING;
        items[1].u.string = const_cast<char*>(flags.constData());
        mpv_node_list list{2, items, nullptr};
        mpv_node args;
        args.format = MPV_FORMAT_NODE_ARRAY;
        args.u.list = &list;
        if (mpv_command_node_async(handle(), FrameImageReply, &args) >= 0)
            return;
    }
    // the answer comes later also when there is none
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT frameImageReady(this, QImage()); }, Qt::QueuedConnection);
}

void MpvMovie::frameImageArrived(const mpv_event& event)
{
    QImage image;
    const auto* reply = static_cast<const mpv_event_command*>(event.data);
    if (event.error >= 0 && reply && reply->result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = reply->result.u.list;
        qint64 width = 0, height = 0, stride = 0;
        QByteArray format;
        const mpv_byte_array* data = nullptr;
        for (int i = 0; i < map->num; ++i) {
            const QByteArray key = map->keys[i];
            const mpv_node& value = map->values[i];
            if (value.format == MPV_FORMAT_INT64 && key == "w")
                width = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "h")
                height = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "stride")
                stride = value.u.int64;
            else if (value.format == MPV_FORMAT_STRING && key == "format")
                format = value.u.string;
            else if (value.format == MPV_FORMAT_BYTE_ARRAY && key == "data")
                data = value.u.ba;
        }
        // bgr0: blue in the lowest byte of each 32-bit pixel, the top byte undefined
        if (format == "bgr0" && data && width > 0 && height > 0 && stride >= width * 4 &&
            data->size >= static_cast<size_t>(stride * height)) {
            image = QImage(static_cast<const uchar*>(data->data), int(width), int(height), int(stride),
                           QImage::Format_RGB32)
                        .copy();
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    line[x] |= 0xff000000u;
            }
        }
    }
    if (event.error < 0)
        qCWarning(lcMpv) << filePath_ << "gave no picture:" << errorText(event.error);
    Q_EMIT frameImageReady(this, image);
}

} // namespace tetrapan
