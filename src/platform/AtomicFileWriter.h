#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

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

// A new file beside the one it is to replace (a name of its own in the same folder, so the rename never
// crosses file systems), written through its descriptor. It takes the old file's name only when committed,
// once the flush to the disk and the close have succeeded, and the folder is then synced so the rename
// survives a power cut. Otherwise it is removed, also when destroyed uncommitted, and the old file is left
// byte for byte as it was.
class ReplacementFile {
public:
    // The step that failed, and the system's error number.
    enum class Step { Create, Write, Flush, Close, Rename, FolderSync };
    struct Failure {
        Step step = Step::Create;
        int error = 0;
    };

    explicit ReplacementFile(const FileWriteCalls& calls = FileWriteCalls::system()) : calls_(calls) {}
    ~ReplacementFile() { discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // target: the file to replace, as its bytes; suffix: what the new file's name adds to it before a random
    // part (".new-").
    bool create(const QByteArray& target, const char* suffix, Failure* failure);
    int fd() const { return fd_; }
    // All of it, or false.
    bool writeAll(const char* data, qsizetype size, Failure* failure);
    // A FolderSync failure leaves the new file in place under the target's name; any other leaves nothing.
    bool commit(Failure* failure);
    void discard();

private:
    bool failed(Failure* failure, Step step, int error);

    FileWriteCalls calls_;
    QByteArray target_;
    QByteArray temporary_;
    int fd_ = -1;
};

// Replaces a file as a whole or not at all (a ReplacementFile). The new content goes into a file of its own in the same folder;
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

    // Takes the next piece of the content into the new file; false when it could not.
    using Sink = std::function<bool(QByteArrayView)>;
    // Hands the content to the new file piece by piece while it is made, so that it need never be in memory
    // whole: `produce` gives the sink each piece in turn and returns false as soon as the sink does. The
    // same as write(path, bytes) otherwise.
    using Producer = std::function<bool(const Sink&)>;
    bool write(const QString& path, const Producer& produce, QString* reason) const;

private:
    FileWriteCalls calls_;
};

} // namespace tetrapan
