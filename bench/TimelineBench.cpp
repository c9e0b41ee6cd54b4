// tetrapan-bench timeline: the seek bar of all panes and the A–B loop on four 720p panes of a barcode clip
// whose frames carry their numbers, read off the X server's screen. Panes 2 to 4 have offsets against
// pane 1, the leader, written into the library before the program starts, with the seek bar shown and the
// sync lock off (ChildProgram). Figures: after a drag of the bar with the pointer through the X server,
// released at a random point (paused), whether every pane shows the leader's frame plus its offset; how
// many new pictures a pane shows per second while the bar is dragged; and how far apart the panes are at
// the end of each round of a 2 s loop set with clicks on the bar and Playback > Loop A–B.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "ChildProgram.h"

#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr double FramesPerSecond = 30.0;
constexpr double LengthSeconds = 40.0;
// Whole frames, so that every pane's frame is the leader's plus a whole number.
constexpr std::array<int, 4> OffsetsMs{0, 1000, 2000, -500};
constexpr int Drags = 20;
constexpr int SweepMs = 4000;
constexpr int MoveIntervalMs = 16;
// Screenshots while dragging: often enough to see 20 new pictures a second, seldom enough to leave the
// decoders the processors (a screenshot of the window costs milliseconds of both).
constexpr int DragShotIntervalMs = 30;
constexpr int LoopRounds = 10;
constexpr double LoopFrom = 10.0;
constexpr double LoopSeconds = 2.0;
// pane 1's lane on the seek bar, as the bar paints it: the leader's strip spans the whole time line
const QColor LeaderLane(0x4f, 0xa3, 0xe0);

using Frames = RecordingScreen::Frames;

// the offsets keep every pane within its movie between 3 s and 35 s of the leader's
int expected(int leaderFrame, int viewNo)
{
    return leaderFrame + static_cast<int>(OffsetsMs[viewNo - 1] * FramesPerSecond / 1000);
}

QStringList moveTo(int x, int y)
{
    return {QStringLiteral("mousemove"), QString::number(x), QString::number(y)};
}

// The pointer pressed on the bar at one x, moved in steps a frame of the screen apart and let go at another.
QStringList dragCommands(int from, int to, int y, int steps)
{
    QStringList commands = moveTo(from, y);
    commands << QStringLiteral("mousedown") << QStringLiteral("1");
    for (int step = 1; step <= steps; ++step) {
        commands << QStringLiteral("sleep") << QString::number(MoveIntervalMs / 1000.0)
                 << moveTo(from + (to - from) * step / steps, y);
    }
    return commands << QStringLiteral("mouseup") << QStringLiteral("1");
}

} // namespace

