// The coordinator over a library: choosing playlists, loading, playing, skipping and synchronising the four
// panes together, the window titles, and resumes that give way to the user.
#include "LibraryPaneFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;
using tetrapan::test::FakeMovie;
using tetrapan::test::LibraryPaneFixture;

namespace {
MovieTime at600(double seconds)
{
    return MovieTime::fromSeconds(seconds, 600);
}
QString clip(const char* name)
{
    return QStringLiteral("/clips/") + QLatin1String(name);
}
} // namespace

class TestMovController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingLoadsBeforeAPlaylistIsChosen();
    void choicesWithinTheDelayLoadOnceWithTheLast();
    void choosingTheSamePlaylistAgainReloads();
    void firstEntryPerPaneInListOrderOthersEmptied();
    void unreadableEntryEmptiesItsPane();
    void loadingWhilePlayingRestartsEveryPlayablePane();
    void loadingWhileStoppedStartsNothing();
    void windowTitles_data();
    void windowTitles();
    void frameSetIsLoadedOnlyWhenAskedAndPresent_data();
    void frameSetIsLoadedOnlyWhenAskedAndPresent();
    void selectionChangeRefreshesMoveButtons();
    void skipAll_data();
    void skipAll();
    void skipWithOnePaneAloneNeitherStopsNorResumes();
    void syncAllTakesTheFirstPlayablePane();
    void userCommandsAndNewerLoadsCancelPendingResumes_data();
    void userCommandsAndNewerLoadsCancelPendingResumes();
    void newerLoadCarriesTheResumeOver();
    void skipToEndCancelsAnEarlierResume();
    void changeAllMoviePlayTogglesPlayablePanes();
    void setMoviePlayByViewNo_data();
    void setMoviePlayByViewNo();
    void groupToggles_data();
    void groupToggles();
    void numberedRequestsIgnoreOtherNumbers();
    void openPlaylistWindowIsPassedOn();
};

void TestMovController::nothingLoadsBeforeAPlaylistIsChosen()
{
    LibraryPaneFixture f;
    QCOMPARE(f.controller.uniqueId(), QString());
    QVERIFY(!f.controller.hasPendingLoad());
    QCOMPARE(f.scheduler.pendingCount(), 0);
}

void TestMovController::choicesWithinTheDelayLoadOnceWithTheLast()
{
    LibraryPaneFixture f;
    const ObjectId first = f.playlist("first");
    const ObjectId second = f.playlist("second");
    const ObjectId third = f.playlist("third");
    f.entry(first, 1, clip("first.mp4"));
    f.entry(second, 1, clip("second.mp4"));
    f.entry(third, 1, clip("third.mp4"));
    QSignalSpy loads(&f.controller, &MovController::allMovieViewsChanged);

    f.controller.setUniqueId(f.idOf(first));
    f.scheduler.advance(200ms);
    f.controller.setUniqueId(f.idOf(second));
    f.scheduler.advance(200ms);
    f.controller.setUniqueId(f.idOf(third));
    f.scheduler.advance(MovController::ChangeDelay - 1ms);
    QCOMPARE(loads.count(), 0);
    QVERIFY(f.engine.openedMovies().isEmpty());
    f.scheduler.advance(1ms);
    QCOMPARE(loads.count(), 1);
    QCOMPARE(f.engine.openedMovies().size(), 1);
    QCOMPARE(f.pane(1).filePath(), clip("third.mp4"));
    f.scheduler.advance(10s);
    QCOMPARE(loads.count(), 1);
}

void TestMovController::choosingTheSamePlaylistAgainReloads()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 2, clip("b.mp4"));
    f.show(list);
    FakeMovie* before = f.movieOf(2);
    QVERIFY(before);
    f.show(list);
    QVERIFY(f.movieOf(2) != before);
    QCOMPARE(f.pane(2).filePath(), clip("b.mp4"));
}

void TestMovController::firstEntryPerPaneInListOrderOthersEmptied()
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
    f.entry(list, 5, clip("nowhere.mp4"));
    f.show(list);
    // The pane takes the first of its entries in the file list's order.
    const QList<ObjectId> arranged = f.library.getArrangedObjects(LibrarySchema::Filelist);
    QString firstForTwo;
    for (ObjectId id : arranged) {
        if (f.context.value(id, LibrarySchema::ViewNo).toInt() == 2) {
            firstForTwo = f.context.value(id, LibrarySchema::FilePath).toString();
            break;
        }
    }
    QCOMPARE(f.panePaths(), (QStringList{clip("one.mp4"), firstForTwo, QString(), QString()}));
    QVERIFY(!f.pane(3).isAvailable());
    QVERIFY(!f.pane(4).movie());
}

