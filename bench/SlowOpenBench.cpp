// tetrapan-bench slowopen --slow PATH [--normal PATH]: three panes play while the fourth opens a movie, once
// from a normal folder and once from PATH, a file whose first read answers late (a slow disk, a network
// folder that hangs; scripts/slow-mirror.py makes one). Prints how long the GUI thread went without turning
// its event loop, the panes' dropped frames and the memory the open left behind.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"

#include "engine/MpvMovie.h"
#include "engine/MpvMovieEngine.h"
#include "panes/QTMovieSubView.h"
#include "platform/Scheduler.h"
#include "shell/MainNib.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <optional>

namespace tetrapan::bench {

namespace {

// What the program holds in memory now, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0;
}

qint64 droppedByPlaying(MainNib& nib)
{
    qint64 dropped = 0;
    for (int n = 1; n <= 3; ++n) {
        if (const auto* movie = qobject_cast<MpvMovie*>(nib.qtView(n).movie()))
            dropped += movie->droppedFrameCount();
    }
    return dropped;
}

struct Open {
    double ms = -1;
    double longestStallMs = 0;
    double residentGrowthMb = 0;
    qint64 dropped = 0;
};

// Opens path in pane 4 while the others play, turning a 1 ms timer to see how long the event loop stalls.
Open openWhilePlaying(MainNib& nib, const QString& path)
{
    Open open;
    QTMovieSubView& pane = nib.qtView(4);
    pane.clearMovieView();
    runEventsFor(2000); // the old core is gone, memory settles
    const double residentBefore = residentMb();
    const qint64 droppedBefore = droppedByPlaying(nib);
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        open.longestStallMs = std::max(open.longestStallMs, double(clock.elapsed() - lastTick));
        lastTick = clock.elapsed();
    });
    ticks.start(1);
    std::optional<bool> opened;
    pane.createMovieView(path, [&](QTMovieSubView::OpenOutcome outcome, const QString& problem) {
        opened = outcome == QTMovieSubView::OpenOutcome::Opened;
        if (!*opened)
            std::fprintf(stderr, "slowopen: %s: %s\n", qPrintable(path), qPrintable(problem));
    });
    runEventsUntil([&] { return opened.has_value(); }, 30000);
    open.ms = opened.value_or(false) ? double(clock.elapsed()) : -1;
    runEventsFor(2000);
    ticks.stop();
    open.dropped = droppedByPlaying(nib) - droppedBefore;
    open.residentGrowthMb = residentMb() - residentBefore;
    return open;
}

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
    BenchProgram program("slowopen", argc, argv);
    if (!program.start(std::make_unique<QtScheduler>()))
        return 1;
    MainNib& nib = program.nib();
    const QString clip = program.clips().benchBarcode60;
    if (normal.isEmpty())
        normal = clip;
    for (int n = 1; n <= 3; ++n)
        nib.qtView(n).createMovieView(clip);
    if (!runEventsUntil([&] { return nib.qtView(1).movie() && nib.qtView(2).movie() && nib.qtView(3).movie(); },
                        30000)) {
        std::fprintf(stderr, "slowopen: the three panes never opened\n");
        return 1;
    }
    for (int n = 1; n <= 3; ++n)
        nib.qtView(n).setMoviePlay(true);
    runEventsFor(2000);

    const Open fromNormal = openWhilePlaying(nib, normal);
    const Open fromSlow = openWhilePlaying(nib, slow);
    std::fprintf(stderr, "slowopen: normal folder: open %.0f ms, longest stall %.0f ms, %lld dropped\n",
                 fromNormal.ms, fromNormal.longestStallMs, static_cast<long long>(fromNormal.dropped));
    print("slowopen.open_ms", fromSlow.ms, "ms", 0);
    print("slowopen.gui_longest_stall_ms", fromSlow.longestStallMs, "ms", 0);
    print("slowopen.dropped_frames", double(fromSlow.dropped), "frames", 0);
    print("slowopen.resident_growth_mb", fromSlow.residentGrowthMb, "MB", 1);
    print("slowopen.normal_resident_growth_mb", fromNormal.residentGrowthMb, "MB", 1);
    print("slowopen.normal_longest_stall_ms", fromNormal.longestStallMs, "ms", 0);
    return fromSlow.ms < 0 ? 1 : 0;
}

} // namespace tetrapan::bench
