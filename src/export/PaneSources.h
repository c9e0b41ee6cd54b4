#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

struct AVFrame;

namespace tetrapan {

// What an export reads a pane's pictures from: one movie file, or a recording's files in turn.
class PictureSource {
public:
    virtual ~PictureSource() = default;

    // Frames per second as a fraction; {0, 1} when unknown.
    virtual int rateNumerator() const = 0;
    virtual int rateDenominator() const = 0;
    virtual double durationSeconds() const = 0;
    // The picture's width over height as shown.
    virtual double aspect() const = 0;
    // How far the stored picture is turned clockwise to be shown upright (0, 90, 180 or 270): a phone
    // stores its pictures as the camera saw them and says how to turn them.
    virtual int turnDegrees() const { return 0; }
    // When the first picture was filmed, as well as it can tell.
    virtual QDateTime filmedAt() const = 0;
    // Reads on from the time; times asked of frameAt must not go back between seeks.
    virtual bool seek(double seconds, QString* reason) = 0;
    // The picture showing at the time (pane time, from the movie's start): the last whose time is not after
    // it. Null only on a failure, with why in `reason`.
    virtual const AVFrame* frameAt(double seconds, QString* reason) = 0;
    // The files that could not be read and were shown black for their stretch, by name.
    virtual QStringList unreadableFiles() const { return {}; }
};

// What an export reads a pane's sound from, laid on the output's sample line (stereo, 48 kHz, sample 0 at
// the range's start).
class SoundSource {
public:
    virtual ~SoundSource() = default;

    // pane time = rate x common time + offset; the range starts at common time `startSeconds`.
    virtual bool start(double startSeconds, double offsetSeconds, double rate, QString* reason) = 0;
    // Adds the sound of output samples [first, first + count) to the two channels; requests move forward.
    virtual bool addTo(float* left, float* right, qint64 first, int count, QString* reason) = 0;
};

} // namespace tetrapan
