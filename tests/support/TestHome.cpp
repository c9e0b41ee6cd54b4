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

bool writeOnePlaylistHome(const TestHome& home, const QString& title, const QStringList& files)
{
    QString library =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tetrapan-library version=\"1\">\n"
                       "  <playlist id=\"1\" uniqueId=\"00000001\" title=\"%1\" index=\"1\" "
                       "isFolder=\"false\" isExpand=\"false\" frameSet=\"\"/>\n")
            .arg(title.toHtmlEscaped());
    QString links;
    for (int n = 1; n <= files.size(); ++n) {
        if (files[n - 1].isEmpty())
            continue;
        library += QStringLiteral("  <filelist id=\"%1\" itemId=\"%2\" uniqueId=\"00000001\" viewNo=\"%3\" "
                                  "filePath=\"%4\" title=\"\" playTime=\"0\" fileSize=\"0\" "
                                  "fileDate=\"2026-01-01T00:00:00.000Z\"/>\n")
                       .arg(n + 1)
                       .arg(n, 8, 10, QLatin1Char('0'))
                       .arg(n)
                       .arg(files[n - 1].toHtmlEscaped());
        links += QStringLiteral("  <link playlist=\"1\" filelist=\"%1\"/>\n").arg(n + 1);
    }
    library += links + QStringLiteral("</tetrapan-library>\n");
    return writeAll(home.libraryFile(), library.toUtf8()) &&
           writeAll(home.settingsFile(), R"({"optLastSelectedIndexForPlaylist": 0})");
}

} // namespace tetrapan::test
