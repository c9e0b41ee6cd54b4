#include "recording/MovieHeader.h"

#include "platform/fileNames.h"

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

QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

bool hasPicture(const AVFormatContext& format)
{
    for (unsigned n = 0; n < format.nb_streams; ++n) {
        const AVStream& stream = *format.streams[n];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC))
            return true;
    }
    return false;
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
    AVFormatContext* opened = nullptr;
    if (const int error =
            avformat_open_input(&opened, fileNames::toBytes(path).constData(), nullptr, nullptr);
        error < 0) {
        header.problem = QStringLiteral("does not open (%1)").arg(errorText(error));
        return header;
    }
    const std::unique_ptr<AVFormatContext, CloseInput> format(opened);
    // Most containers say their length and streams in the header; a stream of packets (MPEG-TS) is read a
    // little into for them.
    if (format->duration == AV_NOPTS_VALUE || format->nb_streams == 0)
        avformat_find_stream_info(format.get(), nullptr);
    if (!hasPicture(*format)) {
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
