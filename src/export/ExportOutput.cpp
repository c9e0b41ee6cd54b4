#include "export/ExportOutput.h"

#include "export/MovieDecoder.h"
#include "export/PictureColours.h"
#include "platform/fileNames.h"
#include "recording/ReplacementIo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace tetrapan {

namespace {

constexpr int EncodingThreads = 2;
constexpr int SoundBitsPerSecond = 160000;

const char* containerName(ExportFormat format)
{
    switch (format) {
    case ExportFormat::WebM:
        return "webm";
    case ExportFormat::Matroska:
        return "matroska";
    case ExportFormat::Mp4:
        break;
    }
    return "mp4";
}

QString because(const QString& what, int error)
{
    return QStringLiteral("%1: %2").arg(what, qt_error_string(error));
}

} // namespace

QString exportExtension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::WebM:
        return QStringLiteral("webm");
    case ExportFormat::Matroska:
        return QStringLiteral("mkv");
    case ExportFormat::Mp4:
        break;
    }
    return QStringLiteral("mp4");
}

ExportOutput::~ExportOutput()
{
    abandon();
}

bool ExportOutput::writeFailed(QString* reason, int error)
{
    *reason = because(QStringLiteral("Tetrapan could not write the video"), error ? error : EIO);
    return false;
}

bool ExportOutput::open(const ExportJob& job, int rateNum, int rateDen, bool withSound, QString* reason)
{
    const QFileInfo chosen(job.outputPath);
    ReplacementFile::Failure failure;
    if (!file_.create(fileNames::toBytes(chosen.absoluteFilePath()), ".part-", &failure)) {
        *reason = because(QStringLiteral("Tetrapan cannot write in %1")
                              .arg(QDir::toNativeSeparators(chosen.absolutePath())),
                          failure.error);
        return false;
    }
    int error = avformat_alloc_output_context2(&container_, nullptr, containerName(job.format), nullptr);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    io_ = std::make_unique<ReplacementIo>(file_);
    container_->pb = io_->context();
    container_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (!openVideo(job, rateNum, rateDen, reason) || (withSound && !openSound(reason)))
        return false;
    if ((error = avformat_write_header(container_, nullptr)) < 0)
        return io_->writeError() ? writeFailed(reason, io_->writeError())
                                 : (*reason = ffmpegError(error), false);
    headerWritten_ = true;
    packet_ = av_packet_alloc();
    return true;
}

bool ExportOutput::openVideo(const ExportJob& job, int rateNum, int rateDen, QString* reason)
{
    const bool vp9 = job.format == ExportFormat::WebM;
    const AVCodec* encoder = avcodec_find_encoder_by_name(vp9 ? "libvpx-vp9" : "libx264");
    if (!encoder) {
        *reason = QStringLiteral("The %1 encoder is missing from this system's FFmpeg libraries.")
                      .arg(vp9 ? QStringLiteral("VP9") : QStringLiteral("H.264"));
        return false;
    }
    video_ = avcodec_alloc_context3(encoder);
    video_->width = job.size.width();
    video_->height = job.size.height();
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = AVRational{rateDen, rateNum};
    video_->framerate = AVRational{rateNum, rateDen};
    video_->thread_count = EncodingThreads;
    video_->gop_size = std::max(1, 2 * rateNum / std::max(rateDen, 1)); // a key frame every 2 s for seeking
    if (container_->oformat->flags & AVFMT_GLOBALHEADER)
        video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int quality = std::clamp(job.quality, 0, 100);
    AVDictionary* options = nullptr;
    if (vp9) {
        av_dict_set_int(&options, "crf", 50 - quality * 35 / 100, 0);
        av_dict_set(&options, "b", "0", 0);
        av_dict_set(&options, "deadline", "realtime", 0);
        av_dict_set(&options, "cpu-used", "8", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    } else {
        av_dict_set_int(&options, "crf", 38 - quality * 22 / 100, 0);
        av_dict_set(&options, "preset", "superfast", 0);
    }
    pictureColours::tagBt709(video_);
    const int error = avcodec_open2(video_, encoder, &options);
    av_dict_free(&options);
    if (error < 0) {
        *reason = QStringLiteral("The encoder refuses a picture of %1 x %2 (%3).")
                      .arg(job.size.width())
                      .arg(job.size.height())
                      .arg(ffmpegError(error));
        return false;
    }
    videoStream_ = avformat_new_stream(container_, nullptr);
    avcodec_parameters_from_context(videoStream_->codecpar, video_);
    videoStream_->time_base = video_->time_base;
    videoStream_->avg_frame_rate = video_->framerate;
    picture_ = av_frame_alloc();
    if (picture_) {
        picture_->format = video_->pix_fmt;
        picture_->width = video_->width;
        picture_->height = video_->height;
    }
    if (!picture_ || av_frame_get_buffer(picture_, 0) < 0) {
        *reason = QStringLiteral("There is not enough memory for a picture of %1 x %2.")
                      .arg(video_->width)
                      .arg(video_->height);
        return false;
    }
    converter_ = sws_getContext(video_->width, video_->height, AV_PIX_FMT_RGB32, video_->width,
                                video_->height, video_->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!converter_) {
        *reason = QStringLiteral("The pictures cannot be converted for the encoder.");
        return false;
    }
    pictureColours::writeBt709(converter_);
    return true;
}

bool ExportOutput::openSound(QString* reason)
{
    const bool opus = std::strcmp(container_->oformat->name, "webm") == 0;
    const AVCodec* encoder =
        opus ? avcodec_find_encoder_by_name("libopus") : avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!encoder) {
        *reason = QStringLiteral("The %1 encoder is missing from this system's FFmpeg libraries.")
                      .arg(opus ? QStringLiteral("Opus") : QStringLiteral("AAC"));
        return false;
    }
    sound_ = avcodec_alloc_context3(encoder);
    sound_->sample_fmt = opus ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_FLTP;
    sound_->sample_rate = 48000;
    sound_->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    sound_->bit_rate = SoundBitsPerSecond;
    sound_->time_base = AVRational{1, 48000};
    if (container_->oformat->flags & AVFMT_GLOBALHEADER)
        sound_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int error = avcodec_open2(sound_, encoder, nullptr);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    soundStream_ = avformat_new_stream(container_, nullptr);
    avcodec_parameters_from_context(soundStream_->codecpar, sound_);
    soundStream_->time_base = sound_->time_base;
    samples_ = av_frame_alloc();
    return true;
}

