// One pane's behaviour on the fake engine.
#include "PaneFixture.h"

#include "engine/MovieView.h"
#include "panes/MovieControllerBar.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;

namespace {
// What a caller can ask a pane, in one list.
QVariantList stateOf(QTMovieSubView& pane)
{
    return {pane.movie() != nullptr, pane.movieView()->movie() != nullptr,
            pane.filePath(),         pane.isEndFrame(),
            pane.isMuted(),          pane.isPlaying(),
            pane.isAvailable(),      pane.isPlayable(),
            pane.isLoop(),           pane.isController(),
            pane.isKeepAspect(),     pane.movieControllerBounds().isEmpty()};
}
} // namespace

class TestQTMovieSubView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void skipArithmetic_data()
    {
        QTest::addColumn<MovieTime>("current");
        QTest::addColumn<int>("direction");
        QTest::addColumn<float>("step");
        QTest::addColumn<MovieTime>("expected");
        QTest::newRow("forward from 12.7 s truncates to 12 first")
            << at600(12.7) << 0 << 10.0f << at600(22.0);
        QTest::newRow("backward from 12.7 s") << at600(12.7) << 1 << 10.0f << at600(2.0);
        QTest::newRow("any other direction is backward") << at600(12.7) << 7 << 10.0f << at600(2.0);
        QTest::newRow("backward past the beginning stops at 0") << at600(4.0) << 1 << 10.0f << at600(0.0);
        QTest::newRow("forward past the end stops at the duration")
            << at600(55.0) << 0 << 10.0f << at600(60.0);
        QTest::newRow("a fractional step is kept") << at600(12.7) << 0 << 2.5f << at600(14.5);
        // The current time may have its own scale; the result takes the duration's.
        QTest::newRow("current time at another scale")
            << MovieTime{1143000, 90000, 0} << 0 << 10.0f << at600(22.0);
        QTest::newRow("a time without a scale counts as 0")
            << MovieTime{7620, 0, 0} << 0 << 10.0f << at600(10.0);
    }

    void skipArithmetic()
    {
        QFETCH(MovieTime, current);
        QFETCH(int, direction);
        QFETCH(float, step);
        QFETCH(MovieTime, expected);
        for (bool playing : {false, true}) {
            PaneFixture f;
            FakeMovie* movie = f.load(1);
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

    void skipToTheEnds()
    {
        PaneFixture f;
        FakeMovie* movie = f.load(1);
        f.pane(1).playMovie();
        movie->moveTo(at600(30));
        f.pane(1).skipStartMovieTime();
        QCOMPARE(movie->currentTime(), at600(0));
        QVERIFY(f.pane(1).isPlaying() && f.pane(1).isLoop());
        f.pane(1).skipEndMovieTime();
        QVERIFY(!f.pane(1).isPlaying() && !f.pane(1).isLoop() && f.pane(1).isEndFrame());
        QCOMPARE(movie->commands.mid(movie->commands.size() - 2), (QStringList{"stop", "gotoEnd"}));
    }

    void anEndingMovieRestartsEveryLoopingPane()
    {
        PaneFixture f;
        FakeMovie* looping = f.load(1, "a.mp4");
        FakeMovie* stopped = f.load(2, "b.mp4");
        f.pane(1).playMovie();
        // Played to its end, the movie stops by itself and the pane starts it again from the beginning.
        looping->commands.clear();
        looping->reachEnd();
        QCOMPARE(looping->commands, QStringList{"play"});
        QVERIFY(f.pane(1).isPlaying());
        QCOMPARE(looping->currentTime(), at600(0));
        QVERIFY(stopped->commands.filter("play").isEmpty());
        // The end of another pane's movie restarts the looping one as well.
        looping->commands.clear();
        stopped->reachEnd();
        QCOMPARE(looping->commands, QStringList{"play"});
        QVERIFY(!f.pane(2).isPlaying());
        // Stopped panes stay stopped at the end, however they were stopped.
        f.pane(1).changeMoviePlay();
        looping->commands.clear();
        looping->reachEnd();
        QVERIFY(looping->commands.isEmpty());
        QVERIFY(!f.pane(1).isPlaying());
    }

    void replacingAMovie_data()
    {
        QTest::addColumn<bool>("update"); // updating carries play and mute over; creating alone does not
        QTest::addColumn<bool>("playing");
        QTest::addColumn<bool>("muted");
        QTest::newRow("update, playing and sounding") << true << true << false;
        QTest::newRow("update, stopped and muted") << true << false << true;
        QTest::newRow("create, after playing and muted") << false << true << true;
    }

    void replacingAMovie()
    {
        QFETCH(bool, update);
        QFETCH(bool, playing);
        QFETCH(bool, muted);
        PaneFixture f;
        f.setFloat("optPlayVolume", 0.75f);
        f.load(1, "first.mp4");
        QTMovieSubView& pane = f.pane(1);
        pane.setMoviePlay(playing);
        pane.setMovieMuted(muted);
        pane.setMovieController(true);
        pane.setMovieAspect(false);

        if (update)
            pane.updateMovieView(clip("second.mp4"));
        else
            QVERIFY(pane.createMovieView(clip("second.mp4")));
        FakeMovie* second = f.movieOf(1);
        QCOMPARE(second->filePath(), clip("second.mp4"));
        QCOMPARE(pane.filePath(), clip("second.mp4"));
        QCOMPARE(pane.isPlaying(), update && playing);
        QCOMPARE(pane.isLoop(), update && playing);
        QCOMPARE(second->muted(), update && muted);
        QCOMPARE(pane.isMuted(), update && muted);
        QCOMPARE(second->volume(), update && muted ? 0.0f : 0.75f);
        QCOMPARE(f.engine.openedMovies().size(), 1); // the first movie is gone
        if (!update)
            QCOMPARE(second->commands, (QStringList{"gotoBeginning", "setLoops 0", "setLoopsBackAndForth 0",
                                                    "setVolume 0.75"}));
        // Bar and aspect stay as the pane had them.
        QVERIFY(pane.isController() && !pane.isKeepAspect() && pane.isAvailable());
    }

    void refusedFileLeavesPaneOrEmptiesIt()
    {
        PaneFixture f;
        f.engine.refusedPaths << clip("refused.mp4");
        f.engine.failingPaths << clip("broken.mp4");
        FakeMovie* movie = f.load(1, "good.mp4");
        QVERIFY(!f.pane(1).createMovieView(clip("refused.mp4")));
        QVERIFY(!f.pane(1).createMovieView(clip("broken.mp4")));
        QCOMPARE(f.pane(1).movie(), movie);
        QCOMPARE(f.pane(1).filePath(), clip("good.mp4"));
        QVERIFY(f.pane(1).isAvailable());
        // Updating to a file that cannot be opened empties the pane.
        f.pane(1).playMovie();
        f.pane(1).updateMovieView(clip("broken.mp4"));
        QVERIFY(!f.pane(1).movie());
        QVERIFY(!f.pane(1).isAvailable());
        QVERIFY(!f.pane(1).isLoop());
        QCOMPARE(f.pane(1).filePath(), QString());
    }

    void volume_data()
    {
        QTest::addColumn<float>("setting");
        QTest::addColumn<bool>("muted");
        QTest::addColumn<float>("expected");
        QTest::newRow("registered default 0 plays silently") << -1.0f << false << 0.0f;
        QTest::newRow("setting raised") << 0.8f << false << 0.8f;
        QTest::newRow("muted is silent whatever the setting") << 0.8f << true << 0.0f;
    }

    void volume()
    {
        QFETCH(float, setting);
        QFETCH(bool, muted);
        QFETCH(float, expected);
        PaneFixture f;
        if (setting >= 0)
            f.setFloat("optPlayVolume", setting);
        FakeMovie* movie = f.load(1);
        FakeMovie* other = f.load(3);
        f.pane(1).setMovieMuted(muted);
        QCOMPARE(movie->volume(), expected);
        f.pane(1).changeMovieMuted();
        QCOMPARE(movie->volume(), muted ? qMax(setting, 0.0f) : 0.0f);
        // A new setting reaches every pane that sounds; other settings leave the volume alone.
        f.setFloat("optPlayVolume", 0.6f);
        QCOMPARE(movie->volume(), muted ? 0.6f : 0.0f);
        QCOMPARE(other->volume(), 0.6f);
        other->commands.clear();
        f.setFloat("optSkipTime", 5.0f);
        QVERIFY(other->commands.isEmpty());
    }

    void emptyAndClearedPanesAgree()
    {
        PaneFixture f;
        const QVariantList empty{false, false, QString(), true,  false, false,
                                 false, false, false,     false, true,  true};
        QCOMPARE(stateOf(f.pane(2)), empty);
        // Nothing to act on: none of these may fail, and play stays refused.
        f.pane(2).skipForwardMovieTime();
        f.pane(2).skipEndMovieTime();
        f.pane(2).skipStartMovieTime();
        f.pane(2).replayMovie();
        f.pane(2).changeMoviePlay();
        f.pane(2).changeMovieController();
        QCOMPARE(stateOf(f.pane(2)), empty);

        f.load(1);
        QTMovieSubView& pane = f.pane(1);
        pane.playMovie();
        pane.setMovieController(true);
        pane.setMovieAspect(false);
        pane.setMovieMuted(true);
        QSignalSpy rates(&f.engine, &MovieEngine::movieRateDidChange);
        pane.clearMovieView();
        QCOMPARE(rates.count(), 1); // stopped before it was let go
        QVERIFY(f.engine.openedMovies().isEmpty());
        QCOMPARE(stateOf(pane), empty);
        QCOMPARE((QVariantList{pane.dictProperty("isAvailable"), pane.dictProperty("isController"),
                               pane.dictProperty("isKeepAspect"), pane.dictProperty("isMuted")}),
                 (QVariantList{false, false, true, false}));
    }

    void squeezedPaneIsNotPlayable_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("playable");
        QTest::newRow("no width") << QSize(0, 150) << false;
        QTest::newRow("no height") << QSize(200, 0) << false;
        QTest::newRow("one pixel") << QSize(1, 1) << true;
    }

    void squeezedPaneIsNotPlayable()
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
        QVERIFY(f.pane(1).isController() && !f.pane(1).isKeepAspect() && movie->muted());
    }

    void endOfLiveResizeStopsSqueezedPane()
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

    void stateChangesRefreshButtons_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("refresh");
        QTest::addColumn<bool>("value");
        QTest::newRow("available") << "isAvailable" << QByteArray("frameButtonImageNeedsRefresh()") << true;
        QTest::newRow("controller") << "isController" << QByteArray("controllerButtonStateNeedsRefresh()")
                                    << true;
        QTest::newRow("aspect") << "isKeepAspect" << QByteArray("scaleButtonStateNeedsRefresh()") << false;
        QTest::newRow("aspect, same value again")
            << "isKeepAspect" << QByteArray("scaleButtonStateNeedsRefresh()") << true;
        QTest::newRow("muted") << "isMuted" << QByteArray("soundButtonStateNeedsRefresh()") << true;
    }

    void stateChangesRefreshButtons()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, refresh);
        QFETCH(bool, value);
        PaneFixture f;
        QTMovieSubView& pane = f.pane(4);
        const QMetaObject& meta = MovController::staticMetaObject;
        QSignalSpy spy(&f.controller, meta.method(meta.indexOfSignal(refresh.constData())));
        QVERIFY(spy.isValid());
        if (key == "isAvailable")
            pane.setIsAvailable(value);
        else if (key == "isController")
            pane.setMovieController(value);
        else if (key == "isKeepAspect")
            pane.setMovieAspect(value);
        else
            pane.setMovieMuted(value);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(pane.dictProperty(key), QVariant(value));

        // Every change of rate refreshes the play button once for each pane.
        f.load(1);
        QSignalSpy play(&f.controller, &MovController::playButtonImageNeedsRefresh);
        f.pane(1).playMovie();
        f.pane(1).playMovie(); // no change of rate, no refresh
        QCOMPARE(play.count(), 4);
    }

    void controllerBar()
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

    void controllerBarTimeText_data()
    {
        QTest::addColumn<double>("current");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << 0.0 << 0.0 << "0:00 / 0:00";
        QTest::newRow("seconds are cut, not rounded") << 65.9 << 600.0 << "1:05 / 10:00";
        QTest::newRow("past an hour in minutes") << 3725.0 << 7200.0 << "62:05 / 120:00";
    }

    void controllerBarTimeText()
    {
        QFETCH(double, current);
        QFETCH(double, duration);
        QFETCH(QString, expected);
        QCOMPARE(MovieControllerBar::timeText(current, duration), expected);
    }

    void replayOnlyWhenAvailable()
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
};

QTEST_MAIN(TestQTMovieSubView)
#include "tst_qtmoviesubview.moc"