void TestMovController::unreadableEntryEmptiesItsPane()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 1, clip("good.mp4"));
    f.entry(list, 3, clip("broken.mp4"));
    f.engine.failingPaths.insert(clip("broken.mp4"));
    f.load(3, "earlier.mp4");
    f.show(list);
    QCOMPARE(f.panePaths(), (QStringList{clip("good.mp4"), QString(), QString(), QString()}));
    QVERIFY(f.dialogs.alerts.isEmpty());
}

void TestMovController::loadingWhilePlayingRestartsEveryPlayablePane()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    for (int n = 1; n <= 4; ++n)
        f.entry(list, n, clip("new.mp4"));
    f.load(2, "playing.mp4");
    f.pane(2).playMovie();
    f.pane(4).resize(0, 150); // squeezed away: never playable

    f.select(list);
    f.controller.setUniqueId(f.idOf(list));
    f.scheduler.advance(MovController::ChangeDelay);
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    QCOMPARE(f.pane(2).filePath(), clip("new.mp4"));
    f.scheduler.advance(MovController::ResumeAfterLoadDelay - 1ms);
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    f.scheduler.advance(1ms);
    QCOMPARE(f.playing(), (QList<bool>{true, true, true, false}));
}

void TestMovController::loadingWhileStoppedStartsNothing()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 1, clip("a.mp4"));
    f.load(1, "stopped.mp4");
    f.show(list);
    QVERIFY(!f.controller.hasPendingResume());
    f.scheduler.advance(5s);
    QVERIFY(!f.pane(1).isPlaying());
}

void TestMovController::windowTitles_data()
{
    QTest::addColumn<QString>("choice"); // "playlist", "folder", "none" or "unknown"
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

void TestMovController::windowTitles()
{
    QFETCH(QString, choice);
    QFETCH(QString, mainTitle);
    QFETCH(QString, controlTitle);
    LibraryPaneFixture f;
    const ObjectId node = f.playlist("Holiday", choice == QLatin1String("folder"));
    // A node without an identifier must not lend its title to "nothing selected".
    const ObjectId nameless = f.playlist("Nameless");
    f.context.setValue(nameless, LibrarySchema::UniqueId, QVariant());
    QSignalSpy main(&f.controller, &MovController::mainWindowTitleChanged);
    QSignalSpy control(&f.controller, &MovController::controlWindowTitleChanged);
    QSignalSpy move(&f.controller, &MovController::moveButtonEnabledNeedsRefresh);

    const QString id = choice == QLatin1String("none")      ? QString()
                       : choice == QLatin1String("unknown") ? QStringLiteral("99999999")
                                                            : f.idOf(node);
    f.controller.setUniqueId(id);
    QCOMPARE(main.count(), 1);
    QCOMPARE(main.first().first().toString(), mainTitle);
    QCOMPARE(control.first().first().toString(), controlTitle);
    QCOMPARE(move.count(), 1);
}

void TestMovController::frameSetIsLoadedOnlyWhenAskedAndPresent_data()
{
    QTest::addColumn<bool>("option");
    QTest::addColumn<QString>("frameSet");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("option on, frame set") << true << "0:0.50:0.30:0.70" << true;
    QTest::newRow("option off") << false << "0:0.50:0.30:0.70" << false;
    QTest::newRow("no frame set") << true << "" << false;
}

void TestMovController::frameSetIsLoadedOnlyWhenAskedAndPresent()
{
    QFETCH(bool, option);
    QFETCH(QString, frameSet);
    QFETCH(bool, loaded);
    LibraryPaneFixture f;
    userDefaultsExtension::setDefaultBoolValue(f.settings, option, QStringLiteral("optLoadFrameSet"));
    const ObjectId list = f.playlist("list", false, frameSet);
    QSignalSpy frames(&f.controller, &MovController::loadSplitViewFrameRequested);
    f.show(list);
    QCOMPARE(frames.count(), loaded ? 1 : 0);
    if (loaded)
        QCOMPARE(frames.first().first().toInt(), 0);
}

void TestMovController::selectionChangeRefreshesMoveButtons()
{
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    QSignalSpy move(&f.controller, &MovController::moveButtonEnabledNeedsRefresh);
    f.select(list);
    QCOMPARE(move.count(), 1);
    QVERIFY(!f.controller.hasPendingLoad()); // a selection alone loads nothing
}

void TestMovController::skipAll_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<MovieTime>("expected"); // every playable pane's position afterwards
    QTest::addColumn<QList<bool>>("playingAfter");
    using L = QList<bool>;
    // Panes 1 and 3 play, 2 is stopped, 4 is empty; all start at 12.7 s of 60 s.
    QTest::newRow("to the start") << 0 << at600(0) << L{true, false, true, false};
    QTest::newRow("back") << 1 << at600(2) << L{true, false, true, false};
    QTest::newRow("forward") << 2 << at600(22) << L{true, false, true, false};
    QTest::newRow("to the end never restarts") << 3 << at600(60) << L{false, false, false, false};
    QTest::newRow("unknown kind skips nothing") << 7 << at600(12.7) << L{true, false, true, false};
}

