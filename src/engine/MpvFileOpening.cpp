#include "engine/MpvFileOpening.h"

#include "engine/MpvCore.h"
#include "engine/MpvNames.h"
#include "engine/MpvProperties.h"

#include <QDeadlineTimer>

#include <mpv/client.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace tetrapan {

namespace {

// Tags of the questions asked about a file just loaded.
enum FileQuestion : uint64_t {
    AskPlaylistCount = 200,
    AskTracks,
    AskDuration,
    AskTitle,
    AskRotation,
    AskPictureShown,
};

} // namespace

void MpvOpenWait::wake(void* self)
{
    auto* wait = static_cast<MpvOpenWait*>(self);
    {
        std::lock_guard lock(wait->mutex_);
        wait->wakeUp_ = true;
    }
    wait->woken_.notify_all();
}

void MpvOpenWait::cancel()
{
    cancelled_ = true;
    wake(this);
}

void MpvOpenWait::sleepUntil(const QDeadlineTimer& deadline)
{
    std::unique_lock lock(mutex_);
    woken_.wait_for(lock, std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0)),
                    [this] { return wakeUp_; });
    wakeUp_ = false;
}

const mpv_event* MpvFileOpening::nextEvent(MpvOpening& opening)
{
    for (;;) {
        if (opening.core.drawPendingFrame())
            opening.pictureCame = true;
        const mpv_event* event = mpv_wait_event(opening.core.handle(), 0);
        if (event->event_id == MPV_EVENT_VIDEO_RECONFIG)
            opening.pictureCame = true;
        // only a restart of this file counts, not one of a file the core played before
        if (event->event_id == MPV_EVENT_FILE_LOADED || event->event_id == MPV_EVENT_PLAYBACK_RESTART)
            opening.restarted = event->event_id == MPV_EVENT_PLAYBACK_RESTART;
        if (event->event_id != MPV_EVENT_NONE || opening.wait.cancelled() || opening.deadline.hasExpired())
            return event;
        opening.wait.sleepUntil(opening.deadline);
    }
}

QString MpvFileOpening::givenUp(const MpvOpening& opening, const QString& filePath, const QString& what)
{
    return opening.wait.cancelled() ? QStringLiteral("%1: opening cancelled").arg(filePath)
                                    : QStringLiteral("%1: %2").arg(filePath, what);
}

QString MpvFileOpening::waitUntilLoaded(MpvOpening& opening, const QString& absolutePath,
                                        std::chrono::milliseconds timeout)
{
    for (;;) {
        const mpv_event* event = nextEvent(opening);
        if (event->event_id == MPV_EVENT_NONE)
            return givenUp(opening, absolutePath, QStringLiteral("not loaded within %1 ms").arg(timeout.count()));
        if (event->event_id == MPV_EVENT_FILE_LOADED)
            return {};
        if (event->event_id == MPV_EVENT_END_FILE) {
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            return QStringLiteral("%1: %2").arg(absolutePath, end->reason == MPV_END_FILE_REASON_ERROR
                                                                  ? errorText(end->error)
                                                                  : QStringLiteral("ended while loading"));
        }
        if (event->event_id == MPV_EVENT_SHUTDOWN) {
            return QStringLiteral("%1: mpv shut down while loading").arg(absolutePath);
        }
        opening.handleEvent(*event);
    }
}

