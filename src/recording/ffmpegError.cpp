#include "recording/ffmpegError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace tetrapan {

QString ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

} // namespace tetrapan
