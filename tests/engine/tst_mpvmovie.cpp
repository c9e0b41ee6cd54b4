// The real engine on generated clips, drawing and sounding nowhere.
#include "BadMovieFiles.h"
#include "OpenAndWait.h"
#include "TestClips.h"

#include "engine/MpvFrameRenderer.h"
#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "engine/MpvMovieOpener.h"
#include "engine/MpvProperties.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <clocale>
#include <csignal>

#include <dlfcn.h>
#include <mpv/client.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tetrapan;
using tetrapan::test::TestClips;

namespace {
constexpr int EventTimeoutMs = 10000;

// While set, requests to pause or play wait here instead of reaching mpv, as if mpv's core were slow to
// take them; the engine's calls come here first (this program's definition hides libmpv's).
bool holdPauseRequests = false;
std::vector<std::tuple<mpv_handle*, uint64_t, int>> heldPauseRequests;
const auto realSetPropertyAsync =
    reinterpret_cast<decltype(&mpv_set_property_async)>(dlsym(RTLD_NEXT, "mpv_set_property_async"));

void releasePauseRequests()
{
    holdPauseRequests = false;
    for (auto [ctx, reply, flag] : std::exchange(heldPauseRequests, {}))
        realSetPropertyAsync(ctx, reply, "pause", MPV_FORMAT_FLAG, &flag);
}

MovieTime frameTime(qint64 frame)
{
    return MovieTime{frame, TestClips::FramesPerSecond, MovieTime::NoFlags};
}
} // namespace

int mpv_set_property_async(mpv_handle* ctx, uint64_t reply, const char* name, mpv_format format, void* data)
{
    if (!holdPauseRequests || qstrcmp(name, "pause") != 0)
        return realSetPropertyAsync(ctx, reply, name, format, data);
    heldPauseRequests.emplace_back(ctx, reply, *static_cast<int*>(data));
    return 0;
}

