#include "MovieReadBack.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <QFile>

#include <cmath>

namespace tetrapan::test {

ReadBack readMovieBack(const QString& path, const std::function<bool(const QImage&, int)>& onPicture)
{
    ReadBack back;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        back.error = QStringLiteral("cannot open %1").arg(path);
        avformat_close_input(&format);
        return back;
    }
    back.container = QString::fromLatin1(format->iformat->name);
    back.seconds = format->duration != AV_NOPTS_VALUE ? double(format->duration) / AV_TIME_BASE : 0;
    const AVCodec* decoder = nullptr;
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    const int sound = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (sound >= 0)
        back.soundCodec = QString::fromLatin1(avcodec_get_name(format->streams[sound]->codecpar->codec_id));
    if (video < 0 || !decoder) {
        back.error = QStringLiteral("no picture in %1").arg(path);
        avformat_close_input(&format);
        return back;
    }
    back.videoCodec = QString::fromLatin1(avcodec_get_name(format->streams[video]->codecpar->codec_id));
    back.framesPerSecond = av_q2d(av_guess_frame_rate(format, format->streams[video], nullptr));
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[video]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* converter = nullptr;
    bool more = true;
    bool flushed = false;
    while (more) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0) {
            if (onPicture) {
                QImage picture(frame->width, frame->height, QImage::Format_RGB32);
                converter = sws_getCachedContext(converter, frame->width, frame->height,
                                                 AVPixelFormat(frame->format), frame->width, frame->height,
                                                 AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
                // as a player shows it: by the matrix the picture names, else BT.709 at HD sizes
                const bool hd = frame->width >= 1280 || frame->height > 576;
                const bool bt709 = frame->colorspace == AVCOL_SPC_BT709 ||
                                   (frame->colorspace == AVCOL_SPC_UNSPECIFIED && hd);
                sws_setColorspaceDetails(converter,
                                         sws_getCoefficients(bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601),
                                         frame->color_range == AVCOL_RANGE_JPEG,
                                         sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
                uint8_t* target[1] = {picture.bits()};
                const int stride[1] = {int(picture.bytesPerLine())};
                sws_scale(converter, frame->data, frame->linesize, 0, frame->height, target, stride);
                more = onPicture(picture, back.pictures);
            }
            ++back.pictures;
            continue;
        }
        if (received == AVERROR_EOF)
            break;
        if (received != AVERROR(EAGAIN)) {
            back.error = QStringLiteral("decoding failed at picture %1").arg(back.pictures);
            break;
        }
        if (flushed)
            break;
        if (av_read_frame(format, packet) < 0) {
            avcodec_send_packet(codec, nullptr);
            flushed = true;
            continue;
        }
        if (packet->stream_index == video)
            avcodec_send_packet(codec, packet);
        av_packet_unref(packet);
    }
    sws_freeContext(converter);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return back;
}

std::vector<float> readSoundPeaks(const QString& path, double windowSeconds)
{
    std::vector<float> peaks;
    AVFormatContext* format = nullptr;
    const AVCodec* decoder = nullptr;
    int sound = -1;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0 ||
        (sound = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) < 0 || !decoder) {
        avformat_close_input(&format);
        return peaks;
    }
    const double timeBase = av_q2d(format->streams[sound]->time_base);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[sound]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto take = [&] {
        const auto sampleFormat = AVSampleFormat(frame->format);
        if (av_get_packed_sample_fmt(sampleFormat) != AV_SAMPLE_FMT_FLT)
            return; // the export's encoders all decode to floats
        const bool planar = av_sample_fmt_is_planar(sampleFormat);
        const int channels = frame->ch_layout.nb_channels;
        const double first = frame->best_effort_timestamp * timeBase;
        for (int i = 0; i < frame->nb_samples; ++i) {
            const auto window = long(std::floor((first + double(i) / frame->sample_rate) / windowSeconds));
            if (window < 0)
                continue;
            if (size_t(window) >= peaks.size())
                peaks.resize(size_t(window) + 1, 0.0f);
            for (int c = 0; c < channels; ++c) {
                const float value = planar ? reinterpret_cast<const float*>(frame->extended_data[c])[i]
                                           : reinterpret_cast<const float*>(frame->data[0])[i * channels + c];
                peaks[size_t(window)] = std::max(peaks[size_t(window)], std::abs(value));
            }
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == sound && avcodec_send_packet(codec, packet) >= 0) {
            while (avcodec_receive_frame(codec, frame) == 0)
                take();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    while (avcodec_receive_frame(codec, frame) == 0)
        take();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return peaks;
}

} // namespace tetrapan::test
