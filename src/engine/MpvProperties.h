#pragma once

#include <QString>

#include <cstdint>
#include <optional>

struct mpv_handle;
struct mpv_node;

namespace tetrapan {

// Tags of a movie's asynchronous requests, to tell their replies apart.
enum MpvAsyncRequest : uint64_t { AsyncReply = 100, SeekReply, PauseReply, FrameImageReply };

// Reading mpv's error codes, properties and property maps on the calling thread.
QString errorText(int code);
std::optional<double> doubleProperty(mpv_handle* handle, const char* name);
// How many numbers were read so far, in the whole program: each read waits for the core to finish what it is
// doing. For tests and diagnostics.
quint64 numberReads();
std::optional<qint64> intProperty(mpv_handle* handle, const QString& name);
QString stringProperty(mpv_handle* handle, const QString& name);
// The value under key in one of mpv's property maps; null when the map has none.
const mpv_node* mapValue(const mpv_node& map, const char* key);
bool nodeFlag(const mpv_node* node);
qint64 nodeInt(const mpv_node* node);

} // namespace tetrapan
