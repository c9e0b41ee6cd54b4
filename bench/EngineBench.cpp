// tetrapan-bench engine: how soon a movie's first frame shows on screen, and what four playing panes cost
// next to four plain mpv players. Both sides are measured from outside in the same way: over the same
// stretch of steady playing that starts a second after the first frames showed, with the X server's work
// counted on each side, in pairs run alternately; the figures are medians over the pairs.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "PlainPlayers.h"
#include "TestClips.h"
#include "TestHome.h"
#include "VirtualDisplay.h"
#include "XServer.h"

#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "panes/QTMovieSubView.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "shell/DesktopFileViewer.h"
#include "shell/MessageBoxPresenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace tetrapan::bench {

namespace {

// One pair's ratio moves by a tenth and more from round to round on a two-core machine (whichever side the
// machine's own chores fall on); the median of five lies within a few hundredths of the median of many.
constexpr int PairRounds = 5;
constexpr int OpenRepeats = 7;
// Playing settles (caches fill, the players' clocks lock) before the measured stretch starts.
constexpr int WarmUpMs = 1000;
// The clips are 10 s long: the stretch ends well before the first player reaches the end.
constexpr int MeasureMs = 6000;
constexpr int ShowTimeoutMs = 20000;
const QSize PaneSize(640, 360);

// What one side used over the measured stretch.
struct Usage {
    double cpuSeconds = 0;     // the players' own
    double xServerSeconds = 0; // the X server's, drawing for them
    qint64 dropped = 0;        // frames not shown (our panes only: plain mpv does not say)
    double peakRssMb = 0;      // plain mpv's, all four together
    bool shown = true;         // every player showed its first frame
    double total() const { return cpuSeconds + xServerSeconds; }
};

// Four panes in a 2x2 grid at the screen's top left, as in the main window.
struct Panes {
    QtScheduler scheduler;
    MessageBoxPresenter dialogs;
    DesktopFileViewer fileViewer{dialogs};
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    std::array<QTMovieSubView*, 4> panes{};

