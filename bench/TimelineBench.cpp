// tetrapan-bench timeline: the seek bar of all panes and the A–B loop on four 720p panes of a barcode clip
// whose frames carry their numbers, read off the X server's screen. Panes 2 to 4 have offsets against
// pane 1, the leader. Figures: after a drag released at a random point (paused), whether every pane shows
// the leader's frame plus its offset; how many new pictures a pane shows per second while the bar is
// dragged; and, with the sync lock off, how far apart the panes are at the end of each round of a 2 s loop.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/MovieView.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr double FramesPerSecond = 30.0;
// Whole frames, so that every pane's frame is the leader's plus a whole number.
constexpr std::array<qint64, 4> OffsetsMs{0, 1000, 2000, -500};
constexpr int Drags = 20;
constexpr int SweepMs = 4000;
constexpr int MoveIntervalMs = 16;
// Screenshots while dragging: often enough to see 20 new pictures a second, seldom enough to leave the
// decoders the processors (a screenshot of the window costs milliseconds of both).
constexpr int DragShotIntervalMs = 30;
constexpr int LoopRounds = 10;
constexpr double LoopSeconds = 2.0;

using Frames = std::array<std::optional<int>, 4>;

bool allRead(const Frames& frames)
{
    return std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); });
}

bool anySeeking(MainNib& nib)
{
    for (int n = 1; n <= 4; ++n) {
        if (Movie* movie = nib.qtView(n).movie(); movie && movie->isSeeking())
            return true;
    }
    return false;
}

void mouse(QWidget& bar, QEvent::Type type, int x)
{
    const QPointF at(x, bar.height() / 2);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, bar.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &event);
}

} // namespace

