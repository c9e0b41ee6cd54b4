#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tetrapan::test {

TestHome::TestHome()
{
    Q_ASSERT(dir_.isValid());
    qputenv("HOME", dir_.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", QDir(dir_.path()).filePath(QStringLiteral(".cache")).toLocal8Bit());
}

QString TestHome::dataHome() const
{
    return QDir(dir_.path()).filePath(QStringLiteral(".local/share"));
}

QString TestHome::configHome() const
{
    return QDir(dir_.path()).filePath(QStringLiteral(".config"));
}

QString TestHome::libraryFile() const
{
    return QDir(dataHome()).filePath(QStringLiteral("Tetrapan/Tetrapan.xml"));
}

QString TestHome::settingsFile() const
{
    return QDir(configHome()).filePath(QStringLiteral("Tetrapan/Tetrapan.json"));
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

} // namespace tetrapan::test
