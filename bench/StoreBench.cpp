// store: a large library written, loaded and saved again through the real XML store.
#include "BenchCommands.h"

#include "BenchLibrary.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace tetrapan::bench {

namespace {

// 10,000 playlists in 100 folders, four entries each.
LibraryShape storeShape()
{
    LibraryShape shape;
    shape.filePath = [](int folder, int playlist, int viewNo) {
        return QStringLiteral("/home/ana/clips/match-%1-%2/cam%3.mp4").arg(folder).arg(playlist).arg(viewNo);
    };
    return shape;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int runStore(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
    const double rssBeforeMb = peakRssMb();

    QElapsedTimer timer;
    timer.start();
    StoreCoordinator coordinator(LibrarySchema::model());
    StoreError error;
    if (!coordinator.addXmlStore(path, error)) {
        std::fprintf(stderr, "store: %s\n", qPrintable(error.text()));
        return 1;
    }
    ObjectContext context(coordinator);
    const double loadMs = timer.nsecsElapsed() / 1e6;

    // one change so the save has something to write, as after a user's edit
    const ObjectId first = context.fetch(LibrarySchema::Playlist).value(0);
    context.setValue(first, QStringLiteral("title"), QStringLiteral("Renamed"));
    timer.restart();
    if (!context.save(error)) {
        std::fprintf(stderr, "store: %s\n", qPrintable(error.text()));
        return 1;
    }
    const double saveMs = timer.nsecsElapsed() / 1e6;

    std::printf("store.records: %lld count\n", static_cast<long long>(context.records().size()));
    std::printf("store.file_size_mb: %.1f MB\n", QFile(path).size() / 1048576.0);
    std::printf("store.load_ms: %.1f ms\n", loadMs);
    std::printf("store.save_ms: %.1f ms\n", saveMs);
    std::printf("store.peak_rss_mb: %.1f MB\n", peakRssMb());
    std::printf("store.build_peak_rss_mb: %.1f MB\n", rssBeforeMb);
    return 0;
}

} // namespace tetrapan::bench
