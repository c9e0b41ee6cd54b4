#include "export/VideoExport.h"

#include "export/ExportOutput.h"
#include "export/MovieDecoder.h"
#include "export/PictureColours.h"
#include "export/RecordingPictures.h"
#include "export/RecordingSound.h"
#include "export/SoundDecoder.h"
#include "library/RecordingSource.h"
#include "platform/fileNames.h"
#include "recording/RecordingLister.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTimeZone>
#include <QTransform>

#include <cmath>
#include <cstring>
#include <memory>

namespace tetrapan {

namespace {

constexpr int PaneCount = 4;
// estimates of the time left wait for this much work, so the first slow frames do not mislead
constexpr qint64 EstimateAfterMs = 500;

struct PaneReader {
    std::unique_ptr<PictureSource> pictures;
    std::unique_ptr<SoundSource> sound;
    // the pictures, when the pane holds a recording; its sound walks the same stretches
    const RecordingPictures* recording = nullptr;
    QRect picturePlace;            // where the fitted picture, or its zoomed part, goes
    QRectF sourcePart{0, 0, 1, 1}; // the part of the movie's picture shown there, in shares of it
    SwsContext* scaler = nullptr;
    // libswscale writes whole blocks of pixels, past the end of a row that is not a multiple of them: the
    // picture is scaled here and copied into its place, so it never spills onto its neighbours
    QImage scaled;
    QString name;

