#include "FakeDialogPresenter.h"
#include "FakeMovie.h"
#include "LibraryFixture.h"
#include "library/FilelistArrayController.h"
#include "library/LibraryRules.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "platform/userDefaultsExtension.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::FakeDialogPresenter;
using tetrapan::test::FakeMovie;

namespace {

struct Fixture : tetrapan::test::LibraryFixture {
    FakeDialogPresenter dialogs;
    FilelistArrayController files{context};
    PlaylistTreeController tree{context};
    TBArrayController tb{context, settings, dialogs};

    Fixture()
    {
        tb.filelistArrayController = &files;
        tb.playlistTreeController = &tree;
        tb.awakeFromNib();
    }

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

    void showPlaylist(const QString& uniqueId)
    {
        tb.setFilelistFilterPredicate(Predicate::equals("uniqueId", uniqueId), "playlist");
    }
};

MovieTime seconds(qint64 value, qint32 scale, quint32 flags = MovieTime::NoFlags)
{
    return MovieTime{value, scale, flags};
}

} // namespace

// The library controller and the rules it builds on: numbering, placing, linking, filtering.
class TestTBArrayController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // the rules for new nodes and their numbers, below the controller
    void firstNodesOfAnEmptyLibraryShareOneCounter()
    {
        tetrapan::test::LibraryFixture f;
        const ObjectId playlist = LibraryRules::createNode(f.context, f.settings, false);
        const ObjectId folder = LibraryRules::createNode(f.context, f.settings, true);
        const QString keys = QStringLiteral("uniqueId title isFolder isExpand index frameSet");
        QCOMPARE(f.values(playlist, keys), QStringLiteral("00000001|New Playlist|false|false|0|"));
        QCOMPARE(f.values(folder, keys), QStringLiteral("00000002|New Folder|true|false|0|"));
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForPlist"), 2);
    }

    // After the settings are lost the numbers continue above the largest one the library holds.
    void counterRebuiltFromTheLibrary_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("counter");
        QTest::addColumn<QString>("next");
        QTest::newRow("empty library") << QStringList() << 0 << "00000001";
        QTest::newRow("1 to 7, unordered")
            << QStringList{"00000003", "00000007", "00000001", "00000002", "00000006", "00000004", "00000005"}
            << 0 << "00000008";
        QTest::newRow("counter below 1") << QStringList{"00000004"} << -3 << "00000005";
        QTest::newRow("counter wins when set") << QStringList{"00000004"} << 20 << "00000021";
        QTest::newRow("eight to nine digits") << QStringList{"99999998"} << 0 << "99999999";
        QTest::newRow("nine digits outrank eight")
            << QStringList{"99999999", "100000000"} << 0 << "100000001";
    }
    void counterRebuiltFromTheLibrary()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, counter);
        QFETCH(QString, next);
        tetrapan::test::LibraryFixture f;
        for (const QString& id : stored)
            f.node(id);
        if (counter != 0)
            userDefaultsExtension::setDefaultIntValue(f.settings, counter, "optUniqueNoForPlist");
        const ObjectId created = LibraryRules::createNode(f.context, f.settings, false);
        QCOMPARE(f.text(created, "uniqueId"), next);
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForPlist"), next.toInt());
    }

    void maxIntValueReadsLeadingNumbers()
    {
        tetrapan::test::LibraryFixture f;
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "itemId"), 0);
        f.entry("00000001", 1, "00000004");
        f.entry("00000001", 2, "12abc");
        f.entry("00000001", 3);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "itemId"), 12);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "filelist", "viewNo"), 3);
        QCOMPARE(LibraryRules::maxIntValue(f.context, "nothing", "itemId"), 0);
    }

    void newNodeGoesAfterItsSiblings()
    {
        tetrapan::test::LibraryFixture f;
        const ObjectId folder = f.node("00000001", true, NoObject, 0);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, folder), 1);
        f.node("00000002", false, folder, 0);
        f.node("00000003", false, folder, 2);
        f.node("00000004", false, NoObject, 5);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, folder), 3);
        QCOMPARE(LibraryRules::nextChildIndex(f.context, NoObject), 6);

        const ObjectId added = LibraryRules::createNode(f.context, f.settings, false);
        LibraryRules::placeNode(f.context, added, folder);
        QCOMPARE(f.context.relatedObject(added, "parent"), folder);
        QCOMPARE(f.context.value(added, "index").toInt(), 3);
    }

    // the controller
    void placingIntoAnOccupiedPaneRewritesItsEntry()
    {
        Fixture f;
        const QDateTime early(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
        const QDateTime late(QDate(2021, 6, 7), QTime(8, 9, 10), Qt::UTC);
        const QString a = f.file("a.mp4", 1000, early);
        const QString c = f.file("c.mp4", 3000, late);
        FakeMovie movieA(a, seconds(10, 1), "Cam A");
        FakeMovie movieC(c, seconds(20, 1));
        const QString keys = QStringLiteral("itemId viewNo filePath title playTime fileSize");

        f.tb.createFilelist(1, &movieA, a, "00000007");
        f.tb.createFilelist(2, nullptr, f.file("b.mp4", 2000, early), "00000007");
        QList<ObjectId> entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        const ObjectId first = entries[0];
        QCOMPARE(f.values(first, keys), "00000001|1|" + a + "|Cam A|10|1000");
        QCOMPARE(f.text(entries[1], "itemId"), QStringLiteral("00000002"));

        f.tb.createFilelist(1, &movieC, c, "00000007");
        entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.contains(first));
        QCOMPARE(f.values(first, keys), "00000001|1|" + c + "|c.mp4|20|3000");
        QCOMPARE(f.context.value(first, "fileDate").toDateTime(), late);
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 2);
    }

    void entryNumbersContinueFromTheLibraryWhenTheCounterIsGone()
    {
        Fixture f;
        for (int n = 1; n <= 4; ++n)
            f.entry("00000001", n, QStringLiteral("0000000%1").arg(n));
        f.tb.createFilelist(1, nullptr, f.file("x.mp4", 1), "00000002");
        const QList<ObjectId> made = f.entriesOf("00000002");
        QCOMPARE(made.size(), 1);
        QCOMPARE(f.text(made[0], "itemId"), QStringLiteral("00000005"));
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 5);
    }

    void refusedPlacementsShowTheAlert()
    {
        // pane 0, a negative pane, no playlist
        for (const auto& [viewNo, uniqueId] : {std::pair{0, "00000001"}, {-2, "00000001"}, {1, ""}}) {
            Fixture f;
            f.tb.createFilelist(viewNo, nullptr, f.file("x.mp4", 1), uniqueId);
            QCOMPARE(f.dialogs.alerts.size(), 1);
            QCOMPARE(f.dialogs.alerts[0].messageText, QStringLiteral("Can not create item."));
            QCOMPARE(f.dialogs.alerts[0].buttons, QStringList{"Cancel"});
            QVERIFY(f.context.fetch("filelist").isEmpty());
            QVERIFY(!f.context.hasChanges());
            QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 0);
        }
    }

    void playTimeAndTitleFromTheMovie_data()
    {
        QTest::addColumn<bool>("hasMovie");
        QTest::addColumn<MovieTime>("duration");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("playTime");
        QTest::addColumn<QString>("title");
        const auto row = [](const char* name, bool hasMovie, MovieTime duration, const char* tag,
                            int playTime) {
            QTest::newRow(name) << hasMovie << duration << QString(tag) << playTime
                                << (*tag ? QString(tag) : QStringLiteral("clip.mov"));
        };
        row("125 s at 600", true, seconds(75000, 600), "Match", 125);
        row("90.9 s truncated", true, seconds(90900, 1000), "", 90);
        row("no time scale", true, seconds(5000, 0), "", 0);
        row("never ends", true, seconds(5000, 600, MovieTime::Indefinite), "", 0);
        row("three hours in 90 kHz", true, seconds(qint64(10800) * 90000, 90000), "", 10800);
        row("no movie", false, seconds(0, 0), "", 0);
    }
    void playTimeAndTitleFromTheMovie()
    {
        QFETCH(bool, hasMovie);
        QFETCH(MovieTime, duration);
        QFETCH(QString, tag);
        Fixture f;
        const QString path = f.file("clip.mov", 10);
        FakeMovie movie(path, duration, tag);
        f.tb.createFilelist(3, hasMovie ? &movie : nullptr, path, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QTEST(f.context.value(entry, "playTime").toInt(), "playTime");
        QTEST(f.text(entry, "title"), "title");
    }

    void fileOfThreeGigabytesKeepsItsSize()
    {
        Fixture f;
        const QString path = QDir(f.dir.path()).filePath("big.mov");
        const qint64 threeGB = qint64(3) << 30;
        {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly));
            if (!big.resize(threeGB))
                QSKIP("this file system cannot hold a sparse file of 3 GB");
        }
        f.tb.createFilelist(1, nullptr, path, "00000001");
        QCOMPARE(f.context.value(f.entriesOf("00000001").value(0), "fileSize").toLongLong(), threeGB);
    }

    // a missing file still gets its entry; a link is stored as what it points to
    void missingFileAndLink()
    {
        Fixture f;
        const QString gone = QDir(f.dir.path()).filePath("gone.mov");
        const QString target = f.file("real.mov", 4096);
        const QString link = QDir(f.dir.path()).filePath("shortcut.mov");
        QVERIFY(QFile::link(target, link));
        f.tb.createFilelist(2, nullptr, gone, "00000001");
        f.tb.createFilelist(4, nullptr, link, "00000002");
        const QString keys = QStringLiteral("filePath title fileSize");
        QCOMPARE(f.values(f.entriesOf("00000001").value(0), keys + " fileDate"), gone + "|gone.mov|0|-");
        QCOMPARE(f.values(f.entriesOf("00000002").value(0), keys), target + "|real.mov|4096");
    }

    // Some file systems (tmpfs, btrfs) date a file in the year 10000, which the library file cannot hold:
    // the entry is made without a date rather than making the next save unreadable.
    void fileDatedInTheYear10000GetsNoDate()
    {
        Fixture f;
        QTemporaryDir memory(QStringLiteral("/dev/shm/tetrapan-XXXXXX"));
        const QString path = QDir(memory.isValid() ? memory.path() : f.dir.path()).filePath("future.mp4");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("m");
        file.flush();
        const QDateTime future(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC);
        if (!file.setFileTime(future, QFileDevice::FileModificationTime) ||
            QFileInfo(path).lastModified().toUTC() != future)
            QSKIP("no file system here dates a file in the year 10000");
        f.tb.createFilelist(1, nullptr, path, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QCOMPARE(f.values(entry, "filePath fileSize fileDate"), path + "|1|-");
    }

    void removingAPaneRemovesOnlyItsEntry()
    {
        Fixture f;
        const ObjectId one = f.entry("00000001", 1);
        f.entry("00000001", 3);
        const ObjectId otherList = f.entry("00000002", 3);
        const ObjectId ofNone = f.entry("", 3);
        f.tb.removeFilelist(0, "00000001");
        f.tb.removeFilelist(3, "");
        f.tb.removeFilelistWithPlaylist("");
        QCOMPARE(f.context.fetch("filelist").size(), 4);
        f.tb.removeFilelist(3, "00000001");
        QCOMPARE(f.context.fetch("filelist"), (QList<ObjectId>{one, otherList, ofNone}));
        f.tb.removeFilelistWithPlaylist("00000001");
        QCOMPARE(f.context.fetch("filelist"), (QList<ObjectId>{otherList, ofNone}));
    }

    void linksSkipDuplicatesAndWrongKinds()
    {
        Fixture f;
        const ObjectId list = f.node("00000001");
        const ObjectId e1 = f.entry("00000002", 1);
        const ObjectId e2 = f.entry("00000002", 2);
        f.tb.addRelationToPlaylist(list, {e1, e2, e1});
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), (QList<ObjectId>{e1, e2}));
        QCOMPARE(f.context.relatedObjects(e2, "rlt_playlist"), QList<ObjectId>{list});
        f.tb.removeRelationFromPlaylist(list, {e1});
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), QList<ObjectId>{e2});
        // records of the wrong kind are passed over rather than linked
        f.tb.addRelationToPlaylist(e1, {e2});
        f.tb.addRelationToPlaylist(list, {list});
        f.tb.addRelationToPlaylist(NoObject, {e1});
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), QList<ObjectId>{e2});
        QVERIFY(f.context.relatedObjects(e1, "rlt_playlist").isEmpty());
    }

    void linkingTheSelectedEntriesFromAMenu()
    {
        Fixture f;
        const ObjectId list = f.node("00000001");
        f.entry("00000002", 1);
        const ObjectId e2 = f.entry("00000002", 2);
        QAction item;
        item.setData(QVariant::fromValue(list));

        f.showPlaylist("00000002");
        f.files.setSelectionIndex(1);
        f.tb.addRelationToSelectedPlaylist(&item);
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), QList<ObjectId>{e2});

        QObject button;
        button.setProperty("representedObject", QVariant::fromValue(list));
        f.files.setSelectionIndex(0);
        f.tb.addRelationToSelectedPlaylist(&button);
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist").size(), 2);

        QAction nothing;
        f.files.setSelectionIndex(1);
        f.tb.addRelationToSelectedPlaylist(&nothing);
        f.tb.addRelationToSelectedPlaylist(nullptr);
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist").size(), 2);
    }

    // a frame set loads only from a playlist that has one; any playlist can be given one, a folder cannot
    void frameSetCommands()
    {
        Fixture f;
        const ObjectId folder = f.node("00000001", true);
        const ObjectId playlist = f.node("00000002", false, folder);
        const auto can = [&f] {
            return QString("%1%2").arg(f.tb.canLoadFrameSet()).arg(f.tb.canEditFrameSet());
        };
        QCOMPARE(can(), QStringLiteral("00")); // nothing selected
        QVERIFY(f.tree.setSelectedObject(playlist));
        QCOMPARE(can(), QStringLiteral("01"));
        f.context.setValue(playlist, "frameSet", QVariant());
        QCOMPARE(can(), QStringLiteral("01"));
        f.context.setValue(playlist, "frameSet", "0:0.50:0.25:0.50");
        QCOMPARE(can(), QStringLiteral("11"));
        f.context.setValue(folder, "frameSet", "0:0.50:0.25:0.50");
        QVERIFY(f.tree.setSelectedObject(folder));
        QCOMPARE(can(), QStringLiteral("00"));
    }

    // direction 0 is next, any other previous; the list itself never changes
    void steppingTheFileListSelection()
    {
        Fixture f;
        QVERIFY(!f.tb.canMoveIndexFilelist(0) && !f.tb.moveIndexFilelist(1)); // empty list
        for (int n = 3; n >= 1; --n)
            f.entry("00000001", n);
        f.entry("00000002", 1);
        f.showPlaylist("00000001");
        const QList<ObjectId> before = f.context.fetch("filelist");
        QString trail;
        for (int direction : {1, 0, 0, 0, -1, -1}) {
            trail += QString::number(f.tb.canMoveIndexFilelist(direction));
            trail += QString::number(f.tb.moveIndexFilelist(direction));
            trail += QString::number(f.files.selectionIndex()) + QLatin1Char(' ');
        }
        QCOMPARE(trail, QStringLiteral("000 111 112 002 111 110 "));
        f.files.setSelectionIndex(-1);
        QVERIFY(!f.tb.moveIndexFilelist(0));
        QCOMPARE(f.files.selectionIndex(), -1);
        f.showPlaylist("00000002");
        QVERIFY(!f.tb.moveIndexFilelist(0) && !f.tb.moveIndexFilelist(1));
        QCOMPARE(f.context.fetch("filelist"), before);
    }

    void filteringShowsOnePlaylistAndSelectsItsFirstEntry()
    {
        Fixture f;
        const ObjectId a4 = f.entry("00000001", 4);
        const ObjectId a2 = f.entry("00000001", 2);
        const ObjectId b1 = f.entry("00000002", 1);
        QCOMPARE(f.tb.getArrangedObjects("filelist"), (QList<ObjectId>{b1, a2, a4}));

        f.tb.setFilelistFilterPredicate(Predicate::equals("uniqueId", ""), "playlist");
        QVERIFY(f.tb.getArrangedObjects("filelist").isEmpty());
        QVERIFY(f.tb.getSelectedObjects("filelist").isEmpty());
        QCOMPARE(f.tb.getColumnFromFilelist("filePath"), QVariant(QStringLiteral("")));
        QVERIFY(f.tb.getColumnArrayFromFilelist("filePath").isEmpty());

        f.showPlaylist("00000001");
        QCOMPARE(f.tb.getArrangedObjects("filelist"), (QList<ObjectId>{a2, a4}));
        QCOMPARE(f.tb.getSelectedObjects("filelist"), QList<ObjectId>{a2});
        QCOMPARE(f.tb.getColumnFromFilelist("viewNo"), QVariant(2));
        // only the playlist search type is remembered
        f.tb.setFilelistFilterPredicate({}, "other");
        QCOMPARE(f.tb.getArrangedObjects("filelist").size(), 3);
        QCOMPARE(f.tb.getMatchPredicate("playlist").format(), QStringLiteral("uniqueId == \"00000001\""));
        QVERIFY(f.tb.getMatchPredicate("other").isEmpty());
    }
};

// QAction, the usual sender of a link command, needs the gui application
QTEST_MAIN(TestTBArrayController)
#include "tst_tbarraycontroller.moc"
