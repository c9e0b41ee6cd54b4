#include "analysis/MediaInput.h"

#include "platform/fileNames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace tetrapan {

namespace {

QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// FFmpeg asks this while it waits on the file: a share that stopped answering does not hold a cancel.
int cancelled(void* flag)
{
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed) ? 1 : 0;
}

} // namespace

MediaInput::MediaInput() = default;

MediaInput::~MediaInput()
{
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
}

MediaInput::Status MediaInput::open(const QString& path, Kind kind, const std::atomic<bool>* cancel)
{
    const QByteArray name = fileNames::toBytes(path);
    format_ = avformat_alloc_context();
    if (!format_) {
        problem_ = QStringLiteral("cannot be read (%1)").arg(errorText(AVERROR(ENOMEM)));
        return Status::Unreadable;
    }
    if (cancel)
        format_->interrupt_callback = {&cancelled, const_cast<std::atomic<bool>*>(cancel)};
    if (const int error = avformat_open_input(&format_, name.constData(), nullptr, nullptr); error < 0) {
        problem_ = QStringLiteral("cannot be read (%1)").arg(errorText(error));
        return Status::Unreadable;
    }
    if (const int error = avformat_find_stream_info(format_, nullptr); error < 0) {
        problem_ = QStringLiteral("cannot be read (%1)").arg(errorText(error));
        return Status::Unreadable;
    }
    if (format_->duration > 0)
        duration_ = double(format_->duration) / AV_TIME_BASE;
    if (format_->start_time != AV_NOPTS_VALUE)
        startSeconds_ = double(format_->start_time) / AV_TIME_BASE;
    const AVMediaType type = kind == Kind::Sound ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO;
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, type, -1, -1, &codec, 0);
    if (stream_ == AVERROR_STREAM_NOT_FOUND) {
        problem_ = kind == Kind::Sound ? QStringLiteral("has no sound") : QStringLiteral("has no picture");
        return Status::NoStream;
    }
    if (stream_ < 0 || !codec) {
        problem_ = QStringLiteral("has no decoder for its %1")
                       .arg(kind == Kind::Sound ? QStringLiteral("sound") : QStringLiteral("picture"));
        return Status::Unreadable;
    }
    // only the stream looked at is read from the file
    for (unsigned n = 0; n < format_->nb_streams; ++n)
        format_->streams[n]->discard = int(n) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVStream* stream = format_->streams[stream_];
    timeBase_ = av_q2d(stream->time_base);
    decoder_ = avcodec_alloc_context3(codec);
    // the analysis runs one reader a pane on a thread of its own: more threads each would only compete
    decoder_->thread_count = 1;
    // the decoder moves a frame's time past the samples it skips (an encoder's delay) only knowing the
    // stream's time base
    decoder_->pkt_timebase = stream->time_base;
    if (avcodec_parameters_to_context(decoder_, stream->codecpar) < 0 ||
        avcodec_open2(decoder_, codec, nullptr) < 0) {
        problem_ = QStringLiteral("cannot be decoded (%1)").arg(QString::fromUtf8(codec->name));
        return Status::Unreadable;
    }
    return Status::Ok;
}

bool MediaInput::seek(double seconds)
{
    if (seconds <= 0.0)
        return true;
    const auto target = int64_t((seconds + startSeconds_) * AV_TIME_BASE);
    if (av_seek_frame(format_, -1, target, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(decoder_);
    return true;
}

bool MediaInput::decode(const std::function<bool(const AVFrame&, double seconds)>& frame,
                        const std::atomic<bool>& cancel)
{
    AVPacket* packet = av_packet_alloc();
    AVFrame* decoded = av_frame_alloc();
    bool more = true;
    bool ok = true;
    bool draining = false;
    double lastSeconds = 0.0;
    while (more && !cancel.load(std::memory_order_relaxed)) {
        if (!draining) {
            const int read = av_read_frame(format_, packet);
            if (read == AVERROR_EOF) {
                draining = true;
                avcodec_send_packet(decoder_, nullptr);
            } else if (read < 0) {
                problem_ = QStringLiteral("cannot be read on (%1)").arg(errorText(read));
                ok = false;
                break;
            } else {
                if (packet->stream_index == stream_)
                    // a damaged packet is skipped, as a player would
                    avcodec_send_packet(decoder_, packet);
                av_packet_unref(packet);
            }
        }
        for (;;) {
            const int got = avcodec_receive_frame(decoder_, decoded);
            if (got < 0) {
                // a drained decoder has nothing more, whatever it answers
                more = more && !draining && got != AVERROR_EOF;
                break;
            }
            const int64_t pts = decoded->best_effort_timestamp;
            // a frame without a time follows the one before it
            const double seconds = pts == AV_NOPTS_VALUE ? lastSeconds : pts * timeBase_ - startSeconds_;
            lastSeconds = seconds;
            const bool goOn = frame(*decoded, seconds);
            av_frame_unref(decoded);
            if (!goOn) {
                more = false;
                break;
            }
        }
    }
    av_frame_free(&decoded);
    av_packet_free(&packet);
    return ok && !cancel.load(std::memory_order_relaxed);
}

} // namespace tetrapan
