// tetrapan-bench sync: how long switching playlists takes until four 720p panes show their first frames, and
// whether four panes of a 60 fps clip show the same frame: right after Space, a skip and a Sync with the sync
// lock off, over a minute with it on, and after a seek with it on. The built program is started as a user
// starts it (ChildProgram: its library and settings written before), driven from outside (the media
// controls' Next and Previous, Space and the arrow keys through the X server, `tetrapan --action`), and
// every figure is read off the X server's screen: every frame of the clips carries its number as a barcode.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "ChildProgram.h"

#include "panes/MovController.h"
#include "panes/SyncLock.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int Switches = 5;
constexpr int LockedSeconds = 60;
constexpr int TimeoutMs = 20000;
// After the last switch, before the memory is read: the program gives back what closed movies left free a
// few seconds after they closed.
constexpr int SettleMs = 5000;
// Screenshots per figure after a command, a tenth of a second apart; over the locked minute, one every
// fifth of a second.
constexpr int Screenshots = 30;
constexpr int ShotIntervalMs = 100;
constexpr int LockedShotIntervalMs = 200;
constexpr double FramesPerSecond = 60.0;
// After a command the panes play this long before the screenshots start.
constexpr int SteadyMs = 500;
// While waiting for pictures to show, a look at the barcodes' bands at most this often: looks back to back
// would keep the X server, which the program draws through, busy on one of the two cores.
constexpr int LookIntervalMs = 5;

using Frames = RecordingScreen::Frames;

bool allAre(const Frames& frames, std::optional<int> frame)
{
    return std::all_of(frames.begin(), frames.end(), [&](const auto& f) { return f == frame; });
}

// How far apart the four pictures are, in frames, in each of a series of screenshots; screenshots in which
// a pane's picture does not read (a frame half drawn) are counted apart.
struct Gaps {
    std::vector<int> frames;
    int unread = 0;
    // Per pane, the frames it stood behind the furthest pane, summed over the screenshots that read.
    std::array<int, 4> behind{};
};

