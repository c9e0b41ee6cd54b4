#pragma once

#include <QImage>

#include <cstdint>

struct mpv_event;
struct mpv_handle;

namespace tetrapan {

// The picture on show as mpv decoded it, before any scaling: asked for without waiting, tagged so the
// reply can be told apart; false when mpv refused the request.
bool requestRawFrame(mpv_handle* handle, uint64_t tag);
// The picture in mpv's reply to requestRawFrame; null when it brought none.
QImage rawFrameImage(const mpv_event& event);

} // namespace tetrapan
