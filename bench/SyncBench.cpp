// tetrapan-bench sync: how long switching playlists takes until four 720p panes show their first frames, and
// whether four panes of a 60 fps clip show the same frame: right after Space, a skip and a Sync with the sync
// lock off, over a minute with it on, and after a seek with it on. Both are read off the X server's screen:
// every frame of the clips carries its number as a barcode.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/MovieView.h"
#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "panes/MovController.h"
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
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int Switches = 5;
constexpr int LockedSeconds = 60;
constexpr int TimeoutMs = 20000;
// Screenshots per figure after a command, a tenth of a second apart; over the locked minute, one every
// fifth of a second.
constexpr int Screenshots = 30;
constexpr int ShotIntervalMs = 100;
constexpr int LockedShotIntervalMs = 200;
constexpr double FramesPerSecond = 60.0;
constexpr double PictureAspect = 16.0 / 9.0;
// After a command the panes play this long before the screenshots start.
constexpr int SteadyMs = 500;
// While waiting for pictures to show, screenshots at most this often.
constexpr int ScreenshotIntervalMs = 5;

// The application's scheduler, noting the moment the playlist load delay runs out.
class TimingScheduler final : public Scheduler {
public:
    QElapsedTimer clock;
    qint64 loadFiredAtNs = -1;
    double cpuAtLoadMs = 0;

    TimingScheduler() { clock.start(); }
    TaskId scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task) override
    {
        if (delay == MovController::ChangeDelay) {
            task = [this, task = std::move(task)] {
                loadFiredAtNs = clock.nsecsElapsed();
                cpuAtLoadMs = ownCpuMs();
                task();
            };
        }
        return inner_.scheduleAfter(delay, std::move(task));
    }
    TaskId scheduleRepeating(std::chrono::milliseconds interval, std::function<void()> task) override
    {
        return inner_.scheduleRepeating(interval, std::move(task));
    }
    void cancel(TaskId id) override { inner_.cancel(id); }
    bool isPending(TaskId id) const override { return inner_.isPending(id); }

private:
    QtScheduler inner_;
};

// The same read from the four barcode bands alone, one after another: for pictures that stand still.
std::array<std::optional<int>, 4> shownBands(test::XServer& x, MainNib& nib)
{
    std::array<std::optional<int>, 4> frames;
    for (int n = 1; n <= 4; ++n) {
        MovieView* view = nib.qtView(n).movieView();
        const QRect picture = test::FrameBarcode::pictureRect(view->size(), PictureAspect)
                                  .translated(view->mapToGlobal(QPoint(0, 0)));
        const QImage band = x.grab(test::FrameBarcode::bandRect(picture));
        frames[n - 1] = band.isNull() ? std::nullopt : test::FrameBarcode::readBand(band);
    }
    return frames;
}

// How far apart the four pictures are, in frames, in each of a series of screenshots; screenshots in which
// a pane's picture does not read (a frame half drawn) are counted apart.
struct Gaps {
    std::vector<int> frames;
    int unread = 0;
    // Per pane, the frames it stood behind the furthest pane, summed over the screenshots that read.
    std::array<int, 4> behind{};
    // The same by the engines' own positions, read with the screenshots, in frames.
    std::array<double, 4> engineBehind{};
};

Gaps shownGaps(BenchProgram& program, int shots, int intervalMs)
{
    MainNib& nib = program.nib();
    Gaps gaps;
    for (int i = 0; i < shots; ++i) {
        const auto frames = program.shownFrames();
        std::array<double, 4> positions{};
        for (int n = 1; n <= 4; ++n) {
            if (Movie* movie = nib.qtView(n).movie())
                positions[n - 1] = movie->positionSeconds() * FramesPerSecond;
        }
        if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
            std::fprintf(stderr, "shot %d: %d %d %d %d\n", i, frames[0].value_or(-1), frames[1].value_or(-1),
                         frames[2].value_or(-1), frames[3].value_or(-1));
        if (std::all_of(frames.begin(), frames.end(), [](const auto& f) { return f.has_value(); })) {
            const auto [low, high] = std::minmax_element(
                frames.begin(), frames.end(), [](const auto& a, const auto& b) { return *a < *b; });
            gaps.frames.push_back(**high - **low);
            const double ahead = *std::max_element(positions.begin(), positions.end());
            for (int n = 0; n < 4; ++n) {
                gaps.behind[n] += **high - *frames[n];
                gaps.engineBehind[n] += ahead - positions[n];
            }
        } else {
            ++gaps.unread;
        }
        runEventsFor(intervalMs);
    }
    return gaps;
}

