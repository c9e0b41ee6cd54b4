#include "FakeDialogPresenter.h"
#include "FakeMovie.h"
#include "LibraryFixture.h"
#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/TBArrayController.h"
#include "platform/userDefaultsExtension.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::FakeDialogPresenter;
using tetrapan::test::FakeMovie;

namespace {

struct Fixture : tetrapan::test::LibraryFixture {
    FakeDialogPresenter dialogs;
    FilelistArrayController files{context};
    TBArrayController tb{context, settings, dialogs};

    Fixture() { tb.filelistArrayController = &files; }

    QString file(const QString& name, qint64 size, const QDateTime& modified = {})
    {
        const QString path = QDir(dir.path()).filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(size, 'm')) != size)
            return {};
        // the buffered bytes reach the file first, or writing them would stamp it again
        f.flush();
        if (modified.isValid())
            f.setFileTime(modified, QFileDevice::FileModificationTime);
        return path;
    }

    QList<ObjectId> entriesOf(const QString& uniqueId)
    {
        return context.fetch("filelist", Predicate::equals("uniqueId", uniqueId));
    }
};

} // namespace

// The library controller and the rules it builds on: numbering, file entries, filtering.
class TestTBArrayController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The rules for new nodes, below the controller: their first values, and one counter for playlists and
    // folders alike; after the settings are lost the numbers continue above the largest the library holds.
    void counterRebuiltFromTheLibrary_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("next"); // a playlist's identifier, then a folder's
        QTest::addColumn<QString>("then");
        const auto row = [](const char* name, const QStringList& stored, int counter, const char* next,
                            const char* then) { QTest::newRow(name) << stored << counter << next << then; };
        row("empty library", {}, 0, "00000001", "00000002");
        row("1 to 7, unordered",
            {"00000003", "00000007", "00000001", "00000002", "00000006", "00000004", "00000005"}, 0,
            "00000008", "00000009");
        row("counter below 1", {"00000004"}, -3, "00000005", "00000006");
        row("counter wins when set", {"00000004"}, 20, "00000021", "00000022");
        // an older library brought back: a number the counter gave again would make two playlists one
        row("counter behind the library", {"00000009", "00000002"}, 3, "00000010", "00000011");
        row("counter at the largest int", {"00000002"}, 2147483647, "00000001", "00000003");
        row("eight to nine digits", {"99999998"}, 0, "99999999", "100000000");
        row("nine digits outrank eight", {"99999999", "100000000"}, 0, "100000001", "100000002");
        row("read by their leading number", {"00000012abc", "9"}, 0, "00000013", "00000014");
        row("negative ones keep their sign", {"-00000009"}, 0, "-00000008", "-00000007");
    }
    void counterRebuiltFromTheLibrary()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, counter);
        QFETCH(QString, next);
        QFETCH(QString, then);
        tetrapan::test::LibraryFixture f;
        for (const QString& id : stored)
            f.node(id);
        if (counter != 0)
            userDefaultsExtension::setDefaultIntValue(f.settings, counter, "optUniqueNoForPlist");
        const ObjectId playlist = LibraryRules::createNode(f.context, f.settings, false);
        const ObjectId folder = LibraryRules::createNode(f.context, f.settings, true);
        const QString keys = QStringLiteral("uniqueId title isFolder isExpand index frameSet");
        QCOMPARE(f.values(playlist, keys), next + "|New Playlist|false|false|0|");
        QCOMPARE(f.values(folder, keys), then + "|New Folder|true|false|0|");
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForPlist"), then.toInt());
        // a title taken is numbered, one that holds "%1" too
        f.context.setValue(playlist, LibrarySchema::Title, QStringLiteral("a%1b"));
        QCOMPARE(LibraryRules::uniqueTitle(f.context, NoObject, QStringLiteral("a%1b"), folder),
                 QStringLiteral("a%1b 2"));
    }

    // An entry's number continues above the largest the library holds when the counter is gone; placing
    // into an occupied pane rewrites that pane's entry, and no other playlist's.
    void placingIntoAnOccupiedPaneRewritesItsEntry()
    {
        Fixture f;
        for (int n = 1; n <= 4; ++n)
            f.context.setValue(f.entry("00000001", n), "itemId", QStringLiteral("0000000%1").arg(n));
        const QDateTime early(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
        const QDateTime late(QDate(2021, 6, 7), QTime(8, 9, 10), Qt::UTC);
        const QString a = f.file("a.mp4", 1000, early);
        const QString c = f.file("c.mp4", 3000, late);
        FakeMovie movieA(a, MovieTime{10, 1}, "Cam A");
        FakeMovie movieC(c, MovieTime{20, 1});
        const QString keys = QStringLiteral("itemId viewNo filePath title playTime fileSize");

        f.tb.createFilelist(1, &movieA, a, "00000007");
        f.tb.createFilelist(2, nullptr, f.file("b.mp4", 2000, early), "00000007");
        QList<ObjectId> entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        const ObjectId first = entries[0];
        QCOMPARE(f.values(first, keys), "00000005|1|" + a + "|Cam A|10|1000");
        QCOMPARE(f.values(entries[1], "itemId"), QStringLiteral("00000006"));

        f.tb.createFilelist(1, &movieC, c, "00000007");
        entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.contains(first));
        QCOMPARE(f.values(first, keys), "00000005|1|" + c + "|c.mp4|20|3000");
        QCOMPARE(f.context.value(first, "fileDate").toDateTime(), late);
        QCOMPARE(f.entriesOf("00000001").size(), 4);
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 6);
    }

    // a playlist without an identifier (a library written by hand) takes no entry
    void placingWithoutAPlaylistShowsTheAlert()
    {
        Fixture f;
        f.tb.createFilelist(1, nullptr, f.file("x.mp4", 1), "");
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.dialogs.alerts[0].messageText, QStringLiteral("Can not create item."));
        QVERIFY(f.context.fetch("filelist").isEmpty());
        QVERIFY(!f.context.hasChanges());
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 0);
    }

    void playTimeAndTitleFromTheMovie_data()
    {
        QTest::addColumn<MovieTime>("duration");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("playTime");
        const auto row = [](const char* name, MovieTime duration, const char* tag, int playTime) {
            QTest::newRow(name) << duration << QString(tag) << playTime;
        };
        row("125 s at 600", MovieTime{75000, 600}, "Match", 125);
        row("90.9 s truncated", MovieTime{90900, 1000}, "", 90);
        row("no time scale", MovieTime{5000, 0}, "", 0);
        row("never ends", MovieTime{5000, 600, MovieTime::Indefinite}, "", 0);
        row("three hours in 90 kHz", MovieTime{qint64(10800) * 90000, 90000}, "", 10800);
    }
    void playTimeAndTitleFromTheMovie()
    {
        QFETCH(MovieTime, duration);
        QFETCH(QString, tag);
        Fixture f;
        const QString path = f.file("clip.mov", 10);
        FakeMovie movie(path, duration, tag);
        f.tb.createFilelist(3, &movie, path, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QTEST(f.context.value(entry, "playTime").toInt(), "playTime");
        QCOMPARE(f.values(entry, "title"), tag.isEmpty() ? QStringLiteral("clip.mov") : tag);
    }

    // What an entry keeps of the file placed: a link as what it finally points to, a folder as the sum of
    // everything below it; a file that is not there (a broken link too) as given, without size or date.
    void whatAnEntryKeepsOfItsFile_data()
    {
        QTest::addColumn<QString>("placed");
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("dated");
        const auto row = [](const char* name, const char* placed, const char* path, qint64 size, bool dated) {
            QTest::newRow(name) << QString(placed) << QString(path) << size << dated;
        };
        row("a file", "real.mov", "real.mov", 4096, true);
        row("three gigabytes", "big.mov", "big.mov", qint64(3) << 30, true);
        row("a link", "link", "real.mov", 4096, true);
        row("a link to a link", "link2", "real.mov", 4096, true);
        row("a missing file", "gone.mov", "gone.mov", 0, false);
        row("a broken link", "broken", "broken", 0, false);
        row("links in a loop", "loopA", "loopA", 0, false);
        // a folder is a recording, sized by its listing (noteRecording), not here
        row("a folder", "tree", "tree", 0, true);
    }
    void whatAnEntryKeepsOfItsFile()
    {
        QFETCH(QString, placed);
        QFETCH(QString, path);
        QFETCH(qint64, size);
        Fixture f;
        const QDir dir(f.dir.path());
        QVERIFY(dir.mkpath(QStringLiteral("tree/sub/deeper")));
        const QString files = QStringLiteral(
            "real.mov:4096 tree/a:1000 tree/.hidden:24 tree/sub/b:2000 tree/sub/deeper/c:48576");
        for (const QString& file : files.split(QLatin1Char(' ')))
            QVERIFY(!f.file(file.section(':', 0, 0), file.section(':', 1).toInt()).isEmpty());
        const QString links = QStringLiteral(
            "link>real.mov link2>link broken>gone.mov loopA>loopB loopB>loopA tree/sub/up>tree");
        for (const QString& link : links.split(QLatin1Char(' ')))
            QVERIFY(QFile::link(dir.filePath(link.section('>', 1)), dir.filePath(link.section('>', 0, 0))));
        if (placed == QLatin1String("big.mov")) {
            QFile big(dir.filePath(placed));
            if (!big.open(QIODevice::WriteOnly) || !big.resize(size))
                QSKIP("this file system cannot hold a sparse file of 3 GB");
        }
        f.tb.createFilelist(1, nullptr, dir.filePath(placed), "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QCOMPARE(
            f.values(entry, "filePath title fileSize"),
            QStringList({dir.filePath(path), QFileInfo(path).fileName(), QString::number(size)}).join('|'));
        QTEST(f.context.value(entry, "fileDate").isValid(), "dated");
    }

    void filteringShowsOnePlaylistAndSelectsItsFirstEntry()
    {
        Fixture f;
        const ObjectId a4 = f.entry("00000001", 4);
        const ObjectId a2 = f.entry("00000001", 2);
        f.entry("00000002", 1);
        f.tb.setFilelistFilterPredicate(Predicate::equals("uniqueId", "00000001"), "playlist");
        QCOMPARE(f.tb.getArrangedObjects("filelist"), (QList<ObjectId>{a2, a4}));
        QCOMPARE(f.tb.getSelectedObjects("filelist"), QList<ObjectId>{a2});
        QCOMPARE(f.tb.getColumnFromFilelist("viewNo"), QVariant(2));
    }
};

QTEST_GUILESS_MAIN(TestTBArrayController)
#include "tst_tbarraycontroller.moc"
