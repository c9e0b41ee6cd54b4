#include "export/SoundDecoder.h"

#include "export/MovieDecoder.h"
#include "platform/fileNames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <limits>

namespace tetrapan {

namespace {
// Sound is laid at its timestamps once they and the sound part by more than this, less than a picture at 25
// frames a second: where they pause (a broadcast joined from two recordings, packets lost on the way) silence
// fills the pause, and sound stamped over what came before is dropped.
constexpr double LargestDrift = 0.04;
} // namespace

SoundDecoder::SoundDecoder() = default;

SoundDecoder::~SoundDecoder()
{
    close();
}

void SoundDecoder::close()
{
    swr_free(&resampler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

bool SoundDecoder::open(const QString& path, QString* reason)
{
    close();
    path_ = path;
    const QByteArray name = fileNames::toBytes(path);
    int error = avformat_open_input(&format_, name.constData(), nullptr, nullptr);
    if (error >= 0)
        error = avformat_find_stream_info(format_, nullptr);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) {
        *reason = QStringLiteral("it has no sound");
        return false;
    }
    codec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar);
    if ((error = avcodec_open2(codec_, decoder, nullptr)) < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    // only the sound is read here; the pictures are the picture reader's
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        format_->streams[i]->discard = int(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    timeBase_ = av_q2d(format_->streams[stream_]->time_base);
    startTime_ = format_->start_time != AV_NOPTS_VALUE ? double(format_->start_time) / AV_TIME_BASE : 0.0;
    return true;
}

bool SoundDecoder::start(double startSeconds, double offsetSeconds, double rate, QString* reason)
{
    rangeStart_ = startSeconds;
    offset_ = offsetSeconds;
    rate_ = rate > 0 ? rate : 1.0;
    const double paneTime = rate_ * startSeconds + offsetSeconds;
    if (paneTime > 0) {
        const auto target = qint64(std::floor((paneTime + startTime_) / timeBase_));
        // read from the start where it cannot seek, as the pictures are (MovieDecoder::seek)
        if (av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0) {
            if (!open(QString(path_), reason))
                return false;
        } else
            avcodec_flush_buffers(codec_);
    }
    return convertFrom(codec_->ch_layout, codec_->sample_fmt, codec_->sample_rate, reason);
}

bool SoundDecoder::convertFrom(const AVChannelLayout& layout, int format, int sampleRate, QString* reason)
{
    swr_free(&resampler_);
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    // a layout the file does not name is taken as the usual one for that many channels
    AVChannelLayout from{};
    av_channel_layout_copy(&from, &layout);
    if (from.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&from, from.nb_channels);
    // a rate other than 1 is the same samples taken as if recorded at a rate that many times higher
    const int inputRate = int(std::lround(sampleRate * rate_));
    int error = swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_FLTP, SampleRate, &from,
                                    AVSampleFormat(format), inputRate, 0, nullptr);
    av_channel_layout_uninit(&from);
    if (error >= 0)
        error = swr_init(resampler_);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    fromChannels_ = layout.nb_channels;
    fromFormat_ = format;
    fromRate_ = sampleRate;
    return true;
}

void SoundDecoder::append(uint8_t** planes, int count)
{
    const auto* left = reinterpret_cast<const float*>(planes[0]);
    const auto* right = reinterpret_cast<const float*>(planes[1]);
    pendingLeft_.insert(pendingLeft_.end(), left, left + count);
    pendingRight_.insert(pendingRight_.end(), right, right + count);
}

bool SoundDecoder::decodeMore(QString* reason)
{
    int received = avcodec_receive_frame(codec_, frame_);
    while (received == AVERROR(EAGAIN)) {
        const int read = av_read_frame(format_, packet_);
        // cut short or damaged towards its end, it ends there, as its pictures do
        if (read == AVERROR_EOF || MovieDecoder::endsTheMovie(read)) {
            avcodec_send_packet(codec_, nullptr);
        } else if (read < 0) {
            *reason = ffmpegError(read);
            return false;
        } else {
            if (packet_->stream_index == stream_)
                avcodec_send_packet(codec_, packet_); // a damaged packet costs its own sound only
            av_packet_unref(packet_);
        }
        received = avcodec_receive_frame(codec_, frame_);
    }
    if (received == AVERROR_EOF) {
        ended_ = true;
        drain();
        return true;
    }
    if (received < 0) {
        *reason = ffmpegError(received);
        return false;
    }
    if (frame_->ch_layout.nb_channels != fromChannels_ || frame_->format != fromFormat_ ||
        frame_->sample_rate != fromRate_) {
        drain();
        if (!convertFrom(frame_->ch_layout, frame_->format, frame_->sample_rate, reason)) {
            av_frame_unref(frame_);
            return false;
        }
    }
    if (frame_->best_effort_timestamp != AV_NOPTS_VALUE) {
        // where the frame's sound belongs on the output's time line, and how far from where it would land
        const double paneTime = frame_->best_effort_timestamp * timeBase_ - startTime_;
        const qint64 at = std::llround(((paneTime - offset_) / rate_ - rangeStart_) * SampleRate);
        const qint64 drift = at - pendingEnd() - swr_get_delay(resampler_, SampleRate);
        if (!placed_) {
            pendingFirst_ = at;
            placed_ = true;
        } else if (drift > LargestDrift * SampleRate) {
            // A pause: the sound before it ends here, and the frame waits for the output to reach it, the
            // silence between never held in memory (a pause may be hours long).
            drain();
            heldAt_ = at;
            return true;
        } else if (drift < -LargestDrift * SampleRate) {
            // sound stamped over what came before: as much of it is left out
            swr_drop_output(resampler_, int(std::min<qint64>(-drift, std::numeric_limits<int>::max())));
        }
    }
    return convertFrame(reason);
}

bool SoundDecoder::convertFrame(QString* reason)
{
    const bool converted =
        convert(const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples, reason);
    av_frame_unref(frame_);
    return converted;
}

// What the resampler still holds back comes out, for a new set-up or the end.
void SoundDecoder::drain()
{
    convert(nullptr, 0, nullptr);
}

bool SoundDecoder::convert(const uint8_t** samples, int count, QString* reason)
{
    const int room = swr_get_out_samples(resampler_, count) + 32;
    std::vector<float> left(static_cast<size_t>(room)), right(left.size());
    uint8_t* planes[2] = {reinterpret_cast<uint8_t*>(left.data()), reinterpret_cast<uint8_t*>(right.data())};
    const int converted = swr_convert(resampler_, planes, room, samples, count);
    if (converted < 0) {
        if (reason)
            *reason = ffmpegError(converted);
        return false;
    }
    append(planes, converted);
    return true;
}

// The output reached the frame held after a pause: silence up to it, then the frame, through a new set-up
// (the old one was drained).
bool SoundDecoder::resumeAfterPause(qint64 first, QString* reason)
{
    if (pendingLeft_.empty())
        pendingFirst_ = std::max(pendingFirst_, first);
    const qint64 silence = *heldAt_ - pendingEnd();
    if (silence > 0) {
        pendingLeft_.resize(pendingLeft_.size() + size_t(silence), 0.0f);
        pendingRight_.resize(pendingLeft_.size(), 0.0f);
    }
    heldAt_.reset();
    return convertFrom(frame_->ch_layout, frame_->format, frame_->sample_rate, reason) &&
           convertFrame(reason);
}

bool SoundDecoder::addTo(float* left, float* right, qint64 first, int count, QString* reason)
{
    while (!ended_ && (!placed_ || pendingEnd() < first + count)) {
        // silence until the frame held after a pause is due
        if (heldAt_ && *heldAt_ >= first + count)
            break;
        if (!(heldAt_ ? resumeAfterPause(first, reason) : decodeMore(reason)))
            return false;
        // a movie read from its start (it could not seek) brings the hours before the range: not kept
        if (placed_)
            dropBefore(first);
    }
    const qint64 from = std::max(first, pendingFirst_);
    const qint64 to = std::min(first + count, pendingFirst_ + qint64(pendingLeft_.size()));
    for (qint64 s = from; s < to; ++s) {
        left[s - first] += pendingLeft_[size_t(s - pendingFirst_)];
        right[s - first] += pendingRight_[size_t(s - pendingFirst_)];
    }
    // what lies before the next request is done with
    dropBefore(first + count);
    return true;
}

void SoundDecoder::dropBefore(qint64 sample)
{
    const qint64 done = std::clamp<qint64>(sample - pendingFirst_, 0, qint64(pendingLeft_.size()));
    pendingLeft_.erase(pendingLeft_.begin(), pendingLeft_.begin() + done);
    pendingRight_.erase(pendingRight_.begin(), pendingRight_.begin() + done);
    pendingFirst_ += done;
}

} // namespace tetrapan