// The share of screenshots in which all four panes show the same frame, and the largest gap in frames;
// -1 for both when no screenshot read.
void printGaps(const char* name, const Gaps& gaps)
{
    if (gaps.unread > 0)
        std::fprintf(stderr, "sync: %s: %d screenshots did not read\n", name, gaps.unread);
    const auto& f = gaps.frames;
    if (!f.empty()) {
        const double shots = static_cast<double>(f.size());
        std::fprintf(stderr,
                     "sync: %s: panes 1-4 behind the furthest by %.2f %.2f %.2f %.2f frames on average\n",
                     name, gaps.behind[0] / shots, gaps.behind[1] / shots, gaps.behind[2] / shots,
                     gaps.behind[3] / shots);
        std::fprintf(stderr, "sync: %s: by the engines' positions %.2f %.2f %.2f %.2f frames\n", name,
                     gaps.engineBehind[0] / shots, gaps.engineBehind[1] / shots, gaps.engineBehind[2] / shots,
                     gaps.engineBehind[3] / shots);
    }
    const double same =
        f.empty() ? -1 : 100.0 * std::count(f.begin(), f.end(), 0) / static_cast<double>(f.size());
    const double largest = f.empty() ? -1 : *std::max_element(f.begin(), f.end());
    print(QByteArray(name).append("_same_frame_pct").constData(), same, "%", 1);
    print(QByteArray(name).append("_max_gap_frames").constData(), largest, "frames", 0);
}

bool anySeeking(MainNib& nib)
{
    for (int n = 1; n <= 4; ++n) {
        if (auto* movie = qobject_cast<MpvMovie*>(nib.qtView(n).movie()); movie && movie->isSeeking())
            return true;
    }
    return false;
}

} // namespace