void TestMovController::skipAll()
{
    QFETCH(int, kind);
    QFETCH(MovieTime, expected);
    QFETCH(QList<bool>, playingAfter);
    LibraryPaneFixture f;
    for (int n = 1; n <= 3; ++n)
        f.load(n)->moveTo(at600(12.7));
    f.pane(1).playMovie();
    f.pane(3).playMovie();

    QObject sender;
    sender.setProperty("tag", kind);
    f.controller.changeAllMovieTime(&sender);
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(f.movieOf(n)->currentTime(), expected);
    f.scheduler.advance(MovController::ResumeAfterSkipDelay - 1ms);
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    f.scheduler.advance(1ms);
    QCOMPARE(f.playing(), playingAfter);
    f.scheduler.advance(10s);
    QCOMPARE(f.playing(), playingAfter);
}

void TestMovController::skipWithOnePaneAloneNeitherStopsNorResumes()
{
    LibraryPaneFixture f;
    for (int n = 1; n <= 4; ++n) {
        f.load(n)->moveTo(at600(30));
        f.pane(n).playMovie();
        if (n != 2)
            f.pane(n).resize(0, 0);
    }
    f.controller.skipAllMovieTime(MovController::SkipForward);
    QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
    QCOMPARE(f.movieOf(2)->currentTime(), at600(40));
    QCOMPARE(f.movieOf(1)->currentTime(), at600(30));
    QVERIFY(!f.controller.hasPendingResume());
}

void TestMovController::syncAllTakesTheFirstPlayablePane()
{
    LibraryPaneFixture f;
    f.load(2)->moveTo(at600(8));
    f.load(3)->moveTo(at600(20));
    f.load(4)->moveTo(at600(33));
    f.pane(2).resize(0, 150); // the first loaded pane is squeezed away, so pane 3 leads
    f.pane(3).playMovie();
    f.controller.syncAllMovieTime();
    QCOMPARE(f.movieOf(4)->currentTime(), at600(20));
    QCOMPARE(f.movieOf(2)->currentTime(), at600(8));
    f.scheduler.advance(MovController::ResumeAfterSyncDelay);
    QCOMPARE(f.playing(), (QList<bool>{false, false, true, false}));
}

void TestMovController::userCommandsAndNewerLoadsCancelPendingResumes_data()
{
    QTest::addColumn<QString>("pending"); // what left the resume waiting: "load", "skip" or "sync"
    QTest::addColumn<QString>("command"); // what the user did meanwhile
    QTest::addColumn<QList<bool>>("playingAfter");
    using L = QList<bool>;
    for (const char* pending : {"load", "skip", "sync"}) {
        QTest::addRow("%s, then pane 2 played and stopped", pending)
            << pending << "pane toggled twice" << L{false, false, false, false};
        QTest::addRow("%s, then pane 3 played", pending)
            << pending << "pane toggled" << L{false, false, true, false};
        QTest::addRow("%s, then play all", pending) << pending << "all toggled" << L{true, true, true, true};
        QTest::addRow("%s, then play and stop all", pending)
            << pending << "all toggled twice" << L{false, false, false, false};
    }
}

