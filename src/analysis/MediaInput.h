#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

extern "C" {
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
}

namespace tetrapan {

// One stream of a movie file decoded with FFmpeg's libraries, for analysis away from the movie engine: the
// engine plays, this reads. Times are seconds on the file's own time line from its start, as the engine
// counts them (the container's start time taken off), so what is found here applies to the panes as is.
class MediaInput {
public:
    enum class Kind { Sound, Picture };
    enum class Status { Ok, NoStream, Unreadable };

    MediaInput();
    ~MediaInput();
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;

    // Opens the file's best stream of that kind and its decoder; problem() says why not. Once `cancel` is
    // set, the file's reading stops where it waits (the open, a seek, a read) as well as between frames.
    Status open(const QString& path, Kind kind, const std::atomic<bool>* cancel = nullptr);
    QString problem() const { return problem_; }
    // the file's length in seconds, 0 when it does not say
    double durationSeconds() const { return duration_; }
    AVCodecContext* decoder() const { return decoder_; }

    // Goes to the last key frame at or before `seconds`; false leaves the reading at the start.
    bool seek(double seconds);
    // Hands each decoded frame and its time to `frame` until it returns false, the stream ends or `cancel`
    // is set. False when the file could not be read on (problem() then says why) or the reading was
    // cancelled.
    bool decode(const std::function<bool(const AVFrame&, double seconds)>& frame,
                const std::atomic<bool>& cancel);

private:
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    int stream_ = -1;
    double duration_ = 0.0;
    double startSeconds_ = 0.0;
    double timeBase_ = 0.0;
    QString problem_;
};

} // namespace tetrapan
