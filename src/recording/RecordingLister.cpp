#include "recording/RecordingLister.h"

#include "platform/fileNames.h"
#include "recording/MovieHeader.h"
#include "recording/WallClockName.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

#include <dirent.h>

namespace tetrapan::RecordingLister {

namespace {

struct Candidate {
    QString path;
    QString problem;
    RecordingPiece piece;
    qint64 bytes = 0;
};

// Hidden files are left out unnamed: a card copied on another system holds a "._" twin of every movie. The
// names are read as their bytes (fileNames::fromBytes): Qt's listing turns a name that is not UTF-8, from an
// old card or another system, into one no file has.
QStringList movieFilesIn(const QString& folder, QStringList* others)
{
    QStringList names;
    if (DIR* dir = ::opendir(fileNames::toBytes(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const QString name = fileNames::fromBytes(entry->d_name);
            // a file system that does not say is asked; a link that leads to no file, or to a pipe, is named
            // among the files skipped, one to a folder left out
            const auto listed = [&] {
                if (entry->d_type == DT_REG)
                    return true;
                if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                    return false;
                const QString path = folder + u'/' + name;
                const fileNames::Facts own = fileNames::facts(path, false);
                return own.isFile || (own.isLink && !fileNames::facts(path).isFolder);
            };
            if (listed())
                names.append(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    QStringList movies;
    const QDir base(folder);
    for (const QString& name : std::as_const(names)) {
        if (isMovieName(name))
            movies.append(base.absoluteFilePath(name));
        else if (others)
            others->append(base.absoluteFilePath(name));
    }
    return movies;
}

void place(Candidate& file, const QTimeZone& zone)
{
    const MovieHeader header = MovieHeader::read(file.path);
    if (!header.problem.isEmpty()) {
        file.problem = header.problem;
        return;
    }
    file.piece.path = file.path;
    file.piece.lengthMs = header.lengthMs;
    file.piece.tracks = header.tracks;
    // one look at the file for its size and its time
    const fileNames::Facts facts = fileNames::facts(file.path);
    file.bytes = facts.size;
    const qint64 madeMs = header.creationTime ? header.creationTime->toMSecsSinceEpoch()
                                              : facts.modified.toMSecsSinceEpoch() - header.lengthMs;
    file.piece.startMs = WallClockName::startMsIn(file.path, zone, madeMs).value_or(madeMs);
}

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

// The later file takes over at its start: what the earlier one has after that is not played. A file that
// lies wholly within the earlier one (an event clip beside the continuous recording) adds nothing to it and
// is left out, so the earlier one's rest is not lost.
void cutOverlaps(Recording& recording)
{
    QVector<RecordingPiece> kept;
    for (const RecordingPiece& piece : std::as_const(recording.pieces)) {
        if (!kept.isEmpty() && piece.startMs + piece.lengthMs < kept.last().startMs + kept.last().lengthMs) {
            recording.overlaps.append(QStringLiteral("%1: it lies within %2, which plays instead")
                                          .arg(nameOf(piece.path), nameOf(kept.last().path)));
            continue;
        }
        while (!kept.isEmpty() && kept.last().startMs + kept.last().lengthMs > piece.startMs) {
            RecordingPiece& earlier = kept.last();
            const qint64 overlapMs = earlier.startMs + earlier.lengthMs - piece.startMs;
            earlier.lengthMs = piece.startMs - earlier.startMs;
            if (earlier.lengthMs > 0) {
                recording.overlaps.append(QStringLiteral("%1: its last %2 s overlap %3, which plays instead")
                                              .arg(nameOf(earlier.path))
                                              .arg(overlapMs / 1000.0)
                                              .arg(nameOf(piece.path)));
                break;
            }
            recording.overlaps.append(QStringLiteral("%1: %2 starts at the same time and plays instead")
                                          .arg(nameOf(earlier.path), nameOf(piece.path)));
            kept.removeLast();
        }
        kept.append(piece);
    }
    recording.pieces = kept;
}

} // namespace

bool isMovieName(const QString& fileName)
{
    static const QSet<QString> extensions{
        QStringLiteral("mp4"),  QStringLiteral("m4v"), QStringLiteral("mov"),  QStringLiteral("mkv"),
        QStringLiteral("webm"), QStringLiteral("avi"), QStringLiteral("mpg"),  QStringLiteral("mpeg"),
        QStringLiteral("ts"),   QStringLiteral("mts"), QStringLiteral("m2ts"), QStringLiteral("flv"),
        QStringLiteral("3gp"),  QStringLiteral("3g2"), QStringLiteral("wmv"),  QStringLiteral("asf"),
        QStringLiteral("dv"),   QStringLiteral("ogv"), QStringLiteral("h264"), QStringLiteral("h265"),
    };
    return extensions.contains(QFileInfo(fileName).suffix().toLower());
}

QMap<QString, QStringList> camerasIn(const QString& folder)
{
    // names only: a folder may hold thousands of files
    QMap<QString, QStringList> cameras;
    for (const QString& path : movieFilesIn(folder, nullptr))
        cameras[WallClockName::cameraOf(QFileInfo(path).fileName())].append(path);
    return cameras;
}

Recording list(const Recording& source, const QTimeZone& zone, const Progress& progress,
               const std::atomic<bool>* cancel, QThreadPool* readers)
{
    Recording recording = source;
    recording.pieces.clear();
    recording.skipped.clear();
    recording.overlaps.clear();
    recording.bytes = 0;

    QStringList paths;
    QStringList others;
    if (!source.chosenFiles.isEmpty()) {
        for (const QString& path : source.chosenFiles)
            (isMovieName(path) ? paths : others).append(path);
    } else if (!source.camera.isEmpty()) {
        paths = camerasIn(source.folder).value(source.camera);
    } else {
        paths = movieFilesIn(source.folder, &others);
    }
    for (const QString& path : std::as_const(others))
        recording.skipped.append(QStringLiteral("%1: not a movie").arg(nameOf(path)));

    QVector<Candidate> files;
    files.reserve(paths.size());
    for (const QString& path : std::as_const(paths))
        files.append(Candidate{path, {}, {}});
    const int total = int(files.size());
    std::atomic<int> done{0};
    // Each header is a few small reads: the files are read side by side, so a slow disk's waits overlap.
    QtConcurrent::blockingMap(readers ? readers : QThreadPool::globalInstance(), files, [&](Candidate& file) {
        if (cancel && cancel->load())
            return;
        place(file, zone);
        const int count = ++done;
        if (progress)
            progress(count, total);
    });
    if (cancel && cancel->load())
        return source;

    for (const Candidate& file : std::as_const(files)) {
        if (file.problem.isEmpty()) {
            recording.pieces.append(file.piece);
            recording.bytes += file.bytes;
        } else
            recording.skipped.append(QStringLiteral("%1: %2").arg(nameOf(file.path), file.problem));
    }
    std::stable_sort(recording.pieces.begin(), recording.pieces.end(),
                     [](const RecordingPiece& a, const RecordingPiece& b) { return a.startMs < b.startMs; });
    cutOverlaps(recording);
    return recording;
}

} // namespace tetrapan::RecordingLister