QString MpvFileOpening::waitForPicture(MpvOpening& opening, const QString& filePath,
                                       std::chrono::milliseconds timeout)
{
    const QString noPicture = QStringLiteral("%1: ended before its first picture").arg(filePath);
    while (!opening.pictureCame) {
        // A file's first picture sets the output up before playback (re)starts. A file whose data is missing
        // reaches the end of its pictures at once and starts without one: an output not set up at a restart
        // means no picture is coming. Asked, not waited for: a paused core does not always report its end.
        // The restart may have come while the file was inspected, before this wait began.
        if (std::exchange(opening.restarted, false))
            mpv_get_property_async(opening.core.handle(), AskPictureShown, mpvname::VoConfigured,
                                   MPV_FORMAT_FLAG);
        const mpv_event* event = nextEvent(opening);
        if (event->event_id == MPV_EVENT_NONE)
            return givenUp(opening, filePath, QStringLiteral("no picture within %1 ms").arg(timeout.count()));
        if (event->event_id == MPV_EVENT_SHUTDOWN)
            return QStringLiteral("%1: mpv shut down while loading").arg(filePath);
        if (event->event_id == MPV_EVENT_END_FILE)
            return noPicture;
        if (event->event_id == MPV_EVENT_GET_PROPERTY_REPLY && event->reply_userdata == AskPictureShown) {
            const auto* answer = static_cast<const mpv_event_property*>(event->data);
            if (!opening.pictureCame && event->error >= 0 && answer->format == MPV_FORMAT_FLAG &&
                *static_cast<int*>(answer->data) == 0)
                return noPicture;
            continue;
        }
        opening.handleEvent(*event);
    }
    return {};
}

QString MpvFileOpening::inspect(MpvOpening& opening, const QString& filePath, MpvLoadedFile* file)
{
    MpvCore& core = opening.core;
    mpv_handle* h = core.handle();
    // Every question goes out at once and mpv answers them between its other work; the frames that come
    // meanwhile are drawn, so the core never waits for a GUI thread that waits for the core.
    std::vector<FileQuestion> questions{AskPlaylistCount, AskTracks, AskDuration, AskTitle};
    mpv_get_property_async(h, AskPlaylistCount, mpvname::PlaylistCount, MPV_FORMAT_INT64);
    mpv_get_property_async(h, AskTracks, mpvname::TrackList, MPV_FORMAT_NODE);
    mpv_get_property_async(h, AskDuration, mpvname::Duration, MPV_FORMAT_DOUBLE);
    mpv_get_property_async(h, AskTitle, mpvname::Title, MPV_FORMAT_STRING);
    // A phone's video is stored turned, with the turn in its metadata; the software path turns it itself.
    if (core.videoOutput() == MpvVideoOutput::Software) {
        questions.push_back(AskRotation);
        mpv_get_property_async(h, AskRotation, mpvname::VideoRotation, MPV_FORMAT_INT64);
    }

    int64_t playlistCount = 1;
    bool hasAudio = false;
    bool hasMovingVideo = false;
    qint64 firstVideoId = 0;
    qint64 lastSoundId = 0;
    std::optional<double> duration;
    qint64 rotation = 0;
    while (!questions.empty()) {
        const mpv_event* event = nextEvent(opening);
        if (event->event_id == MPV_EVENT_NONE)
            return givenUp(opening, filePath, QStringLiteral("mpv did not tell what the file holds"));
        if (event->event_id == MPV_EVENT_SHUTDOWN)
            return QStringLiteral("%1: mpv shut down while loading").arg(filePath);
        const auto question = std::find(questions.begin(), questions.end(), event->reply_userdata);
        if (event->event_id != MPV_EVENT_GET_PROPERTY_REPLY || question == questions.end()) {
            opening.handleEvent(*event);
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
                const mpv_node* id = mapValue(track, mpvname::TrackId);
                if (std::strcmp(type->u.string, mpvname::TrackTypeAudio) == 0) {
                    hasAudio = true;
                    lastSoundId = id && id->format == MPV_FORMAT_INT64 ? id->u.int64 : 0;
                }
                if (std::strcmp(type->u.string, mpvname::TrackTypeVideo) != 0)
                    continue;
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
            file->title = QString::fromUtf8(*static_cast<char**>(property->data));
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
        return QStringLiteral("%1: a list of %2 files, not one movie")
            .arg(filePath, QString::number(playlistCount));
    if (!hasAudio && !hasMovingVideo)
        return QStringLiteral("%1: neither moving pictures nor sound").arg(filePath);
    if (!duration || *duration <= 0.0)
        return QStringLiteral("%1: no duration").arg(filePath);

    file->durationSeconds = *duration;
    file->videoTrackId = firstVideoId;
    file->picturesMove = hasMovingVideo;
    file->rotation = rotation;
    file->lastSoundTrackId = lastSoundId;
    return {};
}

} // namespace tetrapan
