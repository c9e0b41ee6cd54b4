#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

namespace tetrapan::fileNames {

// A file name on Linux is bytes, which are most often UTF-8 but need not be: a name from an old archive or
// another system may hold bytes that are not. Qt turns such bytes into U+FFFD, and the file can no longer be
// named. Names are therefore decoded here with every byte that is not part of valid UTF-8 kept as the lone
// surrogate U+DC80 + byte, which no valid UTF-8 decodes to, and encoded back to exactly the bytes they came
// from. A name that is valid UTF-8 reads as Qt reads it.
QString fromBytes(QByteArrayView bytes);
QByteArray toBytes(QStringView name);
// The name holds bytes that are not UTF-8.
bool holdsRawBytes(QStringView name);
// For showing: each byte that is not UTF-8 as U+FFFD.
QString shown(QStringView name);
// A file name made of a title (a playlist's): '/' and control characters as '_', and a leading '.', which
// would hide the file; trimmed, and cut to maxBytes of UTF-8; fallback when nothing is left.
QString fromTitle(const QString& title, const QString& fallback, int maxBytes = 200);

// A file:// URL's path, percent-encoded bytes decoded as above; "" for any other URL, for a file:// URL of
// another machine, and for one whose path holds a NUL (a dropped or given "a.mp4%00.txt" is no "a.mp4").
QString fromFileUrl(const QUrl& url);
// The file:// URL of an absolute path, its bytes percent-encoded.
QUrl toFileUrl(const QString& path);

// What the file system says of a name, found without Qt's file classes (which cannot name every file).
struct Facts {
    bool exists = false;
    bool isFile = false;
    bool isFolder = false;
    // Only when links are not followed.
    bool isLink = false;
    qint64 size = 0;
    QDateTime modified;
    // which file it is: two names with the same device and inode are one file
    quint64 device = 0;
    quint64 inode = 0;

    bool isSameFileAs(const Facts& other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};
Facts facts(const QString& path, bool followLinks = true);
bool exists(const QString& path);
// Whether the file opens for reading; why not, in the system's words, in error.
bool opensForReading(const QString& path, QString* error = nullptr);

} // namespace tetrapan::fileNames