    PaneReader() = default;
    PaneReader(const PaneReader&) = delete;
    PaneReader& operator=(const PaneReader&) = delete;
    ~PaneReader() { sws_freeContext(scaler); }
};

QRect fitted(const QRect& place, double aspect)
{
    if (place.isEmpty() || aspect <= 0)
        return {};
    QSize size = place.size();
    if (double(place.width()) / place.height() > aspect)
        size.setWidth(std::max(1, int(std::lround(place.height() * aspect))));
    else
        size.setHeight(std::max(1, int(std::lround(place.width() / aspect))));
    return QRect(place.topLeft() +
                     QPoint((place.width() - size.width()) / 2, (place.height() - size.height()) / 2),
                 size);
}

QString clockText(double seconds)
{
    const auto ms = qint64(std::llround(std::max(seconds, 0.0) * 1000));
    return QStringLiteral("%1:%2:%3.%4")
        .arg(ms / 3600000)
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

void drawLabel(QImage& image, const QRect& place, const QString& text)
{
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(std::clamp(place.height() / 24, 9, 48));
    painter.setFont(font);
    const QRect box =
        painter.boundingRect(place.adjusted(6, 0, -6, -6), Qt::AlignLeft | Qt::AlignBottom, text)
            .adjusted(-4, -2, 4, 2);
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

// Where the picture goes in its place, and which part of it shows, as the pane shows it.
void placePicture(PaneReader& pane, const ExportPane& described, QSize output, double aspect)
{
    const QRect place = described.place.intersected(QRect(QPoint(), output));
    const QRect whole = described.keepAspect ? fitted(place, aspect) : place;
    const double factor = std::max(described.zoomFactor, 1.0);
    if (whole.isEmpty() || factor == 1.0) {
        pane.picturePlace = whole;
        return;
    }
    const QSizeF size = QSizeF(whole.size()) * factor;
    const QPointF centre = QRectF(place).center();
    const QRectF zoomed(
        centre - QPointF(described.zoomCentre.x() * size.width(), described.zoomCentre.y() * size.height()),
        size);
    const QRectF shown = zoomed.intersected(QRectF(place));
    pane.picturePlace = shown.toAlignedRect().intersected(place);
    pane.sourcePart =
        QRectF((shown.left() - zoomed.left()) / size.width(), (shown.top() - zoomed.top()) / size.height(),
               shown.width() / size.width(), shown.height() / size.height());
}

// The part of the stored picture that shows as `shown` of the upright one, both in shares of the picture.
QRectF storedPart(const QRectF& shown, int turnDegrees)
{
    const double l = shown.left(), t = shown.top(), r = shown.right(), b = shown.bottom();
    switch (turnDegrees) {
    case 90:
        return QRectF(QPointF(t, 1 - r), QPointF(b, 1 - l));
    case 180:
        return QRectF(QPointF(1 - r, 1 - b), QPointF(1 - l, 1 - t));
    case 270:
        return QRectF(QPointF(1 - b, l), QPointF(1 - t, r));
    default:
        return shown;
    }
}

// Scales a picture, or the part of it that shows, into its place in the output picture, turned upright.
void drawPicture(QImage& image, PaneReader& pane, const AVFrame* whole)
{
    const QRect& to = pane.picturePlace;
    const int turn = pane.pictures->turnDegrees();
    const AVFrame* frame = whole;
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> part(nullptr, [](AVFrame* f) { av_frame_free(&f); });
    if (pane.sourcePart != QRectF(0, 0, 1, 1)) {
        part.reset(av_frame_clone(whole));
        if (!part)
            return;
        const QRectF s = storedPart(pane.sourcePart, turn);
        // within the picture: a share a hair past its edge (1.0000000000000002 turned into -2e-16) would be a
        // crop of a negative size, which cropping refuses, and the pane would stay black
        const auto at = [](double share, int length) {
            return std::clamp(share * length, 0.0, double(length));
        };
        part->crop_left = size_t(std::floor(at(s.left(), whole->width)));
        part->crop_top = size_t(std::floor(at(s.top(), whole->height)));
        part->crop_right = size_t(whole->width - std::ceil(at(s.right(), whole->width)));
        part->crop_bottom = size_t(whole->height - std::ceil(at(s.bottom(), whole->height)));
        if (av_frame_apply_cropping(part.get(), AV_FRAME_CROP_UNALIGNED) < 0)
            return;
        frame = part.get();
    }
    // turned a quarter, the stored picture is as wide as the place is high
    const QSize size = turn % 180 != 0 ? to.size().transposed() : to.size();
    pane.scaler = sws_getCachedContext(pane.scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                       size.width(), size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr,
                                       nullptr, nullptr);
    if (!pane.scaler)
        return;
    pictureColours::readAsMade(pane.scaler, *frame);
    // rows of whole 64-byte blocks, and one row more, as buffers made for libswscale have
    const QSize room((size.width() + 15) / 16 * 16 + 16, size.height() + 1);
    if (pane.scaled.size() != room)
        pane.scaled = QImage(room, QImage::Format_RGB32);
    if (pane.scaled.isNull())
        return;
    uint8_t* target[1] = {pane.scaled.bits()};
    const int stride[1] = {int(pane.scaled.bytesPerLine())};
    sws_scale(pane.scaler, frame->data, frame->linesize, 0, frame->height, target, stride);
    QImage upright;
    if (turn != 0) {
        const QImage stored(pane.scaled.constBits(), size.width(), size.height(), pane.scaled.bytesPerLine(),
                            QImage::Format_RGB32);
        upright = stored.transformed(QTransform().rotate(turn));
    }
    const QImage& shown = turn != 0 ? upright : pane.scaled;
    if (shown.width() < to.width() || shown.height() < to.height())
        return;
    for (int row = 0; row < to.height(); ++row)
        std::memcpy(image.scanLine(to.y() + row) + qsizetype(to.x()) * 4, shown.constScanLine(row),
                    size_t(to.width()) * 4);
}

ExportResult failed(const QString& message)
{
    ExportResult result;
    result.message = message;
    return result;
}

// The recording a pane holds: as the pane placed it, else the one its locator names.
std::optional<Recording> recordingIn(const ExportPane& pane)
{
    if (!pane.recording.isEmpty())
        return pane.recording;
    return RecordingSource::fromLocator(pane.filePath);
}

// Lists a recording the job did not; false, with the rest of a sentence naming the recording, when it is
// gone or holds nothing to play.
bool openRecording(Recording& recording, QString* why)
{
    if (!recording.folder.isEmpty() && !fileNames::facts(recording.folder).isFolder) {
        *why = QStringLiteral("is gone: its folder is no longer there");
        return false;
    }
    if (recording.isEmpty())
        recording = RecordingLister::list(recording, QTimeZone::systemTimeZone());
    if (recording.isEmpty()) {
        *why = QStringLiteral("holds no movie that can be played");
        return false;
    }
    return true;
}

// The movie file of the pane that the output would replace, if any: the finished video is renamed over the
// chosen name, and a movie it was read from would be gone for good.
QString sourceReplacedBy(const fileNames::Facts& output, const ExportPane& pane,
                         const RecordingPictures* recording)
{
    if (!output.exists)
        return {};
    if (!recording)
        return output.isSameFileAs(fileNames::facts(pane.filePath)) ? pane.filePath : QString();
    for (const RecordingPiece& piece : recording->recording().pieces) {
        if (output.isSameFileAs(fileNames::facts(piece.path)))
            return piece.path;
    }
    return {};
}

QString recordingName(const Recording& recording)
{
    const QString folder = recording.folder.isEmpty()
                               ? QFileInfo(recording.pieces.value(0).path).absolutePath()
                               : recording.folder;
    const QString name = QFileInfo(folder).fileName();
    return recording.camera.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, recording.camera);
}

QString unreadableFiles(const std::array<PaneReader, PaneCount>& panes)
{
    QStringList lines;
    for (size_t i = 0; i < panes.size(); ++i) {
        const QStringList files = panes[i].pictures ? panes[i].pictures->unreadableFiles() : QStringList();
        if (!files.isEmpty())
            lines.append(
                QStringLiteral("Pane %1's recording: %2 could not be read and %3 black in the video.")
                    .arg(i + 1)
                    .arg(files.join(QStringLiteral(", ")),
                         files.size() == 1 ? QStringLiteral("is") : QStringLiteral("are")));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString timeLeftText(double seconds)
{
    if (seconds < 0)
        return QString();
    if (seconds < 60)
        return QStringLiteral("less than a minute left");
    const int minutes = int(std::lround(seconds / 60));
    return minutes < 120 ? QStringLiteral("about %1 min left").arg(minutes)
                         : QStringLiteral("about %1 h left").arg(std::lround(seconds / 3600.0));
}

std::array<QRect, 4> scaledPlaces(const std::array<QRect, 4>& panes, const QRect& area, QSize output)
{
    std::array<QRect, 4> places;
    if (area.isEmpty())
        return places;
    const double sx = double(output.width()) / area.width();
    const double sy = double(output.height()) / area.height();
    for (size_t i = 0; i < panes.size(); ++i) {
        if (panes[i].isEmpty())
            continue;
        // edges are scaled, not sizes, so neighbouring panes meet where their dividers meet
        const QRect in = panes[i].translated(-area.topLeft());
        const int left = int(std::lround(in.x() * sx)), top = int(std::lround(in.y() * sy));
        const int right = int(std::lround((in.x() + in.width()) * sx));
        const int bottom = int(std::lround((in.y() + in.height()) * sy));
        places[i] =
            QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).intersected(QRect(QPoint(), output));
    }
    return places;
}

ExportResult runVideoExport(const ExportJob& job, const std::atomic<bool>& cancel,
                            const std::function<void(const ExportProgress&)>& progress)
{
    if (job.size.width() <= 0 || job.size.height() <= 0)
        return failed(QStringLiteral("The encoder refuses a picture of %1 x %2.")
                          .arg(job.size.width())
                          .arg(job.size.height()));
    std::array<PaneReader, PaneCount> panes;
    // what the chosen name holds now, looked at once; usually nothing
    const fileNames::Facts chosenName = fileNames::facts(job.outputPath);
    bool anyMovie = false;
    for (int i = 0; i < PaneCount; ++i) {
        const ExportPane& pane = job.panes[size_t(i)];
        if (pane.filePath.isEmpty())
            continue;
        anyMovie = true;
        QString why;
        std::unique_ptr<PictureSource> pictures;
        if (std::optional<Recording> recording = recordingIn(pane)) {
            if (!openRecording(*recording, &why))
                return failed(QStringLiteral("Pane %1's recording %2 %3.")
                                  .arg(i + 1)
                                  .arg(RecordingSource::shownName(pane.filePath), why));
            auto reader = std::make_unique<RecordingPictures>(*recording);
            if (!reader->open(&why))
                return failed(QStringLiteral("Pane %1's recording %2 cannot be read: %3.")
                                  .arg(i + 1)
                                  .arg(RecordingSource::shownName(pane.filePath), why));
            panes[size_t(i)].name = recordingName(*recording);
            panes[size_t(i)].recording = reader.get();
            pictures = std::move(reader);
        } else {
            auto movie = std::make_unique<MovieDecoder>();
            if (!movie->open(pane.filePath, &why)) {
                return failed(QStringLiteral("Pane %1's movie cannot be read: %2 (%3).")
                                  .arg(i + 1)
                                  .arg(fileNames::shown(pane.filePath), why));
            }
            // a raw stream: the panes refuse it too, and its range would be taken for empty
            if (movie->durationSeconds() <= 0)
                return failed(QStringLiteral("Pane %1's movie cannot be read: %2 (no duration).")
                                  .arg(i + 1)
                                  .arg(fileNames::shown(pane.filePath)));
            panes[size_t(i)].name = QFileInfo(pane.filePath).fileName();
            pictures = std::move(movie);
        }
        if (const QString replaced = sourceReplacedBy(chosenName, pane, panes[size_t(i)].recording);
            !replaced.isEmpty()) {
            return failed(QStringLiteral("The video would replace pane %1's movie %2, which it is made from; "
                                         "choose another name.")
                              .arg(i + 1)
                              .arg(fileNames::shown(replaced)));
        }
        placePicture(panes[size_t(i)], pane, job.size, pictures->aspect());
        panes[size_t(i)].pictures = std::move(pictures);
    }
    const int leader = std::clamp(job.leader, 0, PaneCount - 1);
    if (!anyMovie || !panes[size_t(leader)].pictures)
        return failed(QStringLiteral("There is no movie to export: the playlist's panes are empty."));
    const PictureSource& leaderMovie = *panes[size_t(leader)].pictures;
    const ExportPane& leaderPane = job.panes[size_t(leader)];

    AVRational rate{leaderMovie.rateNumerator(), leaderMovie.rateDenominator()};
    if (job.framesPerSecond > 0)
        rate = av_d2q(job.framesPerSecond, 1000000);
    if (rate.num <= 0 || rate.den <= 0)
        return failed(QStringLiteral("The leading movie does not say its frame rate; choose one."));
    // the leader's whole movie on the common time line
    const double leaderRate = leaderPane.rate > 0 ? leaderPane.rate : 1.0;
    const double leaderEnd = (leaderMovie.durationSeconds() - leaderPane.offsetMs / 1000.0) / leaderRate;
    double start = (0 - leaderPane.offsetMs / 1000.0) / leaderRate, end = leaderEnd;
    if (job.endMs > job.startMs) {
        // a range as the time line shows it, which ends with the leader's movie (a command line may ask for
        // more, which would be its last picture standing)
        start = job.startMs / 1000.0;
        end = std::min(job.endMs / 1000.0, leaderEnd);
        if (start >= leaderEnd)
            return failed(QStringLiteral("The range starts after the end of the leading movie, at %1 s.")
                              .arg(leaderEnd, 0, 'f', 1));
    }
    const double secondsPerFrame = double(rate.den) / rate.num;
    const qint64 frames = std::llround((end - start) / secondsPerFrame);
    if (frames <= 0)
        return failed(QStringLiteral("The range to export is empty."));

    bool withSound = false;
    for (int i = 0; i < PaneCount; ++i) {
        const ExportPane& pane = job.panes[size_t(i)];
        const bool wanted = job.sound == ExportSound::HeardPanes
                                ? pane.heard
                                : job.sound == ExportSound::OnePane && i == job.soundPane;
        if (!wanted || pane.filePath.isEmpty())
            continue;
        QString why;
        std::unique_ptr<SoundSource> sound;
        const RecordingSound* files = nullptr;
        if (const RecordingPictures* recording = panes[size_t(i)].recording) {
            auto listed = std::make_unique<RecordingSound>(recording->recording(), recording->stretches());
            files = listed.get();
            sound = std::move(listed);
        } else {
            auto movie = std::make_unique<SoundDecoder>();
            if (!movie->open(pane.filePath, &why))
                continue; // a movie without sound adds silence
            sound = std::move(movie);
        }
        if (!sound->start(start, pane.offsetMs / 1000.0, pane.rate, &why))
            return failed(QStringLiteral("Pane %1's sound cannot be read: %2.").arg(i + 1).arg(why));
        if (files && !files->hasSoundBefore(end))
            continue; // nor does a recording none of whose files in the range has sound
        panes[size_t(i)].sound = std::move(sound);
        withSound = true;
    }
    for (int i = 0; i < PaneCount; ++i) {
        PaneReader& pane = panes[size_t(i)];
        QString why;
        const ExportPane& described = job.panes[size_t(i)];
        if (pane.pictures && !pane.pictures->seek(described.rate * start + described.offsetMs / 1000.0, &why))
            return failed(QStringLiteral("Pane %1's movie cannot be read: %2.").arg(i + 1).arg(why));
    }

    ExportOutput output;
    QString why;
    if (!output.open(job, rate.num, rate.den, withSound, &why))
        return failed(why);

    QImage picture(job.size, QImage::Format_RGB32);
    if (picture.isNull())
        return failed(QStringLiteral("There is not enough memory for a picture of %1 x %2.")
                          .arg(job.size.width())
                          .arg(job.size.height()));
    const int soundChunk = output.soundFrameSamples();
    const qint64 soundTotal = std::llround(frames * secondsPerFrame * SoundDecoder::SampleRate);
    qint64 soundDone = 0;
    std::vector<float> left(static_cast<size_t>(soundChunk)), right(static_cast<size_t>(soundChunk));
    QElapsedTimer clock;
    clock.start();
    ExportResult result;
    for (qint64 n = 0; n < frames; ++n) {
        if (cancel.load(std::memory_order_relaxed)) {
            result.cancelled = true;
            result.message = QStringLiteral("The export was cancelled.");
            return result; // the output abandons its file as it goes
        }
        const double common = start + double(n) * rate.den / rate.num;
        picture.fill(Qt::black);
        for (int i = 0; i < PaneCount; ++i) {
            PaneReader& pane = panes[size_t(i)];
            if (!pane.pictures || pane.picturePlace.isEmpty())
                continue;
            const ExportPane& described = job.panes[size_t(i)];
            const double paneTime = described.rate * common + described.offsetMs / 1000.0;
            const AVFrame* frame = pane.pictures->frameAt(paneTime, &why);
            if (!frame)
                return failed(QStringLiteral("Pane %1's movie cannot be read: %2.").arg(i + 1).arg(why));
            drawPicture(picture, pane, frame);
            const double shownTime = std::clamp(paneTime, 0.0, pane.pictures->durationSeconds());
            if (job.labels == ExportLabels::NameAndTime)
                drawLabel(picture, described.place, pane.name + QStringLiteral("  ") + clockText(shownTime));
            else if (job.labels == ExportLabels::WallClock && pane.pictures->filmedAt().isValid())
                drawLabel(picture, described.place,
                          pane.pictures->filmedAt()
                              .addMSecs(std::llround(shownTime * 1000))
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
        }
        if (!output.writePicture(picture, n, &why))
            return failed(why);
        // the sound is kept up with the pictures, so the container interleaves them closely
        const qint64 soundDue =
            std::min(soundTotal, std::llround((n + 1) * secondsPerFrame * SoundDecoder::SampleRate));
        while (withSound && soundDone < soundDue) {
            const int count = int(std::min<qint64>(soundChunk, soundTotal - soundDone));
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            for (PaneReader& pane : panes) {
                if (pane.sound && !pane.sound->addTo(left.data(), right.data(), soundDone, count, &why))
                    return failed(QStringLiteral("A pane's sound cannot be read: %1.").arg(why));
            }
            for (int s = 0; s < count; ++s) {
                left[size_t(s)] = std::clamp(left[size_t(s)], -1.0f, 1.0f);
                right[size_t(s)] = std::clamp(right[size_t(s)], -1.0f, 1.0f);
            }
            if (!output.writeSound(left.data(), right.data(), count, &why))
                return failed(why);
            soundDone += count;
        }
        if (progress) {
            ExportProgress step;
            step.framesDone = n + 1;
            step.framesTotal = frames;
            const qint64 elapsed = clock.elapsed();
            if (elapsed >= EstimateAfterMs)
                step.secondsLeft = elapsed / 1000.0 / double(n + 1) * double(frames - n - 1);
            progress(step);
        }
    }
    if (!output.finish(&why))
        return failed(why);
    result.warning = unreadableFiles(panes);
    result.ok = true;
    result.frames = frames;
    return result;
}

void keepLibraryNotesQuiet()
{
    av_log_set_level(AV_LOG_ERROR);
}

} // namespace tetrapan