void TestMovController::userCommandsAndNewerLoadsCancelPendingResumes()
{
    QFETCH(QString, pending);
    QFETCH(QString, command);
    QFETCH(QList<bool>, playingAfter);
    LibraryPaneFixture f;
    const ObjectId list = f.playlist("list");
    for (int n = 1; n <= 4; ++n) {
        f.entry(list, n, clip("a.mp4"));
        f.load(n);
        f.pane(n).playMovie();
    }
    if (pending == QLatin1String("load"))
        f.show(list);
    else if (pending == QLatin1String("skip"))
        f.controller.skipAllMovieTime(MovController::SkipForward);
    else
        f.controller.syncAllMovieTime();
    QVERIFY(f.controller.hasPendingResume());
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));

    if (command == QLatin1String("pane toggled twice")) {
        f.pane(2).changeMoviePlay();
        f.pane(2).changeMoviePlay();
    } else if (command == QLatin1String("pane toggled")) {
        f.pane(3).changeMoviePlay();
    } else if (command == QLatin1String("all toggled")) {
        f.controller.changeAllMoviePlay();
    } else {
        f.controller.changeAllMoviePlay();
        f.controller.changeAllMoviePlay();
    }
    QVERIFY(!f.controller.hasPendingResume());
    f.scheduler.advance(10s);
    QCOMPARE(f.playing(), playingAfter);
}

void TestMovController::newerLoadCarriesTheResumeOver()
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
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    f.scheduler.advance(MovController::ResumeAfterLoadDelay - 200ms);
    QCOMPARE(f.playing(), (QList<bool>{true, true, false, false}));
}

void TestMovController::skipToEndCancelsAnEarlierResume()
{
    LibraryPaneFixture f;
    f.load(1);
    f.load(2);
    f.pane(1).playMovie();
    f.controller.syncAllMovieTime();
    QVERIFY(f.controller.hasPendingResume());
    f.controller.skipAllMovieTime(MovController::SkipToEnd);
    f.scheduler.advance(10s);
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    QVERIFY(f.pane(1).isEndFrame());
}

void TestMovController::changeAllMoviePlayTogglesPlayablePanes()
{
    LibraryPaneFixture f;
    f.load(1);
    f.load(3);
    f.load(4);
    f.pane(4).resize(200, 0);
    f.controller.changeAllMoviePlay();
    QCOMPARE(f.playing(), (QList<bool>{true, false, true, false}));
    f.controller.changeAllMoviePlay();
    QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
}

void TestMovController::setMoviePlayByViewNo_data()
{
    QTest::addColumn<int>("viewNo");
    QTest::addColumn<QList<bool>>("playing");
    using L = QList<bool>;
    QTest::newRow("0 is all") << 0 << L{true, true, true, true};
    QTest::newRow("one pane") << 3 << L{false, false, true, false};
    QTest::newRow("5 is nothing") << 5 << L{false, false, false, false};
    QTest::newRow("-1 is nothing") << -1 << L{false, false, false, false};
}

void TestMovController::setMoviePlayByViewNo()
{
    QFETCH(int, viewNo);
    QFETCH(QList<bool>, playing);
    LibraryPaneFixture f;
    for (int n = 1; n <= 4; ++n)
        f.load(n);
    f.controller.setMoviePlay(viewNo, true);
    QCOMPARE(f.playing(), playing);
}

void TestMovController::groupToggles_data()
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

void TestMovController::groupToggles()
{
    QFETCH(QString, what);
    QFETCH(bool, playableState);
    QFETCH(bool, expected);
    LibraryPaneFixture f;
    f.load(1);
    f.load(2);
    // Pane 2 is available but squeezed away: it follows the group, but does not decide it.
    f.pane(2).resize(0, 0);
    const auto state = [&](QTMovieSubView& pane) {
        return what == QLatin1String("controller") ? pane.isController()
               : what == QLatin1String("aspect")   ? pane.isKeepAspect()
                                                   : pane.isMuted();
    };
    const auto set = [&](QTMovieSubView& pane, bool value) {
        if (what == QLatin1String("controller"))
            pane.setMovieController(value);
        else if (what == QLatin1String("aspect"))
            pane.setMovieAspect(value);
        else
            pane.setMovieMuted(value);
    };
    set(f.pane(1), playableState);
    set(f.pane(2), !playableState);
    if (what == QLatin1String("controller"))
        f.controller.changeAllMovieController();
    else if (what == QLatin1String("aspect"))
        f.controller.changeAllMovieAspect();
    else
        f.controller.changeAllMovieSound();
    QCOMPARE(state(f.pane(1)), expected);
    QCOMPARE(state(f.pane(2)), expected);
    // Empty panes are left alone.
    QCOMPARE(f.pane(3).isController(), false);
}

void TestMovController::numberedRequestsIgnoreOtherNumbers()
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

void TestMovController::openPlaylistWindowIsPassedOn()
{
    LibraryPaneFixture f;
    QSignalSpy open(&f.controller, &MovController::openPlaylistWindowRequested);
    f.controller.openPlaylistWindow();
    QCOMPARE(open.count(), 1);
}

QTEST_MAIN(TestMovController)
#include "tst_movcontroller.moc"
