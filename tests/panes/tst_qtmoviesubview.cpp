// One pane's behaviour on the fake engine.
#include "PaneFixture.h"

#include "engine/MovieView.h"
#include "panes/MovieControllerBar.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using tetrapan::test::FakeMovie;
using tetrapan::test::PaneFixture;

namespace {
MovieTime at600(double seconds)
{
    return MovieTime::fromSeconds(seconds, 600);
}
} // namespace

class TestQTMovieSubView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void skipArithmetic_data();
    void skipArithmetic();
    void skipActionsUseTheSkipSetting_data();
    void skipActionsUseTheSkipSetting();
    void skipToStartKeepsPlayingSkipToEndStops();
    void loopFlagFollowsPlayAndStop();
    void anEndingMovieRestartsEveryLoopingPane();
    void updateCarriesPlayAndMuteOver_data();
    void updateCarriesPlayAndMuteOver();
    void createAloneStartsUnmutedAtTheSettingsVolume();
    void refusedFileLeavesPaneOrEmptiesIt();
    void volume_data();
    void volume();
    void volumeSettingChangeReachesEveryPane();
    void emptyPaneQueries();
    void clearRestoresEmptyState();
    void squeezedPaneIsNotPlayable_data();
    void squeezedPaneIsNotPlayable();
    void endOfLiveResizeStopsSqueezedPane();
    void propertyBagWritesAnnounce_data();
    void propertyBagWritesAnnounce();
    void nothingIsAnnouncedBeforeSetUp();
    void everyRateChangeRefreshesPlayButtonOncePerPane();
    void controllerBarBounds();
    void controllerBarTimeText_data();
    void controllerBarTimeText();
    void replayOnlyWhenAvailable();
};

void TestQTMovieSubView::skipArithmetic_data()
{
    QTest::addColumn<MovieTime>("current");
    QTest::addColumn<int>("direction");
    QTest::addColumn<float>("step");
    QTest::addColumn<MovieTime>("expected");

    QTest::newRow("forward from 12.7 s truncates to 12 first") << at600(12.7) << 0 << 10.0f << at600(22.0);
    QTest::newRow("backward from 12.7 s") << at600(12.7) << 1 << 10.0f << at600(2.0);
    QTest::newRow("any other direction is backward") << at600(12.7) << 7 << 10.0f << at600(2.0);
    QTest::newRow("backward past the beginning stops at 0") << at600(4.0) << 1 << 10.0f << at600(0.0);
    QTest::newRow("forward past the end stops at the duration") << at600(55.0) << 0 << 10.0f << at600(60.0);
    QTest::newRow("a fractional step is kept") << at600(12.7) << 0 << 2.5f << at600(14.5);
    // The current time may have its own scale; the result takes the duration's.
    QTest::newRow("current time at another scale") << MovieTime{1143000, 90000, 0} << 0 << 10.0f << at600(22.0);
    QTest::newRow("a time without a scale counts as 0") << MovieTime{7620, 0, 0} << 0 << 10.0f << at600(10.0);
}

void TestQTMovieSubView::skipArithmetic()
{
    QFETCH(MovieTime, current);
    QFETCH(int, direction);
    QFETCH(float, step);
    QFETCH(MovieTime, expected);

    for (bool playing : {false, true}) {
        PaneFixture f;
        FakeMovie* movie = f.load(1);
        QVERIFY(movie);
        f.pane(1).setMoviePlay(playing);
        movie->moveTo(current);
        movie->commands.clear();

        f.pane(1).skipMovieTime(direction, step);
        QCOMPARE(movie->commands.size(), 1);
        QCOMPARE(movie->currentTime(), expected);
        QCOMPARE(movie->currentTime().scale, 600);
        QCOMPARE(f.pane(1).isPlaying(), playing);
    }
}

void TestQTMovieSubView::skipActionsUseTheSkipSetting_data()
{
    QTest::addColumn<bool>("forward");
    QTest::addColumn<float>("skipSetting");
    QTest::addColumn<double>("expectedSeconds");
    QTest::newRow("forward 3 s") << true << 3.0f << 23.0;
    QTest::newRow("backward 3 s") << false << 3.0f << 17.0;
    QTest::newRow("forward 30 s") << true << 30.0f << 50.0;
}

void TestQTMovieSubView::skipActionsUseTheSkipSetting()
{
    QFETCH(bool, forward);
    QFETCH(float, skipSetting);
    QFETCH(double, expectedSeconds);
    PaneFixture f;
    FakeMovie* movie = f.load(1);
    movie->moveTo(at600(20.4));
    f.setFloat("optSkipTime", skipSetting);
    if (forward)
        f.pane(1).skipForwardMovieTime();
    else
        f.pane(1).skipBackwardMovieTime();
    QCOMPARE(movie->currentTime(), at600(expectedSeconds));
}

