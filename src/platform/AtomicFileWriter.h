#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace tetrapan {

// The system calls a file replacement goes through. Tests hand in ones that fail as a full disk, an
// over-quota network home or a failing device would, at each step.
struct FileWriteCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fdatasync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*fsync)(int fd); // of the folder, after the rename

    static const FileWriteCalls& system();
};

// Replaces a file as a whole or not at all. The new content goes into a file of its own in the same folder;
// only when every write, the flush to the disk and the close have succeeded is it renamed over the old file,
// and the folder is then synced so the rename survives a power cut. On any failure the new file is removed
// and the old one is left byte for byte as it was. (QSaveFile ignores what fdatasync and close say and
// renames anyway: an over-quota home or a disk returning EIO got a cut-off file in place of a good one.)
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(const FileWriteCalls& calls = FileWriteCalls::system()) : calls_(calls) {}

    // True when `path` now holds exactly `bytes`. Otherwise false, with why in `reason`: what failed and the
    // system's words for it ("could not write the file: No space left on device").
    bool write(const QString& path, const QByteArray& bytes, QString* reason) const;

private:
    FileWriteCalls calls_;
};

} // namespace tetrapan
