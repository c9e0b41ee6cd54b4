// tetrapan-bench review: the review tools on four panes of the built program started as a user starts it
// (ChildProgram: the lock and the speed written into its settings before the start, its playlists into its
// library), driven from outside (Space and the pointer through the X server, `tetrapan --action`) and read
// off the X server's screen. With the sync lock on at half and at double speed, how many screenshots show
// all four panes on one frame (the clips carry their frame numbers as barcodes); zoomed together 4 times at
// one point with Ctrl and the wheel, whether the four panes show the same cells of a test card; and the CPU
// (the program's and the X server's) four 720p panes take playing zoomed 4 times against not zoomed. Then
// two panes compared in one (CompareFigures.cpp); `--compare-only` measures those alone.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "ChildProgram.h"

#include "panes/PaneZoom.h"
#include "panes/PlaybackSpeed.h"
#include "panes/SyncLock.h"

#include <QElapsedTimer>

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
// Each of the CPU's rounds plays this long; the 720p clip lasts 40 s.
constexpr int CpuRoundMs = 8000;
constexpr int CpuRounds = 3;
constexpr int ZoomNotches = 6; // four times
const QPointF ZoomPoint(0.3, 0.6);
// The five points of each pane's view whose test card cells are compared.
constexpr std::array<QPointF, 5> CellPoints{QPointF(0.5, 0.5), QPointF(0.2, 0.2), QPointF(0.8, 0.2),
                                            QPointF(0.2, 0.8), QPointF(0.8, 0.8)};

using Views = std::array<QRect, 4>;

// The share of screenshots over the time in which all four panes show the same frame; -1 when none read.
// The speed the panes played at is told on stderr, from pane 1's frames over the time.
double sameFramePercent(ChildProgram& program, int seconds, double framesPerSecond)
{
    // screenshots that read, by how far apart the panes furthest apart were: 0, 1, 2 and more frames
    std::array<int, 3> gaps{};
    const int shots = seconds * 1000 / ShotIntervalMs;
    std::optional<int> first, last;
    QElapsedTimer clock;
    qint64 firstAt = 0, lastAt = 0;
    clock.start();
    for (int i = 0; i < shots; ++i) {
        const RecordingScreen::Frames frames = program.screen().frames();
        if (allRead(frames)) {
            const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
            ++gaps[std::min(**high - **low, 2)];
            if (!first)
                first = frames[0], firstAt = clock.elapsed();
            last = frames[0], lastAt = clock.elapsed();
        }
        runEventsFor(ShotIntervalMs);
    }
    const int read = gaps[0] + gaps[1] + gaps[2];
    const double speed =
        lastAt > firstAt ? (*last - *first) / framesPerSecond / ((lastAt - firstAt) / 1000.0) : 0.0;
    std::fprintf(stderr,
                 "review: %d of %d screenshots read; 0, 1, 2+ frames apart: %d %d %d; played at %.2fx; load "
                 "%.2f\n",
                 read, shots, gaps[0], gaps[1], gaps[2], speed, loadAverage());
    return read > 0 ? 100.0 * gaps[0] / read : -1.0;
}

bool nearBlack(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) < 16;
}

// the window's own light grey around the views, which no cell of the card shows
bool windowGrey(QColor c)
{
    return std::min({c.red(), c.green(), c.blue()}) > 200 &&
           std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) < 20;
}

// Each pane's view in a shot of the main window showing the (square) test card: from the middle of the
// picture out over it and over the black bars beside it, up to the window's own colour around the view.
Views findViews(const QImage& shot)
{
    Views views;
    for (int n = 1; n <= 4; ++n) {
        const QPoint spot(shot.width() * (n <= 2 ? 1 : 3) / 4, shot.height() * (n % 2 ? 1 : 3) / 4);
        const auto edge = [&](QPoint step) {
            QPoint at = spot;
            const auto inside = [&](QPoint p) { return shot.rect().contains(p + step); };
            while (inside(at) && !nearBlack(shot.pixelColor(at + step)) &&
                   !windowGrey(shot.pixelColor(at + step)))
                at += step;
            while (inside(at) && nearBlack(shot.pixelColor(at + step)))
                at += step;
            return at;
        };
        views[n - 1] =
            QRect(QPoint(edge({-1, 0}).x(), edge({0, -1}).y()), QPoint(edge({1, 0}).x(), edge({0, 1}).y()));
    }
    return views;
}