void TestQTMovieSubView::skipToStartKeepsPlayingSkipToEndStops()
{
    PaneFixture f;
    FakeMovie* movie = f.load(1);
    f.pane(1).playMovie();
    movie->moveTo(at600(30));
    f.pane(1).skipStartMovieTime();
    QCOMPARE(movie->currentTime(), at600(0));
    QVERIFY(f.pane(1).isPlaying());
    QVERIFY(f.pane(1).isLoop());

    f.pane(1).skipEndMovieTime();
    QVERIFY(!f.pane(1).isPlaying());
    QVERIFY(!f.pane(1).isLoop());
    QVERIFY(f.pane(1).isEndFrame());
    QCOMPARE(movie->commands.mid(movie->commands.size() - 2), (QStringList{"stop", "gotoEnd"}));
}

void TestQTMovieSubView::loopFlagFollowsPlayAndStop()
{
    PaneFixture f;
    f.load(1);
    QTMovieSubView& pane = f.pane(1);
    QVERIFY(!pane.isLoop());
    pane.playMovie();
    QVERIFY(pane.isLoop());
    pane.changeMoviePlay();
    QVERIFY(!pane.isPlaying());
    QVERIFY(!pane.isLoop());
    pane.changeMoviePlay();
    QVERIFY(pane.isLoop());
    pane.clearMovieView();
    QVERIFY(!pane.isLoop());
}

void TestQTMovieSubView::anEndingMovieRestartsEveryLoopingPane()
{
    PaneFixture f;
    FakeMovie* looping = f.load(1, "a.mp4");
    FakeMovie* stopped = f.load(2, "b.mp4");
    f.pane(1).playMovie();

    // Playing on to the end: the movie stops by itself, the flag stays and the pane asks for play again,
    // which starts the movie from the beginning.
    looping->commands.clear();
    looping->reachEnd();
    QCOMPARE(looping->commands, QStringList{"play"});
    QVERIFY(f.pane(1).isPlaying());
    QCOMPARE(looping->currentTime(), at600(0));
    QVERIFY(stopped->commands.filter("play").isEmpty());

    // The end of another pane's movie reaches every pane: the looping one asks for play again as well.
    looping->commands.clear();
    stopped->reachEnd();
    QCOMPARE(looping->commands, QStringList{"play"});
    QVERIFY(!f.pane(2).isPlaying());

    // Stopped panes stay stopped at the end.
    f.pane(1).stopMovie();
    looping->commands.clear();
    looping->reachEnd();
    QVERIFY(looping->commands.isEmpty());
    QVERIFY(!f.pane(1).isPlaying());
}

void TestQTMovieSubView::updateCarriesPlayAndMuteOver_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("muted");
    QTest::newRow("stopped, sounding") << false << false;
    QTest::newRow("stopped, muted") << false << true;
    QTest::newRow("playing, sounding") << true << false;
    QTest::newRow("playing, muted") << true << true;
}

void TestQTMovieSubView::updateCarriesPlayAndMuteOver()
{
    QFETCH(bool, playing);
    QFETCH(bool, muted);
    PaneFixture f;
    f.setFloat("optPlayVolume", 0.75f);
    f.load(1, "first.mp4");
    f.pane(1).setMoviePlay(playing);
    f.pane(1).setMovieMuted(muted);

    f.pane(1).updateMovieView(QStringLiteral("/clips/second.mp4"));
    FakeMovie* second = f.movieOf(1);
    QCOMPARE(second->filePath(), QStringLiteral("/clips/second.mp4"));
    QCOMPARE(f.pane(1).filePath(), QStringLiteral("/clips/second.mp4"));
    QCOMPARE(f.pane(1).isPlaying(), playing);
    QCOMPARE(f.pane(1).isLoop(), playing);
    QCOMPARE(second->muted(), muted);
    QCOMPARE(second->volume(), muted ? 0.0f : 0.75f);
    QCOMPARE(f.engine.openedMovies().size(), 1); // the first movie is gone
}

