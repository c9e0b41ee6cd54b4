#include "RecordingClips.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimeZone>

#include <algorithm>

namespace tetrapan::test {

namespace {

QString layoutKey(const RecordingClips::Layout& layout)
{
    QList<int> half(layout.halfFiles.begin(), layout.halfFiles.end());
    QList<int> silent(layout.silentFiles.begin(), layout.silentFiles.end());
    std::sort(half.begin(), half.end());
    std::sort(silent.begin(), silent.end());
    QString text;
    QDebug(&text) << layout.cameras << layout.files << layout.secondsPerFile << layout.framesPerSecond
                  << layout.size << half << silent;
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().left(12));
}

// A barcode clip numbering its frames from firstFrame on (see make-test-clips.sh).
QString makeClip(const QString& path, const RecordingClips::Layout& layout, int firstFrame, double seconds,
                 bool sound)
{
    const QString size = QStringLiteral("%1x%2").arg(layout.size.width()).arg(layout.size.height());
    const int rate = layout.framesPerSecond;
    QStringList arguments{
        "-loglevel", "error", "-y", "-f", "lavfi", "-i",
        QStringLiteral("testsrc2=s=%1:r=%2:d=%3").arg(size).arg(rate).arg(seconds), "-f", "lavfi", "-i",
        QStringLiteral("nullsrc=s=16x1:r=%1:d=%2,geq=lum='255*mod(floor((N+%3)/pow(2\\,15-X))\\,2)':cb=128:cr=128")
            .arg(rate)
            .arg(seconds)
            .arg(firstFrame),
        "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
        "-filter_complex",
        QStringLiteral("[1:v]scale=%1:%2:flags=neighbor[code];[0:v][code]overlay=0:0:shortest=1[v]")
            .arg(layout.size.width())
            .arg(layout.size.height() / 15),
        "-map", "[v]"};
    if (sound)
        arguments << "-map" << "2:a" << "-c:a" << "aac" << "-b:a" << "32k";
    arguments << "-c:v" << "libx264" << "-preset" << "veryfast" << "-pix_fmt" << "yuv420p" << "-g"
              << QString::number(rate * 2) << "-shortest" << "-f" << "mp4" << path + QStringLiteral(".part");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    ffmpeg.setProcessEnvironment(environment);
    ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return QStringLiteral("ffmpeg failed for %1: %2").arg(path, QString::fromLocal8Bit(ffmpeg.readAll()));
    // renamed only when whole, so an interrupted run leaves nothing that looks made
    QFile::remove(path);
    if (!QFile::rename(path + QStringLiteral(".part"), path))
        return QStringLiteral("%1 could not be renamed").arg(path);
    return {};
}

} // namespace

qint64 RecordingClips::startMs()
{
    return QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc()).toMSecsSinceEpoch();
}

RecordingClips RecordingClips::make(const QString& folder, const Layout& layout)
{
    RecordingClips clips;
    clips.layout = layout;
    clips.folder = QDir(folder).absoluteFilePath(QStringLiteral("recordings-") + layoutKey(layout));
    const qint64 fileMs = qint64(layout.secondsPerFile) * 1000;
    for (int camera = 0; camera < layout.cameras.size(); ++camera) {
        const QString cameraFolder = QDir(clips.folder).filePath(layout.cameras[camera]);
        QDir().mkpath(cameraFolder);
        clips.cameraFolders << cameraFolder;
        Recording recording;
        recording.folder = cameraFolder;
        for (int file = 0; file < layout.files; ++file) {
            const qint64 startMs = RecordingClips::startMs() + file * fileMs;
            const bool half = camera == 0 && layout.halfFiles.contains(file);
            const bool silent = camera == 0 && layout.silentFiles.contains(file);
            const qint64 lengthMs = half ? fileMs / 2 : fileMs;
            const QString name = QDateTime::fromMSecsSinceEpoch(startMs, QTimeZone::utc())
                                     .toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) +
                                 layout.cameras[camera] + QStringLiteral(".mp4");
            const QString path = QDir(cameraFolder).filePath(name);
            if (QFileInfo(path).size() <= 0) {
                clips.error = makeClip(path, layout, clips.frameAt(startMs - RecordingClips::startMs()),
                                       double(lengthMs) / 1000.0, !silent);
                if (!clips.ok())
                    return clips;
            }
            recording.pieces.append({path, startMs, lengthMs, {}});
        }
        clips.recordings.append(recording);
    }
    return clips;
}

RecordingClips RecordingClips::makeForTests(const Layout& layout)
{
    return make(QStringLiteral(TETRAPAN_BINARY_DIR "/clips"), layout);
}

} // namespace tetrapan::test
