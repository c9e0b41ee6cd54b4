#include "export/MovieDecoder.h"

#include "platform/fileNames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
}

#include <cmath>

namespace tetrapan {

namespace {

// Times on the common line are kept in whole milliseconds, so an offset of a whole number of frames at a
// rate such as 30 fps lands up to half a millisecond before its frame: a frame that close counts as shown.
constexpr double FrameTimeSlack = 0.001;

// Two decoding threads per movie: four movies already keep every core busy.
constexpr int DecodingThreads = 2;

} // namespace

MovieDecoder::MovieDecoder() = default;

MovieDecoder::~MovieDecoder()
{
    close();
}

void MovieDecoder::close()
{
    av_frame_free(&shown_);
    av_frame_free(&next_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
}

bool MovieDecoder::open(const QString& path, QString* reason)
{
    close();
    path_ = path;
    const QByteArray name = fileNames::toBytes(path);
    int error = avformat_open_input(&format_, name.constData(), nullptr, nullptr);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    if ((error = avformat_find_stream_info(format_, nullptr)) < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    const AVCodec* decoder = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (stream_ < 0 || !decoder) {
        *reason = QStringLiteral("it holds no picture that can be read");
        return false;
    }
    AVStream* stream = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec_, stream->codecpar);
    codec_->thread_count = DecodingThreads;
    if ((error = avcodec_open2(codec_, decoder, nullptr)) < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    packet_ = av_packet_alloc();
    shown_ = av_frame_alloc();
    next_ = av_frame_alloc();
    timeBase_ = av_q2d(stream->time_base);
    // times are counted from the movie's start, as the panes show them
    startTime_ = format_->start_time != AV_NOPTS_VALUE ? double(format_->start_time) / AV_TIME_BASE : 0.0;
    const AVRational rate = av_guess_frame_rate(format_, stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
        rateNum_ = rate.num;
        rateDen_ = rate.den;
    }
    duration_ = format_->duration != AV_NOPTS_VALUE ? double(format_->duration) / AV_TIME_BASE : 0.0;
    const AVRational pixelShape = av_guess_sample_aspect_ratio(format_, stream, nullptr);
    const double pixelAspect = pixelShape.num > 0 ? av_q2d(pixelShape) : 1.0;
    if (codec_->width > 0 && codec_->height > 0)
        aspect_ = pixelAspect * codec_->width / codec_->height;
    // the display matrix turns counter-clockwise; only quarter turns are taken, as the panes take them
    if (const auto* matrix = reinterpret_cast<const int32_t*>(
            av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr))) {
        const double counterClockwise = av_display_rotation_get(matrix);
        if (std::isfinite(counterClockwise)) {
            const int quarters = int(std::lround(counterClockwise / 90.0));
            turnDegrees_ = ((-quarters % 4 + 4) % 4) * 90;
        }
    }
    if (turnDegrees_ % 180 != 0)
        aspect_ = 1.0 / aspect_;
    if (const AVDictionaryEntry* created = av_dict_get(format_->metadata, "creation_time", nullptr, 0))
        filmedAt_ = QDateTime::fromString(QString::fromLatin1(created->value), Qt::ISODateWithMs);
    if (!filmedAt_.isValid())
        filmedAt_ = fileNames::facts(path).modified.addMSecs(-qint64(duration_ * 1000));
    return true;
}

bool MovieDecoder::seek(double seconds, QString* reason)
{
    const auto target = qint64(std::floor((std::max(seconds, 0.0) + startTime_) / timeBase_));
    // A movie that cannot seek is read from its start, which reaches the same pictures. A seek that failed
    // may leave the reading anywhere (in a Matroska file cut short, whose index was lost, at its end, where
    // nothing more is read): the file is opened afresh.
    if (av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0) {
        if (!open(QString(path_), reason))
            return false;
    } else
        avcodec_flush_buffers(codec_);
    hasShown_ = hasNext_ = ended_ = false;
    return true;
}

bool MovieDecoder::readNext(QString* reason)
{
    while (true) {
        const int received = avcodec_receive_frame(codec_, next_);
        if (received == 0)
            return true;
        if (received == AVERROR_EOF) {
            ended_ = true;
            return false;
        }
        if (received != AVERROR(EAGAIN)) {
            lastError_ = received;
            *reason = ffmpegError(received);
            return false;
        }
        const int read = av_read_frame(format_, packet_);
        if (read == AVERROR_EOF) {
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (read < 0) {
            lastError_ = read;
            *reason = ffmpegError(read);
            return false;
        }
        if (packet_->stream_index == stream_) {
            const int sent = avcodec_send_packet(codec_, packet_);
            // a damaged packet costs its picture, not the export
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
                av_packet_unref(packet_);
                lastError_ = sent;
                *reason = ffmpegError(sent);
                return false;
            }
        }
        av_packet_unref(packet_);
    }
}

bool MovieDecoder::endsTheMovie(int error)
{
    return error == AVERROR_EOF || error == AVERROR_INVALIDDATA;
}

const AVFrame* MovieDecoder::frameAt(double seconds, QString* reason)
{
    const auto timeOf = [this](const AVFrame* frame) {
        const qint64 pts =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        return pts == AV_NOPTS_VALUE ? -1e300 : pts * timeBase_ - startTime_;
    };
    while (true) {
        if (!hasNext_ && !ended_) {
            QString why;
            hasNext_ = readNext(&why);
            if (!hasNext_ && !ended_) {
                // a movie cut short shows its last picture on, as the panes do; a reading that failed
                // otherwise would show it on for the rest of an export said to be written
                if (!hasShown_ || !endsTheMovie(lastError_)) {
                    *reason = why;
                    return nullptr;
                }
                ended_ = true;
            }
        }
        if (!hasNext_)
            break;
        // before the movie's first picture, the first shows
        if (hasShown_ && timeOf(next_) > seconds + FrameTimeSlack)
            break;
        av_frame_unref(shown_);
        av_frame_move_ref(shown_, next_);
        hasShown_ = true;
        hasNext_ = false;
        if (timeOf(shown_) > seconds + FrameTimeSlack)
            break;
    }
    if (!hasShown_) {
        *reason = QStringLiteral("it holds no picture that can be read");
        return nullptr;
    }
    return shown_;
}

} // namespace tetrapan
