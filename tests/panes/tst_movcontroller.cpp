// The coordinator: choosing playlists, loading, playing, skipping and synchronising the four panes together,
// the window titles, and resumes that give way to the user. Offsets and rates: tst_paneoffsets.
#include "PaneFixture.h"

#include "panes/PaneOffsets.h"
#include "panes/PanePlacing.h"

#include <QFileInfo>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

class TestMovController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choicesWithinTheDelayLoadOnceWithTheLast()
    {
        PaneFixture f;
        QVERIFY(!f.controller.hasPendingLoad());
        QCOMPARE(f.scheduler.pendingCount(), 0);
        QList<ObjectId> lists;
        for (const char* name : {"first.mp4", "second.mp4", "third.mp4"}) {
            lists << f.playlist(name);
            f.entry(lists.last(), 1, clip(name));
        }
        QSignalSpy loads(&f.controller, &MovController::allMovieViewsChanged);
        f.select(lists[0]); // a selection alone loads nothing
        QVERIFY(!f.controller.hasPendingLoad());

        for (ObjectId list : lists) {
            f.controller.setUniqueId(f.idOf(list));
            f.scheduler.advance(list == lists.last() ? MovController::ChangeDelay - 1ms : 200ms);
        }
        QCOMPARE(loads.count(), 0);
        QVERIFY(f.controller.hasPendingLoad());
        QVERIFY(f.engine.openedMovies().isEmpty());
        f.scheduler.advance(1ms);
        QCOMPARE(loads.count(), 1);
        QCOMPARE(f.engine.openedMovies().size(), 1);
        QCOMPARE(f.pane(1).filePath(), clip("third.mp4"));
        f.scheduler.advance(10s);
        QCOMPARE(loads.count(), 1);
    }

    void firstEntryPerPaneInListOrderOthersEmptied()
    {
        PaneFixture f;
        f.chooseWithEntries(4, "old.mp4");
        QCOMPARE(f.each(&QTMovieSubView::filePath), QStringList(4, clip("old.mp4")));

        const ObjectId list = f.playlist("list");
        f.entry(list, 2, clip("second-first.mp4")); // the first of pane 2's, as they were made
        f.entry(list, 1, clip("one.mp4"));
        f.entry(list, 2, clip("second-later.mp4"));
        f.entry(list, 3, clip("broken.mp4")); // unreadable: empties its pane without an alert
        f.entry(list, 5, clip("nowhere.mp4"));
        f.engine.failingPaths.insert(clip("broken.mp4"));
        f.choose(list);
        f.settle();
        // entries for other pane numbers load nothing, and removing them empties nothing
        f.controller.clearMovieView(0);
        f.controller.clearMovieView(5);
        QCOMPARE(f.each(&QTMovieSubView::filePath),
                 (QStringList{clip("one.mp4"), clip("second-first.mp4"), QString(), QString()}));
        QVERIFY(!f.pane(3).isAvailable());
        QVERIFY(!f.pane(4).movie());
        QVERIFY(f.dialogs.alerts.isEmpty());
    }

    void playersAreStartedBackToBackBeforeAnyPaneHearsOfIt_data()
    {
        QTest::addColumn<bool>("resume");
        QTest::newRow("Space") << false;
        QTest::newRow("resume after a skip") << true;
    }

    void playersAreStartedBackToBackBeforeAnyPaneHearsOfIt()
    {
        QFETCH(bool, resume);
        PaneFixture f;
        for (int n = 1; n <= 4; ++n)
            f.load(n);
        f.pane(3).resize(0, 150); // out of sight: not started, and no announcement for it
        if (resume) {             // after a skip stopped them
            f.controller.setAllMoviePlay(true);
            f.controller.skipAllMovieTime(MovController::SkipForward);
            for (int n = 1; n <= 4; ++n)
                f.movieOf(n)->commands.clear();
        }
        QList<int> startedWhenHeard;
        QList<Movie*> heard;
        connect(&f.engine, &MovieEngine::movieRateDidChange, this, [&](Movie* movie) {
            heard << movie;
            int started = 0;
            for (int n = 1; n <= 4; ++n)
                started += f.movieOf(n)->commands.contains("play") ? 1 : 0;
            startedWhenHeard << started;
        });
        if (resume)
            f.scheduler.advance(MovController::ResumeAfterSkipDelay);
        else
            f.controller.changeAllMoviePlay();
        QCOMPARE(f.playing(), (L{true, true, false, true}));
        QCOMPARE(heard, (QList<Movie*>{f.movieOf(1), f.movieOf(2), f.movieOf(4)}));
        QCOMPARE(startedWhenHeard, (QList<int>{3, 3, 3}));
    }

    void loadingResumesOnlyWhatPlayed_data()
    {
        QTest::addColumn<bool>("wasPlaying");
        QTest::addColumn<bool>("again"); // chosen again before the first load's resume is due
        QTest::addColumn<bool>("slow");  // the files answer only well after the resume's delay
        QTest::addColumn<QString>("command"); // the user's, while the files open
        QTest::newRow("playing: every playable pane starts") << true << false << false << "";
        QTest::newRow("stopped: nothing starts") << false << false << false << "";
        // the same playlist chosen again loads again, and the resume waits for the last load
        QTest::newRow("playing, chosen again") << true << true << false << "";
        // the joint start and the listeners wait for all four files
        QTest::newRow("playing, slow to open") << true << false << true << "";
        // chosen again before the first load's files answered: the panes it stopped still resume
        QTest::newRow("playing, chosen again while opening") << true << true << true << "";
        // what the user says while the files open is what happens once they are in, all panes together
        QTest::newRow("playing, paused while opening") << true << false << true << "play/pause";
        QTest::newRow("playing, a frame step while opening") << true << false << true << "step";
        QTest::newRow("stopped, started while opening") << false << false << true << "play/pause";
    }

    void loadingResumesOnlyWhatPlayed()
    {
        QFETCH(bool, wasPlaying);
        QFETCH(bool, again);
        QFETCH(bool, slow);
        QFETCH(QString, command);
        const bool plays = command.isEmpty() ? wasPlaying : command == "play/pause" && !wasPlaying;
        PaneFixture f;
        f.load(2, "playing.mp4");
        f.pane(2).setMoviePlay(wasPlaying);
        f.pane(4).resize(0, 150); // squeezed away: never playable

        QSignalSpy loaded(&f.controller, &MovController::allMovieViewsChanged);
        f.engine.holdOpens = slow;
        const ObjectId list = f.chooseWithEntries(4, "new.mp4");
        if (again) {
            f.scheduler.advance(300ms);
            f.choose(list);
        }
        if (slow) {
            f.scheduler.advance(MovController::ResumeAfterLoadDelay * 3);
            QVERIFY(f.controller.isLoading());
            QCOMPARE(loaded.count(), 0);
            QCOMPARE(f.playing(), (L{false, false, false, false}));
            if (command == "play/pause")
                f.controller.changeAllMoviePlay();
            else if (command == "step")
                f.controller.stepAllMovieFrame(true);
            // the movies left, still shown, do not start
            QCOMPARE(f.playing(), (L{false, false, false, false}));
            f.engine.finishOpens();
        }
        QCOMPARE(loaded.count(), again && !slow ? 2 : 1);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        QCOMPARE(f.pane(2).filePath(), clip("new.mp4"));
        QCOMPARE(f.controller.hasPendingResume(), plays);
        f.scheduler.advance(MovController::ResumeAfterLoadDelay - 1ms);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(1ms);
        QCOMPARE(f.playing(), (L{plays, plays, plays, false}));
    }

    // No playlist, and a playlist that is no more: the windows' own titles.
    void windowTitlesWithoutAPlaylist()
    {
        PaneFixture f;
        // A node without an identifier must not lend its title to "nothing selected".
        f.context.setValue(f.playlist("Nameless"), LibrarySchema::UniqueId, QVariant());
        QSignalSpy main(&f.controller, &MovController::mainWindowTitleChanged);
        QSignalSpy control(&f.controller, &MovController::controlWindowTitleChanged);
        for (const QString& id : {QString(), QStringLiteral("99999999")}) {
            f.controller.setUniqueId(id);
            QCOMPARE(main.count(), 1);
            QCOMPARE(main.takeFirst().value(0).toString(), QStringLiteral("Tetrapan"));
            QCOMPARE(control.takeFirst().value(0).toString(), QStringLiteral("Controller"));
        }
    }

    // The panes follow the current playlist's entries whatever changed them, at the end of the turn; a pane
    // whose entry did not change keeps its movie untouched. Steps: "remove n" (the pane's Remove), "copy n
    // m", "path n name" (the entry's file edited), "unplace n" (the entry deleted from the file table),
    // "undo", "redo". Each pane starts on "/clips/<n>.mp4", pane 2 at 12 s.
    void panesFollowTheirEntries_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("panes"); // the files shown, "" for an empty pane
        QTest::addColumn<double>("pane2At");    // where pane 2 stands, -1: not checked
        QTest::newRow("remove, undo") << "remove 2;undo" << QStringList{"1", "2", "3", "4"} << 12.0;
        QTest::newRow("remove, undo, redo") << "remove 2;undo;redo" << QStringList{"1", "", "3", "4"} << -1.0;
        QTest::newRow("copy, undo") << "copy 1 3;undo" << QStringList{"1", "2", "3", "4"} << 12.0;
        QTest::newRow("copy") << "copy 1 3" << QStringList{"1", "2", "1", "4"} << 12.0;
        QTest::newRow("path edited") << "path 4 other" << QStringList{"1", "2", "3", "other"} << 12.0;
        QTest::newRow("unplaced, undo") << "unplace 2;undo" << QStringList{"1", "2", "3", "4"} << 12.0;
        QTest::newRow("unplaced") << "unplace 1" << QStringList{"", "2", "3", "4"} << 12.0;
        // tried once: a later change does not open it again
        QTest::newRow("path broken") << "path 3 broken;path 4 other" << QStringList{"1", "2", "", "other"}
                                     << 12.0;
    }

    void panesFollowTheirEntries()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, panes);
        PaneFixture f;
        f.engine.refusedPaths.insert(clip("broken"));
        const ObjectId list = f.playlist(QStringLiteral("list"));
        for (int n = 1; n <= 4; ++n)
            f.entry(list, n, clip(qPrintable(QString::number(n))));
        f.choose(list);
        f.movieOf(2)->setCurrentTime(at600(12));
        std::array<const Movie*, 4> before{};
        for (int n = 1; n <= 4; ++n)
            before[n - 1] = f.pane(n).movie();
        QSet<int> touched;
        int opened = 0;
        for (const QString& step : steps.split(QLatin1Char(';'))) {
            const QStringList word = step.split(QLatin1Char(' '));
            const int n = word.value(1).toInt();
            touched << n;
            f.context.processPendingChanges();
            if (word[0] == QLatin1String("remove"))
                f.pane(n).placing().removeMovieView();
            else if (word[0] == QLatin1String("copy")) {
                touched << word[2].toInt();
                f.controller.copyMovieView(n, f.pane(n).filePath(), word[2].toInt());
            } else if (word[0] == QLatin1String("path"))
                f.context.setValue(
                    f.context.fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::ViewNo, n))
                        .front(),
                    LibrarySchema::FilePath, clip(qPrintable(word[2])));
            else if (word[0] == QLatin1String("unplace"))
                f.library.removeFilelist(n, f.idOf(list));
            else if (word[0] == QLatin1String("undo"))
                f.context.undoManager()->undo();
            else if (word[0] == QLatin1String("redo"))
                f.context.undoManager()->redo();
            f.settle();
            opened = static_cast<int>(f.engine.openedMovies().size());
        }
        // a rename opens nothing, and the windows take the new name
        QSignalSpy titles(&f.controller, &MovController::mainWindowTitleChanged);
        f.context.setValue(list, LibrarySchema::Title, QStringLiteral("renamed"));
        f.scheduler.advance(0ms);
        QCOMPARE(static_cast<int>(f.engine.openedMovies().size()), opened);
        QCOMPARE(titles.count(), 1);
        QCOMPARE(titles.front().value(0).toString(), QStringLiteral("renamed"));

        QStringList shown;
        for (int n = 1; n <= 4; ++n) {
            shown << QFileInfo(f.pane(n).filePath()).fileName();
            if (!touched.contains(n))
                QCOMPARE(f.pane(n).movie(), before[n - 1]);
        }
        QCOMPARE(shown, panes);
        QFETCH(double, pane2At);
        if (pane2At >= 0)
            QCOMPARE(f.pane(2).movie()->positionSeconds(), pane2At);
        QCOMPARE(f.each(&QTMovieSubView::filePath),
                 [&] {
                     QStringList entries;
                     for (int n = 1; n <= 4; ++n)
                         entries << f.entryPaths(list, n).value(0);
                     return entries;
                 }()
                     .replaceInStrings(clip("broken"), QString()));
    }

    void groupMoves_data()
    {
        QTest::addColumn<QString>("move"); // "skip <kind>", "sync <pane>" (0: Sync for all), "step <forward>"
        QTest::addColumn<QList<int>>("squeezed");
        QTest::addColumn<QList<qint64>>("offsets");
        QTest::addColumn<QList<double>>("times"); // of panes 1 to 3 afterwards
        QTest::addColumn<bool>("resumes");        // all stopped until the resume is due
        QTest::addColumn<L>("after");
        QTest::addColumn<QList<double>>("rates");
        // Panes 1 (12.5 s, at a scale of its own) and 2 (5 s) play, 3 (55 s) is stopped, 4 is empty; each
        // movie lasts a minute, and skips go 7.5 s.
        const auto row = [](const char* name, const char* move, QList<int> squeezed, QList<qint64> offsets,
                            QList<double> times, bool resumes, L after, QList<double> rates = {}) {
            QTest::newRow(name) << QString(move) << squeezed << offsets << times << resumes << after << rates;
        };
        const L stopped{0, 0, 0, 0};
        const L again{1, 1, 0, 0};
        row("skip to the start", "skip 0", {}, {}, {0, 0, 0}, true, again);
        row("skip back, whole seconds first, not before 0", "skip 1", {}, {}, {4.5, 0, 47.5}, true, again);
        row("skip forward, not past the end", "skip 2", {}, {}, {19.5, 12.5, 60}, true, again);
        row("skip to the end never restarts", "skip 3", {}, {}, {60, 60, 60}, false, stopped);
        row("pane 2 alone: it alone moves, and nothing stops", "skip 2", {1, 3, 4}, {}, {12.5, 12.5, 55},
            false, again);
        row("sync from pane 2", "sync 2", {}, {}, {5, 5, 5}, true, again);
        row("sync for all from the first playable pane", "sync 0", {1}, {}, {12.5, 5, 5}, true, {0, 1, 0, 0});
        row("sync from a squeezed pane moves nothing", "sync 3", {3}, {}, {12.5, 5, 55}, true, again);
        row("sync from an empty pane moves nothing", "sync 4", {}, {}, {12.5, 5, 55}, true, again);
        row("sync by the offsets, the source's own counting against it", "sync 2", {}, {1000, 2500, -1500},
            {3.5, 5, 1}, true, again);
        row("sync by the offsets, within each movie", "sync 2", {}, {-8000, 0, 58000}, {0, 5, 60}, true,
            again);
        // common time (5 s - 1 s) / 1.25 = 3.2 s; pane 3 runs at half of it
        row("sync by rates and offsets", "sync 2", {}, {0, 1000, 0}, {3.2, 5, 1.6}, true, again,
            {1, 1.25, 0.5});
        // the leader skips as ever (to 19.5 s); the others go where its new place puts them
        row("skip forward, at rates", "skip 2", {}, {0, 0, 1000}, {19.5, 39, 10.75}, true, again,
            {1, 2, 0.5});
        // not a second apart by what each pane's whole seconds cut off: pane 2 half a second after the leader
        row("skip forward, at offsets", "skip 2", {}, {0, 500, 0}, {19.5, 20, 60}, true, again);
        row("frame step forward, not of a squeezed pane", "step 1", {1}, {}, {12.5, 5.04, 55.04}, false,
            stopped);
        row("frame step back", "step 0", {}, {}, {12.46, 4.96, 54.96}, false, stopped);
    }

    void groupMoves()
    {
        QFETCH(QString, move);
        QFETCH(QList<int>, squeezed);
        QFETCH(QList<qint64>, offsets);
        QFETCH(QList<double>, times);
        PaneFixture f;
        f.setFloat("optSkipTime", 7.5f);
        f.chooseWithEntries(3, "cam.mp4");
        f.movieOf(1)->moveTo(MovieTime{1125, 90, 0});
        f.movieOf(2)->moveTo(at600(5));
        f.movieOf(3)->moveTo(at600(55));
        f.pane(1).playMovie();
        f.pane(2).playMovie();
        QFETCH(QList<double>, rates);
        for (int n = 1; n <= 3; ++n) {
            f.controller.offsets().setOffsetMs(n, offsets.value(n - 1));
            f.controller.offsets().setRate(n, rates.value(n - 1, 1.0));
        }
        for (int n : squeezed)
            f.pane(n).resize(0, 150);

        const int number = move.section(' ', 1).toInt();
        QObject sender;
        sender.setProperty("tag", number);
        if (move.startsWith("skip"))
            f.controller.changeAllMovieTime(&sender);
        else if (move.startsWith("step"))
            f.controller.stepAllMovieFrame(number == 1);
        else if (number != 0)
            f.pane(number).syncMovieTime();
        else
            f.controller.syncAllMovieTime();
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(f.movieOf(n)->currentTime(), at600(times[n - 1]));
        QFETCH(bool, resumes);
        QFETCH(L, after);
        QCOMPARE(f.controller.hasPendingResume(), resumes);
        const auto delay = move.startsWith("sync") ? MovController::ResumeAfterSyncDelay
                                                   : MovController::ResumeAfterSkipDelay;
        f.scheduler.advance(delay - 1ms);
        QCOMPARE(f.playing(), resumes ? L(4, false) : after);
        f.scheduler.advance(1ms);
        QCOMPARE(f.playing(), after);
        f.scheduler.advance(10s);
        QCOMPARE(f.playing(), after);
    }

    void userCommandsCancelPendingResumes_data()
    {
        QTest::addColumn<QString>("pending"); // what left the resume waiting
        QTest::addColumn<QString>("command"); // what the user did meanwhile, after which nothing plays
        const auto row = [](const char* pending, const char* command) {
            QTest::addRow("%s, then %s", pending, command) << QString(pending) << QString(command);
        };
        row("load", "pane 2 played and stopped");
        row("skip", "all played and stopped");
        row("sync", "skip to the end");
        row("load", "a frame step");
    }

    void userCommandsCancelPendingResumes()
    {
        QFETCH(QString, pending);
        QFETCH(QString, command);
        PaneFixture f;
        const ObjectId list = f.chooseWithEntries(4, "a.mp4");
        f.controller.setAllMoviePlay(true);
        if (pending == "load")
            f.choose(list);
        else if (pending == "skip")
            f.controller.skipAllMovieTime(MovController::SkipForward);
        else
            f.controller.syncAllMovieTime();
        QVERIFY(f.controller.hasPendingResume());
        QCOMPARE(f.playing(), L(4, false));

        for (int times = command.startsWith("all") ? 2 : 0; times > 0; --times)
            f.controller.changeAllMoviePlay();
        for (int times = command.startsWith("pane 2") ? 2 : 0; times > 0; --times)
            f.pane(2).changeMoviePlay();
        if (command == "skip to the end")
            f.controller.skipAllMovieTime(MovController::SkipToEnd);
        if (command == "a frame step")
            f.controller.stepAllMovieFrame(true);
        QVERIFY(!f.controller.hasPendingResume());
        f.scheduler.advance(10s);
        QCOMPARE(f.playing(), L(4, false));
    }

    void playingAllOrOne()
    {
        PaneFixture f;
        for (int n : {1, 3, 4})
            f.load(n);
        f.pane(4).resize(200, 0); // squeezed away: never started
        f.controller.setMoviePlay(0, true);
        QCOMPARE(f.playing(), (L{true, false, true, false}));
        f.controller.setMoviePlay(1, false);
        QCOMPARE(f.playing(), (L{false, false, true, false}));
        // squeezed while playing, a pane no longer counts as playing
        f.pane(3).resize(0, 0);
        QVERIFY(!f.controller.anyMovieIsPlaying());
    }

    void groupToggles_data()
    {
        QTest::addColumn<int>("what");    // the controller bar, keeping the aspect, muted
        QTest::addColumn<bool>("before"); // the playable pane's; every available pane has the other after
        for (int what : {0, 1, 2}) {
            QTest::addRow("%d, on", what) << what << true;
            QTest::addRow("%d, off", what) << what << false;
        }
    }

    void groupToggles()
    {
        QFETCH(int, what);
        QFETCH(bool, before);
        using Set = void (QTMovieSubView::*)(bool);
        using Get = bool (QTMovieSubView::*)() const;
        using Toggle = void (MovController::*)(QObject*);
        struct Kind {
            Set set;
            Get get;
            Toggle toggle;
        };
        const std::array<Kind, 3> kinds{{
            {&QTMovieSubView::setMovieController, &QTMovieSubView::isController,
             &MovController::changeAllMovieController},
            {&QTMovieSubView::setMovieAspect, &QTMovieSubView::isKeepAspect,
             &MovController::changeAllMovieAspect},
            {&QTMovieSubView::setMovieMuted, &QTMovieSubView::isMuted, &MovController::changeAllMovieSound},
        }};
        const Kind kind = kinds.at(what);
        PaneFixture f;
        f.load(1);
        f.load(2);
        // Pane 2 is available but squeezed away: it follows the group, but does not decide it.
        f.pane(2).resize(0, 0);
        (f.pane(1).*kind.set)(before);
        (f.pane(2).*kind.set)(!before);
        (f.controller.*kind.toggle)(nullptr);
        QCOMPARE((f.pane(1).*kind.get)(), !before);
        QCOMPARE((f.pane(2).*kind.get)(), !before);
        QCOMPARE(f.pane(3).isController(), false); // empty panes are left alone
    }
};

QTEST_MAIN(TestMovController)
#include "tst_movcontroller.moc"
