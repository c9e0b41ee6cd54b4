#include "platform/fileNames.h"

#include <QtGlobal>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tetrapan::fileNames {

namespace {

constexpr char16_t FirstKeptByte = 0xDC80;
constexpr char16_t LastKeptByte = 0xDCFF;

bool isKeptByte(char16_t c)
{
    return c >= FirstKeptByte && c <= LastKeptByte;
}

// The length of the valid UTF-8 sequence at the start of bytes, or 0 when it is not one: overlong forms,
// surrogates and code points past U+10FFFF are not valid (RFC 3629).
qsizetype validSequenceLength(const uchar* bytes, qsizetype left)
{
    const uchar lead = bytes[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (bytes[i] < 0x80 || bytes[i] > 0xBF)
            return 0;
    return length;
}

} // namespace

QString fromBytes(QByteArrayView bytes)
{
    QString name = QString::fromUtf8(bytes);
    if (!name.contains(QChar::ReplacementCharacter) || name.toUtf8() == bytes)
        return name;
    name.clear();
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    qsizetype start = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = validSequenceLength(data + at, bytes.size() - at);
        if (length > 0) {
            at += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(start, at - start));
        name += QChar(char16_t(FirstKeptByte + data[at] - 0x80));
        start = ++at;
    }
    name += QString::fromUtf8(bytes.sliced(start));
    return name;
}

QByteArray toBytes(QStringView name)
{
    if (!holdsRawBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t c = name[at].unicode();
        if (!isKeptByte(c) || (at > 0 && name[at - 1].isHighSurrogate()))
            continue;
        bytes += name.sliced(start, at - start).toUtf8();
        bytes += char(c - FirstKeptByte + 0x80);
        start = at + 1;
    }
    bytes += name.sliced(start).toUtf8();
    return bytes;
}

bool holdsRawBytes(QStringView name)
{
    for (qsizetype at = 0; at < name.size(); ++at)
        if (isKeptByte(name[at].unicode()) && !(at > 0 && name[at - 1].isHighSurrogate()))
            return true;
    return false;
}

QString shown(QStringView name)
{
    QString text = name.toString();
    for (qsizetype at = 0; at < text.size(); ++at)
        if (isKeptByte(text[at].unicode()) && !(at > 0 && text[at - 1].isHighSurrogate()))
            text[at] = QChar::ReplacementCharacter;
    return text;
}

QString fromTitle(const QString& title, const QString& fallback, int maxBytes)
{
    QString safe;
    for (const QChar c : title)
        safe += c == QLatin1Char('/') || c.category() == QChar::Other_Control ? QLatin1Char('_') : c;
    safe = safe.trimmed();
    for (qsizetype i = 0; i < safe.size() && safe[i] == QLatin1Char('.'); ++i)
        safe[i] = QLatin1Char('_');
    if (safe.isEmpty())
        safe = fallback;
    while (safe.toUtf8().size() > maxBytes)
        safe.chop(safe.size() >= 2 && safe[safe.size() - 1].isLowSurrogate() ? 2 : 1);
    return safe;
}

QString fromFileUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // "localhost" names this machine as an empty host does; any other names another machine, whose
    // "//nas/m/a.mp4" this one would read as its own "/nas/m/a.mp4"
    if (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return {};
    // "%00" decodes to a character no file name can hold; the name would end there, at another file
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.contains('\0'))
        return {};
    return fromBytes(bytes);
}

QUrl toFileUrl(const QString& path)
{
    return QUrl::fromEncoded("file://" + toBytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

Facts facts(const QString& path, bool followLinks)
{
    Facts found;
    struct stat status {};
    const QByteArray bytes = toBytes(path);
    if (bytes.isEmpty() || (followLinks ? ::stat(bytes.constData(), &status) : ::lstat(bytes.constData(), &status)) != 0)
        return found;
    found.exists = true;
    found.isFile = S_ISREG(status.st_mode);
    found.isFolder = S_ISDIR(status.st_mode);
    found.isLink = S_ISLNK(status.st_mode);
    found.size = status.st_size;
    found.modified = QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000 +
                                                   status.st_mtim.tv_nsec / 1000000);
    found.device = status.st_dev;
    found.inode = status.st_ino;
    return found;
}

bool exists(const QString& path)
{
    return facts(path).exists;
}

bool opensForReading(const QString& path, QString* error)
{
    // not blocking: a pipe without a writer would hold the open for ever
    const int fd = ::open(toBytes(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error = qt_error_string(errno);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace tetrapan::fileNames
