// One time line for all panes: a move along it puts every pane with a movie at the leader's time plus its
// offset, kept within its movie, and plays on what played; the A–B loop over the leader's clock: L sets A,
// then B, then clears, and while set every pane goes back to A (plus its offset) together once the leader
// passes B, leaving the movies' own loop setting alone. The bar shows when wanted, in full screen while the
// pointer moves; its time and the panes' bars' times are in the form a click on any of them chose.
#include "PaneFixture.h"

#include "panes/MovieControllerBar.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/TimeForm.h"
#include "panes/TimelineBar.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

class TestPaneTimeline : public QObject {
    Q_OBJECT
private:
    // Panes 1 (12.5 s) and 2 (5 s) play, 3 (55 s) stands; one minute each, pane 4 empty.
    static void startPanes(PaneFixture& f, const QList<qint64>& offsets)
    {
        f.chooseWithEntries(3, "cam.mp4");
        f.movieOf(1)->moveTo(at600(12.5));
        f.movieOf(2)->moveTo(at600(5));
        f.movieOf(3)->moveTo(at600(55));
        f.pane(1).playMovie();
        f.pane(2).playMovie();
        for (int n = 1; n <= 3; ++n)
            f.controller.offsets().setOffsetMs(n, offsets.value(n - 1));
    }

private Q_SLOTS:
    void dragMovesEveryPaneByItsOffset_data()
    {
        QTest::addColumn<QList<qint64>>("offsets");
        QTest::addColumn<int>("squeezed");        // a pane out of sight, 0 for none
        QTest::addColumn<double>("target");       // on the leader's time line
        QTest::addColumn<QList<double>>("times"); // of panes 1 to 3 afterwards
        QTest::addColumn<L>("after");
        QTest::addColumn<QList<double>>("rates");
        QTest::addColumn<bool>("twice"); // moved again before the panes played on after the first move
        const L again{1, 1, 0, 0};
        QTest::newRow("no offsets") << QList<qint64>{} << 0 << 30.0 << QList<double>{30, 30, 30} << again
                                    << QList<double>{} << false;
        QTest::newRow("moved again before they play on")
            << QList<qint64>{} << 0 << 30.0 << QList<double>{30, 30, 30} << again << QList<double>{} << true;
        // pane 2's lane: from (0 s - 1 s) / 2 = -0.5 s to (60 s - 1 s) / 2 = 29.5 s
        QTest::newRow("each at its rate, then its offset")
            << QList<qint64>{0, 1000, 0} << 0 << 20.0 << QList<double>{20, 41, 10} << again
            << QList<double>{1, 2, 0.5} << false;
        QTest::newRow("each by its offset against the leader's")
            << QList<qint64>{1000, 2500, -1500} << 0 << 30.0 << QList<double>{30, 31.5, 27.5} << again
            << QList<double>{} << false;
        QTest::newRow("kept within each movie")
            << QList<qint64>{2000, -8000, 58000} << 0 << 5.0 << QList<double>{5, 0, 60} << again
            << QList<double>{} << false;
        QTest::newRow("the leader squeezed out: the next one leads")
            << QList<qint64>{0, 1000, 3000} << 1 << 10.0 << QList<double>{12.5, 10, 12} << L{0, 1, 0, 0}
            << QList<double>{} << false;
    }

