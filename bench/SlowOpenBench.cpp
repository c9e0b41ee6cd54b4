// tetrapan-bench slowopen --slow PATH [--normal PATH]: three panes play while the fourth opens a movie, once
// from a normal folder and once from PATH, a file whose first read answers late (a slow disk, a network
// folder that hangs; scripts/slow-mirror.py makes one). The built program as a user starts it (a home of its
// own, its library written before, on a session bus of the bench's own), the file chosen as the user does:
// File > Open Movie Into > Pane 4 (`tetrapan --action`) and the path typed into the file panel through the X
// server. Prints the longest wait for the media controls' answers meanwhile (answered on the GUI thread: its
// longest stall), the frames the playing panes dropped (as the program tells when they stop) and the resident
// memory the open left behind (the child's, from /proc).
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "OutsideProgram.h"
#include "TestClips.h"
#include "VirtualDisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 30000;
const QString Title = QStringLiteral("Three playing");
const QRect Window(0, 0, 1280, 720);

struct Open {
    double ms = -1;
    double longestStallMs = 0;
    double residentGrowthMb = 0;
    qint64 dropped = 0;
};

class SlowOpen {
public:
    SlowOpen(Outside& program, test::XServer& x) : program_(program), x_(x), controls_(program.bus) {}

    bool paneShows(int viewNo)
    {
        const QPoint spot = paneSpotOnScreen(program_.main.geometry, viewNo);
        return showsPicture(x_.grab(QRect(spot - QPoint(16, 16), QSize(32, 32))));
    }

    // Sends Play or Stop All, then the frames the panes' movies dropped so far by their stop lines (when it
    // stopped them).
    qint64 playOrStop(const QString& leaveOut)
    {
        const qsizetype from = program_.process->errors().size();
        action(program_, "play-or-stop-all");
        runEventsFor(500);
        return droppedInStopLines(program_.process->errors(), from, leaveOut);
    }

    // Opens the file into pane 4 while panes 1 to 3 play, from a stop and an empty pane 4; stops them after.
    Open openWhilePlaying(const QString& path)
    {
        Open open;
        if (paneShows(4)) {
            action(program_, "remove", 4);
            runEventsFor(2000); // the old core is gone, memory settles
        }
        playOrStop(path);
        runEventsFor(1000);
        const qint64 droppedBefore = playOrStop(path);
        playOrStop(path);
        runEventsFor(1000);
        const double residentBefore = residentMbOf(program_.pid());
        const test::XServer::Window panel = action(program_, "open-movie-into-pane-4")
                                                ? program_.process->window(QStringLiteral("Open"))
                                                : test::XServer::Window();
        if (panel.id == XCB_WINDOW_NONE) {
            std::fprintf(stderr, "slowopen: the file panel never showed\n");
            return open;
        }
        x_.focus(panel);
        runEventsFor(300);
        typeText(path);
        runEventsFor(300);
        QElapsedTimer clock;
        clock.start();
        pressKeys({QStringLiteral("Return")});
        std::fprintf(stderr, "slowopen: opening %s\n", qPrintable(path));
        bool shown = false;
        open.longestStallMs = controls_.longestGuiWait([&] { return shown = paneShows(4); }, TimeoutMs);
        open.ms = shown ? clock.nsecsElapsed() / 1e6 : -1;
        std::fprintf(stderr,
                     "slowopen: shown after %.0f ms; the longest stall until then %.0f ms, at %.0f ms\n",
                     open.ms, open.longestStallMs, controls_.longestWaitAtMs());
        open.longestStallMs =
            std::max(open.longestStallMs, controls_.longestGuiWait([] { return false; }, 2000));
        open.residentGrowthMb = residentMbOf(program_.pid()) - residentBefore;
        open.dropped = playOrStop(path) - droppedBefore;
        if (!shown)
            std::fprintf(stderr, "slowopen: %s never showed in pane 4\n", qPrintable(path));
        return open;
    }

private:
    Outside& program_;
    test::XServer& x_;
    PlayerControls controls_;
};

} // namespace

int runSlowOpen(int argc, char** argv)
{
    QString slow;
    QString normal;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--slow") == 0)
            slow = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--normal") == 0)
            normal = QString::fromLocal8Bit(argv[++i]);
    }
    if (slow.isEmpty()) {
        std::fprintf(stderr, "usage: tetrapan-bench slowopen --slow PATH [--normal PATH]\n");
        return 2;
    }
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "slowopen: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const test::TestClips clips =
        test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    test::SessionBus bus;
    if (!clips.ok() || bus.address().isEmpty()) {
        std::fprintf(stderr, "slowopen: no clips or session bus (%s)\n", qPrintable(clips.error));
        return 1;
    }
    const QString clip = clips.benchBarcode60;
    // another file than the playing panes', so that its stop lines tell apart
    if (normal.isEmpty())
        normal = clips.benchBarcode30;
    Outside program;
    if (!startOutside(program, bus.address(), Title, {clip, clip, clip}, Window)) {
        std::fprintf(stderr, "slowopen: the program did not start\n");
        return 1;
    }
    test::XServer x;
    SlowOpen bench(program, x);
    if (!runEventsUntil([&] { return bench.paneShows(1) && bench.paneShows(2) && bench.paneShows(3); },
                        TimeoutMs)) {
        std::fprintf(stderr, "slowopen: the three panes never showed\n");
        return 1;
    }
    std::fprintf(stderr, "slowopen: load average %.2f\n", loadAverage());
    const Open fromNormal = bench.openWhilePlaying(normal);
    const Open fromSlow = bench.openWhilePlaying(slow);
    std::fprintf(stderr, "slowopen: normal folder: open %.0f ms, longest stall %.0f ms, %lld dropped\n",
                 fromNormal.ms, fromNormal.longestStallMs, static_cast<long long>(fromNormal.dropped));
    print("slowopen.open_ms", fromSlow.ms, "ms", 0);
    print("slowopen.gui_longest_stall_ms", fromSlow.longestStallMs, "ms", 0);
    print("slowopen.dropped_frames", double(fromSlow.dropped), "frames", 0);
    print("slowopen.resident_growth_mb", fromSlow.residentGrowthMb, "MB", 1);
    print("slowopen.normal_resident_growth_mb", fromNormal.residentGrowthMb, "MB", 1);
    print("slowopen.normal_longest_stall_ms", fromNormal.longestStallMs, "ms", 0);
    std::fprintf(stderr, "slowopen: load average %.2f\n", loadAverage());
    program.process->quit();
    return fromSlow.ms < 0 ? 1 : 0;
}

} // namespace tetrapan::bench
