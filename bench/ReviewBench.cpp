// tetrapan-bench review: the review tools on four panes, read off the X server's screen. With the sync lock
// on at half and at double speed, how many screenshots show all four panes on one frame (the clips carry
// their frame numbers as barcodes); zoomed together 4 times at one point, whether the four panes show the
// same cells of a test card; and the CPU four 720p panes take playing zoomed 4 times against not zoomed.
// Then two panes compared in one (CompareFigures.cpp), on the program started afresh as a child for each
// figure; `--compare-only` measures those alone.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/MovieView.h"
#include "engine/MpvMovie.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneZoom.h"
#include "panes/PlaybackSpeed.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr int LockedSeconds = 30;
constexpr int ShotIntervalMs = 200;
constexpr double BarcodeAspect = 16.0 / 9.0;
// Each of the CPU's rounds plays this long; the 720p clip lasts 40 s.
constexpr int CpuRoundMs = 8000;
constexpr int CpuRounds = 2;

struct Bench {
    SettingsDomain& settings;
    MainNib& nib;
    test::XServer& x;

    MovController& controller() { return nib.movController(); }
    QRect onScreen(QWidget& widget) { return {widget.mapToGlobal(QPoint(0, 0)), widget.size()}; }
    // Chooses a new playlist of one clip in all four panes and waits until the panes hold it.
    bool choose(const QString& file)
    {
        chooseFileInFourPanes(nib, settings, file);
        return runEventsUntil(
            [&] { return !controller().hasPendingLoad() && nib.qtView(4).filePath() == file; }, TimeoutMs);
    }
    std::array<std::optional<int>, 4> framesShown()
    {
        const QRect screen = onScreen(nib.mainWindow());
        const QImage shot = x.grab(screen);
        std::array<std::optional<int>, 4> frames;
        for (int n = 1; n <= 4; ++n) {
            MovieView* view = nib.qtView(n).movieView();
            frames[n - 1] = test::FrameBarcode::readView(
                shot, QRect(view->mapToGlobal(QPoint(0, 0)) - screen.topLeft(), view->size()), BarcodeAspect);
        }
        return frames;
    }
    // The test card's cells (column and row, 4 each) at five points of each pane's view, in one screenshot.
    std::array<QString, 4> cellsShown()
    {
        const QRect screen = onScreen(nib.mainWindow());
        const QImage shot = x.grab(screen);
        std::array<QString, 4> cells;
        for (int n = 1; n <= 4; ++n) {
            MovieView* view = nib.qtView(n).movieView();
            const QPoint origin = view->mapToGlobal(QPoint(0, 0)) - screen.topLeft();
            for (const QPointF share : {QPointF(0.5, 0.5), QPointF(0.2, 0.2), QPointF(0.8, 0.2),
                                        QPointF(0.2, 0.8), QPointF(0.8, 0.8)}) {
                const QColor c = shot.pixelColor(
                    origin + QPoint(qRound(view->width() * share.x()), qRound(view->height() * share.y())));
                cells[n - 1] +=
                    QStringLiteral("%1%2 ").arg(qRound(c.red() / 85.0)).arg(qRound(c.green() / 85.0));
            }
        }
        return cells;
    }
};

// The share of screenshots over the time in which all four panes show the same frame; -1 when none read.
double sameFramePercent(Bench& bench, int seconds)
{
    const auto dropped = [&bench] {
        qint64 count = 0;
        for (int n = 1; n <= 4; ++n) {
            if (auto* movie = qobject_cast<MpvMovie*>(bench.nib.qtView(n).movie()))
                count += movie->droppedFrameCount();
        }
        return count;
    };
    const qint64 droppedBefore = dropped();
    // screenshots that read, by how far apart the panes furthest apart were: 0, 1, 2 and more frames
    std::array<int, 3> gaps{};
    const int shots = seconds * 1000 / ShotIntervalMs;
    for (int i = 0; i < shots; ++i) {
        const auto frames = bench.framesShown();
        if (std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); })) {
            const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
            ++gaps[std::min(**high - **low, 2)];
        }
        runEventsFor(ShotIntervalMs);
    }
    const int read = gaps[0] + gaps[1] + gaps[2];
    std::fprintf(stderr,
                 "review: %d of %d screenshots read; 0, 1, 2+ frames apart: %d %d %d; %lld frames dropped\n",
                 read, shots, gaps[0], gaps[1], gaps[2], static_cast<long long>(dropped() - droppedBefore));
    return read > 0 ? 100.0 * gaps[0] / read : -1.0;
}

} // namespace

