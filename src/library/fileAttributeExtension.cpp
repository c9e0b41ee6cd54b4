#include "library/fileAttributeExtension.h"

#include "platform/fileNames.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cmath>

namespace tetrapan::fileAttributeExtension {

namespace {

// The kernel refuses chains longer than this too (SYMLOOP_MAX on Linux is 40).
constexpr int MaxLinkChain = 40;

QString expandTilde(const QString& path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

// Files below a folder, links to files counted with their target's size; links to folders are not entered,
// so a link back up the tree cannot make the walk endless. A folder's own entry is not content.
qint64 folderSize(const QString& path)
{
    qint64 sum = 0;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isDir())
            sum += info.size();
    }
    return sum;
}

} // namespace

int checkFileExists(const QString& path)
{
    if (path.isEmpty())
        return FileMissing;
    const fileNames::Facts file = fileNames::facts(path);
    if (!file.exists)
        return FileMissing;
    return file.isFolder ? FileIsFolder : FileIsFile;
}

QString resolveAliasFileWithPath(const QString& path)
{
    if (checkFileExists(path) == FileMissing)
        return {};
    if (!fileNames::facts(path, false).isLink)
        return path;
    QFileInfo info(path);
    for (int step = 0; step < MaxLinkChain && info.isSymLink(); ++step) {
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            return {};
        info = QFileInfo(target);
    }
    if (info.isSymLink() || !info.exists())
        return {};
    return QDir::cleanPath(info.absoluteFilePath());
}

QString displayNameAtPath(const QString& path)
{
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return name.isEmpty() ? path : name;
}

QVariantMap getFileAttribute(const QString& path)
{
    QVariantMap dict;
    const int existence = checkFileExists(path);
    if (existence != FileMissing) {
        dict.insert(FileName, displayNameAtPath(path));
        const fileNames::Facts info = fileNames::facts(expandTilde(path));
        qint64 size = 0;
        if (info.isFile) {
            dict.insert(FileType, QStringLiteral("file"));
            size = info.size;
            dict.insert(FileSizeStr, convertFileSizeToString(static_cast<double>(size)));
        } else if (info.isFolder) {
            dict.insert(FileType, QStringLiteral("folder"));
            size = folderSize(path);
            dict.insert(FileSizeStr, convertFileSizeToString(static_cast<double>(size)));
        } else {
            dict.insert(FileType, QString());
        }
        dict.insert(FileTypeName, QString());
        const QDateTime modified = info.modified;
        dict.insert(FileDate, modified);
        // the date's text form is "yyyy-MM-dd HH:mm:ss +zzzz" in local time; its parts split at the blanks
        const QDateTime local = modified.toLocalTime();
        dict.insert(FileDateStr,
                    local.toString(QStringLiteral("yyyy-MM-dd")).replace(QLatin1Char('-'), QLatin1Char('/')));
        dict.insert(FileTimeStr, local.toString(QStringLiteral("HH:mm:ss")));
        dict.insert(FileSize, size);
    }
    dict.insert(FileExist, existence != FileMissing);
    return dict;
}

QString getFileTypeName(const QString&)
{
    return QStringLiteral("");
}

int checkFileCollect(const QString& path, const QString& kind)
{
    const int existence = checkFileExists(path);
    if (existence == FileMissing)
        return CollectMissing;
    if (kind == QLatin1String("file") && existence == FileIsFolder)
        return CollectOtherKind;
    if (kind == QLatin1String("folder") && existence != FileIsFolder)
        return CollectOtherKind;
    return CollectMatches;
}

int checkAndCreateFolder(const QString& path)
{
    const int existence = checkFileExists(path);
    if (existence != FileMissing)
        return existence == FileIsFolder ? FolderPresent : FolderBlocked;
    return createNewDirectory(path) ? FolderPresent : FolderCreateFailed;
}

bool createNewDirectory(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QDir().mkdir(path);
}

QVariantMap createfileAttbDict()
{
    return {{QStringLiteral("fileModificationDate"), QDateTime::currentDateTime()},
            {QStringLiteral("fileOwnerAccountName"), QStringLiteral("owner")},
            {QStringLiteral("fileGroupOwnerAccountName"), QStringLiteral("group")}};
}

QString deleteLastString(const QString& text, const QString& suffix, bool* isDel)
{
    const qsizetype p = text.size() - suffix.size();
    const bool matches = p >= 0 && QStringView(text).mid(p) == suffix;
    if (isDel)
        *isDel = matches;
    return matches ? text.left(p) : text;
}

QString convertFileSizeToString(double size)
{
    constexpr double KB = 1024.0;
    constexpr double MB = 1048576.0;
    constexpr double GB = 1073741824.0;
    if (size < MB)
        return QString::asprintf("%.1f KB", size / KB);
    if (size < GB)
        return QString::asprintf("%.1f MB", size / MB);
    return QString::asprintf("%.1f GB", size / GB);
}

QString convertTimeToString(int seconds)
{
    const int h = seconds > 3599 ? seconds / 3600 : 0;
    const int r = seconds - 3600 * h;
    const int m = r > 59 ? r / 60 : 0;
    const int s = r - 60 * m;
    const QString hours = QString::number(h);
    const QString minutes = (h > 0 && m <= 9) ? QStringLiteral("0%1").arg(m) : QString::number(m);
    const QString secs = s <= 9 ? QStringLiteral("0%1").arg(s) : QString::number(s);
    if (h > 0)
        return hours + QLatin1Char(':') + minutes + QLatin1Char(':') + secs;
    return minutes + QLatin1Char(':') + secs;
}

QString convertToComma(qint64 value)
{
    // magnitude as unsigned so the most negative value has one too
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    const QString digits = QString::number(magnitude);
    QString grouped;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits.at(i);
    }
    return value < 0 ? QLatin1Char('-') + grouped : grouped;
}

QString convertToZeroFormat(qint64 value)
{
    const quint64 magnitude = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    const QString digits = QStringLiteral("%1").arg(magnitude, 8, 10, QLatin1Char('0'));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

} // namespace tetrapan::fileAttributeExtension
