// store: a large library written, loaded and saved again through the real XML store.
#include "BenchCommands.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"
#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace tetrapan::bench {

namespace {

constexpr int Folders = 100;
constexpr int PlaylistsPerFolder = 100;
constexpr int PanesPerPlaylist = 4;

QString eightDigits(int n)
{
    return QStringLiteral("%1").arg(n, 8, 10, QLatin1Char('0'));
}

// Written straight into records, so the figures below measure reading and writing, not building.
RecordMap buildLibrary(const ObjectModel& model)
{
    const EntityDescription* playlist = model.entity(LibrarySchema::Playlist);
    const EntityDescription* filelist = model.entity(LibrarySchema::Filelist);
    const QDateTime date = QDateTime::fromString(QStringLiteral("2026-11-30T18:04:05.000Z"), Qt::ISODateWithMs);
    const auto set = [](Record& r, const char* key, const QVariant& value) {
        r.attributes[r.entity->attributeIndex(QString::fromLatin1(key))] = value;
    };
    const auto relate = [](Record& r, const char* key, ObjectId target) {
        r.relations[r.entity->relationshipIndex(QString::fromLatin1(key))].append(target);
    };
    RecordMap records;
    ObjectId nextId = 1;
    int nextPlist = 1;
    int nextItem = 1;
    for (int f = 0; f < Folders; ++f) {
        const ObjectId folderId = nextId++;
        Record folder = Record::make(playlist);
        set(folder, "uniqueId", eightDigits(nextPlist++));
        set(folder, "title", QStringLiteral("Folder %1").arg(f));
        set(folder, "index", f + 1);
        set(folder, "isFolder", true);
        set(folder, "isExpand", f % 2 == 0);
        set(folder, "frameSet", QString());
        for (int p = 0; p < PlaylistsPerFolder; ++p) {
            const ObjectId listId = nextId++;
            Record list = Record::make(playlist);
            const QString uniqueId = eightDigits(nextPlist++);
            set(list, "uniqueId", uniqueId);
            set(list, "title", QStringLiteral("Match %1-%2").arg(f).arg(p));
            set(list, "index", p + 1);
            set(list, "isFolder", false);
            set(list, "isExpand", false);
            set(list, "frameSet", QStringLiteral("0:0.50:0.25:0.50"));
            relate(list, "parent", folderId);
            relate(folder, "children", listId);
            for (int viewNo = 1; viewNo <= PanesPerPlaylist; ++viewNo) {
                const ObjectId entryId = nextId++;
                Record entry = Record::make(filelist);
                set(entry, "itemId", eightDigits(nextItem++));
                set(entry, "uniqueId", uniqueId);
                set(entry, "viewNo", viewNo);
                set(entry, "filePath", QStringLiteral("/home/ana/clips/match-%1-%2/cam%3.mp4").arg(f).arg(p).arg(viewNo));
                set(entry, "title", QStringLiteral("Cam %1").arg(viewNo));
                set(entry, "playTime", 90 + viewNo);
                set(entry, "fileSize", qint64(31457280) * viewNo);
                set(entry, "fileDate", date);
                if (viewNo == 1) {
                    relate(list, "rlt_filelist", entryId);
                    relate(entry, "rlt_playlist", listId);
                }
                records.insert(entryId, std::move(entry));
            }
            records.insert(listId, std::move(list));
        }
        records.insert(folderId, std::move(folder));
    }
    return records;
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
        if (!XmlStore(path, model).save(buildLibrary(model), error)) {
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
