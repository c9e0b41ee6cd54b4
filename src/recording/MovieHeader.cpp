#include "recording/MovieHeader.h"

#include "platform/fileNames.h"
#include "platform/safeFiles.h"
#include "recording/ffmpegError.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <memory>

namespace tetrapan {

namespace {

struct CloseInput {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// The first picture track's size and rate, the first sound track's rate and channels; false without pictures.
bool readTracks(const AVFormatContext& format, RecordingTracks& tracks)
{
    bool picture = false;
    for (unsigned n = 0; n < format.nb_streams; ++n) {
        const AVStream& stream = *format.streams[n];
        const AVCodecParameters& codec = *stream.codecpar;
        if (codec.codec_type == AVMEDIA_TYPE_VIDEO && !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC) &&
            !picture) {
            picture = true;
            tracks.width = codec.width;
            tracks.height = codec.height;
            const AVRational rate =
                stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
            if (rate.num > 0 && rate.den > 0)
                tracks.frameRate = QStringLiteral("%1/%2").arg(rate.num).arg(rate.den);
        } else if (codec.codec_type == AVMEDIA_TYPE_AUDIO && ++tracks.soundTracks == 1) {
            tracks.hasSound = true;
            tracks.sampleRate = codec.sample_rate;
            tracks.channels = codec.ch_layout.nb_channels;
        }
    }
    tracks.known = picture;
    return picture;
}

std::optional<QDateTime> creationTimeOf(const AVFormatContext& format)
{
    const AVDictionaryEntry* entry = av_dict_get(format.metadata, "creation_time", nullptr, 0);
    if (!entry)
        return std::nullopt;
    QDateTime when = QDateTime::fromString(QString::fromUtf8(entry->value), Qt::ISODateWithMs);
    // muxers that know no time write the epoch's start or nothing at all
    if (!when.isValid() || when.toMSecsSinceEpoch() <= 0)
        return std::nullopt;
    return when;
}

} // namespace

MovieHeader MovieHeader::read(const QString& path)
{
    MovieHeader header;
    // a FIFO (or a link to one) would hold the open until something writes to it
    if (const QString odd = safeFiles::notRegularFile(path); !odd.isEmpty()) {
        header.problem = odd;
        return header;
    }
    AVFormatContext* opened = nullptr;
    if (const int error =
            avformat_open_input(&opened, fileNames::toBytes(path).constData(), nullptr, nullptr);
        error < 0) {
        header.problem = QStringLiteral("does not open (%1)").arg(ffmpegError(error));
        return header;
    }
    const std::unique_ptr<AVFormatContext, CloseInput> format(opened);
    // Most containers say their length and streams in the header; a stream of packets (MPEG-TS) is read a
    // little into for them.
    if (format->duration == AV_NOPTS_VALUE || format->nb_streams == 0)
        avformat_find_stream_info(format.get(), nullptr);
    if (!readTracks(*format, header.tracks)) {
        header.problem = QStringLiteral("no picture");
        return header;
    }
    if (format->duration == AV_NOPTS_VALUE || format->duration <= 0) {
        header.problem = QStringLiteral("its length is unknown");
        return header;
    }
    header.lengthMs = av_rescale(format->duration, 1000, AV_TIME_BASE);
    header.creationTime = creationTimeOf(*format);
    return header;
}

} // namespace tetrapan
