#include "engine/MpvMovieOpener.h"

#include "engine/MpvFileOpening.h"
#include "engine/MpvNames.h"
#include "engine/MpvProperties.h"
#include "engine/MpvRecordingTimeline.h"
#include "platform/fileNames.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#include <algorithm>

#include <mpv/client.h>

namespace tetrapan {

namespace {

constexpr std::chrono::milliseconds RecordingOpenTimePerFile{20};

// While the opener waits for mpv, it hears of mpv's events and new frames, and draws the frames nobody else
// draws yet (see MpvCore).
class WakeupsWhileOpening {
public:
    WakeupsWhileOpening(MpvCore& core, MpvOpenWait& wait) : core_(core)
    {
        mpv_set_wakeup_callback(core_.handle(), &MpvOpenWait::wake, &wait);
        core_.setNewFrameCallback(&MpvOpenWait::wake, &wait);
    }
    // Once these return, mpv calls the old callbacks no more.
    ~WakeupsWhileOpening()
    {
        core_.setNewFrameCallback(nullptr, nullptr);
        mpv_set_wakeup_callback(core_.handle(), nullptr, nullptr);
    }
    WakeupsWhileOpening(const WakeupsWhileOpening&) = delete;
    WakeupsWhileOpening& operator=(const WakeupsWhileOpening&) = delete;

private:
    MpvCore& core_;
};

} // namespace

bool MpvMovieOpener::startLoading(mpv_handle* handle, const QString& absolutePath, int decoderThreads,
                                  QString* error)
{
    // Read when the file's decoder starts: a core's next file gets the share of the machine due at its load,
    // and the files other cores play keep their decoders as they are.
    const QByteArray threads = QByteArray::number(std::max(1, decoderThreads));
    if (const int rc = mpv_set_property_string(handle, mpvname::DecoderThreads, threads.constData());
        rc < 0) {
        *error = QStringLiteral("mpv decoder threads %1: %2").arg(decoderThreads).arg(errorText(rc));
        return false;
    }
    // mpv takes the name as the bytes it is on disk
    const QByteArray pathBytes = fileNames::toBytes(absolutePath);
    const char* command[] = {mpvname::LoadFile, pathBytes.constData(), nullptr};
    if (const int rc = mpv_command(handle, command); rc < 0) {
        *error = QStringLiteral("mpv could not load %1: %2").arg(absolutePath, errorText(rc));
        return false;
    }
    return true;
}

MpvOpenResult MpvMovieOpener::openWaiting(const QString& path, const MpvMovie::Options& options, MpvCorePtr warm,
                                          bool loading)
{
    MpvOpenWait wait;
    MpvOpenResult result = openWithoutEvents(path, options, std::move(warm), loading, wait);
    if (result.movie)
        result.movie->hearEvents();
    return result;
}

MpvOpenResult MpvMovieOpener::openWithoutEvents(const QString& path, const MpvMovie::Options& options,
                                                MpvCorePtr warm, bool loading, MpvOpenWait& wait)
{
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    return openSource(absolutePath, absolutePath, options, std::move(warm), loading, wait);
}

MpvOpenResult MpvMovieOpener::openRecordingWithoutEvents(const Recording& recording,
                                                         const MpvMovie::Options& options, MpvCorePtr warm,
                                                         MpvOpenWait& wait)
{
    Recording placed = recording;
    QVector<MpvPieceFacts> facts;
    for (RecordingPiece& piece : placed.pieces) {
        if (wait.cancelled())
            return {nullptr, QStringLiteral("%1: opening cancelled").arg(recording.folder)};
        piece.path = QFileInfo(piece.path).absoluteFilePath();
        facts.append(MpvRecordingTimeline::factsOf(piece));
    }
    const QString timeline = MpvRecordingTimeline::timeline(placed, facts);
    const QString name = !placed.folder.isEmpty()  ? QFileInfo(placed.folder).absoluteFilePath()
                         : placed.pieces.isEmpty() ? QString()
                                                   : QFileInfo(placed.pieces.first().path).absolutePath();
    if (timeline.isEmpty())
        return {nullptr, QStringLiteral("%1: none of its files can be read").arg(name)};
    // mpv opens every file of the timeline before its first picture, once for the pictures and once more for
    // a sound stream of the timeline's own: a day of minute-long files takes a while, on a worker
    MpvMovie::Options longer = options;
    const qsizetype opens = placed.pieces.size() * (MpvRecordingTimeline::hasSoundStream(placed, facts) ? 2 : 1);
    longer.openTimeout = options.openTimeout + RecordingOpenTimePerFile * opens;
    // The timeline's own sound stream is whole; the files' sound tracks mpv would choose have holes. It is
    // chosen before the timeline loads: chosen after, mpv's switch of sound tracks runs into the first seek
    // asked of the movie, which then lands up to a second late.
    const int ownSound = MpvRecordingTimeline::soundStreamTrack(placed, facts);
    if (ownSound > 0) {
        if (!warm) {
            QString error;
            warm = MpvCore::start(longer, &error);
            if (!warm)
                return {nullptr, error};
        }
        mpv_set_property_string(warm->handle(), mpvname::Aid, QByteArray::number(ownSound).constData());
    }
    MpvOpenResult result = openSource(timeline, name, longer, std::move(warm), false, wait);
    if (!result.movie)
        return result;
    // what the panes tell of gaps is what plays black
    for (qsizetype i = 0; i < placed.pieces.size(); ++i)
        placed.pieces[i].gone = !facts[i].readable;
    result.movie->recording_ = std::move(placed);
    if (ownSound > 0 && result.movie->lastSoundTrackId_ > 0) {
        result.movie->soundTrack_ = QByteArray::number(result.movie->lastSoundTrackId_);
        // a file whose tracks mpv counts otherwise than its header said: switched to, late
        if (result.movie->lastSoundTrackId_ != ownSound) {
            const char* track = result.movie->soundTrack_.constData();
            mpv_set_property_async(result.movie->handle(), AsyncReply, mpvname::Aid, MPV_FORMAT_STRING, &track);
        }
    }
    return result;
}

MpvOpenResult MpvMovieOpener::openSource(const QString& source, const QString& path,
                                         const MpvMovie::Options& options, MpvCorePtr warm, bool loading,
                                         MpvOpenWait& wait)
{
    MpvOpenResult result;
    // an open given up while the file was looked at (a newer playlist chosen) starts no core and reads
    // nothing
    if (wait.cancelled()) {
        result.error = QStringLiteral("%1: opening cancelled").arg(path);
        return result;
    }
    MpvCorePtr core = std::move(warm);
    if (!core) {
        core = MpvCore::start(options, &result.error);
        if (!core)
            return result;
    }
    mpv_handle* h = core->handle();
    if (!loading && !startLoading(h, source, options.decoderThreads, &result.error))
        return result;

    std::unique_ptr<MpvMovie> movie(new MpvMovie(std::move(core), path));
    movie->source_ = source;
    const WakeupsWhileOpening wakeups(*movie->core_, wait);
    MpvOpening opening{*movie->core_, wait, QDeadlineTimer(options.openTimeout),
                       [&movie](const mpv_event& event) { movie->handleEvent(event); }};
    result.error = MpvFileOpening::waitUntilLoaded(opening, path, options.openTimeout);
    if (result.error.isEmpty())
        result.error = inspectLoadedFile(*movie, opening);
    // A file cut short after its header tells its length but never shows a picture.
    if (result.error.isEmpty() && movie->videoTrackId_ > 0)
        result.error = MpvFileOpening::waitForPicture(opening, path, options.openTimeout);
    if (result.error.isEmpty())
        result.movie = std::move(movie);
    return result;
}

QString MpvMovieOpener::inspectLoadedFile(MpvMovie& movie, MpvOpening& opening)
{
    MpvLoadedFile file;
    const QString error = MpvFileOpening::inspect(opening, movie.filePath_, &file);
    if (!error.isEmpty())
        return error;
    movie.title_ = file.title;
    movie.durationSeconds_ = file.durationSeconds;
    movie.videoTrackId_ = file.videoTrackId;
    movie.picturesMove_ = file.picturesMove;
    movie.lastSoundTrackId_ = file.lastSoundTrackId;
    if (file.rotation != 0)
        turnPicturesUpright(movie, file.rotation);
    return {};
}

void MpvMovieOpener::turnPicturesUpright(MpvMovie& movie, qint64 rotation)
{
    const char* filter = rotation == 90    ? mpvname::TurnClockwise
                         : rotation == 180 ? mpvname::TurnHalfway
                         : rotation == 270 ? mpvname::TurnCounterClockwise
                                           : nullptr;
    if (filter)
        mpv_set_property_async(movie.handle(), AsyncReply, mpvname::VideoFilters, MPV_FORMAT_STRING, &filter);
}

} // namespace tetrapan
