// tetrapan-bench recordings: four cameras' recordings of 60 one-minute barcode files each, the first camera
// with two gaps of 30 s, in the four panes of a playlist; every frame read off the X server's screen, where
// the barcodes number the frames on the wall clock, so panes in step show the same number. Figures: opening
// the four recordings (240 files) until four first frames show; boundaries crossed while playing with the
// sync lock on with every pane's frames consecutive, none repeated or skipped; jumps to a wall-clock time by a
// click on the time line until four panes show the right frame; a gap shown as "No recording" and left on the
// right frame; and the longest stall of the GUI thread while a recording of 10,000 files opens.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "RecordingClips.h"

#include "engine/MovieView.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneTimeline.h"
#include "panes/QTMovieSubView.h"
#include "panes/RecordingGapNotice.h"
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
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 30000;
constexpr int Fps = 10;
constexpr int Rounds = 3;
constexpr int Boundaries = 10;
constexpr int Jumps = 20;
constexpr int ShotIntervalMs = 30;
// A frame on show longer than this is a stall or a repeat.
constexpr int LongestHoldMs = 250;
constexpr int HugeFiles = 10000;
// The first camera's gaps: the second halves of its files 20 and 40.
const QSet<int> HalfFiles{20, 40};

using Frames = std::array<std::optional<int>, 4>;

// A black pane reads as frame 0 too: only panes with their movies open count.
bool allOpen(MainNib& nib)
{
    for (int n = 1; n <= 4; ++n) {
        if (!nib.qtView(n).movie())
            return false;
    }
    return !nib.movController().hasPendingLoad();
}

bool allAt(const Frames& frames, int frame)
{
    return std::all_of(frames.begin(), frames.end(), [&](const auto& f) { return f && *f == frame; });
}

ObjectId playlistOf(ObjectContext& context, SettingsDomain& settings, const QString& title, const QStringList& paths)
{
    const ObjectId node = LibraryRules::createNode(context, settings, false);
    context.setValue(node, LibrarySchema::Title, title);
    LibraryRules::placeNode(context, node, NoObject);
    for (int n = 1; n <= paths.size(); ++n) {
        const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
        context.setValue(entry, LibrarySchema::UniqueId, context.value(node, LibrarySchema::UniqueId));
        context.setValue(entry, LibrarySchema::ViewNo, n);
        context.setValue(entry, LibrarySchema::FilePath, paths[n - 1]);
    }
    return node;
}

void click(TimelineBar& bar, int x)
{
    const QPointF at(x, bar.height() / 4);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, bar.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&bar, &event);
    }
}

bool anySeeking(MainNib& nib)
{
    for (int n = 1; n <= 4; ++n) {
        if (Movie* movie = nib.qtView(n).movie(); movie && movie->isSeeking())
            return true;
    }
    return false;
}

// One pane's frames while playing: consecutive, none held longer than LongestHoldMs, `through` among them.
struct Watch {
    std::vector<std::pair<qint64, int>> shown; // when it changed, to what
    bool consecutive(int through) const
    {
        bool crossed = false;
        for (size_t i = 0; i < shown.size(); ++i) {
            crossed = crossed || shown[i].second == through;
            if (i == 0)
                continue;
            if (shown[i].second != shown[i - 1].second + 1)
                return false;
            // the first and last holds are cut by the watch
            if (i >= 2 && shown[i].first - shown[i - 1].first > LongestHoldMs)
                return false;
        }
        return crossed;
    }
};

} // namespace

