#pragma once

#include "export/PaneSources.h"

#include <QString>

#include <optional>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVChannelLayout;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace tetrapan {

// One movie's sound, read in order from one seek on and laid on the output's time line: stereo at
// SampleRate, sample 0 at the start of the exported range. A pane played faster or slower has its sound
// played so too (its pitch with it).
class SoundDecoder final : public SoundSource {
public:
    static constexpr int SampleRate = 48000;

    SoundDecoder();
    ~SoundDecoder() override;
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // False when the movie has no sound to read (not an error: the pane is silent).
    bool open(const QString& path, QString* reason);
    // pane time = rate x common time + offset; the range starts at common time `startSeconds`.
    bool start(double startSeconds, double offsetSeconds, double rate, QString* reason) override;
    // Adds the sound of output samples [first, first + count) to the two channels.
    bool addTo(float* left, float* right, qint64 first, int count, QString* reason) override;

private:
    void close();
    bool decodeMore(QString* reason);
    bool convertFrame(QString* reason);
    void drain();
    // `count` samples (none: what the resampler still holds back) converted onto the pending ones; a
    // failure says why in `reason`, where there is one.
    bool convert(const uint8_t** samples, int count, QString* reason);
    bool resumeAfterPause(qint64 first, QString* reason);
    qint64 pendingEnd() const { return pendingFirst_ + qint64(pendingLeft_.size()); }
    // Lets go of the sound before this sample of the output.
    void dropBefore(qint64 sample);
    // Sets the resampler up for sound of this kind; a stream may change its channels part way (joined
    // broadcasts do), and each plane the resampler expects must be there.
    bool convertFrom(const AVChannelLayout& layout, int format, int sampleRate, QString* reason);
    void append(uint8_t** planes, int count);

    QString path_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* resampler_ = nullptr;
    int fromChannels_ = 0, fromFormat_ = -1, fromRate_ = 0; // what the resampler takes
    int stream_ = -1;
    double timeBase_ = 0;
    double startTime_ = 0;
    double rangeStart_ = 0, offset_ = 0, rate_ = 1;
    bool ended_ = false;
    bool placed_ = false;     // whether pendingFirst_ is known yet
    qint64 pendingFirst_ = 0; // the output sample the first pending one falls on
    // after a pause: the output sample the decoded frame waiting for it falls on
    std::optional<qint64> heldAt_;
    std::vector<float> pendingLeft_, pendingRight_;
};

} // namespace tetrapan
