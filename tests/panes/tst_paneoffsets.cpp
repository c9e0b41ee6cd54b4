// Offsets between panes: "Set Offset Here" keeps a pane's lead or lag against the leading pane, Sync Time
// applies the offsets within each movie, undo takes an offset back, and the library file keeps them (files
// from before offsets, and a damaged offset, read as none).
#include "PaneFixture.h"

#include "panes/PaneOffsets.h"

#include <QFile>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {

// Four panes on one playlist, each with its entry and a minute-long movie.
struct OffsetFixture : LibraryPaneFixture {
    ObjectId list = NoObject;

    OffsetFixture()
    {
        list = playlist("match");
        for (int n = 1; n <= 4; ++n)
            entry(list, n, clip("cam.mp4"));
        show(list);
    }
    void at(int viewNo, double seconds) { movieOf(viewNo)->moveTo(at600(seconds)); }
    double seconds(int viewNo) { return movieOf(viewNo)->currentTime().seconds(); }
};

} // namespace

class TestPaneOffsets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setOffsetHereKeepsTheLeadAgainstTheLeader_data()
    {
        QTest::addColumn<int>("viewNo");
        QTest::addColumn<double>("paneSeconds");
        QTest::addColumn<qint64>("leaderOffset");
        QTest::addColumn<bool>("firstSqueezed");
        QTest::addColumn<qint64>("expected");
        // the leader stands at 10 s
        QTest::newRow("ahead") << 3 << 12.5 << qint64(0) << false << qint64(2500);
        QTest::newRow("behind") << 4 << 8.0 << qint64(0) << false << qint64(-2000);
        QTest::newRow("leader has an offset of its own")
            << 2 << 12.0 << qint64(1000) << false << qint64(3000);
        QTest::newRow("on the leader: nothing changes") << 1 << 14.0 << qint64(1000) << false << qint64(1000);
        QTest::newRow("pane 1 squeezed away: pane 2 leads") << 3 << 9.0 << qint64(0) << true << qint64(-1000);
    }

    void setOffsetHereKeepsTheLeadAgainstTheLeader()
    {
        QFETCH(int, viewNo);
        QFETCH(double, paneSeconds);
        QFETCH(qint64, leaderOffset);
        QFETCH(bool, firstSqueezed);
        QFETCH(qint64, expected);
        OffsetFixture f;
        const int leader = firstSqueezed ? 2 : 1;
        if (firstSqueezed)
            f.pane(1).resize(0, 150);
        QCOMPARE(f.controller.offsets().leaderViewNo(), leader);
        f.controller.offsets().setOffsetMs(leader, leaderOffset);
        f.at(leader, 10.0);
        if (viewNo != leader)
            f.at(viewNo, paneSeconds);
        QCOMPARE(f.controller.offsets().canChangeOffset(viewNo), viewNo != leader);

        f.pane(viewNo).changeMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(viewNo), expected);
        // Synchronising now leaves every pane where it stands.
        f.controller.syncAllMovieTime();
        QCOMPARE(f.seconds(viewNo), viewNo == leader ? 10.0 : paneSeconds);
        QCOMPARE(f.seconds(leader), 10.0);
    }

    void syncPlacesEachPaneByItsOffsetWithinItsMovie_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<QList<qint64>>("offsets");
        QTest::addColumn<QList<double>>("expected");
        // source time 20 s; minute-long movies
        QTest::newRow("no offsets: all at the source's time")
            << 1 << QList<qint64>{0, 0, 0, 0} << QList<double>{20, 20, 20, 20};
        QTest::newRow("offsets applied")
            << 1 << QList<qint64>{0, 1500, -2000, 250} << QList<double>{20, 21.5, 18, 20.25};
        QTest::newRow("from a pane with an offset of its own")
            << 3 << QList<qint64>{0, 1500, 5000, 0} << QList<double>{15, 16.5, 20, 15};
        QTest::newRow("clamped to the beginning and the end")
            << 1 << QList<qint64>{0, -25000, 45000, 0} << QList<double>{20, 0, 60, 20};
    }

    void syncPlacesEachPaneByItsOffsetWithinItsMovie()
    {
        QFETCH(int, source);
        QFETCH(QList<qint64>, offsets);
        QFETCH(QList<double>, expected);
        OffsetFixture f;
        for (int n = 1; n <= 4; ++n) {
            f.controller.offsets().setOffsetMs(n, offsets[n - 1]);
            f.at(n, n == source ? 20.0 : 3.0);
        }
        f.pane(source).syncMovieTime();
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.seconds(n), expected[n - 1]);
    }

    void offsetsBelongToTheCurrentPlaylistsEntries()
    {
        OffsetFixture f;
        f.at(1, 10);
        f.at(2, 11);
        f.controller.offsets().changeOffset(2);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        // another playlist with the same movie knows nothing of it
        const ObjectId other = f.playlist("other");
        f.entry(other, 2, clip("cam.mp4"));
        f.show(other);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        QCOMPARE(f.controller.movieOffsetMs(1), qint64(0)); // no entry at all
        QVERIFY(!f.controller.offsets().canChangeOffset(1));
        f.show(f.list);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        // no playlist: no entries, no offsets
        f.show(NoObject);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
    }

    void anotherFileOnThePaneStartsWithoutTheOffset()
    {
        OffsetFixture f;
        f.controller.offsets().setOffsetMs(2, 1500);
        f.controller.copyMovieView(0, clip("cam.mp4"), 2);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1500));
        f.controller.copyMovieView(0, clip("goal.mp4"), 2);
        QCOMPARE(f.pane(2).filePath(), clip("goal.mp4"));
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
    }

    void settingAndClearingAreUndoableEdits()
    {
        OffsetFixture f;
        QUndoStack* undo = f.context.undoManager();
        f.context.processPendingChanges();
        undo->clear();
        f.at(1, 10);
        f.at(3, 10.75);
        f.pane(3).changeMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(750));
        QCOMPARE(undo->undoText(), QStringLiteral("Set Offset"));
        QVERIFY(f.context.hasChanges()); // saved like any other edit
        f.pane(3).clearMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(0));
        QCOMPARE(undo->undoText(), QStringLiteral("Clear Offset"));
        undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(750));
        undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(0));
        QCOMPARE(undo->count(), 2);
        undo->redo();
        QCOMPARE(f.controller.movieOffsetMs(3), qint64(750));
        // clearing what is not there, or setting what is, is no edit
        f.controller.offsets().setOffsetMs(3, 750);
        f.controller.offsets().clearOffset(4);
        QCOMPARE(undo->count(), 2);
    }

    void theLibraryFileKeepsOffsets_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("older file: no attribute") << QByteArray() << qint64(0);
        QTest::newRow("an offset") << QByteArray(" offset=\"-1250\"") << qint64(-1250);
        QTest::newRow("zero") << QByteArray(" offset=\"0\"") << qint64(0);
        QTest::newRow("damaged") << QByteArray(" offset=\"12x\"") << qint64(0);
        QTest::newRow("too large") << QByteArray(" offset=\"99999999999999999999\"") << qint64(0);
    }

    void theLibraryFileKeepsOffsets()
    {
        QFETCH(QByteArray, stored);
        QFETCH(qint64, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tetrapan.xml"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tetrapan-library version=\"1\">\n"
                       "  <playlist id=\"1\" uniqueId=\"00000001\" title=\"Match\" index=\"1\" "
                       "isFolder=\"false\"/>\n"
                       "  <filelist id=\"2\" itemId=\"00000001\" uniqueId=\"00000001\" viewNo=\"2\" "
                       "filePath=\"/clips/cam2.mp4\" title=\"Cam 2\"" +
                       stored +
                       " playTime=\"60\"/>\n"
                       "  <link playlist=\"1\" filelist=\"2\"/>\n"
                       "</tetrapan-library>\n");
        }
        const auto open = [&](StoreCoordinator& coordinator) {
            StoreError error;
            return coordinator.addXmlStore(path, error);
        };
        StoreCoordinator coordinator(LibrarySchema::model());
        QVERIFY(open(coordinator));
        ObjectContext context(coordinator);
        const QList<ObjectId> entries = context.fetch(LibrarySchema::Filelist);
        QCOMPARE(entries.size(), 1);
        const ObjectId entry = entries.front();
        QCOMPARE(context.value(entry, LibrarySchema::Offset).toLongLong(), expected);
        // nothing else of the entry is lost
        QCOMPARE(context.value(entry, LibrarySchema::FilePath).toString(), QStringLiteral("/clips/cam2.mp4"));
        QCOMPARE(context.value(entry, LibrarySchema::PlayTime).toInt(), 60);
        QCOMPARE(context.relatedObjects(entry, LibrarySchema::RltPlaylist).size(), 1);

        // written back: an offset as it is, none (and a damaged one) not at all
        context.setValue(entry, LibrarySchema::Title, QStringLiteral("Cam 2, edited"));
        StoreError error;
        QVERIFY(context.save(error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QCOMPARE(text.contains("offset="), expected != 0 || stored == " offset=\"0\"");
        StoreCoordinator again(LibrarySchema::model());
        QVERIFY(open(again));
        ObjectContext reread(again);
        QCOMPARE(
            reread.value(reread.fetch(LibrarySchema::Filelist).value(0), LibrarySchema::Offset).toLongLong(),
            expected);
    }

    void offsetsBeyondThirtyTwoBitsSurvive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tetrapan.xml"));
        StoreError error;
        {
            StoreCoordinator coordinator(LibrarySchema::model());
            QVERIFY(coordinator.addXmlStore(path, error));
            ObjectContext context(coordinator);
            const ObjectId entry = context.insertNewObject(LibrarySchema::Filelist);
            context.setValue(entry, LibrarySchema::ViewNo, 4);
            context.setValue(entry, LibrarySchema::Offset, qint64(-40) * 24 * 3600 * 1000); // 40 days
            QVERIFY(context.save(error));
        }
        StoreCoordinator coordinator(LibrarySchema::model());
        QVERIFY(coordinator.addXmlStore(path, error));
        ObjectContext context(coordinator);
        QCOMPARE(context.value(context.fetch(LibrarySchema::Filelist).value(0), LibrarySchema::Offset)
                     .toLongLong(),
                 qint64(-3456000000));
    }
};

QTEST_MAIN(TestPaneOffsets)
#include "tst_paneoffsets.moc"
