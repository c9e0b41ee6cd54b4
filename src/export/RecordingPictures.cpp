#include "export/RecordingPictures.h"

#include "export/MovieDecoder.h"
#include "platform/fileNames.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <cstring>

namespace tetrapan {

namespace {

// As for a single movie: a time up to this much before a boundary counts as the next file's, since offsets
// and the recording's places are whole milliseconds.
constexpr double BoundarySlack = 0.001;
// Black is scaled into the picture's place like any picture, so its own size does not matter.
constexpr int BlackSize = 16;

} // namespace

RecordingPictures::RecordingPictures(const Recording& recording)
    : recording_(recording), stretches_(stretchesOf(recording, &gone_))
{
}

RecordingPictures::~RecordingPictures()
{
    av_frame_free(&black_);
}

QVector<RecordingStretch> RecordingPictures::stretchesOf(const Recording& recording, QVector<int>* gone)
{
    QVector<bool> readable;
    readable.reserve(recording.pieces.size());
    for (int i = 0; i < recording.pieces.size(); ++i) {
        // as the panes judge it: Qt's file classes cannot name every file
        readable.append(fileNames::opensForReading(recording.pieces[i].path));
        if (!readable.last())
            gone->append(i);
    }
    return RecordingStretches::of(recording, readable);
}

bool RecordingPictures::open(QString* reason)
{
    black_ = av_frame_alloc();
    if (black_) {
        black_->format = AV_PIX_FMT_BGR0;
        black_->width = black_->height = BlackSize;
    }
    if (!black_ || av_frame_get_buffer(black_, 0) < 0) {
        *reason = QStringLiteral("there is not enough memory");
        return false;
    }
    std::memset(black_->data[0], 0, size_t(black_->linesize[0]) * BlackSize);
    for (const RecordingStretch& stretch : std::as_const(stretches_)) {
        if (stretch.piece < 0)
            continue;
        MovieDecoder first;
        QString why;
        if (!first.open(recording_.pieces[stretch.piece].path, &why))
            continue;
        rateNum_ = first.rateNumerator();
        rateDen_ = first.rateDenominator();
        aspect_ = first.aspect();
        turnDegrees_ = first.turnDegrees();
        return true;
    }
    *reason = QStringLiteral("none of its files can be read");
    return false;
}

QDateTime RecordingPictures::filmedAt() const
{
    return QDateTime::fromMSecsSinceEpoch(recording_.startMs(), QTimeZone::utc());
}

bool RecordingPictures::seek(double, QString*)
{
    // the stretch's file is opened where the next picture is asked, and sought to it there
    file_.reset();
    current_ = -1;
    return true;
}

void RecordingPictures::noteUnreadable(int piece, const QString& why)
{
    if (unreadablePieces_.contains(piece))
        return;
    unreadablePieces_.insert(piece);
    unreadable_.append(
        QStringLiteral("%1 (%2)").arg(QFileInfo(recording_.pieces[piece].path).fileName(), why));
}

void RecordingPictures::enter(int stretch, double seconds)
{
    file_.reset(); // one file open at a time, whatever the recording's length
    current_ = stretch;
    const int piece = stretches_[stretch].piece;
    if (piece < 0) {
        // a gap, or files gone since the recording was listed, which are named
        const qint64 from = recording_.startMs() + stretches_[stretch].fromMs;
        const qint64 to = from + stretches_[stretch].lengthMs;
        auto gone = std::lower_bound(gone_.cbegin(), gone_.cend(), from, [this](int index, qint64 ms) {
            return recording_.pieces[index].startMs < ms;
        });
        for (; gone != gone_.cend() && recording_.pieces[*gone].startMs < to; ++gone)
            noteUnreadable(*gone, QStringLiteral("it is gone"));
        return;
    }
    QString why;
    auto file = std::make_unique<MovieDecoder>();
    if (!file->open(recording_.pieces[piece].path, &why) ||
        !file->seek(seconds - stretches_[stretch].fromMs / 1000.0, &why)) {
        noteUnreadable(piece, why);
        return;
    }
    file_ = std::move(file);
}

const AVFrame* RecordingPictures::frameAt(double seconds, QString*)
{
    if (stretches_.isEmpty())
        return black_;
    // before its start the recording shows its first picture, after its end its last, as a movie does
    const double at = std::clamp(seconds, 0.0, durationSeconds());
    const auto after =
        std::upper_bound(stretches_.begin(), stretches_.end(), at + BoundarySlack,
                         [](double t, const RecordingStretch& s) { return t < s.fromMs / 1000.0; });
    const int stretch = int(std::max<qsizetype>(after - stretches_.begin() - 1, 0));
    if (stretch != current_)
        enter(stretch, at);
    if (!file_)
        return black_;
    QString why;
    const AVFrame* frame = file_->frameAt(at - stretches_[stretch].fromMs / 1000.0, &why);
    if (!frame) {
        // a file with no picture to show is a gap, as playing skips it
        noteUnreadable(stretches_[stretch].piece, why);
        file_.reset();
        return black_;
    }
    return frame;
}

} // namespace tetrapan