// The square picture in the middle of a view.
QRectF cardIn(const QRect& view)
{
    const double side = std::min(view.width(), view.height());
    return {view.x() + (view.width() - side) / 2, view.y() + (view.height() - side) / 2, side, side};
}

// The 16 cells' colours as the panes show them, learnt from pane 1 unzoomed: the engine shows an HD
// picture that names no colour matrix a little off the colours it was made of.
struct Cells {
    std::array<QColor, 16> shown;

    explicit Cells(const QImage& shot, const QRect& view)
    {
        const QRectF card = cardIn(view);
        for (int i = 0; i < 16; ++i) {
            const QPointF at(card.x() + (i % 4 + 0.5) * card.width() / 4,
                             card.y() + (i / 4 + 0.5) * card.height() / 4);
            shown[i] = shot.pixelColor(at.toPoint());
        }
    }
    // "column row" of the cell whose colour is nearest
    QString at(QColor c) const
    {
        int best = 0;
        int bestDistance = -1;
        for (int i = 0; i < 16; ++i) {
            const int d = std::abs(c.red() - shown[i].red()) + std::abs(c.green() - shown[i].green()) +
                          std::abs(c.blue() - shown[i].blue());
            if (bestDistance < 0 || d < bestDistance)
                best = i, bestDistance = d;
        }
        return QStringLiteral("%1%2").arg(best % 4).arg(best / 4);
    }
};

// Where the middle of a view lands on the card zoomed notch by notch around a point of the view (shares of
// it), as a wheel does: the spot under the pointer stays under it, unless that leaves a gap at an edge the
// card could fill; a card narrower than the view stands in its middle. The cell, as "column row".
QString middleCellZoomed(const QRect& view, QPointF point, int notches)
{
    const QRectF card = cardIn(view);
    const QPointF pointer(view.x() + point.x() * view.width(), view.y() + point.y() * view.height());
    double side = card.width();
    double left = card.x();
    double top = card.y();
    const auto place = [&](double pointerAt, double from, double grown, double viewFrom, double viewLength) {
        const double at = pointerAt - (pointerAt - from) / side * grown;
        return grown < viewLength ? viewFrom + (viewLength - grown) / 2
                                  : std::clamp(at, viewFrom + viewLength - grown, double(viewFrom));
    };
    for (int i = 0; i < notches; ++i) {
        const double grown = side * PaneZoom::NotchFactor;
        left = place(pointer.x(), left, grown, view.x(), view.width());
        top = place(pointer.y(), top, grown, view.y(), view.height());
        side = grown;
    }
    const QPointF middle = QRectF(view).center();
    return QStringLiteral("%1%2")
        .arg(int(std::floor((middle.x() - left) / side * 4)))
        .arg(int(std::floor((middle.y() - top) / side * 4)));
}

// Ctrl and the wheel turned away from the user over a point of the screen.
bool zoomIn(QPoint at, int notches)
{
    return test::usePointer({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                             QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("click"),
                             QStringLiteral("--repeat"), QString::number(notches), QStringLiteral("--delay"),
                             QStringLiteral("50"), QStringLiteral("4"), QStringLiteral("keyup"),
                             QStringLiteral("ctrl")});
}

