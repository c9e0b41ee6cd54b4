#include "engine/MpvPixelReader.h"

#include "engine/MpvProperties.h"

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace tetrapan {

namespace {

// The pixel at share of mpv's raw picture ("bgr0" and the like, four bytes a pixel).
std::optional<PixelValue> pixelOf(const mpv_node& picture, QPointF share)
{
    const mpv_node* width = mapValue(picture, "w");
    const mpv_node* height = mapValue(picture, "h");
    const mpv_node* stride = mapValue(picture, "stride");
    const mpv_node* format = mapValue(picture, "format");
    const mpv_node* data = mapValue(picture, "data");
    if (!width || !height || !stride || !format || !data || data->format != MPV_FORMAT_BYTE_ARRAY ||
        format->format != MPV_FORMAT_STRING)
        return std::nullopt;
    const qint64 w = width->u.int64;
    const qint64 h = height->u.int64;
    const qint64 x = std::clamp<qint64>(static_cast<qint64>(std::floor(share.x() * w)), 0, w - 1);
    const qint64 y = std::clamp<qint64>(static_cast<qint64>(std::floor(share.y() * h)), 0, h - 1);
    const qint64 at = y * stride->u.int64 + x * 4;
    if (w <= 0 || h <= 0 || at + 4 > static_cast<qint64>(data->u.ba->size))
        return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(data->u.ba->data) + at;
    const std::string name = format->u.string;
    if (name == "bgr0" || name == "bgra")
        return PixelValue{bytes[2], bytes[1], bytes[0], true};
    if (name == "rgb0" || name == "rgba")
        return PixelValue{bytes[0], bytes[1], bytes[2], true};
    return std::nullopt;
}

} // namespace

MpvPixelReader::MpvPixelReader(QObject* parent) : QObject(parent) {}

MpvPixelReader::~MpvPixelReader()
{
    // its answer, queued to this object, goes with it
    if (thread_.joinable())
        thread_.join();
}

void MpvPixelReader::read(mpv_handle* handle, QPointF share, MovieView::PixelAnswer answer)
{
    // a client of its own, so that the core's owner may end it meanwhile: ending the core waits only for
    // this read
    if (reading_)
        return; // the pointer soon asks again
    mpv_handle* client = handle ? mpv_create_client(handle, "pixel-readout") : nullptr;
    if (!client) {
        answer(std::nullopt);
        return;
    }
    // the read before has answered, so its thread has ended or is about to
    if (thread_.joinable())
        thread_.join();
    reading_ = true;
    thread_ = std::thread([this, client, share, answer = std::move(answer)]() mutable {
        const char* args[] = {"screenshot-raw", "video", nullptr};
        mpv_node result{};
        std::optional<PixelValue> value;
        if (mpv_command_ret(client, args, &result) >= 0) {
            value = pixelOf(result, share);
            mpv_free_node_contents(&result);
        }
        mpv_destroy(client);
        QMetaObject::invokeMethod(
            this,
            [this, value, answer = std::move(answer)] {
                reading_ = false;
                answer(value);
            },
            Qt::QueuedConnection);
    });
}

} // namespace tetrapan