void TestQTMovieSubView::createAloneStartsUnmutedAtTheSettingsVolume()
{
    PaneFixture f;
    f.setFloat("optPlayVolume", 0.5f);
    f.load(1, "first.mp4");
    f.pane(1).setMovieMuted(true);
    f.pane(1).setMovieController(true);
    f.pane(1).setMovieAspect(false);

    FakeMovie* second = f.load(1, "second.mp4");
    QVERIFY(!second->muted());
    QVERIFY(!f.pane(1).isMuted());
    QCOMPARE(second->volume(), 0.5f);
    QCOMPARE(second->commands,
             (QStringList{"gotoBeginning", "setLoops 0", "setLoopsBackAndForth 0", "setVolume 0.5"}));
    // Bar and aspect stay as the pane had them.
    QVERIFY(f.pane(1).isController());
    QVERIFY(!f.pane(1).isKeepAspect());
    QVERIFY(f.pane(1).isAvailable());
    QVERIFY(!f.pane(1).isLoop());
}

void TestQTMovieSubView::refusedFileLeavesPaneOrEmptiesIt()
{
    PaneFixture f;
    f.engine.refusedPaths << QStringLiteral("/clips/refused.mp4");
    f.engine.failingPaths << QStringLiteral("/clips/broken.mp4");
    FakeMovie* movie = f.load(1, "good.mp4");

    QVERIFY(!f.pane(1).createMovieView(QStringLiteral("/clips/refused.mp4")));
    QVERIFY(!f.pane(1).createMovieView(QStringLiteral("/clips/broken.mp4")));
    QCOMPARE(f.pane(1).movie(), movie);
    QCOMPARE(f.pane(1).filePath(), QStringLiteral("/clips/good.mp4"));
    QVERIFY(f.pane(1).isAvailable());

    f.pane(1).playMovie();
    f.pane(1).updateMovieView(QStringLiteral("/clips/broken.mp4"));
    QVERIFY(!f.pane(1).movie());
    QVERIFY(!f.pane(1).isAvailable());
    QVERIFY(!f.pane(1).isLoop());
    QCOMPARE(f.pane(1).filePath(), QString());
}

void TestQTMovieSubView::volume_data()
{
    QTest::addColumn<float>("setting");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<float>("expected");
    QTest::newRow("registered default 0 plays silently") << -1.0f << false << 0.0f;
    QTest::newRow("setting raised") << 0.8f << false << 0.8f;
    QTest::newRow("muted is silent whatever the setting") << 0.8f << true << 0.0f;
}

void TestQTMovieSubView::volume()
{
    QFETCH(float, setting);
    QFETCH(bool, muted);
    QFETCH(float, expected);
    PaneFixture f;
    if (setting >= 0)
        f.setFloat("optPlayVolume", setting);
    FakeMovie* movie = f.load(1);
    f.pane(1).setMovieMuted(muted);
    QCOMPARE(movie->volume(), expected);
    // The volume always comes from the setting, whatever is passed in.
    f.pane(1).setMovieVolume(0.3f);
    QCOMPARE(movie->volume(), muted ? 0.0f : 0.3f);
    f.pane(1).changeMovieMuted();
    QCOMPARE(movie->volume(), muted ? qMax(setting, 0.0f) : 0.0f);
}

void TestQTMovieSubView::volumeSettingChangeReachesEveryPane()
{
    PaneFixture f;
    FakeMovie* first = f.load(1, "a.mp4");
    FakeMovie* second = f.load(3, "b.mp4");
    f.pane(3).setMovieMuted(true);
    f.setFloat("optPlayVolume", 0.6f);
    QCOMPARE(first->volume(), 0.6f);
    QCOMPARE(second->volume(), 0.0f);
    f.pane(3).setMovieMuted(false);
    QCOMPARE(second->volume(), 0.6f);
    // Other settings leave the volume alone.
    first->commands.clear();
    f.setFloat("optSkipTime", 5.0f);
    QVERIFY(first->commands.isEmpty());
}

void TestQTMovieSubView::emptyPaneQueries()
{
    PaneFixture f;
    QTMovieSubView& pane = f.pane(2);
    QVERIFY(!pane.movie());
    QVERIFY(pane.isEndFrame());
    QVERIFY(!pane.isMuted());
    QVERIFY(!pane.isPlaying());
    QVERIFY(!pane.isAvailable());
    QVERIFY(!pane.isPlayable());
    QVERIFY(pane.isDisplay());
    QVERIFY(!pane.isController());
    QVERIFY(pane.isKeepAspect());
    QVERIFY(pane.movieControllerBounds().isEmpty());
    QCOMPARE(pane.filePath(), QString());
    QCOMPARE(pane.viewNo(), 2);

    // Nothing to act on: none of these may fail, and play stays refused.
    pane.skipForwardMovieTime();
    pane.skipEndMovieTime();
    pane.skipStartMovieTime();
    pane.replayMovie();
    pane.changeMoviePlay();
    pane.changeMovieController();
    QVERIFY(!pane.isPlaying());
    QVERIFY(!pane.isLoop());
    QVERIFY(!pane.isController());
}

