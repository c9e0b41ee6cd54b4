#include "export/RecordingSound.h"

#include "export/SoundDecoder.h"
#include "recording/MovieHeader.h"

#include <algorithm>
#include <cmath>

namespace tetrapan {

RecordingSound::RecordingSound(const Recording& recording, const QVector<RecordingStretch>& stretches)
    : recording_(recording), stretches_(stretches)
{
}

RecordingSound::~RecordingSound() = default;

bool RecordingSound::start(double startSeconds, double offsetSeconds, double rate, QString*)
{
    rangeStart_ = startSeconds;
    offset_ = offsetSeconds;
    rate_ = rate > 0 ? rate : 1.0;
    file_.reset();
    current_ = -1;
    next_ = 0;
    return true;
}

bool RecordingSound::hasSoundBefore(double endSeconds) const
{
    const qint64 end = std::llround((endSeconds - rangeStart_) * SoundDecoder::SampleRate);
    for (const RecordingStretch& stretch : stretches_) {
        if (stretch.piece < 0 || sampleOf(stretch.fromMs + stretch.lengthMs) <= 0 ||
            sampleOf(stretch.fromMs) >= end)
            continue;
        const RecordingPiece& piece = recording_.pieces[stretch.piece];
        const RecordingTracks tracks =
            piece.tracks.known ? piece.tracks : MovieHeader::read(piece.path).tracks;
        if (tracks.hasSound)
            return true;
    }
    return false;
}

qint64 RecordingSound::sampleOf(qint64 recordingMs) const
{
    const double common = (recordingMs / 1000.0 - offset_) / rate_;
    return std::llround((common - rangeStart_) * SoundDecoder::SampleRate);
}

void RecordingSound::enter(int stretch)
{
    file_.reset();
    current_ = stretch;
    const RecordingStretch& entered = stretches_[stretch];
    if (entered.piece < 0)
        return;
    QString why;
    auto file = std::make_unique<SoundDecoder>();
    // the file's own time starts with its stretch; a file without sound, or one that cannot be read, is
    // silent there (the pictures name what cannot be read)
    if (file->open(recording_.pieces[entered.piece].path, &why) &&
        file->start(rangeStart_, offset_ - entered.fromMs / 1000.0, rate_, &why))
        file_ = std::move(file);
}

bool RecordingSound::addTo(float* left, float* right, qint64 first, int count, QString*)
{
    const qint64 end = first + count;
    while (next_ < stretches_.size()) {
        const RecordingStretch& due = stretches_[next_];
        const qint64 from = sampleOf(due.fromMs), to = sampleOf(due.fromMs + due.lengthMs);
        if (from >= end)
            break;
        if (to > first) {
            if (current_ != next_)
                enter(next_);
            const qint64 lo = std::max(first, from), hi = std::min(end, to);
            QString why;
            // a file that fails halfway is silent from there, as it would be black
            if (file_ && hi > lo &&
                !file_->addTo(left + (lo - first), right + (lo - first), lo, int(hi - lo), &why))
                file_.reset();
        }
        if (to > end)
            break;
        // done with this stretch: its file is closed before the next one's opens
        file_.reset();
        ++next_;
    }
    return true;
}

} // namespace tetrapan
