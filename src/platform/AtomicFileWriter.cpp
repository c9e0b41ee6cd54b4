#include "platform/AtomicFileWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tetrapan {

namespace {

constexpr int MaxLinkChain = 40;
constexpr int MaxNameTries = 100;

int systemOpen(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}

// The file a symbolic link leads to is the one replaced, as an editor does, so the link stays a link.
QString resolvedTarget(const QString& path)
{
    QFileInfo info(path);
    for (int step = 0; step < MaxLinkChain && info.isSymLink(); ++step)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

QString because(const QString& what, int error)
{
    return QStringLiteral("%1: %2").arg(what, qt_error_string(error));
}

} // namespace

const FileWriteCalls& FileWriteCalls::system()
{
    static const FileWriteCalls calls{systemOpen, ::write, ::fdatasync, ::close, ::rename, ::fsync};
    return calls;
}

bool ReplacementFile::failed(Failure* failure, Step step, int error)
{
    if (failure)
        *failure = {step, error};
    return false;
}

bool ReplacementFile::create(const QByteArray& target, const char* suffix, Failure* failure)
{
    discard();
    target_ = target;
    for (int attempt = 0; fd_ < 0 && attempt < MaxNameTries; ++attempt) {
        temporary_ = target_ + suffix + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd_ = calls_.open(temporary_.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ >= 0)
        return true;
    const int error = errno;
    temporary_.clear();
    return failed(failure, Step::Create, error);
}

bool ReplacementFile::writeAll(const char* data, qsizetype size, Failure* failure)
{
    qsizetype written = 0;
    while (written < size) {
        const ssize_t n = calls_.write(fd_, data + written, size_t(size - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed(failure, Step::Write, n < 0 ? errno : ENOSPC);
        written += n;
    }
    return true;
}

bool ReplacementFile::commit(Failure* failure)
{
    const auto abandon = [&](Step step, int error) {
        discard();
        return failed(failure, step, error);
    };
    // Only what fdatasync and close both accept is on the disk: a network home may refuse the data (over
    // quota) only when it is flushed or even closed.
    if (calls_.fdatasync(fd_) != 0)
        return abandon(Step::Flush, errno);
    // a failed close has still released the descriptor on Linux; closing again could close another's
    const int closed = calls_.close(fd_);
    fd_ = -1;
    if (closed != 0)
        return abandon(Step::Close, errno);
    if (calls_.rename(temporary_.constData(), target_.constData()) != 0)
        return abandon(Step::Rename, errno);
    temporary_.clear();

    // The rename is only lasting once the folder is on the disk too. A folder that cannot be opened for this
    // (no read permission) or a file system that cannot sync folders leaves nothing more to do.
    const qsizetype slash = target_.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? target_.left(slash) : QByteArray("/");
    const int folderFd = calls_.open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folderFd < 0)
        return true;
    const bool synced = calls_.fsync(folderFd) == 0 || errno == EINVAL || errno == ENOTSUP;
    const int syncError = errno;
    calls_.close(folderFd);
    return synced || failed(failure, Step::FolderSync, syncError);
}

void ReplacementFile::discard()
{
    if (fd_ >= 0)
        calls_.close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
}

bool AtomicFileWriter::write(const QString& path, const QByteArray& bytes, QString* reason) const
{
    return write(
        path, [&bytes](const Sink& sink) { return sink(QByteArrayView(bytes)); }, reason);
}

bool AtomicFileWriter::write(const QString& path, const Producer& produce, QString* reason) const
{
    const QString target = resolvedTarget(path);
    const QString folder = QFileInfo(target).absolutePath();
    const QByteArray encodedTarget = QFile::encodeName(target);
    ReplacementFile file(calls_);
    ReplacementFile::Failure failure;
    bool done = file.create(encodedTarget, ".new-", &failure);
    if (done) {
        // the new file gets the old one's permissions: a library kept private stays private
        struct stat old {};
        if (::stat(encodedTarget.constData(), &old) == 0)
            ::fchmod(file.fd(), old.st_mode & 07777);
        bool refused = false;
        const Sink sink = [&](QByteArrayView piece) {
            refused = !file.writeAll(piece.data(), piece.size(), &failure);
            return !refused;
        };
        done = produce(sink);
        // a producer that stopped on its own leaves an unfinished file, never put in place
        if (!done && !refused)
            failure = {ReplacementFile::Step::Write, ECANCELED};
        done = done && file.commit(&failure);
    }
    if (done)
        return true;
    if (reason) {
        QString what;
        switch (failure.step) {
        case ReplacementFile::Step::Create:
            what = QStringLiteral("could not create a new file in %1").arg(QDir::toNativeSeparators(folder));
            break;
        case ReplacementFile::Step::Write:
            what = QStringLiteral("could not write the file");
            break;
        case ReplacementFile::Step::Flush:
            what = QStringLiteral("could not write the file to the disk");
            break;
        case ReplacementFile::Step::Close:
            what = QStringLiteral("could not finish writing the file");
            break;
        case ReplacementFile::Step::Rename:
            what = QStringLiteral("could not put the new file in place of the old one");
            break;
        case ReplacementFile::Step::FolderSync:
            what = QStringLiteral("the new file is in place, but its folder could not be written to the disk, "
                                  "so it may not survive a power cut");
            break;
        }
        *reason = because(what, failure.error);
    }
    return false;
}

} // namespace tetrapan