void TestQTMovieSubView::clearRestoresEmptyState()
{
    PaneFixture f;
    FakeMovie* movie = f.load(1);
    QTMovieSubView& pane = f.pane(1);
    pane.playMovie();
    pane.setMovieController(true);
    pane.setMovieAspect(false);
    pane.setMovieMuted(true);
    QCOMPARE(movie->rate(), 1.0f);
    QSignalSpy rates(&f.engine, &MovieEngine::movieRateDidChange);

    pane.clearMovieView();
    QCOMPARE(rates.count(), 1); // stopped before it was let go
    QVERIFY(f.engine.openedMovies().isEmpty());
    QVERIFY(!pane.movie());
    QVERIFY(!pane.movieView()->movie());
    QVERIFY(!pane.isController());
    QVERIFY(pane.isKeepAspect());
    QVERIFY(!pane.isMuted());
    QVERIFY(!pane.isAvailable());
    QCOMPARE(pane.dictProperty("isAvailable"), QVariant(false));
    QCOMPARE(pane.dictProperty("isController"), QVariant(false));
    QCOMPARE(pane.dictProperty("isKeepAspect"), QVariant(true));
    QCOMPARE(pane.dictProperty("isMuted"), QVariant(false));
}

void TestQTMovieSubView::squeezedPaneIsNotPlayable_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("playable");
    QTest::newRow("no width") << QSize(0, 150) << false;
    QTest::newRow("no height") << QSize(200, 0) << false;
    QTest::newRow("nothing") << QSize(0, 0) << false;
    QTest::newRow("one pixel") << QSize(1, 1) << true;
}

void TestQTMovieSubView::squeezedPaneIsNotPlayable()
{
    QFETCH(QSize, size);
    QFETCH(bool, playable);
    PaneFixture f;
    FakeMovie* movie = f.load(1);
    f.pane(1).resize(size);
    QCOMPARE(f.pane(1).isDisplay(), playable);
    QCOMPARE(f.pane(1).isPlayable(), playable);
    f.pane(1).setMoviePlay(true);
    QCOMPARE(f.pane(1).isPlaying(), playable);
    QCOMPARE(f.pane(1).isLoop(), playable);
    QCOMPARE(movie->commands.contains("play"), playable);
    // Controller, aspect and sound still reach an available pane.
    f.pane(1).changeMovieController();
    f.pane(1).changeMovieAspect();
    f.pane(1).changeMovieMuted();
    QVERIFY(f.pane(1).isController());
    QVERIFY(!f.pane(1).isKeepAspect());
    QVERIFY(movie->muted());
}

void TestQTMovieSubView::endOfLiveResizeStopsSqueezedPane()
{
    PaneFixture f;
    f.load(1);
    f.load(2);
    f.pane(1).playMovie();
    f.pane(2).playMovie();
    QSignalSpy refresh(&f.controller, &MovController::frameButtonImageNeedsRefresh);
    f.pane(1).resize(0, 150);
    f.pane(1).viewDidEndLiveResize();
    f.pane(2).viewDidEndLiveResize();
    QVERIFY(!f.pane(1).isPlaying());
    QVERIFY(f.pane(2).isPlaying());
    QCOMPARE(refresh.count(), 2);
}

void TestQTMovieSubView::propertyBagWritesAnnounce_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("refresh");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("value");

    const QByteArray available = QMetaMethod::fromSignal(&MovController::frameButtonImageNeedsRefresh).methodSignature();
    const QByteArray controller =
        QMetaMethod::fromSignal(&MovController::controllerButtonStateNeedsRefresh).methodSignature();
    const QByteArray scale = QMetaMethod::fromSignal(&MovController::scaleButtonStateNeedsRefresh).methodSignature();
    const QByteArray sound = QMetaMethod::fromSignal(&MovController::soundButtonStateNeedsRefresh).methodSignature();
    QTest::newRow("available") << "setIsAvailable" << available << "isAvailable" << true;
    QTest::newRow("available, same value again") << "setIsAvailable" << available << "isAvailable" << false;
    QTest::newRow("controller") << "setMovieController" << controller << "isController" << true;
    QTest::newRow("aspect") << "setMovieAspect" << scale << "isKeepAspect" << false;
    QTest::newRow("aspect, same value again") << "setMovieAspect" << scale << "isKeepAspect" << true;
    QTest::newRow("muted") << "setMovieMuted" << sound << "isMuted" << true;
}

