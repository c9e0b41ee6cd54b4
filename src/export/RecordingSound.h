#pragma once

#include "export/PaneSources.h"
#include "library/Recording.h"
#include "recording/RecordingStretches.h"

#include <memory>

namespace tetrapan {

class SoundDecoder;

// A recording's sound as a pane plays it: each file's sound for its stretch of the recording's time line,
// cut where a later file takes over, and silence in the gaps and for files without sound or that cannot be
// read. One file is open at a time.
class RecordingSound final : public SoundSource {
public:
    // `stretches` as the recording's pictures are read (RecordingPictures::stretches()).
    RecordingSound(const Recording& recording, const QVector<RecordingStretch>& stretches);
    ~RecordingSound() override;
    RecordingSound(const RecordingSound&) = delete;
    RecordingSound& operator=(const RecordingSound&) = delete;

    bool start(double startSeconds, double offsetSeconds, double rate, QString* reason) override;
    bool addTo(float* left, float* right, qint64 first, int count, QString* reason) override;
    // After start: whether some file playing before endSeconds (the output's time) has sound. Reads the
    // headers the listing did not, so on the export's thread.
    bool hasSoundBefore(double endSeconds) const;

private:
    // The output sample a time of the recording falls on.
    qint64 sampleOf(qint64 recordingMs) const;
    void enter(int stretch);

    Recording recording_;
    QVector<RecordingStretch> stretches_;
    std::unique_ptr<SoundDecoder> file_; // the current stretch's sound; null where it is silent
    int current_ = -1;                   // the stretch file_ belongs to
    int next_ = 0;                       // the first stretch not yet laid down whole
    double rangeStart_ = 0, offset_ = 0, rate_ = 1;
};

} // namespace tetrapan