Gaps shownGaps(ChildProgram& program, int shots, int intervalMs)
{
    Gaps gaps;
    for (int i = 0; i < shots; ++i) {
        const Frames frames = program.screen().frames();
        if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
            std::fprintf(stderr, "shot %d: %d %d %d %d\n", i, frames[0].value_or(-1), frames[1].value_or(-1),
                         frames[2].value_or(-1), frames[3].value_or(-1));
        if (allRead(frames)) {
            const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
            gaps.frames.push_back(**high - **low);
            for (int n = 0; n < 4; ++n)
                gaps.behind[n] += **high - *frames[n];
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
                     "sync: %s: panes 1-4 behind the furthest by %.2f %.2f %.2f %.2f frames on average "
                     "(load average %.2f)\n",
                     name, gaps.behind[0] / shots, gaps.behind[1] / shots, gaps.behind[2] / shots,
                     gaps.behind[3] / shots, loadAverage());
    }
    const double same =
        f.empty() ? -1 : 100.0 * std::count(f.begin(), f.end(), 0) / static_cast<double>(f.size());
    const double largest = f.empty() ? -1 : *std::max_element(f.begin(), f.end());
    print(QByteArray(name).append("_same_frame_pct").constData(), same, "%", 1);
    print(QByteArray(name).append("_max_gap_frames").constData(), largest, "frames", 0);
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
    ChildBench bench("sync", argc, argv);
    if (!bench.ready())
        return 1;
    const test::TestClips& clips = bench.clips();
    ChildProgram program(bench);
    // in the tree's order: Next from the 720p clips chooses the colours, Previous the 720p clips again
    if (!program.start({{QStringLiteral("720p"), QStringList(4, clips.benchBarcode)},
                        {QStringLiteral("Colours"), {clips.red, clips.green, clips.blue, clips.yellow}},
                        {QStringLiteral("60 fps"), QStringList(4, clips.benchBarcode60)}},
                       {{QLatin1String(SyncLock::OptSyncLock), false}}) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "sync: the 720p clips never showed\n");
        return 1;
    }
    QElapsedTimer sinceLook;
    const auto fourShow = [&](std::optional<int> frame) {
        if (sinceLook.isValid() && sinceLook.elapsed() < LookIntervalMs)
            return false;
        sinceLook.start();
        return allAre(program.bands(), frame);
    };
    // the colour clips show no barcode
    const auto toColours = [&] {
        return program.control("Next") && runEventsUntil([&] { return fourShow(std::nullopt); }, TimeoutMs);
    };

    // From the media controls' call to four first frames, less the delay the panes wait on purpose before
    // they load (so that a quick run through the playlists loads none of those passed).
    const double changeDelayMs = double(MovController::ChangeDelay.count());
    std::vector<double> latencies;
    // what all the program's threads spent from the call to the first frames, which a busy machine
    // stretches less than the time
    std::vector<double> openingCpu;
    for (int i = 0; i < switches; ++i) {
        if (!toColours()) {
            std::fprintf(stderr, "sync: the colour clips never showed\n");
            return 1;
        }
        // the old movies closed and the new ones played out
        runEventsFor(1000);
        const double cpuBefore = cpuSecondsOf(program.pid());
        QElapsedTimer clock;
        clock.start();
        program.control("Previous");
        if (!runEventsUntil([&] { return fourShow(0); }, TimeoutMs)) {
            std::fprintf(stderr, "sync: the 720p clips never showed their first frames\n");
            return 1;
        }
        latencies.push_back(clock.nsecsElapsed() / 1e6 - changeDelayMs);
        openingCpu.push_back((cpuSecondsOf(program.pid()) - cpuBefore) * 1000.0);
        std::fprintf(stderr,
                     "sync: switch %d: %.1f ms after the delay of %.0f ms (%.1f ms of CPU); load %.2f\n",
                     i + 1, latencies.back(), changeDelayMs, openingCpu.back(), loadAverage());
    }
    print("switch.latency_ms", median(latencies), "ms", 1);
    print("switch.opening_cpu_ms", median(openingCpu), "ms", 1);
    // What switching left behind once it settled: the frame buffers the closed movies freed, if the
    // allocator kept them.
    runEventsFor(SettleMs);
    print("switch.resident_settled_mb", residentMbOf(program.pid()), "MB", 0);
    if (switchesOnly)
        return 0;

    // Four panes of the 60 fps clip: Space plays all four from their first frames; a skip forward moves all
    // four, and Sync brings them to one pane's position. After each the panes must play on.
    if (!toColours() || !program.control("Next") || !runEventsUntil([&] { return fourShow(0); }, TimeoutMs) ||
        !program.findPictures(TimeoutMs)) {
        std::fprintf(stderr, "sync: the 60 fps clips never showed their first frames\n");
        return 1;
    }
    runEventsFor(SteadyMs);
    const auto played = [&](const char* failure) {
        const bool playing = program.untilPlaying(TimeoutMs);
        if (!playing)
            std::fprintf(stderr, "sync: %s\n", failure);
        runEventsFor(SteadyMs);
        return playing;
    };
    if (!program.key("space") || !played("the panes never started playing"))
        return 1;
    printGaps("sync.unlocked_after_space", shownGaps(program, Screenshots, ShotIntervalMs));

    if (!program.key("Right") || !played("the panes never played on after the skip"))
        return 1;
    printGaps("sync.unlocked_after_skip", shownGaps(program, Screenshots, ShotIntervalMs));

    if (!program.action("synchronise") || !played("the panes never played on from the synchronised position"))
        return 1;
    printGaps("sync.unlocked_after_sync", shownGaps(program, Screenshots, ShotIntervalMs));

    // With the lock on, from the beginning again, for a minute; then a skip back, a seek in every pane.
    program.key("space");
    runEventsFor(SteadyMs);
    if (!program.key("shift+Left") || !program.action("sync-lock")) {
        std::fprintf(stderr, "sync: the lock could not be turned on\n");
        return 1;
    }
    runEventsFor(SteadyMs);
    if (!program.key("space") || !played("the locked panes never started playing"))
        return 1;
    printGaps("sync.locked",
              shownGaps(program, LockedSeconds * 1000 / LockedShotIntervalMs, LockedShotIntervalMs));

    if (!program.key("Left") || !played("the locked panes never played on after the skip"))
        return 1;
    const Gaps afterSeek = shownGaps(program, Screenshots, ShotIntervalMs);
    std::vector<double> spreads(afterSeek.frames.begin(), afterSeek.frames.end());
    print("sync.locked_spread_after_seek_ms",
          spreads.empty() ? -1 : median(spreads) * 1000.0 / FramesPerSecond, "ms", 1);
    program.key("space");
    std::fprintf(stderr, "sync: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