void TestQTMovieSubView::propertyBagWritesAnnounce()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, refresh);
    QFETCH(QString, key);
    QFETCH(bool, value);
    PaneFixture f;
    QTMovieSubView& pane = f.pane(4);

    const QMetaObject& meta = MovController::staticMetaObject;
    QSignalSpy spy(&f.controller, meta.method(meta.indexOfSignal(refresh.constData())));
    QVERIFY(spy.isValid());
    if (operation == "setIsAvailable")
        pane.setIsAvailable(value);
    else if (operation == "setMovieController")
        pane.setMovieController(value);
    else if (operation == "setMovieAspect")
        pane.setMovieAspect(value);
    else
        pane.setMovieMuted(value);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(pane.dictProperty(key), QVariant(value));
}

void TestQTMovieSubView::nothingIsAnnouncedBeforeSetUp()
{
    tetrapan::test::FakeScheduler scheduler;
    tetrapan::test::FakeMovieEngine engine;
    tetrapan::test::FakeDialogPresenter dialogs;
    tetrapan::test::FakeFileViewer fileViewer;
    QTemporaryDir home;
    SettingsDomain settings(home.filePath("Tetrapan.json"));
    MovController controller(scheduler, settings);
    QTMovieSubView pane({engine, settings, scheduler, dialogs, fileViewer});
    pane.setMovController(&controller);
    QSignalSpy sound(&controller, &MovController::soundButtonStateNeedsRefresh);
    QSignalSpy buttons(&controller, &MovController::frameButtonImageNeedsRefresh);

    pane.setMovieMuted(true);
    pane.awakeFromNib(); // empties the pane before the bag exists
    QCOMPARE(sound.count(), 0);
    QCOMPARE(buttons.count(), 0);
    QCOMPARE(pane.dictProperty("isMuted"), QVariant(false));
    QCOMPARE(pane.dictProperty("isKeepAspect"), QVariant(false)); // set-up writes NO under every key
    pane.setMovieMuted(false);
    QCOMPARE(sound.count(), 1);
}

void TestQTMovieSubView::everyRateChangeRefreshesPlayButtonOncePerPane()
{
    PaneFixture f;
    f.load(1);
    QSignalSpy refresh(&f.controller, &MovController::playButtonImageNeedsRefresh);
    f.pane(1).playMovie();
    QCOMPARE(refresh.count(), 4);
    f.pane(1).playMovie(); // no change of rate, no refresh
    QCOMPARE(refresh.count(), 4);
}

void TestQTMovieSubView::controllerBarBounds()
{
    PaneFixture f;
    f.load(1);
    f.window.resize(200, 150);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QTMovieSubView& pane = f.pane(1);
    pane.changeMovieController();
    QVERIFY(pane.isController());
    QTRY_VERIFY(!pane.movieControllerBounds().isEmpty());
    const QRect bar = pane.movieControllerBounds();
    QCOMPARE(bar.bottom(), pane.rect().bottom());
    QCOMPARE(bar.width(), pane.width());
    QCOMPARE(pane.movieView()->geometry().bottom(), bar.top() - 1);
    pane.changeMovieController();
    QVERIFY(pane.movieControllerBounds().isEmpty());
}

void TestQTMovieSubView::controllerBarTimeText_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << 0.0 << 0.0 << "0:00 / 0:00";
    QTest::newRow("seconds are cut, not rounded") << 65.9 << 600.0 << "1:05 / 10:00";
    QTest::newRow("past an hour in minutes") << 3725.0 << 7200.0 << "62:05 / 120:00";
}

void TestQTMovieSubView::controllerBarTimeText()
{
    QFETCH(double, current);
    QFETCH(double, duration);
    QFETCH(QString, expected);
    QCOMPARE(MovieControllerBar::timeText(current, duration), expected);
}

void TestQTMovieSubView::replayOnlyWhenAvailable()
{
    PaneFixture f;
    FakeMovie* movie = f.load(1);
    movie->moveTo(at600(42));
    f.pane(1).replayMovie();
    QCOMPARE(movie->currentTime(), at600(0));
    QVERIFY(f.pane(1).isPlaying());
    f.pane(1).setIsAvailable(false);
    f.pane(1).stopMovie();
    movie->moveTo(at600(42));
    f.pane(1).replayMovie();
    QCOMPARE(movie->currentTime(), at600(42));
    QVERIFY(!f.pane(1).isPlaying());
}

QTEST_MAIN(TestQTMovieSubView)
#include "tst_qtmoviesubview.moc"