int runReview(int argc, char** argv)
{
    BenchProgram program("review", argc, argv);
    if (!program.start(std::make_unique<QtScheduler>()))
        return 1;
    SettingsDomain& settings = program.settings();
    MainNib& nib = program.nib();
    test::XServer& x = program.x();
    const test::TestClips& clips = program.clips();
    Bench bench{settings, nib, x};
    MovController& controller = bench.controller();
    // the compare mode's figures alone (each starts the program afresh), without the lock's and the zoom's
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--compare-only") == 0)
            return runCompareFigures(program);
    }

    // The lock at half and at double speed, on a 30 fps barcode clip: at double speed a 60 fps one asks this
    // machine for 480 pictures a second, and the panes drop different ones.
    if (!bench.choose(clips.benchBarcode30)) {
        std::fprintf(stderr, "review: the 30 fps clips never loaded\n");
        return 1;
    }
    userDefaultsExtension::setDefaultBoolValue(settings, true, QLatin1String(SyncLock::OptSyncLock));
    // the normal speed for comparison, on the same clip and the same busy machine
    for (const auto& [speed, name] : {std::pair{0.5, "review.locked_half_speed_same_frame_pct"},
                                      std::pair{2.0, "review.locked_double_speed_same_frame_pct"},
                                      std::pair{1.0, "review.locked_normal_speed_same_frame_pct"}}) {
        controller.setAllMoviePlay(false);
        controller.skipAllMovieTime(MovController::SkipToStart);
        userDefaultsExtension::setDefaultFloatValue(settings, static_cast<float>(speed),
                                                    QLatin1String(PlaybackSpeed::OptPlaySpeed));
        runEventsFor(1000);
        controller.changeAllMoviePlay();
        runEventsFor(1000);
        print(name, sameFramePercent(bench, LockedSeconds), "%", 1);
    }
    controller.setAllMoviePlay(false);
    nib.playbackSpeed().normal();
    // and the 60 fps clip at the normal speed: as many pictures a second as the 30 fps one at double speed
    if (bench.choose(clips.benchBarcode60)) {
        runEventsFor(1000);
        controller.changeAllMoviePlay();
        runEventsFor(1000);
        print("review.locked_normal_speed_60fps_same_frame_pct", sameFramePercent(bench, LockedSeconds), "%",
              1);
        controller.setAllMoviePlay(false);
    }
    userDefaultsExtension::setDefaultBoolValue(settings, false, QLatin1String(SyncLock::OptSyncLock));

    // Zoomed together 4 times around a point of pane 1: every pane shows the same cells, and in its middle
    // the cell of the zoom's centre.
    if (!bench.choose(clips.benchTestCard)) {
        std::fprintf(stderr, "review: the test cards never loaded\n");
        return 1;
    }
    runEventsFor(1000);
    PaneZoom& zoom = controller.zoom();
    MovieView& first = *nib.qtView(1).movieView();
    zoom.zoomAt(1, QPointF(first.width() * 0.3, first.height() * 0.6), 6.0);
    runEventsFor(1500);
    const std::array<QString, 4> cells = bench.cellsShown();
    const int alike = static_cast<int>(std::count(cells.begin(), cells.end(), cells[0]));
    std::fprintf(stderr, "review: cells at the middle and four corners of each pane: %s| %s| %s| %s\n",
                 qPrintable(cells[0]), qPrintable(cells[1]), qPrintable(cells[2]), qPrintable(cells[3]));
    const ViewZoom shown = zoom.zoomOf(1);
    const QString middle =
        QStringLiteral("%1%2").arg(std::floor(shown.centre.x() * 4)).arg(std::floor(shown.centre.y() * 4));
    print("review.zoom_together_panes_alike", alike, "of 4", 0);
    print("review.zoom_middle_cell_as_computed", cells[0].startsWith(middle) ? 1 : 0, "", 0);
    zoom.reset(0);

    // CPU of four 720p panes playing, zoomed 4 times and not, in turns from the beginning.
    if (!bench.choose(clips.benchBarcode)) {
        std::fprintf(stderr, "review: the 720p clips never loaded\n");
        return 1;
    }
    const qint64 self = QCoreApplication::applicationPid();
    std::array<double, 2> cpu{}; // not zoomed, zoomed
    for (int round = 0; round < CpuRounds * 2; ++round) {
        const bool zoomed = round % 2 == 1;
        if (zoomed)
            zoom.zoomAt(1, QPointF(first.width() * 0.5, first.height() * 0.5), 6.0);
        else
            zoom.reset(0);
        controller.skipAllMovieTime(MovController::SkipToStart);
        controller.setAllMoviePlay(true);
        runEventsFor(1000);
        const double before = cpuSecondsOf(self) + cpuSecondsOf(program.xServerPid());
        runEventsFor(CpuRoundMs);
        cpu[zoomed] += cpuSecondsOf(self) + cpuSecondsOf(program.xServerPid()) - before;
        controller.setAllMoviePlay(false);
    }
    std::fprintf(stderr, "review: CPU seconds not zoomed %.2f, zoomed %.2f\n", cpu[0], cpu[1]);
    print("review.cpu_zoomed_x4_vs_not", cpu[0] > 0 ? cpu[1] / cpu[0] : -1, "x", 3);
    zoom.reset(0);
    const int compared = runCompareFigures(program);
    std::fprintf(stderr, "review: load average at the end %.2f\n", loadAverage());
    return compared;
}

} // namespace tetrapan::bench
