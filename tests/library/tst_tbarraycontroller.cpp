#include "FakeDialogPresenter.h"
#include "FakeMovie.h"
#include "LibraryFixture.h"
#include "library/FilelistArrayController.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "platform/userDefaultsExtension.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
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

class TestTBArrayController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void placingIntoAnOccupiedPaneRewritesItsEntry()
    {
        Fixture f;
        const QDateTime early(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);
        const QDateTime late(QDate(2021, 6, 7), QTime(8, 9, 10), Qt::UTC);
        const QString a = f.file("a.mp4", 1000, early);
        const QString b = f.file("b.mp4", 2000, early);
        const QString c = f.file("c.mp4", 3000, late);
        FakeMovie movieA(a, seconds(10, 1), "Cam A");
        FakeMovie movieC(c, seconds(20, 1));

        f.tb.createFilelist(1, &movieA, a, "00000007");
        f.tb.createFilelist(2, nullptr, b, "00000007");
        QList<ObjectId> entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        const ObjectId first = entries[0];
        QCOMPARE(f.text(first, "itemId"), QStringLiteral("00000001"));
        QCOMPARE(f.text(entries[1], "itemId"), QStringLiteral("00000002"));
        QCOMPARE(f.text(first, "title"), QStringLiteral("Cam A"));
        QCOMPARE(f.context.value(first, "playTime").toInt(), 10);

        f.tb.createFilelist(1, &movieC, c, "00000007");
        entries = f.entriesOf("00000007");
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.contains(first));
        QCOMPARE(f.text(first, "itemId"), QStringLiteral("00000001"));
        QCOMPARE(f.context.value(first, "viewNo").toInt(), 1);
        QCOMPARE(f.text(first, "filePath"), c);
        QCOMPARE(f.text(first, "title"), QStringLiteral("c.mp4"));
        QCOMPARE(f.context.value(first, "playTime").toInt(), 20);
        QCOMPARE(f.context.value(first, "fileSize").toLongLong(), qint64(3000));
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

    void refusedPlacementsShowTheAlert_data()
    {
        QTest::addColumn<int>("viewNo");
        QTest::addColumn<QString>("uniqueId");
        QTest::newRow("view 0") << 0 << "00000001";
        QTest::newRow("negative view") << -2 << "00000001";
        QTest::newRow("no playlist") << 1 << "";
    }
    void refusedPlacementsShowTheAlert()
    {
        QFETCH(int, viewNo);
        QFETCH(QString, uniqueId);
        Fixture f;
        f.tb.createFilelist(viewNo, nullptr, f.file("x.mp4", 1), uniqueId);
        QCOMPARE(f.dialogs.alerts.size(), 1);
        QCOMPARE(f.dialogs.alerts[0].messageText, QStringLiteral("Can not create item."));
        QCOMPARE(f.dialogs.alerts[0].buttons, QStringList{"Cancel"});
        QVERIFY(f.context.fetch("filelist").isEmpty());
        QVERIFY(!f.context.hasChanges());
        QCOMPARE(userDefaultsExtension::defaultIntValue(f.settings, "optUniqueNoForFlist"), 0);
    }

    void playTimeAndTitleFromTheMovie_data()
    {
        QTest::addColumn<bool>("hasMovie");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("scale");
        QTest::addColumn<uint>("flags");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("playTime");
        QTest::addColumn<QString>("title");
        QTest::newRow("125 s at 600") << true << qint64(75000) << 600 << 0u << "Match" << 125 << "Match";
        QTest::newRow("90.9 s truncated") << true << qint64(90900) << 1000 << 0u << "" << 90 << "clip.mov";
        QTest::newRow("no time scale") << true << qint64(5000) << 0 << 0u << "" << 0 << "clip.mov";
        QTest::newRow("never ends") << true << qint64(5000) << 600 << uint(MovieTime::Indefinite) << "" << 0
                                    << "clip.mov";
        QTest::newRow("three hours in 90 kHz")
            << true << qint64(10800) * 90000 << 90000 << 0u << "" << 10800 << "clip.mov";
        QTest::newRow("no movie") << false << qint64(0) << 0 << 0u << "" << 0 << "clip.mov";
    }
    void playTimeAndTitleFromTheMovie()
    {
        QFETCH(bool, hasMovie);
        QFETCH(qint64, value);
        QFETCH(int, scale);
        QFETCH(uint, flags);
        QFETCH(QString, tag);
        QFETCH(int, playTime);
        QFETCH(QString, title);
        Fixture f;
        const QString path = f.file("clip.mov", 10);
        FakeMovie movie(path, seconds(value, scale, flags), tag);
        f.tb.createFilelist(3, hasMovie ? &movie : nullptr, path, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QCOMPARE(f.context.value(entry, "playTime").toInt(), playTime);
        QCOMPARE(f.text(entry, "title"), title);
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

    void missingFileStillGetsItsEntry()
    {
        Fixture f;
        const QString path = QDir(f.dir.path()).filePath("gone.mov");
        f.tb.createFilelist(2, nullptr, path, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QVERIFY(entry != NoObject);
        QCOMPARE(f.text(entry, "filePath"), path);
        QCOMPARE(f.text(entry, "title"), QStringLiteral("gone.mov"));
        QCOMPARE(f.context.value(entry, "fileSize").toLongLong(), qint64(0));
        QVERIFY(!f.context.value(entry, "fileDate").isValid());
    }

    void linkIsStoredAsItsTarget()
    {
        Fixture f;
        const QString target = f.file("real.mov", 4096);
        const QString link = QDir(f.dir.path()).filePath("shortcut.mov");
        QVERIFY(QFile::link(target, link));
        f.tb.createFilelist(4, nullptr, link, "00000001");
        const ObjectId entry = f.entriesOf("00000001").value(0);
        QCOMPARE(f.text(entry, "filePath"), target);
        QCOMPARE(f.text(entry, "title"), QStringLiteral("real.mov"));
        QCOMPARE(f.context.value(entry, "fileSize").toLongLong(), qint64(4096));
    }

    void removingAPaneRemovesOnlyItsEntry()
    {
        Fixture f;
        const ObjectId one = f.entry("00000001", 1);
        const ObjectId three = f.entry("00000001", 3);
        const ObjectId otherList = f.entry("00000002", 3);
        f.tb.removeFilelist(0, "00000001");
        f.tb.removeFilelist(3, "");
        QCOMPARE(f.context.fetch("filelist").size(), 3);
        f.tb.removeFilelist(3, "00000001");
        QCOMPARE(f.context.fetch("filelist"), (QList<ObjectId>{one, otherList}));
        Q_UNUSED(three);
        f.tb.removeFilelistWithPlaylist("00000001");
        QCOMPARE(f.context.fetch("filelist"), QList<ObjectId>{otherList});
    }

    void linksAreKeptOnBothSides()
    {
        Fixture f;
        const ObjectId list = f.node("00000001");
        const ObjectId e1 = f.entry("00000002", 1);
        const ObjectId e2 = f.entry("00000002", 2);
        f.tb.addRelationToPlaylist(list, {e1, e2, e1});
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), (QList<ObjectId>{e1, e2}));
        QCOMPARE(f.context.relatedObjects(e1, "rlt_playlist"), QList<ObjectId>{list});
        QCOMPARE(f.context.relatedObjects(e2, "rlt_playlist"), QList<ObjectId>{list});

        f.tb.removeRelationFromPlaylist(list, {e1});
        QCOMPARE(f.context.relatedObjects(list, "rlt_filelist"), QList<ObjectId>{e2});
        QVERIFY(f.context.relatedObjects(e1, "rlt_playlist").isEmpty());

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

    void frameSetCommands_data()
    {
        QTest::addColumn<int>("select"); // 0 none, 1 playlist, 2 folder
        QTest::addColumn<QVariant>("frameSet");
        QTest::addColumn<bool>("canLoad");
        QTest::addColumn<bool>("canEdit");
        QTest::newRow("nothing selected") << 0 << QVariant() << false << false;
        QTest::newRow("playlist without frame set") << 1 << QVariant("") << false << true;
        QTest::newRow("playlist never given one") << 1 << QVariant() << false << true;
        QTest::newRow("playlist with frame set") << 1 << QVariant("0:0.50:0.25:0.50") << true << true;
        QTest::newRow("folder") << 2 << QVariant("") << false << false;
        QTest::newRow("folder with frame set") << 2 << QVariant("0:0.50:0.25:0.50") << false << false;
    }
    void frameSetCommands()
    {
        QFETCH(int, select);
        QFETCH(QVariant, frameSet);
        QFETCH(bool, canLoad);
        QFETCH(bool, canEdit);
        Fixture f;
        const ObjectId folder = f.node("00000001", true);
        const ObjectId playlist = f.node("00000002", false, folder);
        f.context.setValue(select == 2 ? folder : playlist, "frameSet", frameSet);
        if (select != 0)
            QVERIFY(f.tree.setSelectedObject(select == 2 ? folder : playlist));
        QCOMPARE(f.tb.canLoadFrameSet(), canLoad);
        QCOMPARE(f.tb.canEditFrameSet(), canEdit);
    }

    void steppingTheFileListSelection_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("direction");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<int>("after");
        QTest::newRow("previous from the first") << 3 << 0 << 1 << false << 0;
        QTest::newRow("next from the first") << 3 << 0 << 0 << true << 1;
        QTest::newRow("next from the last") << 3 << 2 << 0 << false << 2;
        QTest::newRow("previous from the last") << 3 << 2 << -1 << true << 1;
        QTest::newRow("single entry, next") << 1 << 0 << 0 << false << 0;
        QTest::newRow("single entry, previous") << 1 << 0 << 1 << false << 0;
        QTest::newRow("nothing selected") << 3 << -1 << 0 << false << -1;
        QTest::newRow("empty list") << 0 << -1 << 1 << false << -1;
    }
    void steppingTheFileListSelection()
    {
        QFETCH(int, entries);
        QFETCH(int, selected);
        QFETCH(int, direction);
        QFETCH(bool, moved);
        QFETCH(int, after);
        Fixture f;
        for (int n = entries; n >= 1; --n)
            f.entry("00000001", n);
        f.showPlaylist("00000001");
        f.files.setSelectionIndex(selected);
        const QList<ObjectId> before = f.context.fetch("filelist");
        QCOMPARE(f.tb.canMoveIndexFilelist(direction), moved);
        QCOMPARE(f.tb.moveIndexFilelist(direction), moved);
        QCOMPARE(f.files.selectionIndex(), after);
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
        QCOMPARE(f.tb.getSelectedObject("filelist"), a2);
        QCOMPARE(f.tb.getColumnFromFilelist("viewNo"), QVariant(2));
        QCOMPARE(f.tb.getMatchPredicate("playlist").format(), QStringLiteral("uniqueId == \"00000001\""));

        // a selection that survives the new filter is kept
        f.files.setSelectionIndex(1);
        f.tb.setFilelistFilterPredicate(Predicate::equals("uniqueId", "00000001"), "");
        QCOMPARE(f.tb.getSelectedObjects("filelist"), QList<ObjectId>{a4});

        // only the playlist search type is remembered
        f.tb.setFilelistFilterPredicate({}, "other");
        QCOMPARE(f.tb.getArrangedObjects("filelist").size(), 3);
        QCOMPARE(f.tb.getMatchPredicate("playlist").format(), QStringLiteral("uniqueId == \"00000001\""));
        QVERIFY(f.tb.getMatchPredicate("other").isEmpty());
    }

    void otherEntityNamesNameNoList()
    {
        Fixture f;
        f.node("00000001");
        f.entry("00000001", 1);
        f.showPlaylist("00000001");
        QVERIFY(f.tb.getArrangedObjects("movie").isEmpty());
        QVERIFY(f.tb.getSelectedObjects("movie").isEmpty());
        QCOMPARE(f.tb.getSelectedObject("movie"), NoObject);
        QCOMPARE(f.tb.getManagedObjectContext("movie"), nullptr);
        QCOMPARE(f.tb.getManagedObjectContext("filelist"), &f.context);
        QCOMPARE(f.tb.getManagedObjectContext("playlist"), &f.context);
        QVERIFY(f.tb.getAllObjects("movie").isEmpty());
        QCOMPARE(f.tb.getMaxIntValueFromColumn("filelist", "itemId"), 0);
        QCOMPARE(f.tb.getAllObjects("playlist").size(), 1);
    }
};

// QAction, the usual sender of a link command, needs the gui application
QTEST_MAIN(TestTBArrayController)
#include "tst_tbarraycontroller.moc"