    Panes(MovieEngine& engine, SettingsDomain& settings)
    {
        auto* grid = new QGridLayout(window.get());
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
        for (int n = 1; n <= 4; ++n) {
            panes[n - 1] =
                new QTMovieSubView({engine, settings, scheduler, dialogs, fileViewer}, window.get());
            panes[n - 1]->setViewNo(n);
            panes[n - 1]->awakeFromNib();
            grid->addWidget(panes[n - 1], (n - 1) % 2, (n - 1) / 2);
        }
        window->setWindowFlag(Qt::FramelessWindowHint);
        window->setGeometry(QRect(QPoint(0, 0), PaneSize * 2));
        window->show();
        runEventsUntil([this] { return window->isVisible() && window->windowHandle()->isExposed(); },
                       ShowTimeoutMs);
        runEventsFor(200);
    }
    // The pane's middle on screen, where its picture shows first.
    QRect middleOf(int index) const
    {
        QTMovieSubView* pane = panes[index];
        return QRect(pane->mapToGlobal(QPoint(pane->width() / 2 - 32, pane->height() / 2 - 32)),
                     QSize(64, 64));
    }
};

// Until every area shows a picture; the time it took in ms, or -1.
double msUntilShown(test::XServer& x, const std::vector<QRect>& areas, const QElapsedTimer& since)
{
    return waitUntilShown(x, areas, ShowTimeoutMs) ? since.nsecsElapsed() / 1e6 : -1;
}

qint64 droppedFrames(const Panes& panes)
{
    qint64 dropped = 0;
    for (QTMovieSubView* pane : panes.panes) {
        if (auto* movie = qobject_cast<MpvMovie*>(pane->movie()))
            dropped += movie->droppedFrameCount();
    }
    return dropped;
}

Usage playFourPanes(MovieEngine& engine, SettingsDomain& settings, test::XServer& x, qint64 xServer,
                    const QString& clip)
{
    Usage usage;
    Panes panes(engine, settings);
    resetPeakRss();
    QElapsedTimer clock;
    clock.start();
    for (QTMovieSubView* pane : panes.panes)
        pane->createMovieView(clip);
    std::vector<QRect> middles;
    for (int i = 0; i < 4; ++i)
        middles.push_back(panes.middleOf(i));
    if (msUntilShown(x, middles, clock) < 0) {
        std::fprintf(stderr, "engine: our four panes never showed their first frames\n");
        usage.shown = false;
    }
    for (QTMovieSubView* pane : panes.panes)
        pane->playMovie();
    runEventsFor(WarmUpMs);
    const double cpu = cpuSecondsOf(QCoreApplication::applicationPid());
    const double server = cpuSecondsOf(xServer);
    const qint64 dropped = droppedFrames(panes);
    runEventsFor(MeasureMs);
    usage.cpuSeconds = cpuSecondsOf(QCoreApplication::applicationPid()) - cpu;
    usage.xServerSeconds = cpuSecondsOf(xServer) - server;
    usage.dropped = droppedFrames(panes) - dropped;
    for (QTMovieSubView* pane : panes.panes)
        pane->clearMovieView();
    return usage;
}

// Four plain mpv players side by side, each drawing with X11 as the panes' windows do.
Usage playFourMpv(test::XServer& x, qint64 xServer, const QString& clip)
{
    const PlainPlayersUsage players = playFourPlainPlayers(x, xServer, clip, WarmUpMs, MeasureMs);
    Usage usage;
    usage.cpuSeconds = players.cpuSeconds;
    usage.xServerSeconds = players.xServerSeconds;
    usage.peakRssMb = players.peakRssMb;
    usage.shown = players.played;
    return usage;
}

// The program itself on a playlist of four of the clip, playing them: its peak resident memory.
double programPeakRssMb(test::XServer& x, const QString& clip)
{
    test::TestHome home;
    const QString title = QStringLiteral("Four Panes");
    if (!test::writeOnePlaylistHome(home, title, {clip, clip, clip, clip}))
        return 0;
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan"), {});
    test::XServer::Window main;
    test::XServer::Window playlists;
    const bool started = runEventsUntil(
        [&] {
            main = x.find(title);
            playlists = x.find(QStringLiteral("Playlist"));
            return main.id != XCB_WINDOW_NONE && playlists.id != XCB_WINDOW_NONE;
        },
        ShowTimeoutMs);
    double peak = 0;
    if (started) {
        std::vector<QRect> panes;
        for (int viewNo = 1; viewNo <= 4; ++viewNo)
            panes.push_back(QRect(paneSpotOnScreen(main.geometry, viewNo) - QPoint(16, 16), QSize(32, 32)));
        QElapsedTimer clock;
        clock.start();
        if (msUntilShown(x, panes, clock) < 0)
            std::fprintf(stderr, "engine: the program's four panes never showed their first frames\n");
        x.focus(playlists);
        x.key(playlists, ' '); // Space plays all panes
        runEventsFor(WarmUpMs + MeasureMs);
        peak = peakRssMbOf(program.processId());
    } else {
        std::fprintf(stderr, "engine: the program's windows never showed\n");
    }
    program.terminate();
    if (!program.waitForFinished(10000))
        program.kill();
    return peak;
}

// Asks one pane to open the clip again and again; the median time until its first frame is on screen.
double openToFirstFrameMs(Panes& panes, test::XServer& x, const std::vector<QString>& clips, int paneCount)
{
    std::vector<double> times;
    for (int i = 0; i < OpenRepeats; ++i) {
        for (QTMovieSubView* pane : panes.panes)
            pane->clearMovieView();
        runEventsFor(300); // the old cores are gone and the ready ones are ready
        std::vector<QRect> middles;
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; n < paneCount; ++n) {
            panes.panes[n]->createMovieView(clips[(i + n) % clips.size()]);
            middles.push_back(panes.middleOf(n));
        }
        const double ms = msUntilShown(x, middles, clock);
        if (ms >= 0)
            times.push_back(ms);
    }
    for (QTMovieSubView* pane : panes.panes)
        pane->clearMovieView();
    return median(times);
}

} // namespace