int runSync(int argc, char** argv)
{
    int switches = Switches;
    bool switchesOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--switches") == 0 && i + 1 < argc) {
            switches = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--switches-only") == 0) {
            switchesOnly = true;
        } else {
            std::fprintf(stderr, "usage: tetrapan-bench sync [--switches N (%d)] [--switches-only]\n",
                         Switches);
            return 2;
        }
    }
    BenchProgram program("sync", argc, argv);
    auto timingScheduler = std::make_unique<TimingScheduler>();
    TimingScheduler& scheduler = *timingScheduler;
    if (!program.start(std::move(timingScheduler)))
        return 1;
    SettingsDomain& settings = program.settings();
    MainNib& nib = program.nib();
    test::XServer& x = program.x();
    const test::TestClips& clips = program.clips();
    MpvMovieEngine& engine = program.engine();

    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    const ObjectId colours = makePlaylist(context, settings, QStringLiteral("Colours"),
                                          {clips.red, clips.green, clips.blue, clips.yellow});
    const ObjectId bench =
        makePlaylist(context, settings, QStringLiteral("720p"),
                     {clips.benchBarcode, clips.benchBarcode, clips.benchBarcode, clips.benchBarcode});
    MovController& controller = nib.movController();
    const auto choose = [&](ObjectId node) {
        controller.setUniqueId(context.value(node, LibrarySchema::UniqueId).toString());
    };
    // A screenshot of the whole window costs the X server and this process milliseconds of a two-core
    // machine; taken back to back they would hold up the very opening they time. Only the barcodes' bands,
    // one every few ms, still time it to within that.
    QElapsedTimer sinceShot;
    const auto fourShow = [&](auto shows) {
        if (sinceShot.isValid() && sinceShot.elapsed() < ScreenshotIntervalMs)
            return false;
        sinceShot.start();
        const auto frames = shownBands(x, nib);
        return std::all_of(frames.begin(), frames.end(), shows);
    };

    std::vector<double> latencies;
    std::vector<double> loading;
    // what all threads spent on it, which a busy machine stretches less than the time
    std::vector<double> loadingCpu;
    // only the switches to the barcode clips are timed, not the ones back to the colours
    bool timing = false;
    QObject::connect(&controller, &MovController::allMovieViewsChanged, &controller, [&] {
        if (timing && scheduler.loadFiredAtNs >= 0) {
            loading.push_back((scheduler.clock.nsecsElapsed() - scheduler.loadFiredAtNs) / 1e6);
            loadingCpu.push_back(ownCpuMs() - scheduler.cpuAtLoadMs);
        }
    });
    for (int i = 0; i < switches; ++i) {
        choose(colours);
        // the colour clips carry no barcode
        if (!runEventsUntil([&] { return fourShow([](const auto& f) { return !f.has_value(); }); },
                            TimeoutMs)) {
            std::fprintf(stderr, "sync: the colour clips never showed\n");
            return 1;
        }
        // the old cores are gone and the ready ones are ready
        runEventsFor(300);
        runEventsUntil([&] { return engine.readyCoreCount() == 4; }, TimeoutMs);
        scheduler.loadFiredAtNs = -1;
        timing = true;
        choose(bench);
        // switched: all four show the barcode clip's first frame
        if (!runEventsUntil(
                [&] {
                    return scheduler.loadFiredAtNs >= 0 &&
                           fourShow([](const auto& f) { return f.has_value() && *f == 0; });
                },
                TimeoutMs)) {
            std::fprintf(stderr, "sync: the 720p clips never showed their first frames\n");
            return 1;
        }
        timing = false;
        latencies.push_back((scheduler.clock.nsecsElapsed() - scheduler.loadFiredAtNs) / 1e6);
        std::fprintf(
            stderr,
            "sync: switch %d: %.1f ms, of which opening the files %.1f ms (%.1f ms of CPU); load %.2f\n",
            i + 1, latencies.back(), loading.empty() ? -1.0 : loading.back(),
            loadingCpu.empty() ? -1.0 : loadingCpu.back(), loadAverage());
    }
    // How much of the switch the panes spend opening their files, the rest being the first frames' way out.
    std::fprintf(stderr, "sync: opening four files takes %.1f ms of the switch\n", median(loading));
    print("switch.latency_ms", median(latencies), "ms", 1);
    print("switch.opening_cpu_ms", median(loadingCpu), "ms", 1);
    if (switchesOnly)
        return 0;

    // Four panes of the 60 fps clip: Space plays all four from their first frames; a skip forward moves all
    // four, and Sync brings them to one pane's position. After each the panes must play on.
    const ObjectId fast = makePlaylist(
        context, settings, QStringLiteral("60 fps"),
        {clips.benchBarcode60, clips.benchBarcode60, clips.benchBarcode60, clips.benchBarcode60});
    choose(fast);
    // the 720p clip's first frame reads as 0 too, and so does an empty pane's black
    if (!runEventsUntil(
            [&] {
                return !controller.hasPendingLoad() && nib.qtView(4).filePath() == clips.benchBarcode60 &&
                       fourShow([](const auto& f) { return f.has_value() && *f == 0; });
            },
            TimeoutMs)) {
        std::fprintf(stderr, "sync: the 60 fps clips never showed their first frames\n");
        return 1;
    }
    const auto settled = [&](const char* failure) {
        const bool playing = runEventsUntil(
            [&] {
                return !anySeeking(nib) && !controller.hasPendingResume() && controller.anyMovieIsPlaying();
            },
            TimeoutMs);
        if (!playing)
            std::fprintf(stderr, "sync: %s\n", failure);
        return playing;
    };
    const auto lock = [&](bool on) {
        userDefaultsExtension::setDefaultBoolValue(settings, on, QLatin1String(SyncLock::OptSyncLock));
    };
    lock(false);
    controller.changeAllMoviePlay();
    if (!settled("the panes never started playing"))
        return 1;
    runEventsFor(SteadyMs);
    printGaps("sync.unlocked_after_space", shownGaps(program, Screenshots, ShotIntervalMs));

    controller.skipAllMovieTime(MovController::SkipForward);
    if (!settled("the panes never played on after the skip"))
        return 1;
    runEventsFor(SteadyMs);
    printGaps("sync.unlocked_after_skip", shownGaps(program, Screenshots, ShotIntervalMs));

    controller.syncAllMovieTime();
    if (!settled("the panes never played on from the synchronised position"))
        return 1;
    runEventsFor(SteadyMs);
    printGaps("sync.unlocked_after_sync", shownGaps(program, Screenshots, ShotIntervalMs));

    // With the lock on, from the beginning again, for a minute; then a skip back, a seek in every pane.
    controller.setAllMoviePlay(false);
    controller.skipAllMovieTime(MovController::SkipToStart);
    lock(true);
    controller.changeAllMoviePlay();
    if (!settled("the locked panes never started playing"))
        return 1;
    runEventsFor(SteadyMs);
    printGaps("sync.locked",
              shownGaps(program, LockedSeconds * 1000 / LockedShotIntervalMs, LockedShotIntervalMs));

    controller.skipAllMovieTime(MovController::SkipBackward);
    if (!settled("the locked panes never played on after the skip"))
        return 1;
    runEventsFor(SteadyMs);
    const Gaps afterSeek = shownGaps(program, Screenshots, ShotIntervalMs);
    std::vector<double> spreads(afterSeek.frames.begin(), afterSeek.frames.end());
    print("sync.locked_spread_after_seek_ms",
          spreads.empty() ? -1 : median(spreads) * 1000.0 / FramesPerSecond, "ms", 1);
    controller.setAllMoviePlay(false);
    lock(false);
    std::fprintf(stderr, "sync: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
