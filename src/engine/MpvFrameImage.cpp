#include "engine/MpvFrameImage.h"

#include "engine/MpvNames.h"

#include <mpv/client.h>

namespace tetrapan {

bool requestRawFrame(mpv_handle* handle, uint64_t tag)
{
    const QByteArray command = mpvname::ScreenshotRaw;
    const QByteArray flags = mpvname::ScreenshotVideo;
    mpv_node items[2];
    items[0].format = MPV_FORMAT_STRING;
    items[0].u.string = const_cast<char*>(command.constData());
    items[1].format = MPV_FORMAT_STRING;
    items[1].u.string = const_cast<char*>(flags.constData());
    mpv_node_list list{2, items, nullptr};
    mpv_node args;
    args.format = MPV_FORMAT_NODE_ARRAY;
    args.u.list = &list;
    return mpv_command_node_async(handle, tag, &args) >= 0;
}

QImage rawFrameImage(const mpv_event& event)
{
    QImage image;
    const auto* reply = static_cast<const mpv_event_command*>(event.data);
    if (event.error >= 0 && reply && reply->result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = reply->result.u.list;
        qint64 width = 0, height = 0, stride = 0;
        QByteArray format;
        const mpv_byte_array* data = nullptr;
        for (int i = 0; i < map->num; ++i) {
            const QByteArray key = map->keys[i];
            const mpv_node& value = map->values[i];
            if (value.format == MPV_FORMAT_INT64 && key == "w")
                width = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "h")
                height = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "stride")
                stride = value.u.int64;
            else if (value.format == MPV_FORMAT_STRING && key == "format")
                format = value.u.string;
            else if (value.format == MPV_FORMAT_BYTE_ARRAY && key == "data")
                data = value.u.ba;
        }
        // bgr0: blue in the lowest byte of each 32-bit pixel, the top byte undefined
        if (format == "bgr0" && data && width > 0 && height > 0 && stride >= width * 4 &&
            data->size >= static_cast<size_t>(stride * height)) {
            image = QImage(static_cast<const uchar*>(data->data), int(width), int(height), int(stride),
                           QImage::Format_RGB32)
                        .copy();
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    line[x] |= 0xff000000u;
            }
        }
    }
    return image;
}

} // namespace tetrapan
