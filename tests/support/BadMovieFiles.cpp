#include "BadMovieFiles.h"

#include "TestClips.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

namespace tetrapan::test {

namespace {

QString write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

} // namespace

QList<BadMovieFile> makeBadMovieFiles(const QString& folder, const TestClips& clips)
{
    const QDir dir(folder);
    QFile red(clips.red);
    if (!red.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(clips.red));
    const QByteArray clip = red.readAll();

    QList<BadMovieFile> files{
        {QStringLiteral("zero bytes"), write(dir, QStringLiteral("empty.mp4"), {}), true, {}},
        {QStringLiteral("text named .mp4"),
         write(dir, QStringLiteral("notes.mp4"), QByteArray("just some words\n").repeated(200)),
         false,
         {}},
        // the clip's index sits at its end, so the first half is data nobody can find
        {QStringLiteral("truncated MP4"),
         write(dir, QStringLiteral("truncated.mp4"), clip.left(clip.size() / 2)),
         false,
         {}},
        // mpv would play the movie it names instead
        {QStringLiteral("playlist file"),
         write(dir, QStringLiteral("list.m3u"), QFile::encodeName(clips.red)),
         false,
         {}},
        {QStringLiteral("folder of clips"), clips.folder, true, {}},
        {QStringLiteral("still image"), clips.still, false, {}},
        {QStringLiteral("missing path"), dir.filePath(QStringLiteral("nowhere.mp4")), true, {}},
    };
    // The index at the front and the data cut off after it: mpv learns a length and tracks, and never gets a
    // picture.
    const QString faststart = dir.filePath(QStringLiteral("indexed-first.mp4"));
    QByteArray headerOnly;
    if (QProcess::execute(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", clips.red, "-c", "copy",
                                                     "-movflags", "+faststart", faststart}) == 0) {
        QFile whole(faststart);
        if (whole.open(QIODevice::ReadOnly))
            headerOnly = whole.readAll();
        const qsizetype data = headerOnly.indexOf("mdat");
        headerOnly = data > 0 ? headerOnly.left(data + 4 + 64) : QByteArray();
    }
    files.append({QStringLiteral("MP4 cut after its header"),
                  write(dir, QStringLiteral("header-only.mp4"), headerOnly.isEmpty() ? clip.left(64) : headerOnly),
                  false,
                  headerOnly.isEmpty() ? QStringLiteral("ffmpeg could not move the clip's index to its front")
                                       : QString()});
    // Root reads any file whatever its mode, so these are the unreadable files that fail for everyone: a pipe
    // nobody writes to (opening it would wait for ever) and a link to nothing.
    const QString fifo = dir.filePath(QStringLiteral("pipe.mp4"));
    if (mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0)
        qFatal("mkfifo failed");
    files.append({QStringLiteral("named pipe"), fifo, true, {}});
    const QString link = dir.filePath(QStringLiteral("dangling.mp4"));
    QFile::link(dir.filePath(QStringLiteral("gone.mp4")), link);
    files.append({QStringLiteral("dangling link"), link, true, {}});
    const QString locked = write(dir, QStringLiteral("locked.mp4"), clip);
    QFile::setPermissions(locked, QFileDevice::Permissions());
    files.append({QStringLiteral("no read permission"), locked, true,
                  geteuid() == 0
                      ? QStringLiteral("running as root, who reads any file whatever its mode; the named "
                                       "pipe and the dangling link stand for the unreadable file")
                      : QString()});
    return files;
}

} // namespace tetrapan::test