// The lock's and the zoom's figures, on one start of the program; false when it did not show what it should.
bool lockAndZoomFigures(ChildBench& bench)
{
    const test::TestClips& clips = bench.clips();
    // In the tree's order, each chosen by Playback > Next Playlist in its turn. The lock at half and at
    // double speed on a 30 fps barcode clip: at double speed a 60 fps one asks this machine for 480 pictures
    // a second, and the panes drop different ones.
    ChildProgram program(bench);
    if (!program.start({{QStringLiteral("30 fps"), QStringList(4, clips.benchBarcode30)},
                        {QStringLiteral("60 fps"), QStringList(4, clips.benchBarcode60)},
                        {QStringLiteral("Test card"), QStringList(4, clips.benchTestCard)},
                        {QStringLiteral("720p"), QStringList(4, clips.benchBarcode)}},
                       {{QLatin1String(SyncLock::OptSyncLock), true},
                        {QLatin1String(PlaybackSpeed::OptPlaySpeed), 0.5}}) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "review: the 30 fps clips never showed\n");
        return false;
    }
    // Plays the panes from where they stand, measures, and stops them: the dropped frames they tell of then
    // on stderr.
    const auto playMeasuring = [&](const char* name, double framesPerSecond) {
        const qsizetype said = program.said();
        if (!program.key("space") || !program.untilPlaying(TimeoutMs)) {
            std::fprintf(stderr, "review: the panes never played\n");
            return false;
        }
        runEventsFor(1000);
        print(name, sameFramePercent(program, LockedSeconds, framesPerSecond), "%", 1);
        program.key("space");
        runEventsFor(1000);
        std::fprintf(stderr, "review: %lld frames dropped\n",
                     static_cast<long long>(program.droppedSince(said)));
        return true;
    };
    // the half speed from the settings, then Faster five times (0.75, 1, 1.25, 1.5, 2), then Normal Speed:
    // the normal speed for comparison, on the same clip and the same busy machine
    struct Speed {
        const char* command;
        int times;
        const char* name;
    };
    for (const Speed& speed : {Speed{"faster", 0, "review.locked_half_speed_same_frame_pct"},
                               Speed{"faster", 5, "review.locked_double_speed_same_frame_pct"},
                               Speed{"normal-speed", 1, "review.locked_normal_speed_same_frame_pct"}}) {
        program.action("to-the-beginning");
        for (int i = 0; i < speed.times; ++i)
            program.action(speed.command);
        runEventsFor(1000);
        if (!playMeasuring(speed.name, 30.0))
            return false;
    }
    // and the 60 fps clip at the normal speed: as many pictures a second as the 30 fps one at double speed
    if (!program.action("next-playlist") ||
        !runEventsUntil([&] { return allAt(program.bands(), 0); }, TimeoutMs) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "review: the 60 fps clips never showed\n");
        return false;
    }
    runEventsFor(1000);
    if (!playMeasuring("review.locked_normal_speed_60fps_same_frame_pct", 60.0))
        return false;
    program.action("sync-lock");

    // Zoomed together 4 times around a point of pane 1: every pane shows the same cells, and in its middle
    // the cell that the zoom's rule puts there.
    program.action("next-playlist");
    Views views;
    if (!runEventsUntil(
            [&] {
                runEventsFor(200);
                const RecordingScreen::Frames frames = program.bands();
                views = findViews(program.screen().shot());
                return std::none_of(frames.begin(), frames.end(),
                                    [](const auto& f) { return f.has_value(); }) &&
                       views[0].width() > 100 && views[0].height() > 100;
            },
            TimeoutMs)) {
        std::fprintf(stderr, "review: the test cards never showed\n");
        return false;
    }
    runEventsFor(1000);
    views = findViews(program.screen().shot());
    const Cells cells(program.screen().shot(), views[0]);
    const QPoint window = program.window().topLeft();
    const QPoint pointer = window + QPoint(views[0].x() + qRound(views[0].width() * ZoomPoint.x()),
                                           views[0].y() + qRound(views[0].height() * ZoomPoint.y()));
    zoomIn(pointer, ZoomNotches);
    runEventsFor(1500);
    const QImage zoomed = program.screen().shot();
    std::array<QString, 4> shown;
    for (int n = 0; n < 4; ++n) {
        for (const QPointF share : CellPoints)
            shown[n] += cells.at(zoomed.pixelColor(views[n].x() + qRound(views[n].width() * share.x()),
                                                   views[n].y() + qRound(views[n].height() * share.y()))) +
                        QLatin1Char(' ');
    }
    const int alike = static_cast<int>(std::count(shown.begin(), shown.end(), shown[0]));
    const QString middle = middleCellZoomed(views[0], ZoomPoint, ZoomNotches);
    std::fprintf(stderr,
                 "review: cells at the middle and four corners of each pane: %s| %s| %s| %s; the middle "
                 "by the rule %s; pane 1's view %dx%d\n",
                 qPrintable(shown[0]), qPrintable(shown[1]), qPrintable(shown[2]), qPrintable(shown[3]),
                 qPrintable(middle), views[0].width(), views[0].height());
    print("review.zoom_together_panes_alike", alike, "of 4", 0);
    print("review.zoom_middle_cell_as_computed", shown[0].startsWith(middle) ? 1 : 0, "", 0);

    // CPU of four 720p panes playing, zoomed 4 times and not, in alternating rounds (which goes first
    // alternating too), each from the beginning; the program's and the X server's.
    program.action("reset-zoom");
    if (!program.action("next-playlist") ||
        !runEventsUntil([&] { return allAt(program.bands(), 0); }, TimeoutMs) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "review: the 720p clips never showed\n");
        return false;
    }
    const QPoint middleOfOne = window + views[0].center();
    std::vector<double> ratios;
    for (int round = 0; round < CpuRounds; ++round) {
        std::array<double, 2> cpu{}; // not zoomed, zoomed
        for (int turn = 0; turn < 2; ++turn) {
            const bool zoom = (round + turn) % 2 == 1;
            program.action("to-the-beginning");
            if (zoom)
                zoomIn(middleOfOne, ZoomNotches);
            else
                program.action("reset-zoom");
            const qsizetype said = program.said();
            // zoomed, the barcodes are out of sight: the media controls tell
            if (!program.key("space") ||
                !runEventsUntil([&] { return program.playbackStatus() == QLatin1String("Playing"); },
                                TimeoutMs)) {
                std::fprintf(stderr, "review: the 720p clips never played\n");
                return false;
            }
            runEventsFor(1000);
            const double before = cpuSecondsOf(program.pid()) + cpuSecondsOf(bench.xServerPid());
            runEventsFor(CpuRoundMs);
            cpu[zoom] = cpuSecondsOf(program.pid()) + cpuSecondsOf(bench.xServerPid()) - before;
            // zoomed 4 times around the middle, no pane shows its barcode; whole, every pane does
            const bool asked = runEventsUntil(
                [&] {
                    const RecordingScreen::Frames bands = program.bands();
                    return zoom ? std::none_of(bands.begin(), bands.end(),
                                               [](const auto& f) { return f.has_value(); })
                                : allRead(bands);
                },
                1000);
            program.key("space");
            runEventsFor(1000);
            std::fprintf(stderr, "review: %s, %lld frames dropped\n", zoom ? "zoomed" : "not zoomed",
                         static_cast<long long>(program.droppedSince(said)));
            if (!asked) {
                std::fprintf(stderr, "review: the panes were not %s as asked\n", zoom ? "zoomed" : "whole");
                return false;
            }
        }
        std::fprintf(stderr, "review: CPU seconds not zoomed %.2f, zoomed %.2f (load average %.2f)\n", cpu[0],
                     cpu[1], loadAverage());
        if (cpu[0] > 0)
            ratios.push_back(cpu[1] / cpu[0]);
    }
    print("review.cpu_zoomed_x4_vs_not", ratios.empty() ? -1 : median(ratios), "x", 3);
    return true;
}

} // namespace

int runReview(int argc, char** argv)
{
    ChildBench bench("review", argc, argv);
    if (!bench.ready())
        return 1;
    // the compare mode's figures alone (each starts the program afresh), without the lock's and the zoom's
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--compare-only") == 0)
            return runCompareFigures(bench);
    }
    if (!lockAndZoomFigures(bench))
        return 1;
    const int compared = runCompareFigures(bench);
    std::fprintf(stderr, "review: load average at the end %.2f\n", loadAverage());
    return compared;
}

} // namespace tetrapan::bench