int runTimeline(int argc, char** argv)
{
    ChildBench bench("timeline", argc, argv);
    if (!bench.ready())
        return 1;
    ChildProgram program(bench);
    std::map<int, QString> offsets;
    for (int n = 2; n <= 4; ++n)
        offsets[n] = QStringLiteral("offset=\"%1\"").arg(OffsetsMs[n - 1]);
    if (!program.start({{QStringLiteral("720p"), QStringList(4, bench.clips().benchBarcode)}},
                       {{QLatin1String(TimelineBar::OptShowSeekBar), true},
                        {QLatin1String(SyncLock::OptSyncLock), false}},
                       offsets) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "timeline: the 720p clips never showed\n");
        return 1;
    }
    RecordingScreen& screen = program.screen();
    const RecordingScreen::Track track = screen.findTrack(screen.shot(), LeaderLane);
    if (!track.valid()) {
        std::fprintf(stderr, "timeline: the seek bar's track is nowhere on the screen\n");
        return 1;
    }
    const auto xOf = [&](double seconds) {
        return track.left +
               static_cast<int>(std::lround(seconds / LengthSeconds * (track.right - track.left)));
    };
    // Until the pictures stand still: five looks in a row a tenth of a second apart read the same (a pane's
    // seek on a busy machine can hold its last picture of the drag for a few tenths).
    const auto settled = [&] {
        Frames last;
        int same = 0;
        runEventsUntil(
            [&] {
                runEventsFor(100);
                const Frames f = screen.frames();
                same = allRead(f) && f == last ? same + 1 : 0;
                last = f;
                return same >= 4;
            },
            TimeoutMs);
        return last;
    };

    QRandomGenerator random(26);
    int landed = 0;
    for (int i = 0; i < Drags; ++i) {
        const int from = xOf(3.0 + random.bounded(32.0));
        const int to = xOf(3.0 + random.bounded(32.0));
        test::usePointer(dragCommands(from, to, track.y, 10));
        const Frames f = settled();
        bool all = allRead(f);
        for (int n = 2; all && n <= 4; ++n)
            all = *f[n - 1] == expected(*f[0], n);
        landed += all ? 1 : 0;
        if (!all || qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS")) {
            // whether it came right late, or stays wrong
            runEventsFor(2000);
            const Frames later = screen.frames();
            std::fprintf(stderr, "timeline: drag %d to x %d: %d %d %d %d, 2 s later %d %d %d %d\n", i, to,
                         f[0].value_or(-1), f[1].value_or(-1), f[2].value_or(-1), f[3].value_or(-1),
                         later[0].value_or(-1), later[1].value_or(-1), later[2].value_or(-1),
                         later[3].value_or(-1));
        }
    }
    print("timeline.release_on_offset_frames", landed, "of 20", 0);
    std::fprintf(stderr, "timeline: load average %.2f\n", loadAverage());

    // a steady drag over most of the time line, the pointer moved by a running xdotool meanwhile
    std::array<int, 4> changes{};
    Frames last;
    int shots = 0;
    QProcess sweep;
    test::startTool(sweep, QStringLiteral("xdotool"),
                    dragCommands(xOf(2.0), xOf(36.0), track.y, SweepMs / MoveIntervalMs));
    if (!sweep.waitForStarted(TimeoutMs)) {
        std::fprintf(stderr, "timeline: xdotool did not start\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    while (sweep.state() != QProcess::NotRunning && clock.elapsed() < TimeoutMs) {
        QElapsedTimer sinceShot;
        sinceShot.start();
        const Frames f = screen.frames();
        ++shots;
        for (int n = 0; n < 4; ++n) {
            if (f[n] && last[n] && *f[n] != *last[n])
                ++changes[n];
            if (f[n])
                last[n] = f[n];
        }
        runEventsFor(std::max<int>(1, DragShotIntervalMs - int(sinceShot.elapsed())));
    }
    const double seconds = clock.elapsed() / 1000.0;
    std::fprintf(stderr, "timeline: %d screenshots over %.1f s; new pictures per pane %d %d %d %d\n", shots,
                 seconds, changes[0], changes[1], changes[2], changes[3]);
    print("timeline.drag_pictures_per_second", *std::min_element(changes.begin(), changes.end()) / seconds,
          "pictures/s (slowest pane)", 1);
    settled();

    // The A–B loop: a click on the bar at A and Loop A–B, at B and Loop A–B again, back to A and play. Just
    // before each return to A, how far apart the panes are, their offsets taken off.
    const auto clickAt = [&](double at) {
        test::usePointer(moveTo(xOf(at), track.y) << QStringLiteral("click") << QStringLiteral("1"));
        settled();
    };
    clickAt(LoopFrom);
    program.action("loop-a-b");
    clickAt(LoopFrom + LoopSeconds);
    program.action("loop-a-b");
    clickAt(LoopFrom);
    if (!program.action("play-or-stop-all")) {
        std::fprintf(stderr, "timeline: the panes never played\n");
        return 1;
    }
    const int lastFrame = static_cast<int>((LoopFrom + LoopSeconds) * FramesPerSecond);
    // The leader's frame from its band alone, looked at every few ms: a cheap look for the X server.
    const auto leaderWithin = [&](int from, int to) {
        return runEventsUntil(
            [&] {
                runEventsFor(5);
                const std::optional<int> f = program.bands()[0];
                return f && *f >= from && *f <= to;
            },
            TimeoutMs);
    };
    int largest = -1;
    int unread = 0;
    for (int round = 0; round < LoopRounds; ++round) {
        // into the round's last tenth of a second, before the panes' jumps back to A (each pane's picture
        // changes when its own seek lands)
        if (!leaderWithin(lastFrame - 4, lastFrame - 2)) {
            std::fprintf(stderr, "timeline: the loop never came near B\n");
            return 1;
        }
        runEventsFor(40);
        const Frames f = screen.frames();
        if (!allRead(f)) {
            ++unread;
        } else {
            std::array<int, 4> common{};
            for (int n = 1; n <= 4; ++n)
                common[n - 1] = *f[n - 1] - expected(0, n);
            const auto [low, high] = std::minmax_element(common.begin(), common.end());
            largest = std::max(largest, *high - *low);
            std::fprintf(stderr, "timeline: round %d ends at leader frame %d of %d, gap %d (%d %d %d %d)\n",
                         round, *f[0], lastFrame, *high - *low, common[0], common[1], common[2], common[3]);
        }
        // on to the next round
        if (!leaderWithin(0, lastFrame - int(LoopSeconds * FramesPerSecond / 2))) {
            std::fprintf(stderr, "timeline: the loop never came back to A\n");
            return 1;
        }
    }
    if (unread > 0)
        std::fprintf(stderr, "timeline: %d screenshots did not read\n", unread);
    print("timeline.loop_end_max_gap_frames", largest, "frames", 0);
    program.action("play-or-stop-all");
    std::fprintf(stderr, "timeline: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
