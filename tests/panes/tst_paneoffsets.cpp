// Offsets and rates between panes: "Set Offset Here" keeps a pane's lead or lag against the leading pane,
// nudges move the chosen pane's, the dialog takes typed ones, undo takes them back, and the library file
// keeps them (files from before offsets, and a damaged offset or rate, read as none).
#include "PaneFixture.h"
#include "TestHome.h"

#include "panes/PaneNudge.h"
#include "panes/PaneOffsetDialog.h"
#include "panes/PaneOffsets.h"
#include "panes/PanePlacing.h"
#include "panes/SyncLock.h"

#include <QLineEdit>
#include <QTest>

#include <limits>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

class TestPaneOffsets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setOffsetHereKeepsTheLeadAgainstTheLeader_data()
    {
        QTest::addColumn<int>("viewNo");
        QTest::addColumn<double>("paneSeconds");
        QTest::addColumn<qint64>("leaderOffset");
        QTest::addColumn<bool>("firstSqueezed");
        QTest::addColumn<double>("paneRate");
        QTest::addColumn<double>("leaderRate");
        QTest::addColumn<qint64>("expected");
        // the leader stands at 10 s
        QTest::newRow("ahead") << 3 << 12.5 << qint64(0) << false << 1.0 << 1.0 << qint64(2500);
        QTest::newRow("leader has an offset of its own")
            << 2 << 12.0 << qint64(1000) << false << 1.0 << 1.0 << qint64(3000);
        QTest::newRow("pane 1 squeezed away: pane 2 leads")
            << 3 << 9.0 << qint64(0) << true << 1.0 << 1.0 << qint64(-1000);
        // the common time line at 10 s: the pane at its rate would stand at 12.5 s
        QTest::newRow("at a rate of its own")
            << 2 << 12.0 << qint64(0) << false << 1.25 << 1.0 << qint64(-500);
        // the leader at 10 s is 4.5 s on the common time line
        QTest::newRow("the leader at a rate of its own")
            << 3 << 12.0 << qint64(1000) << false << 1.0 << 2.0 << qint64(7500);
    }

    void setOffsetHereKeepsTheLeadAgainstTheLeader()
    {
        QFETCH(int, viewNo);
        QFETCH(double, paneSeconds);
        QFETCH(qint64, leaderOffset);
        QFETCH(bool, firstSqueezed);
        QFETCH(double, paneRate);
        QFETCH(double, leaderRate);
        PaneFixture f;
        f.chooseWithEntries(4, "cam.mp4");
        const int leader = firstSqueezed ? 2 : 1;
        if (firstSqueezed)
            f.pane(1).resize(0, 150);
        QCOMPARE(f.controller.offsets().leaderViewNo(), leader);
        f.controller.offsets().setOffsetMs(leader, leaderOffset);
        QVERIFY(f.controller.offsets().setRate(leader, leaderRate));
        QVERIFY(f.controller.offsets().setRate(viewNo, paneRate));
        f.movieOf(leader)->moveTo(at600(10.0));
        f.movieOf(viewNo)->moveTo(at600(paneSeconds));
        QVERIFY(f.controller.offsets().canChangeOffset(viewNo));

        f.pane(viewNo).changeMovieOffset();
        QTEST(f.controller.movieOffsetMs(viewNo), "expected");
        // Synchronising now leaves every pane where it stands.
        f.controller.syncAllMovieTime();
        QCOMPARE(f.movieOf(viewNo)->currentTime().seconds(), paneSeconds);
        QCOMPARE(f.movieOf(leader)->currentTime().seconds(), 10.0);
    }

    // Recordings are placed on the wall clock: pane 2's recording starts `start` s after pane 1's (none: a
    // movie of one file), its own offset on top; the leader stands at 100 s.
    void recordingsArePlacedOnTheWallClock_data()
    {
        QTest::addColumn<std::optional<int>>("start");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<double>("expected");
        QTest::newRow("a minute later: a minute less of its own") << std::optional(60) << qint64(0) << 40.0;
        QTest::newRow("half a minute earlier") << std::optional(-30) << qint64(0) << 130.0;
        QTest::newRow("an offset of its own on top") << std::optional(60) << qint64(2000) << 42.0;
        QTest::newRow("a movie of one file beside a recording") << std::optional<int>() << qint64(0) << 100.0;
    }

    void recordingsArePlacedOnTheWallClock()
    {
        QFETCH(std::optional<int>, start);
        QFETCH(qint64, offset);
        PaneFixture f;
        f.engine.durations[clip("cam.mp4")] = at600(600);
        f.chooseWithEntries(2, "cam.mp4");
        const qint64 wall = 1'772'366'400'000; // 2026-03-01 12:00 UTC
        const auto recordingFrom = [](qint64 startMs) {
            Recording recording;
            recording.pieces = {{clip("a.mp4"), startMs, 600'000, {}}};
            return recording;
        };
        f.movieOf(1)->playsRecording = recordingFrom(wall);
        if (start)
            f.movieOf(2)->playsRecording = recordingFrom(wall + *start * 1000);
        f.controller.offsets().setOffsetMs(2, offset);
        f.movieOf(1)->moveTo(at600(100));
        f.controller.syncAllMovieTime();
        QTEST(f.movieOf(2)->currentTime().seconds(), "expected");
        // where it stands now is where it belongs: "Set Offset Here" keeps the user's offset alone
        f.pane(2).changeMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(2), offset);
    }

    void offsetsAreUndoableEditsOfTheCurrentPlaylistsEntries()
    {
        PaneFixture f;
        const ObjectId list = f.chooseWithEntries(4, "cam.mp4");
        QUndoStack* undo = f.context.undoManager();
        f.context.processPendingChanges();
        undo->clear();
        f.movieOf(1)->moveTo(at600(10));
        f.movieOf(2)->moveTo(at600(11));
        f.pane(2).changeMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        QCOMPARE(undo->undoText(), QStringLiteral("Set Offset"));
        QVERIFY(f.context.hasChanges()); // saved like any other edit
        // setting what is, or clearing what is not, is no edit
        f.controller.offsets().setOffsetMs(2, 1000);
        f.pane(2).clearMovieOffset();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        QCOMPARE(undo->undoText(), QStringLiteral("Clear Offset"));
        f.controller.offsets().clearOffset(4);
        QCOMPARE(undo->count(), 2);
        undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        undo->redo();
        // A rate is a step of its own, or part of a step already open; 1 is none; one out of bounds is
        // refused.
        QVERIFY(f.controller.offsets().setRate(2, 25.0 / 24.0));
        QCOMPARE(undo->undoText(), QStringLiteral("Set Rate"));
        QVERIFY(!f.controller.offsets().setRate(2, 2.5));
        QVERIFY(!f.controller.offsets().setRate(2, qQNaN()));
        f.context.beginUndoGroup(QStringLiteral("Align"));
        f.controller.offsets().setOffsetMs(2, 1500);
        QVERIFY(f.controller.offsets().setRate(2, 1.0));
        f.context.endUndoGroup();
        QCOMPARE(undo->undoText(), QStringLiteral("Align"));
        QCOMPARE(f.controller.offsets().rate(2), 1.0);
        undo->undo();
        QCOMPARE(f.controller.offsets().rate(2), 25.0 / 24.0);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        undo->undo();
        QCOMPARE(f.controller.offsets().rate(2), 1.0);

        // no playlist: no entries, no offsets
        f.choose(NoObject);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        // another playlist with the same movie knows nothing of it
        const ObjectId other = f.playlist("other");
        f.entry(other, 2, clip("cam.mp4"));
        f.choose(other);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        QCOMPARE(f.controller.movieOffsetMs(1), qint64(0)); // no entry at all
        QVERIFY(!f.controller.offsets().canChangeOffset(1));
        f.choose(list);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        QVERIFY(f.controller.offsets().setRate(2, 25.0 / 24.0));
        // the same file placed on the pane again keeps it, and where it was left; another file starts without
        for (ObjectId id :
             f.context.fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::ViewNo, 2)))
            f.context.setValueUnrecorded(id, LibrarySchema::Position, 5000);
        f.controller.copyMovieView(0, clip("cam.mp4"), 2);
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(1000));
        QCOMPARE(f.entryPaths(list, 2, LibrarySchema::Position), QStringList{"5000"});
        f.controller.copyMovieView(0, clip("goal.mp4"), 2);
        QCOMPARE(f.pane(2).filePath(), clip("goal.mp4"));
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
        QCOMPARE(f.entryPaths(list, 2, LibrarySchema::Position), QStringList{""});
        // the entry given back its file and rate (as an undo does), and the pane its file again: at that rate
        for (ObjectId id :
             f.context.fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::ViewNo, 2))) {
            f.context.setValue(id, LibrarySchema::FilePath, clip("cam.mp4"));
            f.context.setValue(id, LibrarySchema::Rate, 25.0 / 24.0);
        }
        f.pane(2).updateMovieView(clip("cam.mp4"), {});
        f.settle();
        QCOMPARE(f.pane(2).filePath(), clip("cam.mp4"));
        QCOMPARE(f.movieOf(2)->speed(), f.controller.offsets().rate(2));
    }

    // Another playlist chosen, its movies still to come: a pane's command changes neither its entries, which
    // the panes do not show yet, nor those of the playlist left.
    void aPlaylistStillLoadingKeepsItsEntries_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Set Offset Here") << "set";
        QTest::newRow("Clear Offset") << "clear";
        QTest::newRow("a nudge") << "nudge";
        QTest::newRow("Remove") << "remove";
    }

    void aPlaylistStillLoadingKeepsItsEntries()
    {
        QFETCH(QString, command);
        PaneFixture f;
        const ObjectId chosen = f.chooseWithEntries(3, "goal.mp4");
        f.controller.offsets().setOffsetMs(2, 300);
        const ObjectId shown = f.playlist(QStringLiteral("shown"));
        for (int n = 1; n <= 3; ++n)
            f.entry(shown, n, clip("cam.mp4"));
        f.choose(shown);
        f.settle();
        f.controller.offsets().setOffsetMs(2, 700);
        f.context.processPendingChanges();
        QCOMPARE(f.pane(2).filePath(), clip("cam.mp4"));
        f.select(chosen);
        SyncLock lock(f.scheduler, f.controller);
        PaneNudge nudge(f.controller, lock);
        f.movieOf(1)->moveTo(at600(10));
        f.movieOf(2)->moveTo(at600(12));
        const auto offsets = [&](ObjectId node) {
            return f.entryPaths(node, 2, LibrarySchema::Offset) + f.entryPaths(node, 2);
        };
        const QStringList shownBefore = offsets(shown);
        const QStringList chosenBefore = offsets(chosen);
        f.controller.setUniqueId(f.idOf(chosen)); // as the tree does; the load waits for its delay
        if (command == "set")
            f.pane(2).changeMovieOffset();
        else if (command == "clear")
            f.pane(2).clearMovieOffset();
        else if (command == "nudge")
            nudge.nudge(2, PaneNudge::FrameLater);
        else
            f.pane(2).placing().removeMovieView();
        QCOMPARE(offsets(chosen), chosenBefore);
        QCOMPARE(offsets(shown), shownBefore);
    }

    // Nudges of the chosen pane (pane 2, 30 fps, stopped at 10 s with the leader): F/B a frame later or
    // earlier, l/e 10 ms, x another edit between. Runs of one pane are one undo step.
    void nudgesMoveTheChosenPanesOffset_data()
    {
        QTest::addColumn<QString>("nudges");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<double>("paneAt");
        QTest::addColumn<int>("steps");
        QTest::newRow("a frame later") << "F" << false << qint64(33) << 10.033 << 1;
        QTest::newRow("three frames of 30 fps: a tenth, exactly")
            << "FFF" << false << qint64(100) << 10.1 << 1;
        QTest::newRow("10 ms earlier twice, locked: put by the leader")
            << "ee" << true << qint64(-20) << 9.98 << 1;
        QTest::newRow("a frame earlier, 10 ms back") << "Bl" << false << qint64(-23) << 9.977 << 1;
        QTest::newRow("back where it began") << "FB" << false << qint64(0) << 10.0 << 0;
        QTest::newRow("an edit between: runs of their own") << "FxF" << false << qint64(66) << 10.066 << 3;
    }

    void nudgesMoveTheChosenPanesOffset()
    {
        QFETCH(QString, nudges);
        QFETCH(bool, locked);
        PaneFixture f;
        f.chooseWithEntries(3, "cam.mp4");
        SyncLock lock(f.scheduler, f.controller);
        lock.setEnabled(locked);
        PaneNudge nudge(f.controller, lock);
        for (int n = 1; n <= 3; ++n)
            f.movieOf(n)->moveTo(MovieTime::fromSeconds(10.0));
        f.movieOf(2)->setFramesPerSecond(30.0);
        f.context.processPendingChanges();
        QUndoStack* undo = f.context.undoManager();
        undo->clear();
        // the leader is no pane to nudge
        f.controller.setCurrentViewNo(1);
        QCOMPARE(nudge.chosenViewNo(), 0);
        nudge.nudge(1, PaneNudge::FrameLater);
        QCOMPARE(f.controller.movieOffsetMs(1), qint64(0));
        nudge.refreshActions(); // as the Playback menu opens
        QVERIFY(!nudge.action(PaneNudge::FrameLater)->isEnabled());
        f.controller.setCurrentViewNo(2);
        QCOMPARE(nudge.chosenViewNo(), 2);
        nudge.refreshActions();
        QCOMPARE(nudge.action(PaneNudge::FineLater)->text(), QStringLiteral("Nudge Pane 2 10 ms Later"));
        QVERIFY(nudge.action(PaneNudge::FineLater)->isEnabled());

        for (QChar c : nudges) {
            if (c == 'x')
                f.controller.offsets().setRate(3, 1.25);
            else
                nudge
                    .action(c == 'F'   ? PaneNudge::FrameLater
                            : c == 'B' ? PaneNudge::FrameEarlier
                            : c == 'l' ? PaneNudge::FineLater
                                       : PaneNudge::FineEarlier)
                    ->trigger();
        }
        QTEST(f.controller.movieOffsetMs(2), "offset");
        QFETCH(double, paneAt);
        QVERIFY(qAbs(f.movieOf(2)->currentTime().seconds() - paneAt) < 0.0005);
        QTEST(undo->index(), "steps");
        while (undo->canUndo())
            undo->undo();
        QCOMPARE(f.controller.movieOffsetMs(2), qint64(0));
    }

    // The offset and rate typed into pane 2's dialog; what cannot be read changes nothing and is said.
    void typedOffsetsAndRates_data()
    {
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<qint64>("offsetMs");
        QTest::addColumn<double>("expectedRate");
        QTest::addColumn<QString>("problem"); // a word of the message
        QTest::addColumn<bool>("replaced");   // another movie placed in the pane while the dialog is open
        QTest::newRow("a ratio") << "+0.040"
                                 << "25/24" << qint64(40) << 25.0 / 24.0 << "" << false;
        QTest::newRow("a ratio of NTSC, a comma and seconds")
            << "-1,5 s"
            << " 30000 / 29970 " << qint64(-1500) << 30000.0 / 29970.0 << "" << false;
        QTest::newRow("a number") << "0"
                                  << "1.04167" << qint64(0) << 1.04167 << "" << false;
        QTest::newRow("no number") << "1"
                                   << "fast" << qint64(0) << 1.0 << "rate" << false;
        QTest::newRow("beyond the speeds") << "1"
                                           << "3" << qint64(0) << 1.0 << "rate" << false;
        QTest::newRow("over nothing") << "1"
                                      << "25/0" << qint64(0) << 1.0 << "rate" << false;
        QTest::newRow("two slashes") << "1"
                                     << "1/2/3" << qint64(0) << 1.0 << "rate" << false;
        QTest::newRow("an offset of no seconds") << "soon"
                                                 << "25/24" << qint64(0) << 1.0 << "offset" << false;
        QTest::newRow("an offset not finite") << "inf"
                                              << "1" << qint64(0) << 1.0 << "offset" << false;
        // what was measured against one movie is not set on another
        QTest::newRow("another movie meanwhile") << "+0.040"
                                                 << "25/24" << qint64(0) << 1.0 << "another movie" << true;
    }

    void typedOffsetsAndRates()
    {
        QFETCH(QString, problem);
        PaneFixture f;
        f.chooseWithEntries(2, "cam.mp4");
        f.context.processPendingChanges();
        f.context.undoManager()->clear();
        PaneOffsetDialog dialog(f.controller, 2);
        QCOMPARE(dialog.rateField()->text(), QStringLiteral("1"));
        QFETCH(bool, replaced);
        if (replaced) {
            f.pane(2).placing().createMovieFrame(clip("other.mp4"));
            f.context.processPendingChanges();
            f.context.undoManager()->clear();
        }
        QFETCH(QString, offset);
        QFETCH(QString, rate);
        dialog.offsetField()->setText(offset);
        dialog.rateField()->setText(rate);
        QCOMPARE(dialog.apply(), problem.isEmpty());
        QTEST(f.controller.movieOffsetMs(2), "offsetMs");
        QTEST(f.controller.offsets().rate(2), "expectedRate");
        QVERIFY(dialog.problem().contains(problem));
        QCOMPARE(dialog.problem().isEmpty(), problem.isEmpty());
        // both at once are one step
        QCOMPARE(f.context.undoManager()->index(), problem.isEmpty() ? 1 : 0);
    }

    void theLibraryFileKeepsOffsets_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<double>("expectedRate");
        QTest::addColumn<qint64>("placed"); // the offset the pane is placed by
        QTest::newRow("older file: no attribute") << QByteArray() << qint64(0) << 1.0 << qint64(0);
        QTest::newRow("40 days: beyond 32 bits")
            << QByteArray(" offset=\"-3456000000\"") << qint64(-3456000000) << 1.0 << qint64(-3456000000);
        QTest::newRow("damaged") << QByteArray(" offset=\"12x\"") << qint64(0) << 1.0 << qint64(0);
        // kept as it is, but no offset any movie could have
        QTest::newRow("beyond any recording") << QByteArray(" offset=\"-9223372036854775808\"")
                                              << std::numeric_limits<qint64>::min() << 1.0 << qint64(0);
        QTest::newRow("rate 25/24") << QByteArray(" offset=\"40\" rate=\"1.0416666666666667\"") << qint64(40)
                                    << 25.0 / 24.0 << qint64(40);
        // a damaged rate costs the rate alone, the offset beside it stays
        QTest::newRow("rate damaged")
            << QByteArray(" offset=\"40\" rate=\"1.04x\"") << qint64(40) << 1.0 << qint64(40);
        QTest::newRow("rate not finite") << QByteArray(" rate=\"inf\"") << qint64(0) << 1.0 << qint64(0);
        QTest::newRow("rate 0") << QByteArray(" rate=\"0\"") << qint64(0) << 1.0 << qint64(0);
        QTest::newRow("rate below 0") << QByteArray(" rate=\"-1.5\"") << qint64(0) << 1.0 << qint64(0);
    }

    void theLibraryFileKeepsOffsets()
    {
        QFETCH(QByteArray, stored);
        QFETCH(qint64, expected);
        QFETCH(double, expectedRate);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tetrapan.xml"));
        QVERIFY(
            writeAll(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tetrapan-library version=\"1\">\n"
                           "  <playlist id=\"1\"/>\n  <filelist id=\"2\" filePath=\"/clips/cam2.mp4\"" +
                               stored +
                               " playTime=\"60\"/>\n  <link playlist=\"1\" filelist=\"2\"/>\n"
                               "</tetrapan-library>\n"));
        // Read, then written back and read again: an offset as it is, none (and a damaged one) not at all,
        // and nothing else of the entry lost.
        for (int round = 0; round < 2; ++round) {
            StoreCoordinator coordinator(LibrarySchema::model());
            StoreError error;
            QVERIFY(coordinator.addXmlStore(path, error));
            ObjectContext context(coordinator);
            QCOMPARE(context.fetch(LibrarySchema::Filelist), QList<ObjectId>{2});
            QCOMPARE(context.value(2, LibrarySchema::Offset).toLongLong(), expected);
            QTEST(PaneOffsets::placementOf(context, 2).offsetMs, "placed");
            QCOMPARE(context.value(2, LibrarySchema::Rate).isValid()
                         ? context.value(2, LibrarySchema::Rate).toDouble()
                         : 1.0,
                     expectedRate);
            QCOMPARE(context.value(2, LibrarySchema::FilePath).toString(), QStringLiteral("/clips/cam2.mp4"));
            QCOMPARE(context.value(2, LibrarySchema::PlayTime).toInt(), 60);
            QCOMPARE(context.relatedObjects(2, LibrarySchema::RltPlaylist).size(), 1);
            if (round == 1)
                break;
            context.setValue(2, LibrarySchema::Title, QStringLiteral("Cam 2, edited"));
            QVERIFY(context.save(error));
            QCOMPARE(readAll(path).contains("offset="), expected != 0);
            QCOMPARE(readAll(path).contains("rate="), expectedRate != 1.0);
        }
    }
};

QTEST_MAIN(TestPaneOffsets)
#include "tst_paneoffsets.moc"
