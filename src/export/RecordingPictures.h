#pragma once

#include "export/PaneSources.h"
#include "library/Recording.h"
#include "recording/RecordingStretches.h"

#include <QSet>

#include <memory>

namespace tetrapan {

class MovieDecoder;

// A recording's pictures as a pane plays them: its files one after another on the recording's own time line
// (time 0 at its start), black where no file plays. Only the file of the stretch being read is open, so a
// recording of thousands of files costs one file's decoder. A file that cannot be read is black for its
// stretch, as playing skips it, and named in unreadableFiles().
class RecordingPictures final : public PictureSource {
public:
    explicit RecordingPictures(const Recording& recording);
    ~RecordingPictures() override;
    RecordingPictures(const RecordingPictures&) = delete;
    RecordingPictures& operator=(const RecordingPictures&) = delete;

    // Learns the pictures' rate and shape from the first file that opens; false when none does.
    bool open(QString* reason);

    int rateNumerator() const override { return rateNum_; }
    int rateDenominator() const override { return rateDen_; }
    double durationSeconds() const override { return recording_.lengthMs() / 1000.0; }
    double aspect() const override { return aspect_; }
    int turnDegrees() const override { return turnDegrees_; }
    QDateTime filmedAt() const override;
    bool seek(double seconds, QString* reason) override;
    const AVFrame* frameAt(double seconds, QString* reason) override;
    QStringList unreadableFiles() const override { return unreadable_; }

    const Recording& recording() const { return recording_; }
    // The stretches as played; whether a file can be read is judged as playing judges it, by its being there
    // to read, once for the pictures and the sound.
    const QVector<RecordingStretch>& stretches() const { return stretches_; }

private:
    static QVector<RecordingStretch> stretchesOf(const Recording& recording, QVector<int>* gone);
    void enter(int stretch, double seconds);
    void noteUnreadable(int piece, const QString& why);

    Recording recording_;
    QVector<int> gone_; // the pieces not there to read, by start
    QVector<RecordingStretch> stretches_;
    std::unique_ptr<MovieDecoder> file_; // the current stretch's file; null in a gap or an unreadable file
    int current_ = -1;                   // the stretch being read; -1 after a seek
    int rateNum_ = 0;
    int rateDen_ = 1;
    double aspect_ = 1;
    int turnDegrees_ = 0; // the first file's: a camera stores all its files alike
    AVFrame* black_ = nullptr;
    QStringList unreadable_;
    QSet<int> unreadablePieces_;
};

} // namespace tetrapan
