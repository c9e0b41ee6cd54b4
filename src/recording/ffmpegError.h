#pragma once

#include <QString>

namespace tetrapan {

// What FFmpeg says of one of its error codes (AVERROR), in the system's words for a system error.
QString ffmpegError(int code);

} // namespace tetrapan