int runEngine(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "engine: no display and Xvfb could not be started\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const qint64 xServer = virtualDisplay.serverPid();
    test::XServer x;
    if (!x.isConnected() || xServer == 0) {
        std::fprintf(stderr, "engine: cannot reach the X server or find its process\n");
        return 1;
    }

    if (QStandardPaths::findExecutable(QStringLiteral("mpv")).isEmpty()) {
        std::fprintf(stderr, "engine: the plain mpv player to compare with is not installed (make bench "
                             "installs it)\n");
        return 1;
    }

    const test::TestClips clips =
        test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    if (!clips.ok()) {
        std::fprintf(stderr, "engine: %s\n", qPrintable(clips.error));
        return 1;
    }

    QTemporaryDir home;
    SettingsDomain settings(home.filePath(QStringLiteral("Tetrapan.json")));
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true; // the mpv players get no sound either
    MpvMovieEngine engine(options);
    std::fprintf(stderr, "engine: drawing path %s, load average %.2f\n",
                 engine.drawingPath() == DrawingPath::OpenGL ? "OpenGL" : "software", loadAverage());

    {
        Panes panes(engine, settings);
        runEventsFor(1000); // the ready cores have started
        const std::vector<QString> colours{clips.red, clips.green, clips.blue, clips.yellow};
        print("engine.open_one_ms", openToFirstFrameMs(panes, x, colours, 1), "ms", 1);
        print("engine.open_four_ms", openToFirstFrameMs(panes, x, colours, 4), "ms", 1);
        print("engine.first_frame_ms", openToFirstFrameMs(panes, x, {clips.bench1080p}, 1), "ms", 1);
    }

    for (const auto& [size, clip] :
         {std::pair{"720p", clips.bench720p}, std::pair{"1080p", clips.bench1080p}}) {
        std::vector<double> ratios, ours, theirs, dropped, ourRss, theirRss;
        for (int round = 0; round < PairRounds; ++round) {
            // whichever side goes first meets a different machine; alternate
            Usage us, them;
            if (round % 2 == 0) {
                us = playFourPanes(engine, settings, x, xServer, clip);
                them = playFourMpv(x, xServer, clip);
            } else {
                them = playFourMpv(x, xServer, clip);
                us = playFourPanes(engine, settings, x, xServer, clip);
            }
            std::fprintf(stderr,
                         "engine: %s round %d: ours %.2f s CPU + %.2f s X server, %lld dropped; "
                         "mpv %.2f s + %.2f s, %.0f MB; load %.2f\n",
                         size, round + 1, us.cpuSeconds, us.xServerSeconds,
                         static_cast<long long>(us.dropped), them.cpuSeconds, them.xServerSeconds,
                         them.peakRssMb, loadAverage());
            // a round in which either side did not play compares nothing
            if (us.shown && them.shown && them.total() > 0) {
                ratios.push_back(us.total() / them.total());
                ours.push_back(us.total() / (MeasureMs / 1000.0) * 100.0);
                theirs.push_back(them.total() / (MeasureMs / 1000.0) * 100.0);
            }
            dropped.push_back(static_cast<double>(us.dropped));
            if (QLatin1String(size) == QLatin1String("1080p"))
                ourRss.push_back(programPeakRssMb(x, clip));
            theirRss.push_back(them.peakRssMb);
        }
        const auto name = [&](const char* figure) {
            return QStringLiteral("engine.play4_%1_%2")
                .arg(QLatin1String(size), QLatin1String(figure))
                .toUtf8();
        };
        if (ratios.empty()) {
            std::fprintf(stderr, "engine: at %s no round had both sides playing\n", size);
            return 1;
        }
        print(name("cpu_ratio_vs_mpv").constData(), median(ratios), "x");
        print(name("cpu_ours_pct").constData(), median(ours), "% of a core", 0);
        print(name("cpu_mpv_pct").constData(), median(theirs), "% of a core", 0);
        print(name("dropped").constData(), median(dropped), "frames", 0);
        if (QLatin1String(size) == QLatin1String("1080p")) {
            print(name("peak_rss_mb").constData(), *std::max_element(ourRss.begin(), ourRss.end()), "MB", 0);
            print(name("mpv_peak_rss_mb").constData(), median(theirRss), "MB", 0);
        }
    }
    std::fprintf(stderr, "engine: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
