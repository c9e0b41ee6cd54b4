#include "BenchLibrary.h"

#include "library/LibrarySchema.h"

#include <QDateTime>

namespace tetrapan::bench {

namespace {
constexpr int PanesPerPlaylist = 4;
} // namespace

QString eightDigits(int n)
{
    return QStringLiteral("%1").arg(n, 8, 10, QLatin1Char('0'));
}

RecordMap buildLibrary(const ObjectModel& model, const LibraryShape& shape)
{
    const EntityDescription* playlist = model.entity(LibrarySchema::Playlist);
    const EntityDescription* filelist = model.entity(LibrarySchema::Filelist);
    const QDateTime date =
        QDateTime::fromString(QStringLiteral("2026-11-30T18:04:05.000Z"), Qt::ISODateWithMs);
    const auto set = [](Record& r, const char* key, const QVariant& value) {
        r.attributes.set(r.entity->attributeIndex(QString::fromLatin1(key)), value);
    };
    const auto relate = [](Record& r, const char* key, ObjectId target) {
        r.relations[r.entity->relationshipIndex(QString::fromLatin1(key))].append(target);
    };
    RecordMap records;
    ObjectId nextId = 1;
    int nextPlist = 1;
    int nextItem = 1;
    int entries = 0;
    for (int f = 0; f < shape.folders; ++f) {
        const ObjectId folderId = nextId++;
        Record folder = Record::make(playlist);
        set(folder, "uniqueId", eightDigits(nextPlist++));
        set(folder, "title", QStringLiteral("Folder %1").arg(f));
        set(folder, "index", f + 1);
        set(folder, "isFolder", true);
        set(folder, "isExpand", f % 2 == 0);
        set(folder, "frameSet", QString());
        for (int p = 0; p < shape.playlistsPerFolder; ++p) {
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
            for (int viewNo = 1; viewNo <= PanesPerPlaylist && entries < shape.entries; ++viewNo, ++entries) {
                const ObjectId entryId = nextId++;
                Record entry = Record::make(filelist);
                set(entry, "itemId", eightDigits(nextItem++));
                set(entry, "uniqueId", uniqueId);
                set(entry, "viewNo", viewNo);
                set(entry, "filePath", shape.filePath(f, p, viewNo));
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

} // namespace tetrapan::bench
