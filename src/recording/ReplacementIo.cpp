#include "recording/ReplacementIo.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tetrapan {

namespace {
constexpr int IoBufferBytes = 1 << 16;
} // namespace

ReplacementIo::ReplacementIo(ReplacementFile& file) : file_(file)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(IoBufferBytes));
    io_ = avio_alloc_context(buffer, IoBufferBytes, 1, this, nullptr, &ReplacementIo::writeBytes,
                             &ReplacementIo::seekBytes);
}

ReplacementIo::~ReplacementIo()
{
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

int ReplacementIo::writeBytes(void* opaque, uint8_t* data, int size)
{
    auto* self = static_cast<ReplacementIo*>(opaque);
    ReplacementFile::Failure failure;
    if (self->file_.writeAll(reinterpret_cast<const char*>(data), size, &failure))
        return size;
    self->writeErrno_ = failure.error;
    return AVERROR(self->writeErrno_);
}

int64_t ReplacementIo::seekBytes(void* opaque, int64_t offset, int whence)
{
    auto* self = static_cast<ReplacementIo*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat facts {};
        return ::fstat(self->file_.fd(), &facts) == 0 ? facts.st_size : AVERROR(errno);
    }
    const off_t at = ::lseek(self->file_.fd(), offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : at;
}

} // namespace tetrapan
