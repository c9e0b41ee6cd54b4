#include "TestClips.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

namespace tetrapan::test {

const std::array<QColor, 4> TestClips::Colours{QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                               QColor(255, 255, 0)};

QString TestClips::colour(int viewNo) const
{
    return QStringList{red, green, blue, yellow}.value(viewNo - 1);
}

QString TestClips::colour720p(int viewNo) const
{
    const QString name = QFileInfo(colour(viewNo)).fileName();
    return name.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("hd/") + name);
}

const QStringList TestClips::KindFileNames{"video-only.mp4", "vp9.webm",   "hevc.mkv",
                                           "mjpeg.avi",      "prores.mov", "rotated.mp4",
                                           "vfr.mp4",        "10bit.mp4",  "cut-short.mkv"};

TestClips::Upright TestClips::kindShows(const QString& fileName)
{
    static const QHash<QString, Upright> shown{
        {"video-only.mp4", {QColor(0, 255, 255), QColor(0, 255, 255)}},
        {"vp9.webm", {QColor(255, 0, 255), QColor(255, 0, 255)}},
        {"hevc.mkv", {QColor(255, 128, 0), QColor(255, 128, 0)}},
        {"mjpeg.avi", {QColor(128, 0, 255), QColor(128, 0, 255)}},
        {"prores.mov", {QColor(0, 128, 255), QColor(0, 128, 255)}},
        {"rotated.mp4", {QColor(0, 0, 255), QColor(255, 0, 0)}},
        {"vfr.mp4", {QColor(255, 0, 128), QColor(255, 0, 128)}},
        {"10bit.mp4", {QColor(128, 255, 0), QColor(128, 255, 0)}},
        {"cut-short.mkv", {QColor(0, 255, 128), QColor(0, 255, 128)}},
    };
    return shown.value(fileName);
}

QString TestClips::kind(const QString& fileName) const
{
    return QDir(folder).filePath(QStringLiteral("kinds/") + fileName);
}

TestClips TestClips::make(const QString& folder, bool withBenchClips)
{
    TestClips clips;
    clips.folder = QDir(folder).absolutePath();
    QStringList made;
    // each file the script is to make, checked below
    const auto at = [&](const char* name) {
        made << QDir(clips.folder).filePath(QLatin1String(name));
        return made.last();
    };
    clips.red = at("red.mp4");
    clips.green = at("green.mp4");
    clips.blue = at("blue.mp4");
    clips.yellow = at("yellow.mp4");
    clips.tone = at("tone.m4a");
    clips.still = at("still.png");
    clips.barcode = at("barcode.mp4");
    clips.barcodeVfr = at("barcode-vfr.mp4");
    clips.barcodeLong = at("barcode-15s.mp4");
    clips.barcodeSilent = at("barcode-15s-silent.mp4");
    clips.barcode24 = at("barcode-24fps-10s.mp4");
    clips.soundJoins = at("sound-joins.ts");
    if (withBenchClips) {
        clips.bench720p = at("bench-720p.mp4");
        clips.bench1080p = at("bench-1080p.mp4");
        clips.benchBarcode = at("barcode-720p-40s.mp4");
        clips.benchBarcode60 = at("barcode-360p-60fps.mp4");
        clips.benchBarcode30 = at("barcode-360p-30fps.mp4");
        clips.benchTestCard = at("testcard-720p.mp4");
    }
    for (const QString& name : KindFileNames)
        made << clips.kind(name);
    for (int viewNo = 1; viewNo <= 4; ++viewNo)
        made << clips.colour720p(viewNo);

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
    for (const QString& path : std::as_const(made)) {
        if (QFileInfo(path).size() <= 0)
            clips.error = QStringLiteral("%1 was not made").arg(path);
    }
    return clips;
}

TestClips TestClips::makeForTests()
{
    return make(QStringLiteral(TETRAPAN_BINARY_DIR "/clips"));
}

} // namespace tetrapan::test
