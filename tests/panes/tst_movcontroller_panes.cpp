// What the coordinator does with and for the panes: group queries and synchronising.
#include "PaneFixture.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;
using tetrapan::test::FakeMovie;
using tetrapan::test::PaneFixture;

class TestMovControllerPanes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void panesAreNumberedOneToFour();
    void playableAndDisplayedViewNo_data();
    void playableAndDisplayedViewNo();
    void anyMovieIsPlayingIgnoresSqueezedPane();
    void syncAlignsPlayablePanesAndResumesThoseThatPlayed();
    void syncFromUnplayableSourceMovesNothing();
    void paneAsksToBeShownAlone();
};

void TestMovControllerPanes::panesAreNumberedOneToFour()
{
    PaneFixture f;
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(f.pane(n).viewNo(), n);
}

void TestMovControllerPanes::playableAndDisplayedViewNo_data()
{
    QTest::addColumn<QList<bool>>("loaded");
    QTest::addColumn<QList<bool>>("displayed");
    QTest::addColumn<int>("playableViewNo");
    QTest::addColumn<int>("displayedViewNo");
    QTest::addColumn<bool>("canSync");
    using L = QList<bool>;
    QTest::newRow("nothing loaded") << L{0, 0, 0, 0} << L{1, 1, 1, 1} << -1 << 0 << false;
    QTest::newRow("one loaded") << L{0, 0, 1, 0} << L{1, 1, 1, 1} << 3 << 0 << false;
    QTest::newRow("two loaded") << L{1, 0, 1, 0} << L{1, 1, 1, 1} << 0 << 0 << true;
    QTest::newRow("two loaded, one squeezed") << L{1, 0, 1, 0} << L{1, 1, 0, 1} << 1 << 0 << false;
    QTest::newRow("one pane alone") << L{1, 1, 1, 1} << L{0, 1, 0, 0} << 2 << 2 << false;
    QTest::newRow("nothing shown") << L{1, 1, 1, 1} << L{0, 0, 0, 0} << -1 << 0 << false;
}

void TestMovControllerPanes::playableAndDisplayedViewNo()
{
    QFETCH(QList<bool>, loaded);
    QFETCH(QList<bool>, displayed);
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
        QCOMPARE(f.pane(n).canSyncMovieTime(), canSync);
        QCOMPARE(f.pane(n).isMaximized(), n == displayedViewNo);
    }
}

void TestMovControllerPanes::anyMovieIsPlayingIgnoresSqueezedPane()
{
    PaneFixture f;
    f.load(1);
    f.pane(1).playMovie();
    QVERIFY(f.controller.anyMovieIsPlaying());
    f.pane(1).resize(0, 0);
    QVERIFY(f.pane(1).isPlaying());
    QVERIFY(!f.controller.anyMovieIsPlaying());
}

void TestMovControllerPanes::syncAlignsPlayablePanesAndResumesThoseThatPlayed()
{
    PaneFixture f;
    FakeMovie* source = f.load(1, "a.mp4");
    FakeMovie* other = f.load(2, "b.mp4");
    FakeMovie* stopped = f.load(3, "c.mp4");
    FakeMovie* squeezed = f.load(4, "d.mp4");
    f.pane(4).resize(0, 150);
    f.pane(1).playMovie();
    f.pane(2).playMovie();
    const MovieTime t{1125, 90, 0}; // 12.5 s at its own scale
    source->moveTo(t);
    squeezed->moveTo(MovieTime::fromSeconds(3.0, 600));

    f.pane(3).syncMovieTime();
    // The sender's pane is the source (pane 3 here): all follow it, at 0 s.
    QCOMPARE(source->currentTime(), MovieTime::zero(600));

    source->moveTo(t);
    f.pane(1).syncMovieTime();
    for (FakeMovie* movie : {source, other, stopped})
        QCOMPARE(movie->currentTime(), t);
    QCOMPARE(squeezed->currentTime(), MovieTime::fromSeconds(3.0, 600));
    for (int n = 1; n <= 4; ++n)
        QVERIFY(!f.pane(n).isPlaying());

    f.scheduler.advance(MovController::ResumeAfterSyncDelay - 1ms);
    QVERIFY(!f.pane(1).isPlaying());
    f.scheduler.advance(1ms);
    QVERIFY(f.pane(1).isPlaying());
    QVERIFY(f.pane(2).isPlaying());
    QVERIFY(!f.pane(3).isPlaying());
    QVERIFY(!f.pane(4).isPlaying());
}

void TestMovControllerPanes::syncFromUnplayableSourceMovesNothing()
{
    PaneFixture f;
    FakeMovie* first = f.load(1, "a.mp4");
    FakeMovie* second = f.load(2, "b.mp4");
    first->moveTo(MovieTime::fromSeconds(7.0, 600));
    second->moveTo(MovieTime::fromSeconds(9.0, 600));
    f.pane(2).playMovie();
    f.pane(3).syncMovieTime(); // empty pane
    QCOMPARE(first->currentTime(), MovieTime::fromSeconds(7.0, 600));
    QCOMPARE(second->currentTime(), MovieTime::fromSeconds(9.0, 600));
    QVERIFY(!f.pane(2).isPlaying());
    f.scheduler.advance(MovController::ResumeAfterSyncDelay);
    QVERIFY(f.pane(2).isPlaying());
}

void TestMovControllerPanes::paneAsksToBeShownAlone()
{
    PaneFixture f;
    QSignalSpy maximize(&f.controller, &MovController::maximizeSplitViewFrameRequested);
    f.pane(3).changeMovieFrame();
    QCOMPARE(maximize.count(), 1);
    QCOMPARE(maximize.first().first().toInt(), 3);
}

QTEST_MAIN(TestMovControllerPanes)
#include "tst_movcontroller_panes.moc"
