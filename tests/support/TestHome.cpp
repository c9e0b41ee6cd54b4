#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tetrapan::test {

TestHome::TestHome()
{
    Q_ASSERT(dir_.isValid());
    qputenv("HOME", path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (path() + QStringLiteral("/.cache")).toLocal8Bit());
}

QByteArray readAll(const QString& filePath)
{
    QFile file(filePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& filePath, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QFile file(filePath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool writeLibraryFile(const TestHome& home, const QList<PlaylistFiles>& playlists)
{
    QString library =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tetrapan-library version=\"1\">\n");
    QString entries;
    QString links;
    int entryCount = 0;
    for (int p = 1; p <= playlists.size(); ++p) {
        const QString uniqueId = QStringLiteral("%1").arg(p, 8, 10, QLatin1Char('0'));
        library += QStringLiteral("  <playlist id=\"%1\" uniqueId=\"%2\" title=\"%3\" index=\"%1\" "
                                  "isFolder=\"false\" isExpand=\"false\" frameSet=\"\"/>\n")
                       .arg(p)
                       .arg(uniqueId, playlists[p - 1].title.toHtmlEscaped());
        const QStringList& files = playlists[p - 1].files;
        for (int n = 1; n <= files.size(); ++n) {
            if (files[n - 1].isEmpty())
                continue;
            const int id = int(playlists.size()) + ++entryCount;
            entries += QStringLiteral("  <filelist id=\"%1\" itemId=\"%2\" uniqueId=\"%3\" viewNo=\"%4\" "
                                      "filePath=\"%5\" title=\"\" playTime=\"0\" fileSize=\"0\" "
                                      "fileDate=\"2026-01-01T00:00:00.000Z\"/>\n")
                           .arg(id)
                           .arg(entryCount, 8, 10, QLatin1Char('0'))
                           .arg(uniqueId)
                           .arg(n)
                           .arg(files[n - 1].toHtmlEscaped());
            links += QStringLiteral("  <link playlist=\"%1\" filelist=\"%2\"/>\n").arg(p).arg(id);
        }
    }
    library += entries + links + QStringLiteral("</tetrapan-library>\n");
    return writeAll(home.libraryFile(), library.toUtf8());
}

bool writeOnePlaylistHome(const TestHome& home, const QString& title, const QStringList& files)
{
    return writeLibraryFile(home, {{title, files}}) &&
           writeAll(home.settingsFile(), R"({"optLastSelectedIndexForPlaylist": 0})");
}

} // namespace tetrapan::test
