#pragma once

#include "export/PaneSources.h"
#include "recording/ffmpegError.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <memory>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace tetrapan {

// Reads one movie's pictures in order, from one seek on, and answers which picture shows at a time: the
// last whose time is not after it (the first before the movie starts, the last after it ends).
class MovieDecoder final : public PictureSource {
public:
    MovieDecoder();
    ~MovieDecoder() override;
    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    bool open(const QString& path, QString* reason);
    // Frames per second as a fraction, as the container and the stream say; {0, 1} when unknown.
    int rateNumerator() const override { return rateNum_; }
    int rateDenominator() const override { return rateDen_; }
    double durationSeconds() const override { return duration_; }
    // The picture's width over height as shown (its pixels' shape taken into account).
    double aspect() const override { return aspect_; }
    int turnDegrees() const override { return turnDegrees_; }
    // When the movie's first picture was filmed, as well as it can tell: the container's creation time, or
    // else the file's last change less the movie's length (a camera writes until it stops).
    QDateTime filmedAt() const override { return filmedAt_; }

    // Starts reading at the key frame at or before the time.
    bool seek(double seconds, QString* reason) override;
    // The picture showing at the time; times must not go back between seeks. Null only when the movie has
    // no picture at all, with why in `reason`.
    const AVFrame* frameAt(double seconds, QString* reason) override;
    // Whether a reading that failed with this FFmpeg error leaves the movie's last picture showing on, as a
    // file cut short or damaged towards its end does; any other failure (the disk's, a network folder
    // gone) is the export's.
    static bool endsTheMovie(int error);

private:
    void close();
    bool readNext(QString* reason);

    QString path_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* shown_ = nullptr; // the picture showing at the last time asked
    AVFrame* next_ = nullptr;  // the one after it, decoded ahead
    bool hasShown_ = false;
    bool hasNext_ = false;
    bool ended_ = false;
    int lastError_ = 0; // of the last reading that failed
    int stream_ = -1;
    double timeBase_ = 0;
    double startTime_ = 0;
    int rateNum_ = 0;
    int rateDen_ = 1;
    double duration_ = 0;
    double aspect_ = 1;
    int turnDegrees_ = 0;
    QDateTime filmedAt_;
};

} // namespace tetrapan