class TestMpvMovie : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        clips_ = TestClips::makeForTests();
        QVERIFY2(clips_.ok(), qPrintable(clips_.error));
        QVERIFY(scratch_.isValid());
        options_.movie.video = MpvVideoOutput::Null;
        options_.movie.nullAudio = true;
        engine_ = std::make_unique<MpvMovieEngine>(options_);
    }

    // On the software path mpv's video output waits for each new frame to be drawn, and nobody draws a file
    // still opening but the opener itself. What it learns meanwhile must still be complete.
    void opensAndLearnsWhatTheFileHolds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<bool>("hasPicture");
        QTest::addColumn<double>("seconds");
        QTest::newRow("picture and sound") << clips_.red << "Red Clip" << true << TestClips::Seconds;
        // Sound without a picture is still a movie; without a title tag it goes by its file name.
        QTest::newRow("sound only") << clips_.tone << "tone.m4a" << false << TestClips::Seconds;
        QTest::newRow("picture only")
            << clips_.kind(QStringLiteral("video-only.mp4")) << "video-only.mp4" << true << 1.0;
        QTest::newRow("turned picture")
            << clips_.kind(QStringLiteral("rotated.mp4")) << "rotated.mp4" << true << 1.0;
    }

    void opensAndLearnsWhatTheFileHolds()
    {
        QFETCH(QString, path);
        QFETCH(QString, displayName);
        QFETCH(bool, hasPicture);
        QFETCH(double, seconds);
        QVERIFY(engine_->canInitWithFile(path));
        MpvMovie::Options options = options_.movie;
        options.video = MpvVideoOutput::Software;
        // Several loads side by side, as in a playlist switch: every core but the one being opened waits
        // for its first frame to be drawn.
        std::vector<std::unique_ptr<MpvMovie>> movies;
        for (int n = 0; n < 3; ++n) {
            MpvOpenResult opened = MpvMovieOpener::openWaiting(path, options);
            QVERIFY2(opened.movie, qPrintable(opened.error));
            QCOMPARE(opened.movie->displayName(), displayName);
            QCOMPARE(opened.movie->hasPicture(), hasPicture);
            QVERIFY2(qAbs(opened.movie->duration().seconds() - seconds) < 0.1,
                     qPrintable(QString::number(opened.movie->duration().seconds())));
            movies.push_back(std::move(opened.movie));
        }
        // A movie opens stopped at its beginning, unmuted.
        QCOMPARE(movies[0]->filePath(), path);
        QCOMPARE(movies[0]->rate(), 0.0f);
        QCOMPARE(movies[0]->currentTime(), MovieTime::zero());
        QVERIFY(!movies[0]->muted());
    }

    void refusesWhatIsNoMovie_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("refusedBeforeOpening");
        QTest::addColumn<QString>("skipReason");
        QTest::addColumn<bool>("drawn");

        for (const test::BadMovieFile& file : test::makeBadMovieFiles(scratch_.path(), clips_)) {
            QTest::newRow(qPrintable(file.kind))
                << file.path << file.refusedBeforeOpening << file.skipReason << false;
            // Drawn on the software path, the file is inspected while its frames are drawn.
            QTest::newRow(qPrintable(file.kind + QStringLiteral(", drawn")))
                << file.path << file.refusedBeforeOpening << file.skipReason << true;
        }
    }

    void refusesWhatIsNoMovie()
    {
        QFETCH(QString, path);
        QFETCH(bool, refusedBeforeOpening);
        QFETCH(QString, skipReason);
        QFETCH(bool, drawn);
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        // None of these files ever shows a picture, and none should wait for the open's limit to be refused.
        // Two seconds, not the engine's ten, still ten times what a good clip of the same size takes to show
        // its first picture, so a file wrongly taken would still be taken.
        std::unique_ptr<MpvMovieEngine>& engine = drawn ? drawingEngine_ : badFilesEngine_;
        if (!engine) {
            MpvMovieEngine::Options options = options_;
            options.movie.openTimeout = std::chrono::seconds(2);
            if (drawn) {
                options.movie.video = MpvVideoOutput::Software;
                options.drawingPath = DrawingPath::Software;
            }
            engine = std::make_unique<MpvMovieEngine>(options);
        }
        QCOMPARE(engine->canInitWithFile(path), !refusedBeforeOpening);
        MovieOpenResult result = test::openAndWait(*engine, path);
        QVERIFY(!result.movie);
        QVERIFY(!result.error.isEmpty());
        // a folder is told from the files, for the pane to list it as a recording
        QCOMPARE(result.isFolder, QFileInfo(path).isDir());
        // each is refused for what it is, none for running out of time
        QVERIFY2(!result.error.contains(QLatin1String(" within ")), qPrintable(result.error));
    }

    // A GUI thread that takes no picture (blocked), or takes them all and keeps them, costs no more buffers
    // than the renderer's own; a pane of no size draws nothing but still takes mpv's frames. Either way the
    // movie keeps its pace: mpv waits up to 200 ms for each frame to be taken, and drops what falls behind.
    void picturesBoundedWhateverTheGuiDoes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("keepTaken");
        QTest::newRow("never taken") << QSize(320, 180) << false;
        QTest::newRow("taken and kept") << QSize(320, 180) << true;
        QTest::newRow("no size") << QSize() << false;
    }

    void picturesBoundedWhateverTheGuiDoes()
    {
        QFETCH(QSize, size);
        QFETCH(bool, keepTaken);
        MpvMovie::Options options = options_.movie;
        options.video = MpvVideoOutput::Software;
        MpvOpenResult opened = MpvMovieOpener::openWaiting(clips_.green, options);
        QVERIFY2(opened.movie, qPrintable(opened.error));
        std::atomic<int> told = 0;
        std::vector<MpvFrameRenderer::Picture> kept;
        MpvFrameRenderer renderer([&told] { ++told; });
        renderer.setSize(size, 1.0);
        renderer.setContext(opened.movie->softwareRenderContext(), opened.movie->handle());
        opened.movie->play();
        QElapsedTimer playing;
        playing.start();
        while (playing.elapsed() < 1500) {
            QTest::qWait(20);
            if (auto picture = keepTaken ? renderer.takePicture() : std::nullopt)
                kept.push_back(std::move(*picture));
        }
        // the clip's sound sets the pace: frames nobody took are dropped (31 of 38 before)
        QVERIFY(opened.movie->positionSeconds() > 1.0);
        QVERIFY2(opened.movie->droppedFrameCount() <= 2,
                 qPrintable(QString::number(opened.movie->droppedFrameCount())));
        QVERIFY(renderer.peakPictureCount() <= MpvFrameRenderer::MaxPictures);
        QCOMPARE(told > 0, !size.isEmpty());
        renderer.setContext(nullptr, nullptr);
    }

    void exactSeekLandsOnFrame_data()
    {
        QTest::addColumn<MovieTime>("target");
        QTest::addColumn<qint64>("expectedFrame");
        QTest::newRow("frame 37 at the frame rate's scale") << frameTime(37) << qint64(37);
        QTest::newRow("frame 37 at 90 kHz") << MovieTime{37 * 3600, 90000, 0} << qint64(37);
        QTest::newRow("frame 1") << frameTime(1) << qint64(1);
        QTest::newRow("frame 100 at 600") << MovieTime{2400, 600, 0} << qint64(100);
        // A negative position means "from the end" to mpv; for a movie it is before the beginning.
        QTest::newRow("before the beginning") << MovieTime{-600, 600, 0} << qint64(0);
        // mpv's frame estimate at the end counts one past the last frame, so only the time is checked there.
        QTest::newRow("after the end") << MovieTime{60, 1, 0} << qint64(-1);
    }

    void exactSeekLandsOnFrame()
    {
        QFETCH(MovieTime, target);
        QFETCH(qint64, expectedFrame);
        auto movie = open(clips_.green);
        QVERIFY(movie);
        movie->setCurrentTime(frameTime(60)); // start away from every target
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);

        movie->setCurrentTime(target);
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        if (expectedFrame >= 0)
            QCOMPARE(movie->displayedFrameNumber(), expectedFrame);
        const MovieTime expectedTime =
            target > movie->duration() ? movie->duration() : frameTime(expectedFrame);
        QCOMPARE(movie->currentTime(), expectedTime);
    }

    void theEnd()
    {
        auto movie = open(clips_.red);
        QVERIFY(movie);
        QSignalSpy ended(engine_.get(), &MovieEngine::movieDidEnd);
        QSignalSpy rates(engine_.get(), &MovieEngine::movieRateDidChange);
        movie->setCurrentTime(MovieTime::fromSeconds(4.6));
        movie->play();
        QCOMPARE(movie->rate(), 1.0f);
        QVERIFY(ended.wait(EventTimeoutMs));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.first().first().value<Movie*>(), movie.get());
        QCOMPARE(movie->rate(), 0.0f);
        QCOMPARE(rates.count(), 2); // started, stopped at the end
        QCOMPARE(movie->currentTime(), movie->duration());

        // Play at the end really plays on from the beginning rather than standing at the end.
        movie->play();
        QVERIFY(movie->currentTime() < MovieTime::fromSeconds(1.0));
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(movie->displayedFrameNumber() >= 5, EventTimeoutMs);
        QVERIFY(movie->currentTime() < movie->duration());
        QCOMPARE(movie->rate(), 1.0f);

        // Going to the end stops there, at once and once mpv has got there.
        movie->stop();
        movie->gotoEnd();
        QCOMPARE(movie->currentTime(), movie->duration());
        QTRY_VERIFY_WITH_TIMEOUT(!movie->isSeeking(), EventTimeoutMs);
        QCOMPARE(movie->currentTime(), movie->duration());
        QCOMPARE(movie->rate(), 0.0f);
    }

    void playMuteAndVolumeReachMpv()
    {
        auto movie = open(clips_.green);
        QVERIFY(movie);
        movie->setVolume(0.25f);
        QTRY_COMPARE(movie->propertyText("volume").toDouble(), 25.0);
        movie->setMuted(true);
        QVERIFY(movie->muted());
        QTRY_COMPARE(movie->propertyText("mute"), QStringLiteral("yes"));
        movie->setMuted(false);
        QTRY_COMPARE(movie->propertyText("mute"), QStringLiteral("no"));
        movie->setVolume(1.5f);
        QTRY_COMPARE(movie->propertyText("volume").toDouble(), 100.0);

        QSignalSpy rates(movie.get(), &Movie::rateDidChange);
        movie->play();
        QCOMPARE(movie->rate(), 1.0f);
        movie->play(); // no change, no notification
        // A stop that mpv has not taken yet: its reports that it plays are old news, not a new start.
        holdPauseRequests = true;
        movie->stop();
        QSignalSpy times(movie.get(), &Movie::timeDidChange);
        QTRY_VERIFY_WITH_TIMEOUT(!times.isEmpty() && movie->positionSeconds() > 0.2, EventTimeoutMs);
        QCOMPARE(movie->rate(), 0.0f);
        releasePauseRequests();
        QTRY_COMPARE(movie->propertyText("pause"), QStringLiteral("yes"));
        // mpv's own report of the same states must not announce them again.
        QTest::qWait(100);
        QCOMPARE(rates.count(), 2);
    }

    // A nudge resamples the sound, so that mpv's stretcher does not come and go with it; setSpeed, also at
    // the speed the movie already has, gives the stretcher back. Nudged from another speed than the normal
    // one the stretcher stays: the sound keeps its pitch at the speed the user chose.
    void nudgedSpeedsResampleTheSoundUntilSetSpeed()
    {
        auto movie = open(clips_.green);
        QVERIFY(movie);
        movie->play();
        movie->nudgeSpeed(0.98);
        QCOMPARE(movie->speed(), 0.98);
        QTRY_COMPARE(movie->propertyText("speed").toDouble(), 0.98);
        QTRY_COMPARE(movie->propertyText("audio-pitch-correction"), QStringLiteral("no"));
        movie->nudgeSpeed(1.0);
        QTRY_COMPARE(movie->propertyText("speed").toDouble(), 1.0);
        QCOMPARE(movie->propertyText("audio-pitch-correction"), QStringLiteral("no"));
        movie->setSpeed(1.0);
        QTRY_COMPARE(movie->propertyText("audio-pitch-correction"), QStringLiteral("yes"));
        movie->setSpeed(2.0);
        QTRY_COMPARE(movie->propertyText("speed").toDouble(), 2.0);
        QCOMPARE(movie->propertyText("audio-pitch-correction"), QStringLiteral("yes"));
        movie->nudgeSpeed(1.98);
        QTRY_COMPARE(movie->propertyText("speed").toDouble(), 1.98);
        QCOMPARE(movie->propertyText("audio-pitch-correction"), QStringLiteral("yes"));
        movie->stop();
    }

    // On the software path pictures are scaled on the CPU anyway: mpv is kept from probing the GPU's
    // decoders, which opens an X connection per core. The debug log names the decoder each movie got.
    void decoderChosenForTheDrawingPath_data()
    {
        QTest::addColumn<MpvVideoOutput>("video");
        QTest::addColumn<QString>("hwdec");
        QTest::newRow("software") << MpvVideoOutput::Software << "no";
        QTest::newRow("OpenGL") << MpvVideoOutput::OpenGL << "auto-safe";
    }

    void decoderChosenForTheDrawingPath()
    {
        QFETCH(MpvVideoOutput, video);
        QFETCH(QString, hwdec);
        static QStringList logged;
        logged.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("tetrapan.engine.mpv.debug=true"));
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        const auto restore = qScopeGuard([previous] {
            qInstallMessageHandler(previous);
            QLoggingCategory::setFilterRules({});
        });
        MpvMovie::Options options = options_.movie;
        options.video = video;
        const auto movie = MpvMovieOpener::openWaiting(clips_.red, options).movie;
        QVERIFY(movie);
        QCOMPARE(movie->propertyText("hwdec"), hwdec);
        QTRY_COMPARE_WITH_TIMEOUT(logged.filter("red.mp4 decodes with h264").size(), 1, EventTimeoutMs);
    }

    // Sound nobody can hear is not decoded, and comes back where the pictures are once it can be heard. A
    // file of sound alone plays by its sound and keeps it.
    void soundDecodedOnlyWhileHeard_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<bool>("muted");
        QTest::addColumn<float>("volume");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("volume 0") << clips_.red << false << 0.0f << false;
        QTest::newRow("muted") << clips_.red << true << 0.5f << false;
        QTest::newRow("heard again") << clips_.red << false << 0.5f << true;
        QTest::newRow("sound alone at volume 0") << clips_.tone << false << 0.0f << true;
        // a cover picture stands still: the sound is what it plays by
        QTest::newRow("sound with a cover picture, at volume 0") << QString("cover") << false << 0.0f << true;
        QTest::newRow("heard, without a sound track") << clips_.barcodeSilent << false << 0.5f << false;
    }

    void soundDecodedOnlyWhileHeard()
    {
        QFETCH(QString, clip);
        QFETCH(bool, muted);
        QFETCH(float, volume);
        QFETCH(bool, decoded);
        QTemporaryDir folder;
        if (clip == "cover") {
            clip = folder.filePath(QStringLiteral("cover.m4a"));
            QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-i", clips_.tone, "-i", clips_.still,
                                                  "-map", "0:a", "-map", "1", "-c:a", "copy", "-c:v", "mjpeg",
                                                  "-disposition:v:0", "attached_pic", clip}),
                     0);
        }
        auto movie = open(clip);
        QVERIFY(movie);
        QSignalSpy ended(movie.get(), &Movie::didEnd);
        // as a pane gives a movie its first volume, the setting's 0.0
        movie->setVolume(0.0f);
        movie->setMuted(muted);
        movie->setVolume(volume);
        movie->play();
        QTRY_VERIFY(movie->currentTime().seconds() > 1.0);
        // the sync lock asks for each pane's clock many times a second: it is told from what mpv reported,
        // never by waiting for the core, with the sound decoded or not
        const quint64 reads = numberReads();
        for (int i = 0; i < 10; ++i)
            movie->clockSeconds();
        QCOMPARE(numberReads(), reads);
        QCOMPARE(movie->propertyText("aid") != QStringLiteral("no"), decoded);
        const double sound = movie->propertyText("audio-pts").toDouble();
        QCOMPARE(qAbs(sound - movie->currentTime().seconds()) < 0.3, decoded);
        QCOMPARE(ended.count(), 0);
    }

    // Without a GPU the drawing path is settled without making an OpenGL context, which would load Mesa's
    // CPU renderer and LLVM for nothing.
    void graphicsDeviceFound_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("found");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("only the folder's links") << QStringList{"dri/by-path/pci-0000"} << false;
        QTest::newRow("card") << QStringList{"dri/card0"} << true;
        QTest::newRow("render node") << QStringList{"dri/renderD128"} << true;
        QTest::newRow("NVIDIA") << QStringList{"nvidiactl", "nvidia0"} << true;
        QTest::newRow("NVIDIA's control alone") << QStringList{"nvidiactl"} << false;
    }

    void graphicsDeviceFound()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, found);
        QTemporaryDir devices;
        for (const QString& file : files) {
            QDir(devices.path()).mkpath(QFileInfo(file).path());
            QFile(devices.filePath(file)).open(QIODevice::WriteOnly);
        }
        QCOMPARE(MpvMovieEngine::hasGraphicsDevice(devices.path()), found);
    }

    void opensUnderLocaleWithDecimalComma()
    {
        // Qt sets LC_NUMERIC from the user's locale when the application starts; mpv refuses to start under a
        // locale that writes 0,5. Such a locale is compiled into the build tree once.
        const QString localeDir = QStringLiteral(TETRAPAN_BINARY_DIR "/locale");
        const QString germanDir = localeDir + QStringLiteral("/de_DE.UTF-8");
        if (!QFileInfo::exists(germanDir)) {
            QDir().mkpath(localeDir);
            const int rc =
                QProcess::execute(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", germanDir});
            if (rc != 0)
                QSKIP("localedef cannot build de_DE here");
        }
        qputenv("LOCPATH", QFile::encodeName(localeDir));
        QVERIFY(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"));
        QCOMPARE(*std::localeconv()->decimal_point, ',');

        MpvMovieEngine engine(options_);
        QCOMPARE(*std::localeconv()->decimal_point, '.');
        qunsetenv("LOCPATH");
        // The locale is set once, as the engine is made: setlocale is not safe while other threads read it,
        // and cores start on worker threads (mpv asks for the locale); ThreadSanitizer reported a set at
        // every open.
        MovieOpenResult result = test::openAndWait(engine, clips_.red);
        QVERIFY2(result.movie, qPrintable(result.error));
        QVERIFY(qAbs(result.movie->duration().seconds() - TestClips::Seconds) < 0.1);
    }

    void aDroppedConnectionDoesNotEndTheProgram()
    {
        // What mpv's hardware-decoding probe meets when the X server drops its connection while it is being
        // set up: a write to a socket whose other end is gone.
        std::signal(SIGPIPE, SIG_DFL);
        MpvMovieEngine engine(options_);
        int ends[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        ::close(ends[1]);
        const char byte = 0;
        errno = 0;
        QCOMPARE(::write(ends[0], &byte, 1), ssize_t(-1));
        QCOMPARE(errno, EPIPE);
        ::close(ends[0]);
    }

private:
    std::unique_ptr<MpvMovie> open(const QString& path);

    TestClips clips_;
    QTemporaryDir scratch_;
    MpvMovieEngine::Options options_;
    std::unique_ptr<MpvMovieEngine> engine_;
    std::unique_ptr<MpvMovieEngine> badFilesEngine_;
    std::unique_ptr<MpvMovieEngine> drawingEngine_;
};

std::unique_ptr<MpvMovie> TestMpvMovie::open(const QString& path)
{
    MovieOpenResult result = test::openAndWait(*engine_, path);
    if (!result.movie)
        qWarning().noquote() << result.error;
    return std::unique_ptr<MpvMovie>(static_cast<MpvMovie*>(result.movie.release()));
}

QTEST_GUILESS_MAIN(TestMpvMovie)
#include "tst_mpvmovie.moc"
