#include "AlignClips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace tetrapan::test {

namespace {

QString number(double value)
{
    return QString::number(value, 'f', 6);
}

} // namespace

bool AlignClips::run(const QStringList& arguments, const QString& output)
{
    if (QFileInfo(output).size() > 0)
        return true;
    QDir().mkpath(folder_);
    // tests running side by side may make the same clip at once: each writes its own and the last rename wins,
    // replacing a whole file with a whole file
    const QString partial = QFileInfo(output).dir().filePath(
        QStringLiteral(".partial-%1-").arg(QCoreApplication::applicationPid()) + QFileInfo(output).fileName());
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    ffmpeg.setProcessEnvironment(environment);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"), QStringLiteral("-nostdin"), QStringLiteral("-y")} +
                     arguments + QStringList{partial});
    if (!ffmpeg.waitForFinished(1800000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0) {
        error_ =
            QStringLiteral("ffmpeg failed for %1: %2").arg(output, QString::fromLocal8Bit(ffmpeg.readAll()));
        return false;
    }
    return ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(output).constData()) == 0;
}

double AlignClips::startSeconds(const QString& path)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("format=start_time"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
                   path});
    ffprobe.waitForFinished(30000);
    return QString::fromLatin1(ffprobe.readAllStandardOutput()).trimmed().toDouble();
}

QString AlignClips::source(double seconds, int seed)
{
    const QString path = QDir(folder_).filePath(QStringLiteral("source-%1-%2.wav").arg(seconds).arg(seed));
    const QString s = QString::number(seed % 97 * 0.37, 'f', 3);
    // syllable-like bursts of noise where a product of slow sines is high, and a tone gliding between
    // 150 and 650 Hz in the gaps of another; the seed changes the noise, the rhythm and the glide
    const QString graph =
        QStringLiteral(
            "anoisesrc=c=white:r=48000:a=0.6:seed=%1:d=%2[noise];"
            "aevalsrc=exprs='gt(sin(2*PI*1.7*t+%3)*sin(2*PI*0.43*t+2*%3)+0.3*sin(2*PI*5.3*t+%3),0.2)'"
            ":s=48000:d=%2[rhythm];"
            "aevalsrc=exprs='0.25*sin(2*PI*(400+250*sin(2*PI*0.11*t+%3))*t)*gt(sin(2*PI*0.23*t+3*%3),0)'"
            ":s=48000:d=%2[tone];"
            "[noise][rhythm]amultiply[bursts];[bursts][tone]amix=inputs=2:normalize=0[out0]")
            .arg(seed + 1)
            .arg(number(seconds), s);
    if (!run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), graph,
              QStringLiteral("-c:a"), QStringLiteral("pcm_s16le")},
             path))
        return {};
    return path;
}

QString AlignClips::flashSource(double seconds, int flashFrame)
{
    const QString path =
        QDir(folder_).filePath(QStringLiteral("flash-%1-%2.mkv").arg(seconds).arg(flashFrame));
    const QString picture = QStringLiteral("testsrc2=s=64x48:r=30:d=%1,eq=brightness=-0.25,"
                                           "drawbox=c=white:t=fill:enable='eq(n\\,%2)'")
                                .arg(number(seconds))
                                .arg(flashFrame);
    if (!run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), picture,
              QStringLiteral("-c:v"), QStringLiteral("ffv1")},
             path))
        return {};
    return path;
}