    void dragMovesEveryPaneByItsOffset()
    {
        QFETCH(QList<qint64>, offsets);
        QFETCH(int, squeezed);
        QFETCH(double, target);
        QFETCH(QList<double>, times);
        QFETCH(L, after);
        QFETCH(QList<double>, rates);
        QFETCH(bool, twice);
        PaneFixture f;
        startPanes(f, offsets);
        for (int n = 1; n <= rates.size(); ++n)
            f.controller.offsets().setRate(n, rates[n - 1]);
        if (squeezed)
            f.pane(squeezed).resize(0, 150);
        PaneTimeline timeline(f.controller, f.scheduler);
        const int leader = squeezed == 1 ? 2 : 1;
        QCOMPARE(timeline.leaderViewNo(), leader);
        // each lane starts where the leader stands when that movie begins
        for (int n = leader; n <= 3 && rates.isEmpty(); ++n) {
            QCOMPARE(timeline.lane(n)->from, (offsets.value(leader - 1) - offsets.value(n - 1)) / 1000.0);
            QCOMPARE(timeline.lane(n)->to, timeline.lane(n)->from + 60);
        }
        if (!rates.isEmpty()) {
            QCOMPARE(timeline.lane(2)->from, -0.5);
            QCOMPARE(timeline.lane(2)->to, 29.5);
        }
        QVERIFY(!timeline.lane(4));

        if (twice) {
            timeline.beginDrag(1.0);
            timeline.endDrag(2.0);
            f.scheduler.advance(MovController::ResumeAfterSkipDelay / 2);
        }
        timeline.beginDrag(1.0);
        QCOMPARE(f.playing(), L(4, false));
        timeline.dragTo(target / 2);
        timeline.endDrag(target);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(f.movieOf(n)->currentTime(), at600(times[n - 1]));
        QCOMPARE(timeline.leaderSeconds(), target);
        f.scheduler.advance(MovController::ResumeAfterSkipDelay);
        QCOMPARE(f.playing(), after);
    }

