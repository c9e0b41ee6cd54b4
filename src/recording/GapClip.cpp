#include "recording/GapClip.h"

#include "platform/AtomicFileWriter.h"
#include "platform/fileNames.h"
#include "recording/ReplacementIo.h"
#include "recording/ffmpegError.h"

#include <QDir>
#include <QStandardPaths>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/samplefmt.h>
}

#include <cstring>
#include <functional>
#include <memory>

namespace tetrapan::GapClip {

namespace {

// Sound is written in pieces of this many samples.
constexpr int SamplesPerFrame = 1024;

bool failed(QString* error, const QString& what, int code)
{
    *error = QStringLiteral("%1: %2").arg(what, ffmpegError(code));
    return false;
}

struct FreeFrame {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FreeFrame>;

// One stream into a Matroska file, written into the file given.
class Output {
public:
    ~Output()
    {
        avcodec_free_context(&codec_);
        avformat_free_context(format_);
    }

    // setUp fills in the encoder's context before it is opened.
    bool open(ReplacementFile& file, const AVCodec* encoder,
              const std::function<void(AVCodecContext&)>& setUp, QString* error)
    {
        if (const int rc = avformat_alloc_output_context2(&format_, nullptr, "matroska", nullptr); rc < 0)
            return failed(error, QStringLiteral("no Matroska writer"), rc);
        io_ = std::make_unique<ReplacementIo>(file);
        format_->pb = io_->context();
        format_->flags |= AVFMT_FLAG_CUSTOM_IO;
        codec_ = avcodec_alloc_context3(encoder);
        stream_ = avformat_new_stream(format_, nullptr);
        if (!codec_ || !stream_)
            return failed(error, QStringLiteral("no memory"), AVERROR(ENOMEM));
        setUp(*codec_);
        codec_->thread_count = 1;
        if (format_->oformat->flags & AVFMT_GLOBALHEADER)
            codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int rc = avcodec_open2(codec_, encoder, nullptr); rc < 0)
            return failed(error, QStringLiteral("the encoder %1 refuses it").arg(encoder->name), rc);
        if (const int rc = avcodec_parameters_from_context(stream_->codecpar, codec_); rc < 0)
            return failed(error, QStringLiteral("no memory"), rc);
        stream_->time_base = codec_->time_base;
        if (const int rc = avformat_write_header(format_, nullptr); rc < 0)
            return failed(error, QStringLiteral("cannot write"), rc);
        return true;
    }

    AVCodecContext& codec() { return *codec_; }

    // A frame, or null for the end: what the encoder then has ready is written.
    bool put(AVFrame* frame, QString* error)
    {
        if (const int rc = avcodec_send_frame(codec_, frame); rc < 0)
            return failed(error, QStringLiteral("cannot encode"), rc);
        AVPacket* packet = av_packet_alloc();
        int rc = 0;
        while ((rc = avcodec_receive_packet(codec_, packet)) >= 0) {
            av_packet_rescale_ts(packet, codec_->time_base, stream_->time_base);
            packet->stream_index = stream_->index;
            rc = av_interleaved_write_frame(format_, packet);
            if (rc < 0)
                break;
        }
        av_packet_free(&packet);
        return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ||
               failed(error, QStringLiteral("cannot write"), rc);
    }

    bool finish(QString* error)
    {
        if (!put(nullptr, error))
            return false;
        if (const int rc = av_write_trailer(format_); rc < 0)
            return failed(error, QStringLiteral("cannot write"), rc);
        avio_flush(io_->context());
        if (io_->writeError() != 0)
            return failed(error, QStringLiteral("cannot write"), AVERROR(io_->writeError()));
        return true;
    }

private:
    // freed after the container, which does not own it
    std::unique_ptr<ReplacementIo> io_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
};

// The file at `folder`/`name`, made by `write` the first time: into a file of its own beside it, which takes
// the name once written and on the disk, so that a power cut never leaves a cut-off file there for good.
QString made(const QString& folder, const QString& name,
             const std::function<bool(ReplacementFile&, QString*)>& write, QString* error)
{
    const QString path = QDir(folder).filePath(name);
    if (fileNames::facts(path).isFile)
        return path;
    ReplacementFile file;
    ReplacementFile::Failure failure;
    if (!QDir().mkpath(folder) || !file.create(fileNames::toBytes(path), ".part-", &failure)) {
        *error = QStringLiteral("cannot write in %1: %2").arg(folder, qt_error_string(failure.error));
        return {};
    }
    if (!write(file, error))
        return {};
    // one not synced with its folder is still whole, and there to be used
    if (!file.commit(&failure) && failure.step != ReplacementFile::Step::FolderSync) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(failure.error));
        return {};
    }
    return path;
}

} // namespace