int runTimeline(int argc, char** argv)
{
    BenchProgram program("timeline", argc, argv);
    if (!program.start(std::make_unique<QtScheduler>()))
        return 1;
    SettingsDomain& settings = program.settings();
    MainNib& nib = program.nib();
    const test::TestClips& clips = program.clips();
    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId node = LibraryRules::createNode(context, settings, false);
    context.setValue(node, LibrarySchema::Title, QStringLiteral("720p"));
    LibraryRules::placeNode(context, node, NoObject);
    for (int n = 1; n <= 4; ++n) {
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
        context.setValue(entry, LibrarySchema::ViewNo, n);
        context.setValue(entry, LibrarySchema::FilePath, clips.benchBarcode);
    }
    MovController& controller = nib.movController();
    controller.setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
    if (!runEventsUntil(
            [&] {
                const Frames f = program.shownFrames();
                return !controller.hasPendingLoad() && allRead(f) && *f[0] == 0;
            },
            TimeoutMs)) {
        std::fprintf(stderr, "timeline: the 720p clips never showed\n");
        return 1;
    }
    for (int n = 1; n <= 4; ++n)
        controller.offsets().setOffsetMs(n, OffsetsMs[n - 1]);
    nib.mainWindow().showSeekBarAction()->trigger();
    TimelineBar& bar = nib.timelineBar();
    PaneTimeline& timeline = nib.paneTimeline();
    if (!runEventsUntil([&] { return bar.isVisible() && timeline.lengthSeconds() > 30; }, TimeoutMs)) {
        std::fprintf(stderr, "timeline: the seek bar never showed\n");
        return 1;
    }
    runEventsFor(300);
    const auto settle = [&] {
        runEventsUntil([&] { return !anySeeking(nib); }, TimeoutMs);
        runEventsFor(250);
    };
    // the offsets keep every pane within its movie between 3 s and 35 s of the leader's
    const auto expected = [](int leaderFrame, int n) {
        return leaderFrame + static_cast<int>(OffsetsMs[n - 1] * FramesPerSecond / 1000);
    };

    QRandomGenerator random(26);
    int landed = 0;
    for (int i = 0; i < Drags; ++i) {
        const int from = bar.xOf(3.0 + random.bounded(32.0));
        const int to = bar.xOf(3.0 + random.bounded(32.0));
        mouse(bar, QEvent::MouseButtonPress, from);
        for (int step = 1; step <= 10; ++step) {
            runEventsFor(MoveIntervalMs);
            mouse(bar, QEvent::MouseMove, from + (to - from) * step / 10);
        }
        mouse(bar, QEvent::MouseButtonRelease, to);
        settle();
        const Frames f = program.shownFrames();
        bool all = allRead(f);
        for (int n = 2; all && n <= 4; ++n)
            all = *f[n - 1] == expected(*f[0], n);
        landed += all ? 1 : 0;
        if (!all || qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
            std::fprintf(stderr, "timeline: drag %d to %.3f s: %d %d %d %d\n", i, bar.secondsAt(to),
                         f[0].value_or(-1), f[1].value_or(-1), f[2].value_or(-1), f[3].value_or(-1));
    }
    print("timeline.release_on_offset_frames", landed, "of 20", 0);

    // a steady drag over most of the time line
    std::array<int, 4> changes{};
    Frames last;
    int shots = 0;
    const int sweepFrom = bar.xOf(2.0);
    const int sweepTo = bar.xOf(36.0);
    QElapsedTimer sweep;
    mouse(bar, QEvent::MouseButtonPress, sweepFrom);
    sweep.start();
    QElapsedTimer sinceMove;
    sinceMove.start();
    QElapsedTimer sinceShot;
    sinceShot.start();
    while (sweep.elapsed() < SweepMs) {
        if (sinceMove.elapsed() >= MoveIntervalMs) {
            sinceMove.start();
            mouse(bar, QEvent::MouseMove,
                  sweepFrom + static_cast<int>((sweepTo - sweepFrom) * sweep.elapsed() / double(SweepMs)));
        }
        if (sinceShot.elapsed() < DragShotIntervalMs) {
            runEventsFor(1);
            continue;
        }
        sinceShot.start();
        const Frames f = program.shownFrames();
        ++shots;
        for (int n = 0; n < 4; ++n) {
            if (f[n] && last[n] && *f[n] != *last[n])
                ++changes[n];
            if (f[n])
                last[n] = f[n];
        }
        runEventsFor(1);
    }
    mouse(bar, QEvent::MouseButtonRelease, sweepTo);
    const double seconds = sweep.elapsed() / 1000.0;
    std::fprintf(stderr, "timeline: %d screenshots over %.1f s; new pictures per pane %d %d %d %d\n", shots,
                 seconds, changes[0], changes[1], changes[2], changes[3]);
    print("timeline.drag_pictures_per_second", *std::min_element(changes.begin(), changes.end()) / seconds,
          "pictures/s (slowest pane)", 1);
    settle();

    // the A–B loop, the lock off: just before B, every round, how far apart the panes are
    userDefaultsExtension::setDefaultBoolValue(settings, false, QLatin1String(SyncLock::OptSyncLock));
    timeline.seekAll(10.0, false);
    settle();
    timeline.changeLoop();
    timeline.seekAll(10.0 + LoopSeconds, false);
    settle();
    timeline.changeLoop();
    timeline.seekAll(10.0, false);
    settle();
    controller.changeAllMoviePlay();
    const int lastFrame = static_cast<int>((10.0 + LoopSeconds) * FramesPerSecond);
    int largest = -1;
    int unread = 0;
    for (int round = 0; round < LoopRounds; ++round) {
        // into the round's last tenth of a second
        if (!runEventsUntil([&] { return timeline.leaderSeconds() > 10.0 + LoopSeconds - 0.15; },
                            TimeoutMs)) {
            std::fprintf(stderr, "timeline: the loop never came near B\n");
            return 1;
        }
        runEventsFor(40);
        const Frames f = program.shownFrames();
        if (!allRead(f)) {
            ++unread;
        } else {
            std::array<int, 4> common{};
            for (int n = 1; n <= 4; ++n)
                common[n - 1] = *f[n - 1] - expected(0, n);
            const auto [low, high] = std::minmax_element(common.begin(), common.end());
            largest = std::max(largest, *high - *low);
            std::fprintf(stderr, "timeline: round %d ends at leader frame %d of %d, gap %d\n", round, *f[0],
                         lastFrame, *high - *low);
        }
        // on to the next round
        runEventsUntil([&] { return timeline.leaderSeconds() < 10.0 + LoopSeconds / 2; }, TimeoutMs);
    }
    if (unread > 0)
        std::fprintf(stderr, "timeline: %d screenshots did not read\n", unread);
    print("timeline.loop_end_max_gap_frames", largest, "frames", 0);
    controller.setAllMoviePlay(false);
    std::fprintf(stderr, "timeline: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