int runRecordings(int argc, char** argv)
{
    BenchProgram program("recordings", argc, argv);
    if (!program.start(std::make_unique<QtScheduler>()))
        return 1;
    std::fprintf(stderr, "recordings: making 240 one-minute files (kept for the next run)...\n");
    const test::RecordingClips clips = test::RecordingClips::makeForTests(test::RecordingClips::Layout{
        .cameras = {"front", "back", "left", "right"},
        .files = 60,
        .secondsPerFile = 60,
        .framesPerSecond = Fps,
        .size = {256, 144},
        .halfFiles = HalfFiles,
        .silentFiles = {}});
    if (!clips.ok()) {
        std::fprintf(stderr, "recordings: %s\n", qPrintable(clips.error));
        return 1;
    }
    SettingsDomain& settings = program.settings();
    MainNib& nib = program.nib();
    MovController& controller = nib.movController();
    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId four = playlistOf(context, settings, QStringLiteral("cameras"), clips.cameraFolders);
    const QString fourId = context.value(four, LibrarySchema::UniqueId).toString();

    // 1. Opening the four recordings until four first frames show.
    std::vector<double> opens;
    for (int round = 0; round < Rounds; ++round) {
        controller.setUniqueId(QString());
        runEventsUntil([&] { return !controller.hasPendingLoad() && !nib.qtView(1).movie(); }, TimeoutMs);
        runEventsFor(500);
        QElapsedTimer clock;
        clock.start();
        controller.setUniqueId(fourId);
        if (!runEventsUntil([&] { return allOpen(nib) && allAt(program.shownFrames(), 0); }, TimeoutMs)) {
            std::fprintf(stderr, "recordings: the four recordings never showed\n");
            return 1;
        }
        opens.push_back(double(clock.elapsed()));
        std::fprintf(stderr, "recordings: open round %d: %.0f ms\n", round, opens.back());
    }
    print("open-four-recordings-240-files-median", median(opens), "ms", 0);
    print("open-four-recordings-240-files-max", *std::max_element(opens.begin(), opens.end()), "ms", 0);

    nib.mainWindow().showSeekBarAction()->trigger();
    TimelineBar& bar = nib.timelineBar();
    PaneTimeline& timeline = nib.paneTimeline();
    runEventsUntil([&] { return bar.isVisible(); }, TimeoutMs);
    userDefaultsExtension::setDefaultBoolValue(settings, true, QLatin1String(SyncLock::OptSyncLock));
    const auto jumpAndSettle = [&](double seconds) {
        timeline.jumpTo(seconds);
        runEventsUntil([&] { return !anySeeking(nib); }, TimeoutMs);
        runEventsFor(300);
    };
    const auto playWatching = [&](double untilSeconds, const std::function<void(const Frames&, qint64)>& look) {
        controller.setFrameMoviePlay({true, true, true, true});
        QElapsedTimer clock;
        clock.start();
        while (timeline.leaderSeconds() < untilSeconds && clock.elapsed() < TimeoutMs) {
            look(program.shownFrames(), clock.elapsed());
            runEventsFor(ShotIntervalMs);
        }
        controller.setFrameMoviePlay({false, false, false, false});
        runEventsFor(300);
    };

    // 2. Boundaries crossed while playing, the lock on: minutes 3, 8, ... 48, away from the gaps.
    int crossed = 0;
    for (int i = 0; i < Boundaries; ++i) {
        const int boundary = (3 + 5 * i) * 60;
        jumpAndSettle(boundary - 1.5);
        std::array<Watch, 4> watches;
        playWatching(boundary + 1.5, [&](const Frames& frames, qint64 at) {
            for (int n = 0; n < 4; ++n) {
                if (frames[n] && (watches[n].shown.empty() || watches[n].shown.back().second != *frames[n]))
                    watches[n].shown.emplace_back(at, *frames[n]);
            }
        });
        const bool ok = std::all_of(watches.begin(), watches.end(),
                                    [&](const Watch& w) { return w.consecutive(boundary * Fps); });
        crossed += ok ? 1 : 0;
        if (!ok || qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS")) {
            for (int n = 0; n < 4; ++n) {
                QString seen;
                for (const auto& [at, frame] : watches[n].shown)
                    seen += QStringLiteral(" %1@%2").arg(frame).arg(at);
                std::fprintf(stderr, "recordings: boundary %d pane %d:%s\n", boundary, n + 1, qPrintable(seen));
            }
        }
    }
    print("boundaries-crossed-consecutive", crossed, "of 10", 0);

    // 3. Jumps to wall-clock times by a click on the time line, panes stopped, outside the gaps.
    QRandomGenerator random(39);
    std::vector<double> jumps;
    int exact = 0;
    for (int i = 0; i < Jumps; ++i) {
        double target = 0;
        do
            target = 5.0 + random.bounded(3590.0);
        while ((target > 1225 && target < 1265) || (target > 2425 && target < 2465));
        QElapsedTimer clock;
        clock.start();
        click(bar, bar.xOf(target));
        bool right = false;
        while (clock.elapsed() < 3000 && !right) {
            runEventsFor(5);
            const int expected = int(std::floor(timeline.leaderSeconds() * Fps + 1e-6));
            right = !anySeeking(nib) && allAt(program.shownFrames(), expected);
        }
        jumps.push_back(double(clock.elapsed()));
        exact += right ? 1 : 0;
        if (!right)
            std::fprintf(stderr, "recordings: jump %d to %.3f s landed off\n", i, target);
        runEventsFor(400);
    }
    print("jump-to-wall-clock-time-median", median(jumps), "ms", 0);
    print("jump-to-wall-clock-time-max", *std::max_element(jumps.begin(), jumps.end()), "ms", 0);
    print("jumps-exact", exact, "of 20", 0);

    // 4. The gap of the first camera from 20:30 to 21:00: into it, then out of it.
    const auto* notice = nib.qtView(1).movieView()->findChild<RecordingGapNotice*>();
    bool noticeShown = false;
    bool othersPlayed = false;
    jumpAndSettle(1227.0);
    playWatching(1233.0, [&](const Frames& frames, qint64) {
        if (timeline.leaderSeconds() > 1230.3) {
            // black: no barcode, or one of all black stripes
            noticeShown = notice && notice->isVisible() && frames[0].value_or(0) == 0;
            othersPlayed = frames[1] && frames[2] && frames[3];
        }
    });
    print("gap-shows-no-recording", noticeShown && othersPlayed ? 1 : 0, "(1 yes)", 0);
    jumpAndSettle(1257.0);
    int resumedOff = -1;
    playWatching(1262.0, [&](const Frames& frames, qint64) {
        if (timeline.leaderSeconds() > 1260.5 && frames[0] && frames[1])
            resumedOff = std::abs(*frames[0] - *frames[1]);
    });
    print("gap-resumes-frames-off", resumedOff, "frames (0 exact, -1 never)", 0);
    userDefaultsExtension::setDefaultBoolValue(settings, false, QLatin1String(SyncLock::OptSyncLock));

    // 5. A recording of 10,000 files (links to one file, named a minute apart): the GUI thread's longest stall.
    const QString huge = QDir(clips.folder).filePath(QStringLiteral("huge"));
    QDir().mkpath(huge);
    const QString source = clips.recordings[1].pieces.first().path;
    for (int i = 0; i < HugeFiles; ++i) {
        const QString name = QDateTime::fromMSecsSinceEpoch(test::RecordingClips::startMs() + i * 60000LL,
                                                            QTimeZone::utc())
                                 .toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) +
                             QStringLiteral("huge.mp4");
        const QString path = QDir(huge).filePath(name);
        if (!QFile::exists(path) && !QFile::link(source, path))
            return 1;
    }
    const ObjectId one = playlistOf(context, settings, QStringLiteral("huge"), {huge});
    qint64 longest = 0;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.restart());
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticks.start(5);
    controller.setUniqueId(context.value(one, LibrarySchema::UniqueId).toString());
    // no screenshots meanwhile: taking one holds the GUI thread up itself
    const bool loaded = runEventsUntil(
        [&] { return nib.qtView(1).filePath() == huge && nib.qtView(1).movie() && !controller.hasPendingLoad(); },
        300000);
    runEventsFor(500);
    ticks.stop();
    const bool opened = loaded && runEventsUntil([&] { return program.shownFrames()[0].has_value(); }, TimeoutMs);
    print("huge-recording-10000-files-longest-gui-stall", double(longest), "ms", 0);
    print("huge-recording-10000-files-until-first-frame", opened ? double(clock.elapsed()) : -1.0, "ms", 0);
    print("load-average", loadAverage(), "", 2);
    return 0;
}

} // namespace tetrapan::bench