int ExportOutput::soundFrameSamples() const
{
    return sound_ && sound_->frame_size > 0 ? sound_->frame_size : 1024;
}

bool ExportOutput::drain(AVCodecContext* codec, AVStream* stream, QString* reason)
{
    while (true) {
        const int received = avcodec_receive_packet(codec, packet_);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0) {
            *reason = ffmpegError(received);
            return false;
        }
        av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        const int written = av_interleaved_write_frame(container_, packet_);
        if (written < 0)
            return io_->writeError() ? writeFailed(reason, io_->writeError())
                                     : (*reason = ffmpegError(written), false);
    }
}

bool ExportOutput::writePicture(const QImage& picture, qint64 frameNo, QString* reason)
{
    int error = av_frame_make_writable(picture_);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    const uint8_t* source[1] = {picture.constBits()};
    const int sourceStride[1] = {int(picture.bytesPerLine())};
    sws_scale(converter_, source, sourceStride, 0, picture.height(), picture_->data, picture_->linesize);
    picture_->pts = frameNo;
    if ((error = avcodec_send_frame(video_, picture_)) < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    return drain(video_, videoStream_, reason);
}

bool ExportOutput::writeSound(const float* left, const float* right, int count, QString* reason)
{
    av_frame_unref(samples_);
    samples_->format = sound_->sample_fmt;
    samples_->ch_layout = sound_->ch_layout;
    samples_->sample_rate = sound_->sample_rate;
    // an encoder that takes no short last frame gets it filled up with silence
    const bool shortFrameTaken = sound_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    samples_->nb_samples = shortFrameTaken ? count : std::max(count, soundFrameSamples());
    int error = av_frame_get_buffer(samples_, 0);
    if (error < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    av_samples_set_silence(samples_->extended_data, 0, samples_->nb_samples, 2,
                           AVSampleFormat(samples_->format));
    if (sound_->sample_fmt == AV_SAMPLE_FMT_FLTP) {
        std::memcpy(samples_->data[0], left, sizeof(float) * size_t(count));
        std::memcpy(samples_->data[1], right, sizeof(float) * size_t(count));
    } else {
        auto* both = reinterpret_cast<float*>(samples_->data[0]);
        for (int i = 0; i < count; ++i) {
            both[2 * i] = left[i];
            both[2 * i + 1] = right[i];
        }
    }
    samples_->pts = soundPts_;
    soundPts_ += samples_->nb_samples;
    if ((error = avcodec_send_frame(sound_, samples_)) < 0) {
        *reason = ffmpegError(error);
        return false;
    }
    return drain(sound_, soundStream_, reason);
}

bool ExportOutput::finish(QString* reason)
{
    for (auto [codec, stream] : {std::pair{video_, videoStream_}, std::pair{sound_, soundStream_}}) {
        if (!codec)
            continue;
        avcodec_send_frame(codec, nullptr);
        if (!drain(codec, stream, reason))
            return false;
    }
    int error = av_write_trailer(container_);
    headerWritten_ = false;
    avio_flush(io_->context());
    if (error < 0 || io_->writeError())
        return io_->writeError() ? writeFailed(reason, io_->writeError())
                                 : (*reason = ffmpegError(error), false);
    ReplacementFile::Failure failure;
    if (file_.commit(&failure) || failure.step == ReplacementFile::Step::FolderSync)
        return true;
    if (failure.step == ReplacementFile::Step::Rename) {
        *reason = because(QStringLiteral("Tetrapan could not give the video its name"), failure.error);
        return false;
    }
    return writeFailed(reason, failure.error);
}

void ExportOutput::abandon()
{
    if (headerWritten_) {
        // ends the muxer's own work; what it writes goes into the file about to be removed
        av_write_trailer(container_);
        headerWritten_ = false;
    }
    avcodec_free_context(&video_);
    avcodec_free_context(&sound_);
    av_frame_free(&picture_);
    av_frame_free(&samples_);
    av_packet_free(&packet_);
    sws_freeContext(converter_);
    converter_ = nullptr;
    if (container_) {
        avformat_free_context(container_);
        container_ = nullptr;
    }
    io_.reset();
    file_.discard();
}

} // namespace tetrapan