    void barShowsWithTheControllerBarsInFullScreenWhileThePointerMoves()
    {
        PaneFixture f;
        PaneTimeline timeline(f.controller, f.scheduler);
        auto* bar = new TimelineBar(timeline, f.scheduler, f.settings, &f.window);
        f.window.show();
        QVERIFY(!bar->isVisible());
        bar->setWanted(true);
        QVERIFY(bar->isVisible());
        bar->setFullScreen(true);
        QVERIFY(!bar->isVisible());
        // a move of the pointer over any part of the window
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, {}, {});
        QApplication::sendEvent(&f.pane(3), &move);
        QVERIFY(bar->isVisible());
        f.scheduler.advance(TimelineBar::FullScreenShowTime);
        QVERIFY(!bar->isVisible());
        bar->setFullScreen(false);
        QVERIFY(bar->isVisible());
        bar->setWanted(false);
        QVERIFY(!bar->isVisible());
    }

    // A drag on the bar whose release never comes (an alert came up over the window, the bar was hidden)
    // ends where it went, and the panes that played play on.
    void aDragWithoutItsReleaseEnds_data()
    {
        QTest::addColumn<QString>("release");
        QTest::newRow("an alert over the window") << "alert";
        QTest::newRow("the bar hidden") << "hidden";
    }

    void aDragWithoutItsReleaseEnds()
    {
        QFETCH(QString, release);
        PaneFixture f;
        startPanes(f, {});
        PaneTimeline timeline(f.controller, f.scheduler);
        auto* bar = new TimelineBar(timeline, f.scheduler, f.settings, &f.window);
        f.window.resize(640, 480);
        f.window.show();
        bar->setWanted(true);
        bar->setGeometry(0, 0, 600, bar->sizeHint().height());
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 3, bar->height() / 2));
        QVERIFY(timeline.isDragging());
        QCOMPARE(f.playing(), L(4, false));
        QDialog alert(&f.window);
        if (release == "alert") {
            alert.setModal(true);
            alert.show();
        } else {
            bar->setWanted(false);
        }
        QVERIFY(!timeline.isDragging());
        f.scheduler.advance(1s);
        QCOMPARE(f.playing(), L({1, 1, 0, 0}));
    }

    // The bar follows the playing panes every RefreshInterval and sleeps while nothing plays; a seek while
    // nothing plays still moves its mark at once, as the window shows it.
    void barFollowsWhatMovesAndSleepsWhileNothingPlays()
    {
        PaneFixture f;
        startPanes(f, {});
        PaneTimeline timeline(f.controller, f.scheduler);
        auto* bar = new TimelineBar(timeline, f.scheduler, f.settings, &f.window);
        bar->resize(600, bar->sizeHint().height());
        bar->setWanted(true);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        // the mark's colour just above the track, in what the window last drew
        const auto markShownAt = [&](double seconds) {
            QCoreApplication::processEvents();
            const QImage shown = f.window.screen()->grabWindow(f.window.winId()).toImage();
            return shown.pixelColor(bar->mapTo(&f.window, QPoint(bar->xOf(seconds), 4))) ==
                   bar->palette().color(QPalette::ButtonText);
        };
        QVERIFY(markShownAt(12.5));
        f.movieOf(1)->moveTo(at600(20));
        f.scheduler.advance(TimelineBar::RefreshInterval);
        QVERIFY(markShownAt(20) && !markShownAt(12.5));

        f.controller.setAllMoviePlay(false);
        QCOMPARE(f.scheduler.pendingCount(), 0);
        f.movieOf(1)->setCurrentTime(at600(40));
        QVERIFY(markShownAt(40) && !markShownAt(20));
        f.pane(3).playMovie();
        QCOMPARE(f.scheduler.pendingCount(), 1);
        f.pane(3).clearMovieView();
        QCOMPARE(f.scheduler.pendingCount(), 0);
    }

    // A click on any shown time switches every bar between times and frame numbers; the lanes are named by
    // their panes, with the offsets they have.
    void aClickOnATimeSwitchesEveryBar()
    {
        PaneFixture f;
        startPanes(f, {0, 4000, -40});
        for (int n = 1; n <= 3; ++n)
            f.movieOf(n)->setFramesPerSecond(25);
        f.pane(1).stopMovie();
        f.pane(2).stopMovie();
        PaneTimeline timeline(f.controller, f.scheduler);
        auto* bar = new TimelineBar(timeline, f.scheduler, f.settings, &f.window);
        bar->resize(600, bar->sizeHint().height());
        // a pane too narrow for the length shows the position only
        f.pane(2).setMovieController(true);
        f.window.show();
        auto* paneBar = f.pane(2).findChild<MovieControllerBar*>();
        QLabel* paneTime = paneBar->findChild<QLabel*>();
        const auto shown = [&] { return QStringList{bar->timeText(), paneBar->timeText()}; };
        QCOMPARE(shown(), (QStringList{"0:00:12.500 / 0:01:00.000", "0:00:05.000"}));
        QCOMPARE((QStringList{bar->laneText(1), bar->laneText(2), bar->laneText(3), bar->laneText(4)}),
                 (QStringList{"1", "2  +4.000 s", "3  -0.040 s", "4"}));

        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, bar->height() / 2));
        QCOMPARE(shown(), (QStringList{"frame 313 / 1500", "frame 125"}));
        QVERIFY(TimeForm::showsFrames(f.settings));
        QCOMPARE(f.movieOf(1)->currentTime(), at600(12.5)); // the click moved nothing
        QTest::mouseClick(paneTime, Qt::LeftButton);
        QCOMPARE(shown(), (QStringList{"0:00:12.500 / 0:01:00.000", "0:00:05.000"}));
        f.pane(2).resize(500, 150);
        QCOMPARE(paneBar->timeText(), QStringLiteral("0:00:05.000 / 0:01:00.000"));
        QVERIFY(!TimeForm::showsFrames(f.settings));
    }

    void loopTakesEveryPaneBackToA_data()
    {
        QTest::addColumn<QList<qint64>>("offsets");
        QTest::addColumn<QList<double>>("points"); // the leader's time at the first and second L
        QTest::addColumn<bool>("ends");            // the leader's movie ends at B and stops there by itself
        QTest::addColumn<QList<double>>("looped"); // panes 1 to 3 once the leader passed B
        QTest::addColumn<bool>("paused");          // Pause (a media key) while pane 2 still lands
        QTest::newRow("no offsets") << QList<qint64>{} << QList<double>{10, 20} << false
                                    << QList<double>{10, 10, 10} << false;
        QTest::newRow("each at A plus its offset")
            << QList<qint64>{1000, 2500, -1500} << QList<double>{10, 14} << false
            << QList<double>{10, 11.5, 7.5} << false;
        QTest::newRow("B before A: the other way round")
            << QList<qint64>{} << QList<double>{20, 10} << false << QList<double>{10, 10, 10} << false;
        QTest::newRow("kept within each movie") << QList<qint64>{0, -12000, 0} << QList<double>{10, 20}
                                                << false << QList<double>{10, 0, 10} << false;
        QTest::newRow("B at the leader's end")
            << QList<qint64>{} << QList<double>{50, 60} << true << QList<double>{50, 50, 50} << false;
        QTest::newRow("paused as they go back")
            << QList<qint64>{} << QList<double>{10, 20} << false << QList<double>{10, 10, 10} << true;
    }

    void loopTakesEveryPaneBackToA()
    {
        QFETCH(QList<qint64>, offsets);
        QFETCH(QList<double>, points);
        QFETCH(bool, ends);
        QFETCH(QList<double>, looped);
        QFETCH(bool, paused);
        PaneFixture f;
        startPanes(f, offsets);
        f.movieOf(3)->setLoops(true); // a movie's own loop setting is its own
        PaneTimeline timeline(f.controller, f.scheduler);
        QSignalSpy together(&f.controller, &MovController::startedTogether);
        const double a = std::min(points[0], points[1]);
        const double b = std::max(points[0], points[1]);
        const QStringList loopsSetBefore = f.movieOf(3)->commands.filter("setLoops");

        f.movieOf(1)->moveTo(at600(points[0]));
        timeline.changeLoop();
        QCOMPARE(timeline.loopA(), points[0]);
        QVERIFY(!timeline.loopB());
        f.movieOf(1)->moveTo(at600(points[1]));
        timeline.changeLoop();
        QCOMPARE(timeline.loopA(), a);
        QCOMPARE(timeline.loopB(), b);
        // short of B nothing happens; pane 3 joins in
        f.pane(3).playMovie();
        f.movieOf(1)->moveTo(at600(b - 0.1));
        f.scheduler.advance(PaneTimeline::LoopTick);
        QCOMPARE(together.count(), 0);
        // pane 2 lands late: the panes start together once all have landed
        f.movieOf(2)->seeking = true;
        if (ends)
            f.movieOf(1)->reachEnd();
        else
            f.movieOf(1)->moveTo(at600(b));
        f.scheduler.advance(PaneTimeline::LoopTick);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(f.movieOf(n)->currentTime().seconds(), looped[n - 1]);
        f.scheduler.advance(PaneTimeline::LoopTick);
        QCOMPARE(f.playing(), L(4, false));
        // they are about to play: a slide of the dividers or a playlist chosen now plays them on
        QCOMPARE(f.controller.playingOrAboutToPlay(), (std::array<bool, 4>{true, true, true, false}));
        if (paused) {
            f.controller.cancelPendingResumes();
            f.controller.setAllMoviePlay(false);
        }
        f.movieOf(2)->seeking = false;
        f.scheduler.advance(PaneTimeline::LoopTick);
        if (paused) {
            QCOMPARE(f.playing(), L(4, false));
            QCOMPARE(together.count(), 0);
            return;
        }
        // started again in one go, as Space starts them
        QCOMPARE(f.playing(), L({1, 1, 1, 0}));
        QCOMPARE(together.count(), 1);
        // stopped, the loop sleeps until a pane plays again
        for (int n = 1; n <= 3; ++n)
            f.pane(n).setMoviePlay(false);
        f.scheduler.advance(PaneTimeline::LoopTick);
        QCOMPARE(f.scheduler.pendingCount(), 0);
        f.pane(2).setMoviePlay(true);
        QCOMPARE(f.scheduler.pendingCount(), 1);

        // the third L clears the loop: the panes play on past B
        timeline.changeLoop();
        QVERIFY(!timeline.loopA() && !timeline.loopB());
        f.movieOf(1)->moveTo(at600(b + 0.5));
        f.scheduler.advance(1s);
        QCOMPARE(f.movieOf(1)->currentTime(), at600(b + 0.5));
        QCOMPARE(together.count(), 1);
        QCOMPARE(f.movieOf(3)->commands.filter("setLoops"), loopsSetBefore);
        QVERIFY(f.movieOf(3)->loops());
        QVERIFY(!f.movieOf(1)->loops());
    }
};

QTEST_MAIN(TestPaneTimeline)
#include "tst_panetimeline.moc"
