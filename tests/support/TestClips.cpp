#include "TestClips.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace tetrapan::test {

QString TestClips::colour(int viewNo) const
{
    switch (viewNo) {
    case 1:
        return red;
    case 2:
        return green;
    case 3:
        return blue;
    case 4:
        return yellow;
    default:
        return {};
    }
}

const QStringList TestClips::KindFileNames{"video-only.mp4", "vp9.webm",    "hevc.mkv", "mjpeg.avi",
                                           "prores.mov",     "rotated.mp4", "vfr.mp4",  "10bit.mp4"};

QString TestClips::kind(const QString& fileName) const
{
    return QDir(folder).filePath(QStringLiteral("kinds/") + fileName);
}

TestClips TestClips::make(const QString& folder, bool withBenchClips)
{
    TestClips clips;
    clips.folder = QDir(folder).absolutePath();
    const QDir dir(clips.folder);
    clips.red = dir.filePath(QStringLiteral("red.mp4"));
    clips.green = dir.filePath(QStringLiteral("green.mp4"));
    clips.blue = dir.filePath(QStringLiteral("blue.mp4"));
    clips.yellow = dir.filePath(QStringLiteral("yellow.mp4"));
    clips.tone = dir.filePath(QStringLiteral("tone.m4a"));
    clips.still = dir.filePath(QStringLiteral("still.png"));
    clips.barcode = dir.filePath(QStringLiteral("barcode.mp4"));
    clips.barcodeVfr = dir.filePath(QStringLiteral("barcode-vfr.mp4"));
    clips.barcodeLong = dir.filePath(QStringLiteral("barcode-15s.mp4"));
    clips.barcodeSilent = dir.filePath(QStringLiteral("barcode-15s-silent.mp4"));
    if (withBenchClips) {
        clips.bench720p = dir.filePath(QStringLiteral("bench-720p.mp4"));
        clips.bench1080p = dir.filePath(QStringLiteral("bench-1080p.mp4"));
        clips.benchBarcode = dir.filePath(QStringLiteral("barcode-720p-40s.mp4"));
        clips.benchBarcode60 = dir.filePath(QStringLiteral("barcode-360p-60fps.mp4"));
    }

    QStringList arguments{QStringLiteral(TETRAPAN_SOURCE_DIR "/scripts/make-test-clips.sh"), clips.folder};
    if (withBenchClips)
        arguments << QStringLiteral("--bench");
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    // a sanitizer runtime preloaded into a test (make test-asan) has no business in ffmpeg
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    script.setProcessEnvironment(environment);
    script.start(QStringLiteral("bash"), arguments);
    if (!script.waitForFinished(withBenchClips ? 900000 : 180000) ||
        script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        clips.error =
            QStringLiteral("make-test-clips.sh failed: %1").arg(QString::fromLocal8Bit(script.readAll()));
        return clips;
    }
    for (const QString& path :
         {clips.red, clips.green, clips.blue, clips.yellow, clips.tone, clips.still, clips.barcode,
          clips.barcodeVfr, clips.barcodeLong, clips.barcodeSilent, clips.bench720p, clips.bench1080p,
          clips.benchBarcode, clips.benchBarcode60}) {
        if (!path.isEmpty() && QFileInfo(path).size() <= 0)
            clips.error = QStringLiteral("%1 was not made").arg(path);
    }
    for (const QString& name : KindFileNames) {
        if (QFileInfo(clips.kind(name)).size() <= 0)
            clips.error = QStringLiteral("%1 was not made").arg(clips.kind(name));
    }
    return clips;
}

TestClips TestClips::makeForTests()
{
    return make(QStringLiteral(TETRAPAN_BINARY_DIR "/clips"));
}

} // namespace tetrapan::test
