// The coordinator: choosing playlists, loading, playing, skipping and synchronising the four panes together,
// the window titles, and resumes that give way to the user.
#include "PaneFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;
using L = QList<bool>;

class TestMovController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void choicesWithinTheDelayLoadOnceWithTheLast()
    {
        LibraryPaneFixture f;
        QVERIFY(!f.controller.hasPendingLoad());
        QCOMPARE(f.scheduler.pendingCount(), 0);
        QList<ObjectId> lists;
        for (const char* name : {"first.mp4", "second.mp4", "third.mp4"}) {
            lists << f.playlist(name);
            f.entry(lists.last(), 1, clip(name));
        }
        QSignalSpy loads(&f.controller, &MovController::allMovieViewsChanged);
        QSignalSpy move(&f.controller, &MovController::moveButtonEnabledNeedsRefresh);
        f.select(lists[0]); // a selection alone loads nothing
        QCOMPARE(move.count(), 1);
        QVERIFY(!f.controller.hasPendingLoad());

        for (ObjectId list : lists) {
            f.controller.setUniqueId(f.idOf(list));
            f.scheduler.advance(list == lists.last() ? MovController::ChangeDelay - 1ms : 200ms);
        }
        QCOMPARE(loads.count(), 0);
        QVERIFY(f.engine.openedMovies().isEmpty());
        f.scheduler.advance(1ms);
        QCOMPARE(loads.count(), 1);
        QCOMPARE(f.engine.openedMovies().size(), 1);
        QCOMPARE(f.pane(1).filePath(), clip("third.mp4"));
        f.scheduler.advance(10s);
        QCOMPARE(loads.count(), 1);
        // Choosing the same playlist again loads it again.
        FakeMovie* before = f.movieOf(1);
        f.show(lists.last());
        QVERIFY(f.movieOf(1) != before);
        QCOMPARE(f.pane(1).filePath(), clip("third.mp4"));
    }

    void firstEntryPerPaneInListOrderOthersEmptied()
    {
        LibraryPaneFixture f;
        const ObjectId old = f.playlist("old");
        for (int n = 1; n <= 4; ++n)
            f.entry(old, n, clip("old.mp4"));
        f.show(old);
        QCOMPARE(f.panePaths(), QStringList(4, clip("old.mp4")));

        const ObjectId list = f.playlist("list");
        f.entry(list, 2, clip("second-first.mp4"));
        f.entry(list, 1, clip("one.mp4"));
        f.entry(list, 2, clip("second-later.mp4"));
        f.entry(list, 3, clip("broken.mp4")); // unreadable: empties its pane without an alert
        f.entry(list, 5, clip("nowhere.mp4"));
        f.engine.failingPaths.insert(clip("broken.mp4"));
        f.show(list);
        QString firstForTwo; // the first of pane 2's entries in the file list's order
        for (ObjectId id : f.library.getArrangedObjects(LibrarySchema::Filelist)) {
            if (f.context.value(id, LibrarySchema::ViewNo).toInt() == 2 && firstForTwo.isEmpty())
                firstForTwo = f.context.value(id, LibrarySchema::FilePath).toString();
        }
        QCOMPARE(f.panePaths(), (QStringList{clip("one.mp4"), firstForTwo, QString(), QString()}));
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
        QList<int> startedWhenHeard;
        QList<Movie*> heard;
        connect(&f.engine, &MovieEngine::movieRateDidChange, this, [&](Movie* movie) {
            heard << movie;
            int started = 0;
            for (int n = 1; n <= 4; ++n)
                started += f.movieOf(n)->commands.contains("play") ? 1 : 0;
            startedWhenHeard << started;
        });
        if (resume) {
            f.controller.setAllMoviePlay(true);
            f.controller.skipAllMovieTime(MovController::SkipForward);
            heard.clear();
            startedWhenHeard.clear();
            for (int n = 1; n <= 4; ++n)
                f.movieOf(n)->commands.clear();
            f.scheduler.advance(MovController::ResumeAfterSkipDelay);
        } else {
            f.controller.changeAllMoviePlay();
        }
        QCOMPARE(f.playing(), (L{true, true, false, true}));
        QCOMPARE(heard, (QList<Movie*>{f.movieOf(1), f.movieOf(2), f.movieOf(4)}));
        QCOMPARE(startedWhenHeard, (QList<int>{3, 3, 3}));
    }

    void loadingResumesOnlyWhatPlayed_data()
    {
        QTest::addColumn<bool>("wasPlaying");
        QTest::newRow("playing: every playable pane starts") << true;
        QTest::newRow("stopped: nothing starts") << false;
    }

    void loadingResumesOnlyWhatPlayed()
    {
        QFETCH(bool, wasPlaying);
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        for (int n = 1; n <= 4; ++n)
            f.entry(list, n, clip("new.mp4"));
        f.load(2, "playing.mp4");
        f.pane(2).setMoviePlay(wasPlaying);
        f.pane(4).resize(0, 150); // squeezed away: never playable

        f.show(list);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        QCOMPARE(f.pane(2).filePath(), clip("new.mp4"));
        QCOMPARE(f.controller.hasPendingResume(), wasPlaying);
        f.scheduler.advance(MovController::ResumeAfterLoadDelay - 1ms);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(1ms);
        QCOMPARE(f.playing(), (L{wasPlaying, wasPlaying, wasPlaying, false}));
    }

    void windowTitles_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("mainTitle");
        QTest::addColumn<QString>("controlTitle");
        QTest::newRow("playlist") << "playlist"
                                  << "Holiday"
                                  << "Holiday";
        QTest::newRow("folder") << "folder"
                                << "[ Holiday ]"
                                << "[ Holiday ]";
        QTest::newRow("nothing selected") << "none"
                                          << "Tetrapan"
                                          << "Controller";
        QTest::newRow("no such playlist") << "unknown"
                                          << "Tetrapan"
                                          << "Controller";
    }

    void windowTitles()
    {
        QFETCH(QString, choice);
        QFETCH(QString, mainTitle);
        QFETCH(QString, controlTitle);
        LibraryPaneFixture f;
        const ObjectId node = f.playlist("Holiday", choice == "folder");
        // A node without an identifier must not lend its title to "nothing selected".
        f.context.setValue(f.playlist("Nameless"), LibrarySchema::UniqueId, QVariant());
        QSignalSpy main(&f.controller, &MovController::mainWindowTitleChanged);
        QSignalSpy control(&f.controller, &MovController::controlWindowTitleChanged);
        QSignalSpy move(&f.controller, &MovController::moveButtonEnabledNeedsRefresh);
        f.controller.setUniqueId(choice == "none"      ? QString()
                                 : choice == "unknown" ? "99999999"
                                                       : f.idOf(node));
        QCOMPARE(main.count(), 1);
        QCOMPARE(main.first().first().toString(), mainTitle);
        QCOMPARE(control.first().first().toString(), controlTitle);
        QCOMPARE(move.count(), 1);
    }

    void frameSetIsLoadedOnlyWhenAskedAndPresent_data()
    {
        QTest::addColumn<bool>("option");
        QTest::addColumn<QString>("frameSet");
        QTest::newRow("option on, frame set") << true << "0:0.50:0.30:0.70";
        QTest::newRow("option off") << false << "0:0.50:0.30:0.70";
        QTest::newRow("no frame set") << true << "";
    }

    void frameSetIsLoadedOnlyWhenAskedAndPresent()
    {
        QFETCH(bool, option);
        QFETCH(QString, frameSet);
        LibraryPaneFixture f;
        userDefaultsExtension::setDefaultBoolValue(f.settings, option, QStringLiteral("optLoadFrameSet"));
        QSignalSpy frames(&f.controller, &MovController::loadSplitViewFrameRequested);
        f.show(f.playlist("list", false, frameSet));
        QCOMPARE(frames.count(), option && !frameSet.isEmpty() ? 1 : 0);
        if (!frames.isEmpty())
            QCOMPARE(frames.first().first().toInt(), 0);
    }

    void skipAll_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<MovieTime>("expected"); // every playable pane's position afterwards
        QTest::addColumn<L>("playingAfter");
        // Panes 1 and 3 play, 2 is stopped, 4 is empty; all start at 12.7 s of 60 s.
        QTest::newRow("to the start") << 0 << at600(0) << L{true, false, true, false};
        QTest::newRow("back") << 1 << at600(2) << L{true, false, true, false};
        QTest::newRow("forward") << 2 << at600(22) << L{true, false, true, false};
        QTest::newRow("to the end never restarts") << 3 << at600(60) << L{false, false, false, false};
        QTest::newRow("unknown kind skips nothing") << 7 << at600(12.7) << L{true, false, true, false};
    }

    void skipAll()
    {
        QFETCH(int, kind);
        QFETCH(MovieTime, expected);
        QFETCH(L, playingAfter);
        LibraryPaneFixture f;
        for (int n = 1; n <= 3; ++n)
            f.load(n)->moveTo(at600(12.7));
        f.pane(1).playMovie();
        f.pane(3).playMovie();
        QObject sender;
        sender.setProperty("tag", kind);
        f.controller.changeAllMovieTime(&sender);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(f.movieOf(n)->currentTime(), expected);
        f.scheduler.advance(MovController::ResumeAfterSkipDelay - 1ms);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(1ms);
        QCOMPARE(f.playing(), playingAfter);
        f.scheduler.advance(10s);
        QCOMPARE(f.playing(), playingAfter);
    }

    void skipWithOnePaneAloneNeitherStopsNorResumes()
    {
        LibraryPaneFixture f;
        for (int n = 1; n <= 4; ++n) {
            f.load(n)->moveTo(at600(30));
            f.pane(n).playMovie();
            if (n != 2)
                f.pane(n).resize(0, 0);
        }
        f.controller.skipAllMovieTime(MovController::SkipForward);
        QCOMPARE(f.playing(), (L{true, true, true, true}));
        QCOMPARE(f.movieOf(2)->currentTime(), at600(40));
        QCOMPARE(f.movieOf(1)->currentTime(), at600(30));
        QVERIFY(!f.controller.hasPendingResume());
    }

    void frameStepStopsAllAndStepsThePlayable_data()
    {
        QTest::addColumn<bool>("forward");
        QTest::newRow("forward") << true;
        QTest::newRow("back") << false;
    }

    void frameStepStopsAllAndStepsThePlayable()
    {
        QFETCH(bool, forward);
        LibraryPaneFixture f;
        for (int n = 1; n <= 3; ++n) {
            f.load(n)->moveTo(at600(10));
            f.pane(n).playMovie();
        }
        f.pane(3).resize(0, 150); // squeezed away: stopped, not stepped
        f.controller.skipAllMovieTime(MovController::SkipForward);
        QVERIFY(f.controller.hasPendingResume());
        f.controller.stepAllMovieFrame(forward);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        QVERIFY(!f.controller.hasPendingResume()); // stays stopped on the frame
        const QString step = QStringLiteral("stepFrame %1").arg(forward ? 1 : 0);
        QCOMPARE(f.movieOf(1)->commands.last(), step);
        QCOMPARE(f.movieOf(2)->commands.last(), step);
        QVERIFY(!f.movieOf(3)->commands.contains(step));
        QCOMPARE(f.movieOf(1)->currentTime(), at600(forward ? 20.04 : 19.96));
    }

    void sync_data()
    {
        QTest::addColumn<int>("source"); // the pane asking; 0 is the coordinator's Sync for all
        QTest::addColumn<int>("squeezed");
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<L>("playingAfter");
        // Panes 1 (12.5 s) and 2 (8 s) play, 3 (20 s) is stopped, 4 is empty.
        QTest::newRow("pane 2 leads") << 2 << 0 << QList<double>{8, 8, 8} << L{true, true, false, false};
        QTest::newRow("all from the first playable pane")
            << 0 << 1 << QList<double>{12.5, 8, 8} << L{false, true, false, false};
        QTest::newRow("squeezed pane moves nothing")
            << 3 << 3 << QList<double>{12.5, 8, 20} << L{true, true, false, false};
        QTest::newRow("empty pane moves nothing")
            << 4 << 0 << QList<double>{12.5, 8, 20} << L{true, true, false, false};
    }

    void sync()
    {
        QFETCH(int, source);
        QFETCH(int, squeezed);
        QFETCH(QList<double>, times);
        QFETCH(L, playingAfter);
        PaneFixture f;
        f.load(1)->moveTo(MovieTime{1125, 90, 0}); // 12.5 s at a scale of its own
        f.load(2)->moveTo(at600(8));
        f.load(3)->moveTo(at600(20));
        f.pane(1).playMovie();
        f.pane(2).playMovie();
        if (squeezed)
            f.pane(squeezed).resize(0, 150);
        if (source)
            f.pane(source).syncMovieTime();
        else
            f.controller.syncAllMovieTime();
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(f.movieOf(n)->currentTime(), at600(times[n - 1]));
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(MovController::ResumeAfterSyncDelay - 1ms);
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(1ms);
        QCOMPARE(f.playing(), playingAfter);
    }

    void userCommandsCancelPendingResumes_data()
    {
        QTest::addColumn<QString>("pending"); // what left the resume waiting
        QTest::addColumn<QString>("command"); // what the user did meanwhile
        QTest::addColumn<L>("playingAfter");
        for (const char* pending : {"load", "skip", "sync"}) {
            QTest::addRow("%s, then pane 2 played and stopped", pending) << pending << "2x2" << L{0, 0, 0, 0};
            QTest::addRow("%s, then pane 3 played", pending) << pending << "3" << L{0, 0, 1, 0};
            QTest::addRow("%s, then play all", pending) << pending << "all" << L{1, 1, 1, 1};
            QTest::addRow("%s, then play and stop all", pending) << pending << "allx2" << L{0, 0, 0, 0};
            QTest::addRow("%s, then skip to the end", pending) << pending << "end" << L{0, 0, 0, 0};
        }
    }

    void userCommandsCancelPendingResumes()
    {
        QFETCH(QString, pending);
        QFETCH(QString, command);
        QFETCH(L, playingAfter);
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        for (int n = 1; n <= 4; ++n) {
            f.entry(list, n, clip("a.mp4"));
            f.load(n);
            f.pane(n).playMovie();
        }
        if (pending == "load")
            f.show(list);
        else if (pending == "skip")
            f.controller.skipAllMovieTime(MovController::SkipForward);
        else
            f.controller.syncAllMovieTime();
        QVERIFY(f.controller.hasPendingResume());
        QCOMPARE(f.playing(), (L{false, false, false, false}));

        if (command.startsWith("all"))
            f.controller.changeAllMoviePlay();
        if (command == "allx2")
            f.controller.changeAllMoviePlay();
        if (command == "end")
            f.controller.skipAllMovieTime(MovController::SkipToEnd);
        for (int times = command == "2x2" ? 2 : 0; times > 0; --times)
            f.pane(2).changeMoviePlay();
        if (command == "3")
            f.pane(3).changeMoviePlay();
        QVERIFY(!f.controller.hasPendingResume());
        f.scheduler.advance(10s);
        QCOMPARE(f.playing(), playingAfter);
    }

    void newerLoadCarriesTheResumeOver()
    {
        LibraryPaneFixture f;
        const ObjectId first = f.playlist("first");
        const ObjectId second = f.playlist("second");
        f.entry(first, 1, clip("first.mp4"));
        f.entry(second, 1, clip("second.mp4"));
        f.entry(second, 2, clip("second-2.mp4"));
        f.load(1);
        f.pane(1).playMovie();

        f.show(first); // t = 0.5 s; its resume would come at 1.5 s
        f.scheduler.advance(300ms);
        f.show(second); // t = 1.3 s
        QCOMPARE(f.pane(2).filePath(), clip("second-2.mp4"));
        f.scheduler.advance(200ms); // the first load's resume time passes
        QCOMPARE(f.playing(), (L{false, false, false, false}));
        f.scheduler.advance(MovController::ResumeAfterLoadDelay - 200ms);
        QCOMPARE(f.playing(), (L{true, true, false, false}));
    }

    void playAll_data()
    {
        QTest::addColumn<int>("viewNo"); // -2 toggles all
        QTest::addColumn<L>("playing");
        // Panes 1, 3 and 4 hold movies; pane 4 is squeezed away.
        QTest::newRow("toggle all") << -2 << L{1, 0, 1, 0};
        QTest::newRow("0 is all") << 0 << L{1, 0, 1, 0};
        QTest::newRow("one pane") << 3 << L{0, 0, 1, 0};
        QTest::newRow("5 is nothing") << 5 << L{0, 0, 0, 0};
        QTest::newRow("-1 is nothing") << -1 << L{0, 0, 0, 0};
    }

    void playAll()
    {
        QFETCH(int, viewNo);
        QFETCH(L, playing);
        PaneFixture f;
        for (int n : {1, 3, 4})
            f.load(n);
        f.pane(4).resize(200, 0);
        if (viewNo == -2)
            f.controller.changeAllMoviePlay();
        else
            f.controller.setMoviePlay(viewNo, true);
        QCOMPARE(f.playing(), playing);
        QCOMPARE(f.controller.anyMovieIsPlaying(), playing.contains(true));
        // A pane squeezed while playing no longer counts as playing.
        f.pane(3).resize(0, 0);
        QCOMPARE(f.controller.anyMovieIsPlaying(), playing[0]);
        if (viewNo == -2) {
            f.pane(3).resize(200, 150);
            f.controller.changeAllMoviePlay();
            QCOMPARE(f.playing(), (L{false, false, false, false}));
        }
    }

    void groupToggles_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("playableState"); // the state the playable pane has before
        QTest::addColumn<bool>("expected");      // the state every available pane has after
        QTest::newRow("controller shown hides all") << "controller" << true << false;
        QTest::newRow("controller hidden shows all") << "controller" << false << true;
        QTest::newRow("scale to fit keeps all") << "aspect" << false << true;
        QTest::newRow("keeping scales all") << "aspect" << true << false;
        QTest::newRow("sounding mutes all") << "sound" << false << true;
        QTest::newRow("muted unmutes all") << "sound" << true << false;
    }

    void groupToggles()
    {
        QFETCH(QString, what);
        QFETCH(bool, playableState);
        QFETCH(bool, expected);
        PaneFixture f;
        f.load(1);
        f.load(2);
        // Pane 2 is available but squeezed away: it follows the group, but does not decide it.
        f.pane(2).resize(0, 0);
        const auto state = [&](QTMovieSubView& pane) {
            return what == "controller" ? pane.isController()
                   : what == "aspect"   ? pane.isKeepAspect()
                                        : pane.isMuted();
        };
        for (int n : {1, 2}) {
            const bool value = n == 1 ? playableState : !playableState;
            if (what == "controller")
                f.pane(n).setMovieController(value);
            else if (what == "aspect")
                f.pane(n).setMovieAspect(value);
            else
                f.pane(n).setMovieMuted(value);
        }
        if (what == "controller")
            f.controller.changeAllMovieController();
        else if (what == "aspect")
            f.controller.changeAllMovieAspect();
        else
            f.controller.changeAllMovieSound();
        QCOMPARE(state(f.pane(1)), expected);
        QCOMPARE(state(f.pane(2)), expected);
        QCOMPARE(f.pane(3).isController(), false); // empty panes are left alone
    }

    void playableAndDisplayedViewNo_data()
    {
        QTest::addColumn<L>("loaded");
        QTest::addColumn<L>("displayed");
        QTest::addColumn<int>("playableViewNo");
        QTest::addColumn<int>("displayedViewNo");
        QTest::addColumn<bool>("canSync");
        QTest::newRow("nothing loaded") << L{0, 0, 0, 0} << L{1, 1, 1, 1} << -1 << 0 << false;
        QTest::newRow("one loaded") << L{0, 0, 1, 0} << L{1, 1, 1, 1} << 3 << 0 << false;
        QTest::newRow("two loaded") << L{1, 0, 1, 0} << L{1, 1, 1, 1} << 0 << 0 << true;
        QTest::newRow("two loaded, one squeezed") << L{1, 0, 1, 0} << L{1, 1, 0, 1} << 1 << 0 << false;
        QTest::newRow("one pane alone") << L{1, 1, 1, 1} << L{0, 1, 0, 0} << 2 << 2 << false;
        QTest::newRow("nothing shown") << L{1, 1, 1, 1} << L{0, 0, 0, 0} << -1 << 0 << false;
    }

    void playableAndDisplayedViewNo()
    {
        QFETCH(L, loaded);
        QFETCH(L, displayed);
        QFETCH(int, playableViewNo);
        QFETCH(int, displayedViewNo);
        QFETCH(bool, canSync);
        PaneFixture f;
        for (int n = 1; n <= 4; ++n) {
            if (loaded[n - 1])
                f.load(n);
            if (!displayed[n - 1])
                f.pane(n).resize(200, 0);
        }
        QCOMPARE(f.controller.playableViewNo(), playableViewNo);
        QCOMPARE(f.controller.displayedViewNo(), displayedViewNo);
        QCOMPARE(f.controller.canSyncMovieTime(), canSync);
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(f.pane(n).viewNo(), n);
            QCOMPARE(f.pane(n).canSyncMovieTime(), canSync);
            QCOMPARE(f.pane(n).isMaximized(), n == displayedViewNo);
        }
    }

    void numberedRequestsIgnoreOtherNumbers()
    {
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        f.select(list);
        f.load(2);
        f.controller.clearMovieView(0);
        f.controller.clearMovieView(5);
        QVERIFY(f.pane(2).isAvailable());
        f.controller.clearMovieView(2);
        QVERIFY(!f.pane(2).isAvailable());

        f.controller.copyMovieView(1, clip("copied.mp4"), 9);
        QVERIFY(f.entryPaths(list, 9).isEmpty());
        f.controller.copyMovieView(1, clip("copied.mp4"), 4);
        QCOMPARE(f.pane(4).filePath(), clip("copied.mp4"));
        QCOMPARE(f.entryPaths(list, 4), QStringList{clip("copied.mp4")});

        QObject sender;
        sender.setProperty("tag", 0);
        f.controller.openMovieFile(&sender);
        QVERIFY(f.dialogs.openPanels.isEmpty());
        sender.setProperty("tag", 3);
        f.dialogs.openPanelAnswers = {{clip("chosen.mp4")}};
        f.controller.openMovieFile(&sender);
        QCOMPARE(f.dialogs.openPanels.size(), 1);
        QCOMPARE(f.pane(3).filePath(), clip("chosen.mp4"));
    }
};

QTEST_MAIN(TestMovController)
#include "tst_movcontroller.moc"