QString AlignClips::cut(const QString& source, const QString& name, double start, double length,
                        Encoding encoding)
{
    const bool webm = encoding == Encoding::Vp9Opus;
    const QString path =
        QDir(folder_).filePath(name + (webm ? QStringLiteral(".webm") : QStringLiteral(".mp4")));
    QStringList arguments{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                          QStringLiteral("testsrc2=s=64x48:r=10:d=%1").arg(number(length))};
    arguments << QStringLiteral("-ss") << number(start) << QStringLiteral("-t") << number(length)
              << QStringLiteral("-i") << source;
    QString sound = QStringLiteral("[1:a]anull[a]");
    switch (encoding) {
    case Encoding::Aac44k:
        sound = QStringLiteral("[1:a]aresample=44100[a]");
        break;
    case Encoding::NoisyQuiet:
        // the source's sound is about 0.25 RMS; white noise of amplitude 0.14 is about 0.08 RMS, 10 dB below
        sound = QStringLiteral("anoisesrc=c=white:r=48000:a=0.14:d=%1[n];[1:a][n]amix=inputs=2:normalize=0,"
                               "volume=-12dB[a]")
                    .arg(number(length));
        break;
    case Encoding::Silent:
        sound = QStringLiteral("[1:a]volume=0[a]");
        break;
    case Encoding::Faster:
        // 48 kHz taken for 50 kHz is 25/24 as fast
        sound = QStringLiteral("[1:a]asetrate=50000,aresample=48000[a]");
        break;
    case Encoding::SoundHole:
        sound = QStringLiteral("[1:a]aselect=not(between(t\\,1\\,1.5))[a]");
        break;
    default:
        break;
    }
    arguments << QStringLiteral("-map") << QStringLiteral("0:v");
    if (encoding != Encoding::NoSound)
        arguments << QStringLiteral("-filter_complex") << sound << QStringLiteral("-map")
                  << QStringLiteral("[a]");
    if (webm)
        arguments << QStringLiteral("-c:v") << QStringLiteral("libvpx-vp9") << QStringLiteral("-deadline")
                  << QStringLiteral("realtime") << QStringLiteral("-cpu-used") << QStringLiteral("8")
                  << QStringLiteral("-b:v") << QStringLiteral("50k") << QStringLiteral("-c:a")
                  << QStringLiteral("libopus") << QStringLiteral("-b:a") << QStringLiteral("64k");
    else
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
                  << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-b:a")
                  << QStringLiteral("96k");
    arguments << QStringLiteral("-t") << number(encoding == Encoding::Faster ? length * 24.0 / 25.0 : length);
    if (encoding != Encoding::LateSound)
        return run(arguments, path) ? path : QString();
    const QString plain = QDir(folder_).filePath(name + QStringLiteral("-plain.mp4"));
    if (!run(arguments, plain))
        return {};
    const QStringList remux{QStringLiteral("-i"),         plain,
                            QStringLiteral("-itsoffset"), QStringLiteral("10000000"),
                            QStringLiteral("-i"),         plain,
                            QStringLiteral("-map"),       QStringLiteral("0:v"),
                            QStringLiteral("-map"),       QStringLiteral("1:a"),
                            QStringLiteral("-c"),         QStringLiteral("copy")};
    return run(remux, path) ? path : QString();
}

QString AlignClips::barcodeCut(const QString& source, const QString& name, int startFrame, double seconds,
                               bool faster)
{
    const QString path = QDir(folder_).filePath(name + QStringLiteral(".mp4"));
    const int rate = faster ? 25 : 24;
    const QString code =
        QStringLiteral("nullsrc=s=16x1:r=24:d=%1,geq=lum='255*mod(floor((N+%2)/pow(2\\,15-X))\\,2)'"
                       ":cb=128:cr=128")
            .arg(number(seconds))
            .arg(startFrame);
    const QString graph =
        QStringLiteral("[1:v]scale=640:24:flags=neighbor[code];[0:v][code]overlay=0:0:shortest=1,"
                       "setpts=N/(%1*TB)[v];[2:a]%2anull[a]")
            .arg(rate)
            .arg(faster ? QStringLiteral("asetrate=50000,aresample=48000,") : QString());
    const QStringList arguments{QStringLiteral("-f"),
                                QStringLiteral("lavfi"),
                                QStringLiteral("-i"),
                                QStringLiteral("testsrc2=s=640x360:r=24:d=%1").arg(number(seconds)),
                                QStringLiteral("-f"),
                                QStringLiteral("lavfi"),
                                QStringLiteral("-i"),
                                code,
                                QStringLiteral("-ss"),
                                number(startFrame / 24.0),
                                QStringLiteral("-i"),
                                source,
                                QStringLiteral("-filter_complex"),
                                graph,
                                QStringLiteral("-map"),
                                QStringLiteral("[v]"),
                                QStringLiteral("-map"),
                                QStringLiteral("[a]"),
                                QStringLiteral("-r"),
                                QString::number(rate),
                                QStringLiteral("-c:v"),
                                QStringLiteral("libx264"),
                                QStringLiteral("-preset"),
                                QStringLiteral("ultrafast"),
                                QStringLiteral("-pix_fmt"),
                                QStringLiteral("yuv420p"),
                                QStringLiteral("-g"),
                                QStringLiteral("48"),
                                QStringLiteral("-c:a"),
                                QStringLiteral("aac"),
                                QStringLiteral("-t"),
                                number(faster ? seconds * 24.0 / 25.0 : seconds)};
    if (!run(arguments, path))
        return {};
    return path;
}

QString AlignClips::flashCut(const QString& source, const QString& name, double start, double length,
                             bool vp9)
{
    const QString path =
        QDir(folder_).filePath(name + (vp9 ? QStringLiteral(".webm") : QStringLiteral(".mp4")));
    QStringList arguments{QStringLiteral("-ss"), number(start),        QStringLiteral("-t"),
                          number(length),        QStringLiteral("-i"), source};
    if (vp9)
        arguments << QStringLiteral("-c:v") << QStringLiteral("libvpx-vp9") << QStringLiteral("-deadline")
                  << QStringLiteral("realtime") << QStringLiteral("-cpu-used") << QStringLiteral("8");
    else
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    if (!run(arguments, path))
        return {};
    return path;
}

} // namespace tetrapan::test
