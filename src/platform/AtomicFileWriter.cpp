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

bool AtomicFileWriter::write(const QString& path, const QByteArray& bytes, QString* reason) const
{
    const auto fail = [&](const QString& what, int error) {
        if (reason)
            *reason = because(what, error);
        return false;
    };
    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    const QByteArray encodedTarget = QFile::encodeName(target);

    // a name of its own beside the target, so the rename never crosses file systems
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < MaxNameTries; ++attempt) {
        temporary = encodedTarget + ".new-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = calls_.open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno; // before the message is built
        return fail(QStringLiteral("could not create a new file in %1").arg(QDir::toNativeSeparators(folder)),
                    error);
    }
    const auto abandon = [&](const QString& what, int error, bool stillOpen) {
        if (stillOpen)
            calls_.close(fd);
        ::unlink(temporary.constData());
        return fail(what, error);
    };

    // the new file gets the old one's permissions: a library kept private stays private
    struct stat old {};
    if (::stat(encodedTarget.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);

    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = calls_.write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(QStringLiteral("could not write the file"), n < 0 ? errno : ENOSPC, true);
        written += n;
    }
    // Only what fdatasync and close both accept is on the disk: a network home may refuse the data (over
    // quota) only when it is flushed or even closed.
    if (calls_.fdatasync(fd) != 0)
        return abandon(QStringLiteral("could not write the file to the disk"), errno, true);
    // a failed close has still released the descriptor on Linux; closing again could close another's
    if (calls_.close(fd) != 0)
        return abandon(QStringLiteral("could not finish writing the file"), errno, false);
    if (calls_.rename(temporary.constData(), encodedTarget.constData()) != 0)
        return abandon(QStringLiteral("could not put the new file in place of the old one"), errno, false);

    // The rename is only lasting once the folder is on the disk too. A folder that cannot be opened for this
    // (no read permission) or a file system that cannot sync folders leaves nothing more to do.
    const int folderFd =
        calls_.open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folderFd < 0)
        return true;
    const bool synced = calls_.fsync(folderFd) == 0 || errno == EINVAL || errno == ENOTSUP;
    const int syncError = errno;
    calls_.close(folderFd);
    if (!synced) {
        return fail(
            QStringLiteral("the new file is in place, but its folder could not be written to the disk, so "
                           "it may not survive a power cut"),
            syncError);
    }
    return true;
}

} // namespace tetrapan