QString standardFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("Tetrapan/gaps"));
}

QString pictures(const QString& folder, int width, int height, const QString& frameRate, QString* error)
{
    AVRational rate{0, 1};
    if (av_parse_video_rate(&rate, frameRate.toUtf8().constData()) < 0 || rate.num <= 0 || rate.den <= 0) {
        *error = QStringLiteral("no frame rate in \"%1\"").arg(frameRate);
        return {};
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (!encoder || width <= 0 || height <= 0) {
        *error = encoder ? QStringLiteral("no picture size") : QStringLiteral("no H.264 encoder");
        return {};
    }
    const QString name =
        QStringLiteral("black-%1x%2-%3-%4.mkv").arg(width).arg(height).arg(rate.num).arg(rate.den);
    return made(
        folder, name,
        [&](ReplacementFile& file, QString* why) {
            Output out;
            const auto setUp = [&](AVCodecContext& codec) {
                codec.width = width;
                codec.height = height;
                codec.pix_fmt = AV_PIX_FMT_YUV420P;
                codec.time_base = av_inv_q(rate);
                codec.framerate = rate;
                // every picture a key frame: a seek anywhere in the gap lands at once
                codec.gop_size = 1;
                codec.max_b_frames = 0;
                av_opt_set(codec.priv_data, "preset", "ultrafast", 0);
            };
            if (!out.open(file, encoder, setUp, why))
                return false;
            const Frame frame(av_frame_alloc());
            frame->format = AV_PIX_FMT_YUV420P;
            frame->width = width;
            frame->height = height;
            if (const int rc = av_frame_get_buffer(frame.get(), 0); rc < 0)
                return failed(why, QStringLiteral("no memory"), rc);
            const qint64 frames = av_rescale_q(LengthMs + 1000, AVRational{1, 1000}, av_inv_q(rate));
            for (qint64 n = 0; n < frames; ++n) {
                // the encoder may still hold the last one
                if (const int rc = av_frame_make_writable(frame.get()); rc < 0)
                    return failed(why, QStringLiteral("no memory"), rc);
                // black as video has it: 16 of 255, no colour
                std::memset(frame->data[0], 16, size_t(frame->linesize[0]) * size_t(height));
                for (int plane : {1, 2})
                    std::memset(frame->data[plane], 128,
                                size_t(frame->linesize[plane]) * size_t((height + 1) / 2));
                frame->pts = n;
                if (!out.put(frame.get(), why))
                    return false;
            }
            return out.finish(why);
        },
        error);
}

QString silence(const QString& folder, int sampleRate, int channels, QString* error)
{
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (!encoder || sampleRate <= 0 || channels <= 0) {
        *error = encoder ? QStringLiteral("no sound rate") : QStringLiteral("no PCM encoder");
        return {};
    }
    const QString name = QStringLiteral("silence-%1-%2.mkv").arg(sampleRate).arg(channels);
    return made(
        folder, name,
        [&](ReplacementFile& file, QString* why) {
            Output out;
            const auto setUp = [&](AVCodecContext& codec) {
                codec.sample_fmt = AV_SAMPLE_FMT_S16;
                codec.sample_rate = sampleRate;
                av_channel_layout_default(&codec.ch_layout, channels);
                codec.time_base = AVRational{1, sampleRate};
            };
            if (!out.open(file, encoder, setUp, why))
                return false;
            const Frame frame(av_frame_alloc());
            frame->format = AV_SAMPLE_FMT_S16;
            frame->sample_rate = sampleRate;
            frame->nb_samples = SamplesPerFrame;
            av_channel_layout_copy(&frame->ch_layout, &out.codec().ch_layout);
            if (const int rc = av_frame_get_buffer(frame.get(), 0); rc < 0)
                return failed(why, QStringLiteral("no memory"), rc);
            const qint64 samples = (LengthMs + 1000) * sampleRate / 1000;
            for (qint64 done = 0; done < samples; done += SamplesPerFrame) {
                if (const int rc = av_frame_make_writable(frame.get()); rc < 0)
                    return failed(why, QStringLiteral("no memory"), rc);
                av_samples_set_silence(frame->data, 0, SamplesPerFrame, channels, AV_SAMPLE_FMT_S16);
                frame->pts = done;
                if (!out.put(frame.get(), why))
                    return false;
            }
            return out.finish(why);
        },
        error);
}

} // namespace tetrapan::GapClip
