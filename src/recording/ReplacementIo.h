#pragma once

#include "platform/AtomicFileWriter.h"

#include <cstdint>

struct AVIOContext;

namespace tetrapan {

// FFmpeg's writing of a container into a ReplacementFile: the new file beside the name it is to take, which
// takes it only once committed, after the flush to the disk. Give the container context() as its pb, with
// AVFMT_FLAG_CUSTOM_IO, and free the container before this.
class ReplacementIo {
public:
    explicit ReplacementIo(ReplacementFile& file);
    ~ReplacementIo();
    ReplacementIo(const ReplacementIo&) = delete;
    ReplacementIo& operator=(const ReplacementIo&) = delete;

    AVIOContext* context() const { return io_; }
    // The system's error number of the write that failed, or 0: FFmpeg's own code for it says less.
    int writeError() const { return writeErrno_; }

private:
    static int writeBytes(void* opaque, uint8_t* data, int size);
    static int64_t seekBytes(void* opaque, int64_t offset, int whence);

    ReplacementFile& file_;
    int writeErrno_ = 0;
    AVIOContext* io_ = nullptr;
};

} // namespace tetrapan
