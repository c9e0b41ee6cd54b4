// store: a library of 12,000 playlists in 120 folders and 40,000 entries, written once, then loaded and saved
// again through the real XML store. Each round loads in a process of its own, as the program loads its
// library at its start: a process that has built and freed a library of its own first reads in a heap
// that no started program has. Prints the medians of the rounds, wall clock and the loading thread's CPU
// (which bends less with a busy machine), and the load average the rounds ran at.
#include "BenchCommands.h"

#include "BenchLibrary.h"
#include "BenchSupport.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tetrapan::bench {

namespace {

constexpr int Rounds = 5;
constexpr const char* MeasureOption = "--measure";

LibraryShape storeShape()
{
    LibraryShape shape;
    shape.folders = 120;
    shape.playlistsPerFolder = 100;
    shape.filePath = [](int folder, int playlist, int viewNo) {
        return QStringLiteral("/home/ana/clips/match-%1-%2/cam%3.mp4").arg(folder).arg(playlist).arg(viewNo);
    };
    return shape;
}

// The round's own peak: getrusage's figure would also count the parent's memory, which a forked child
// carries across exec.
double peakRssMb()
{
    return peakRssMbOf(QCoreApplication::applicationPid());
}

double threadCpuMs()
{
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return used.tv_sec * 1e3 + used.tv_nsec / 1e6;
}

// One round, in the child: the figures on one line of standard output for the parent to read.
int measure(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuAtStart = threadCpuMs();
    StoreCoordinator coordinator(LibrarySchema::model());
    StoreError error;
    if (!coordinator.addXmlStore(path, error)) {
        std::fprintf(stderr, "store: %s\n", qPrintable(error.text()));
        return 1;
    }
    ObjectContext context(coordinator);
    const double loadMs = timer.nsecsElapsed() / 1e6;
    const double loadCpuMs = threadCpuMs() - cpuAtStart;

    // one change so the save has something to write, as after a user's edit
    const ObjectId first = context.fetch(LibrarySchema::Playlist).value(0);
    context.setValue(first, QStringLiteral("title"),
                     QStringLiteral("Renamed %1").arg(QDateTime::currentMSecsSinceEpoch()));
    timer.restart();
    if (!context.save(error)) {
        std::fprintf(stderr, "store: %s\n", qPrintable(error.text()));
        return 1;
    }
    const double saveMs = timer.nsecsElapsed() / 1e6;
    std::printf("%lld %.3f %.3f %.3f %.3f\n", static_cast<long long>(context.records().size()), loadMs,
                loadCpuMs, saveMs, peakRssMb());
    return 0;
}

} // namespace

int runStore(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], MeasureOption) == 0)
        return measure(QString::fromLocal8Bit(argv[2]));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("Tetrapan.xml"));
    {
        const ObjectModel model = LibrarySchema::model();
        StoreError error;
        if (!XmlStore(path, model).save(buildLibrary(model, storeShape()), error)) {
            std::fprintf(stderr, "store: %s\n", qPrintable(error.text()));
            return 1;
        }
    }

    const double loadAtStart = loadAverage();
    std::vector<double> load, loadCpu, save, rss;
    long long records = 0;
    for (int round = 0; round < Rounds; ++round) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("store"), QString::fromLatin1(MeasureOption), path});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            std::fprintf(stderr, "store: round %d failed\n", round + 1);
            return 1;
        }
        double figures[4] = {};
        if (std::sscanf(child.readAllStandardOutput().constData(), "%lld %lf %lf %lf %lf", &records,
                        &figures[0], &figures[1], &figures[2], &figures[3]) != 5) {
            std::fprintf(stderr, "store: round %d printed no figures\n", round + 1);
            return 1;
        }
        load.push_back(figures[0]);
        loadCpu.push_back(figures[1]);
        save.push_back(figures[2]);
        rss.push_back(figures[3]);
        std::fprintf(stderr, "store: round %d: load %.1f ms (CPU %.1f), save %.1f ms\n", round + 1,
                     figures[0], figures[1], figures[2]);
    }

    print("store.records", double(records), "count", 0);
    print("store.file_size_mb", QFile(path).size() / 1048576.0, "MB", 1);
    print("store.load_ms", median(load), "ms", 1);
    print("store.load_max_ms", *std::max_element(load.begin(), load.end()), "ms", 1);
    print("store.load_cpu_ms", median(loadCpu), "ms", 1);
    print("store.save_ms", median(save), "ms", 1);
    print("store.save_max_ms", *std::max_element(save.begin(), save.end()), "ms", 1);
    print("store.peak_rss_mb", median(rss), "MB", 1);
    std::fprintf(stderr, "store: load average %.2f at the start, %.2f at the end\n", loadAtStart,
                 loadAverage());
    return 0;
}

} // namespace tetrapan::bench
