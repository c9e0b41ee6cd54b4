// The video export on generated barcode clips, read back with the FFmpeg libraries: which frame each pane
// shows in every output frame, the file's streams, and that a cancelled or failed export leaves no file.
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "RecordingClips.h"
#include "TestClips.h"
#include "export/ExportTask.h"
#include "export/MovieDecoder.h"
#include "export/VideoExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

using namespace tetrapan;
using namespace tetrapan::test;

Q_DECLARE_METATYPE(tetrapan::ExportFormat)
Q_DECLARE_METATYPE(tetrapan::ExportSound)
Q_DECLARE_METATYPE(tetrapan::ExportResult)

namespace {

constexpr int Fps = TestClips::FramesPerSecond;
constexpr qint64 MsPerFrame = 1000 / Fps;
// uneven places, as dividers left off the middle give, so fitting and placing are both at stake
const std::array<QRect, 4> Places{QRect(0, 0, 192, 120), QRect(0, 120, 192, 120), QRect(192, 0, 128, 140),
                                  QRect(192, 140, 128, 100)};

ExportJob barcodeJob(const TestClips& clips, const QString& outputPath,
                     const std::array<int, 4>& offsetFrames)
{
    ExportJob job;
    for (size_t i = 0; i < 4; ++i) {
        job.panes[i].filePath = clips.barcode;
        job.panes[i].offsetMs = offsetFrames[i] * MsPerFrame;
        job.panes[i].place = Places[i];
    }
    job.size = QSize(320, 240);
    job.startMs = 1000; // frames 25 to 49 of the leader
    job.endMs = 2000;
    job.outputPath = outputPath;
    return job;
}

// One pane's movie alone in an output of 320x240 unless asked for, without sound unless asked for.
ExportJob onePaneJob(const QString& movie, const QRect& place, const QString& outputPath, qint64 endMs = 200,
                     ExportSound sound = ExportSound::None, QSize size = QSize(320, 240))
{
    ExportJob job;
    job.panes[0].filePath = movie;
    job.panes[0].place = place;
    job.size = size;
    job.endMs = endMs;
    job.sound = sound;
    job.outputPath = outputPath;
    return job;
}

std::atomic<bool> noCancel{false};
using Offsets = std::array<int, 4>;

QStringList threadsOfThisProcess()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

} // namespace

class TestVideoExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        clips_ = TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        recordings_ = RecordingClips::makeForTests(RecordingClips::twoCameras());
        QVERIFY2(recordings_.ok(), qPrintable(recordings_.error));
    }

    void framesOfEveryPane_data()
    {
        QTest::addColumn<ExportFormat>("format");
        QTest::addColumn<ExportSound>("sound");
        QTest::addColumn<Offsets>("offsets");
        QTest::addColumn<bool>("emptyLastPane");
        QTest::addColumn<bool>("zoomThirdPane");
        QTest::addColumn<double>("secondPaneRate");
        QTest::addColumn<QString>("videoCodec");
        QTest::addColumn<QString>("soundCodec");
        const Offsets offsets{0, 5, -3, 10};
        const Offsets none{0, 0, 0, 0};
        QTest::newRow("mp4, mixed sound, offsets")
            << ExportFormat::Mp4 << ExportSound::HeardPanes << offsets << false << true << 1.0 << "h264"
            << "aac";
        QTest::newRow("mp4, silent, no offsets")
            << ExportFormat::Mp4 << ExportSound::None << none << false << false << 1.0 << "h264"
            << "";
        QTest::newRow("webm, one pane's sound, offsets")
            << ExportFormat::WebM << ExportSound::OnePane << offsets << false << false << 0.5 << "vp9"
            << "opus";
        QTest::newRow("webm, silent, empty pane")
            << ExportFormat::WebM << ExportSound::None << none << true << true << 1.0 << "vp9"
            << "";
        QTest::newRow("matroska, mixed sound, empty pane")
            << ExportFormat::Matroska << ExportSound::HeardPanes << offsets << true << false << 2.0 << "h264"
            << "aac";
    }

    void framesOfEveryPane()
    {
        QFETCH(ExportFormat, format);
        QFETCH(ExportSound, sound);
        QFETCH(Offsets, offsets);
        QFETCH(bool, emptyLastPane);
        QFETCH(bool, zoomThirdPane);
        QFETCH(double, secondPaneRate);
        QFETCH(QString, videoCodec);
        QFETCH(QString, soundCodec);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.") + exportExtension(format));
        ExportJob job = barcodeJob(clips_, path, offsets);
        job.format = format;
        job.sound = sound;
        job.soundPane = 1;
        job.panes[1].rate = secondPaneRate;
        // labels sit at the bottom, clear of the barcodes
        job.labels = format == ExportFormat::Mp4 ? ExportLabels::NameAndTime : ExportLabels::WallClock;
        if (emptyLastPane)
            job.panes[3].filePath.clear();
        // enlarged twice around the picture's top right quarter's centre: the right half of the barcode
        // fills the place's width, each stripe twice as wide, so each bit of the low byte reads twice
        if (zoomThirdPane) {
            job.panes[2].zoomFactor = 2.0;
            job.panes[2].zoomCentre = QPointF(0.75, 0.25);
        }
        const auto shown = [&](int pane, int leaderFrame) {
            const int frame =
                int(std::floor(job.panes[size_t(pane)].rate * leaderFrame)) + offsets[size_t(pane)];
            if (pane != 2 || !zoomThirdPane)
                return frame;
            int doubled = 0;
            for (int bit = 7; bit >= 0; --bit)
                doubled = doubled * 4 + ((frame >> bit) & 1) * 3;
            return doubled;
        };
        qint64 lastDone = 0;
        const ExportResult result =
            runVideoExport(job, noCancel, [&](const ExportProgress& p) { lastDone = p.framesDone; });
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(lastDone, qint64(Fps));

        int mismatches = 0;
        const ReadBack back = readMovieBack(path, [&](const QImage& picture, int n) {
            for (int i = 0; i < 4; ++i) {
                const QRect pictureRect = FrameBarcode::pictureRect(Places[size_t(i)].size(), 4.0 / 3.0)
                                              .translated(Places[size_t(i)].topLeft());
                const std::optional<int> frame = FrameBarcode::read(picture.copy(pictureRect));
                if (i == 3 && emptyLastPane) {
                    if (qGray(picture.pixel(pictureRect.center())) > 16)
                        ++mismatches;
                } else if (frame != shown(i, Fps + n)) {
                    qWarning("output frame %d, pane %d shows %d, not %d", n, i + 1, frame.value_or(-1),
                             shown(i, Fps + n));
                    ++mismatches;
                }
            }
            return true;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.pictures, Fps);
        QCOMPARE(mismatches, 0);
        QCOMPARE(back.videoCodec, videoCodec);
        QCOMPARE(back.soundCodec, soundCodec);
        QVERIFY2(std::abs(back.seconds - 1.0) < 1.0 / Fps, qPrintable(QString::number(back.seconds)));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    }

    // A picture scaled to a width the scaler does not write in whole blocks stays in its place: the pixels
    // left of a place at the right edge stay black, and nothing is written past the picture's last row.
    void picturesStayInTheirPlaces()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.mp4"));
        // the clip's shape: the picture fills its place
        const ExportJob job = onePaneJob(clips_.red, QRect(2, 1, 318, 239), path);
        const ExportResult result = runVideoExport(job, noCancel, {});
        QVERIFY2(result.ok, qPrintable(result.message));
        int reddened = 0;
        const ReadBack back = readMovieBack(path, [&](const QImage& picture, int) {
            for (int y = 2; y < 240; ++y)
                reddened += qRed(picture.pixel(0, y)) > 64 ? 1 : 0;
            return true;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        QVERIFY(back.pictures > 0);
        QCOMPARE(reddened, 0);
    }

    // Every kind of file exported upright (a phone's turned as the panes show it), its sound heard, one cut
    // short (its index lost) from its start, and in its colours, in an HD export too (its matrix not SD's).
    void everyKindOfFileUpright_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("zoomedAt"); // enlarged around this height's middle; 0: not zoomed
        QTest::addColumn<double>("factor");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QColor>("upper");
        QTest::addColumn<QColor>("lower");
        QTest::addColumn<QSize>("size");     // the export's
        const QRect square(40, 0, 240, 240); // a portrait and a landscape picture both fit
        const QSize sd(320, 240);
        for (const QString& file : TestClips::KindFileNames)
            QTest::newRow(qPrintable(file))
                << file << 0.0 << 1.0 << square << TestClips::kindShows(file).upper
                << TestClips::kindShows(file).lower << sd;
        QTest::newRow("cut-short.mkv in an HD export")
            << "cut-short.mkv" << 0.0 << 1.0 << square << TestClips::kindShows("cut-short.mkv").upper
            << TestClips::kindShows("cut-short.mkv").lower << QSize(1280, 720);
        const TestClips::Upright turned = TestClips::kindShows(QStringLiteral("rotated.mp4"));
        QTest::newRow("rotated.mp4, its upper half zoomed")
            << "rotated.mp4" << 0.25 << 2.0 << square << turned.upper << turned.upper << sd;
        QTest::newRow("rotated.mp4, its lower half zoomed")
            << "rotated.mp4" << 0.75 << 2.0 << square << turned.lower << turned.lower << sd;
        // still narrower than its place: the part shown reaches a hair past the picture's edge
        QTest::newRow("rotated.mp4, a notch zoomed in a wide place")
            << "rotated.mp4" << 0.5 << 1.2599210498948732 << QRect(0, 0, 320, 240) << turned.upper
            << turned.lower << sd;
    }

    void everyKindOfFileUpright()
    {
        QFETCH(QString, file);
        QFETCH(double, zoomedAt);
        QFETCH(double, factor);
        QFETCH(QRect, place);
        QFETCH(QColor, upper);
        QFETCH(QColor, lower);
        QFETCH(QSize, size);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.mp4"));
        ExportJob job = onePaneJob(clips_.kind(file), place, path, 200, ExportSound::HeardPanes, size);
        job.panes[0].keepAspect = true; // as a pane keeps it unless told otherwise
        if (zoomedAt > 0) {
            job.panes[0].zoomFactor = factor;
            job.panes[0].zoomCentre = QPointF(0.5, zoomedAt);
        }
        const ExportResult result = runVideoExport(job, noCancel, {});
        QVERIFY2(result.ok, qPrintable(result.message));
        const auto near = [](QRgb seen, const QColor& wanted) {
            return std::abs(qRed(seen) - wanted.red()) < 20 && std::abs(qGreen(seen) - wanted.green()) < 20 &&
                   std::abs(qBlue(seen) - wanted.blue()) < 20;
        };
        QRgb upperSeen = 0, lowerSeen = 0;
        const ReadBack back = readMovieBack(path, [&](const QImage& picture, int) {
            upperSeen = picture.pixel(160, 96);
            lowerSeen = picture.pixel(160, 144);
            return false;
        });
        QVERIFY2(back.ok(), qPrintable(back.error));
        QVERIFY2(
            near(upperSeen, upper) && near(lowerSeen, lower),
            qPrintable(QStringLiteral("upper %1, lower %2").arg(upperSeen, 0, 16).arg(lowerSeen, 0, 16)));
    }

    // Sound laid at its timestamps, in a broadcast joined from parts of a second, stereo and mono: heard on
    // both sides of a change, silent for a pause, and what is stamped over the sound before it left out.
    void soundAtItsTimes()
    {
        const QString clip = clips_.soundJoins;
        // from each even-numbered time to the next, in seconds
        const QList<double> heard{0.0, 2.0, 2.5, 4.0, 4.5, 5.5};
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.mp4"));
        const ExportResult result = runVideoExport(
            onePaneJob(clip, QRect(0, 0, 320, 240), path, qint64(heard.back() * 1000), ExportSound::OnePane),
            noCancel, {});
        QVERIFY2(result.ok, qPrintable(result.message));
        const auto isHeard = [&](double at) {
            return (std::upper_bound(heard.cbegin(), heard.cend(), at) - heard.cbegin()) % 2 == 1;
        };
        const std::vector<float> peaks = readSoundPeaks(path, 0.1);
        QVERIFY(peaks.size() >= size_t(heard.back() * 10) - 1);
        for (size_t w = 0; w + 1 < peaks.size(); ++w) {
            const double from = double(w) / 10;
            // the encoder's frames smear a change over a few hundredths of a second
            if (isHeard(from - 0.05) != isHeard(from + 0.15))
                continue;
            QVERIFY2(isHeard(from) ? peaks[w] > 0.05f : peaks[w] < 0.01f,
                     qPrintable(QStringLiteral("%1 s: %2").arg(from).arg(peaks[w])));
        }
    }

    // A range that runs on past the leader's end (a command line's) ends with it, not with its last picture.
    void aRangePastTheEndEndsWithTheLeader()
    {
        QTemporaryDir folder;
        ExportJob job = barcodeJob(clips_, folder.filePath(QStringLiteral("out.mp4")), {0, 0, 0, 0});
        job.startMs = 4000; // of the 5 s clip
        job.endMs = 60000;
        qint64 total = 0;
        const ExportResult result =
            runVideoExport(job, noCancel, [&](const ExportProgress& p) { total = p.framesTotal; });
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(total, qint64(Fps));
    }

    // A movie whose reading stops part way: damaged or cut short, its last picture shows on, as in the panes;
    // the disk or a network folder failing fails the export instead of a still picture said to be written.
    void aReadingThatFailsEndsTheMovieOnlyWhenItIsCutShort_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("ends");
        QTest::newRow("the file's end") << AVERROR_EOF << true;
        QTest::newRow("damaged data") << AVERROR_INVALIDDATA << true;
        QTest::newRow("the disk failing") << AVERROR(EIO) << false;
        QTest::newRow("a network folder gone") << AVERROR(ETIMEDOUT) << false;
        QTest::newRow("memory") << AVERROR(ENOMEM) << false;
    }
    void aReadingThatFailsEndsTheMovieOnlyWhenItIsCutShort()
    {
        QFETCH(int, error);
        QTEST(MovieDecoder::endsTheMovie(error), "ends");
    }

    // Whatever stops an export, the chosen name keeps what it held before, and nothing else is left.
    void stoppedExportLeavesNoFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* change, const char* message) {
            QTest::newRow(name) << QString(change) << QString(message);
        };
        row("cancelled halfway", "cancel", "cancelled");
        row("a pane's file vanished", "vanished", "Pane 2");
        row("odd size", "odd size", "321 x 240");
        row("no movies", "empty", "no movie");
        row("disk full", "full", "could not write the video");
        row("folder gone", "no folder", "cannot write in");
        row("a recording whose folder is gone", "recording gone", "/gone is gone");
        row("over a pane's own movie", "over source", "replace pane 2's movie");
        row("over a recording's file", "over recording", "replace pane 3's movie");
        row("a range after the leader's end", "past the end", "after the end of the leading movie");
        row("a movie that gives no length", "no length", "Pane 1's movie cannot be read");
    }

    void stoppedExportLeavesNoFile()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("out.mp4"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older video") == 11);
        old.close();
        ExportJob job = barcodeJob(clips_, path, {0, 1, 2, 3});
        if (change == "over source") {
            // the chosen name reached through a link to the movie's folder
            QVERIFY(QFile::remove(path) && QFile::copy(clips_.barcode, path));
            QVERIFY(QFile::link(folder.path(), folder.filePath(QStringLiteral("link"))));
            job.panes[1].filePath = folder.filePath(QStringLiteral("link/out.mp4"));
        }
        if (change == "over recording") {
            // a copy of the recording: an export that did replace a piece must not spoil the clips other
            // tests play
            Recording copy = recordings_.recordings[0];
            copy.folder = folder.filePath(QStringLiteral("camera"));
            QVERIFY(QDir().mkpath(copy.folder));
            for (RecordingPiece& piece : copy.pieces) {
                const QString copied = QDir(copy.folder).filePath(QFileInfo(piece.path).fileName());
                QVERIFY(QFile::copy(piece.path, copied));
                piece.path = copied;
            }
            job.panes[2].recording = copy;
            job.panes[2].filePath = copy.folder;
            QVERIFY(QFile::remove(path));
            job.outputPath = copy.pieces[1].path;
        }
        if (change == "no length") // a raw stream, as some cameras and capture tools write
            QCOMPARE(
                QProcess::execute("ffmpeg", {"-v", "error", "-i", clips_.barcode, "-c:v", "copy", "-f",
                                             "h264", job.panes[0].filePath = folder.filePath("raw.h264")}),
                0);
        QFile kept(job.outputPath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QByteArray before = kept.readAll();
        kept.close();
        const QDir keptFolder = QFileInfo(kept).dir();
        const QStringList filesBefore = keptFolder.entryList(QDir::Files);
        std::atomic<bool> cancel{false};
        if (change == "vanished")
            job.panes[1].filePath = folder.filePath(QStringLiteral("gone.mp4"));
        if (change == "odd size")
            job.size = QSize(321, 240);
        if (change == "empty")
            job.panes = {};
        if (change == "recording gone") {
            job.panes[2].recording = recordings_.recordings[0];
            job.panes[2].filePath = job.panes[2].recording.folder = folder.filePath(QStringLiteral("gone"));
        }
        if (change == "no folder")
            job.outputPath = folder.filePath(QStringLiteral("gone/out.mp4"));
        if (change == "past the end") {
            job.startMs = 60000;
            job.endMs = 70000;
        }
        // a file size limit fails the writes as a full disk does, after the first few
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        if (change == "full") {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit small{16384, unlimited.rlim_max};
            setrlimit(RLIMIT_FSIZE, &small);
        }
        const ExportResult result = runVideoExport(job, cancel, [&](const ExportProgress& p) {
            if (change == "cancel" && p.framesDone * 2 >= p.framesTotal)
                cancel = true;
        });
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QVERIFY(!result.ok);
        QCOMPARE(result.cancelled, change == "cancel");
        QVERIFY2(result.message.contains(message, Qt::CaseInsensitive), qPrintable(result.message));
        QCOMPARE(keptFolder.entryList(QDir::Files), filesBefore);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
    }

    // The export's threads, FFmpeg's among them, give way to the window, whose own thread keeps its place.
    void exportThreadsGiveWayToTheWindow()
    {
        qRegisterMetaType<ExportResult>();
        QTemporaryDir folder;
        ExportJob job = barcodeJob(clips_, folder.filePath(QStringLiteral("out.mp4")), {0, 1, 2, 3});
        // the whole clip, four times as large: seconds of work, cancelled once looked at
        job.size *= 4;
        for (ExportPane& pane : job.panes)
            pane.place = QRect(pane.place.topLeft() * 4, pane.place.size() * 4);
        job.startMs = job.endMs = 0;
        const QStringList before = threadsOfThisProcess();
        const int window = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        ExportTask task;
        QSignalSpy finished(&task, &ExportTask::finished);
        std::map<QString, std::pair<int, int>> started; // thread: niceness, policy
        connect(&task, &ExportTask::progressed, this, [&] {
            if (!started.empty())
                return;
            for (const QString& thread : threadsOfThisProcess()) {
                const int policy = before.contains(thread) ? -1 : sched_getscheduler(thread.toInt());
                if (policy >= 0) // a thread that ended meanwhile has none
                    started[thread] = {getpriority(PRIO_PROCESS, thread.toUInt()), policy};
            }
            task.cancel();
        });
        task.start(job);
        QVERIFY(finished.wait(60000));
        QVERIFY(!started.empty());
        for (const auto& [thread, priority] : started) {
            QCOMPARE(priority.first, std::min(window + ExportTask::NicerThanWindow, 19));
            QCOMPARE(priority.second & ~SCHED_RESET_ON_FORK, SCHED_BATCH);
        }
        QCOMPARE(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), window);
        QCOMPARE(sched_getscheduler(0), SCHED_OTHER);
    }

private:
    TestClips clips_;
    RecordingClips recordings_;
};

QTEST_MAIN(TestVideoExport)
#include "tst_videoexport.moc"
