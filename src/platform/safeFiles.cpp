#include "platform/safeFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tetrapan::safeFiles {

namespace {

constexpr int MaxKeptCopies = 999;

QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("something else");
}

} // namespace

Opening openForReading(QFile& file, const QString& path, QString* reason)
{
    // without O_NONBLOCK the open itself would wait on a FIFO; it is taken off again for a regular file
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Opening::Missing;
        if (reason)
            *reason = qt_error_string(errno);
        return Opening::Refused;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        if (reason) {
            *reason = S_ISREG(info.st_mode) || info.st_mode == 0
                          ? qt_error_string(error)
                          : QStringLiteral("it is not a regular file but %1").arg(kindOf(info.st_mode));
        }
        ::close(fd);
        return Opening::Refused;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (reason)
            *reason = file.errorString();
        ::close(fd);
        return Opening::Refused;
    }
    return Opening::Opened;
}

QString notRegularFile(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    return QStringLiteral("it is not a regular file but %1").arg(kindOf(info.st_mode));
}

QString setAside(const QString& filePath, const QDateTime& now, QString* reason)
{
    const QString base =
        filePath + QStringLiteral(".damaged-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray from = QFile::encodeName(filePath);
    QString keptAs = base;
    // A rename that never replaces, and never a copy (QFile::rename copies when renaming fails, and copying
    // opens the file, which on a FIFO waits for ever): the kept file is the very one that was read.
    for (int n = 2;; ++n) {
        const QByteArray to = QFile::encodeName(keptAs);
        int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) // a file system that cannot promise not to replace
            result = QFileInfo::exists(keptAs) ? -1 : ::rename(from.constData(), to.constData());
        if (result == 0)
            return keptAs;
        const int renameError = errno;
        const int error = QFileInfo::exists(keptAs) ? EEXIST : renameError;
        if (error != EEXIST || n > MaxKeptCopies) {
            if (reason)
                *reason = QStringLiteral("could not be kept as %1 (%2)").arg(keptAs, qt_error_string(error));
            return {};
        }
        keptAs = base + QStringLiteral("-%1").arg(n);
    }
}

} // namespace tetrapan::safeFiles
