// The sync lock's law on the fake engine: followers nudged by speed for small skews and moved by a seek for
// large ones, offsets, the leader changing with the panes; and with the lock off, panes started together
// held on one clock for a moment by speed alone, and nothing else.
#include "PaneFixture.h"

#include "panes/SyncLock.h"

#include <QSignalSpy>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

namespace {

// Four playing panes on one minute each, all at 10 s, with a lock on the coordinator.
struct LockFixture : PaneFixture {
    SyncLock lock{scheduler, controller};
    QHash<int, qint64> offsets;

    LockFixture()
    {
        lock.setOffsetProvider([this](int viewNo) { return offsets.value(viewNo); });
        for (int n = 1; n <= 4; ++n) {
            load(n);
            movieOf(n)->moveTo(at600(10.0));
        }
        controller.setAllMoviePlay(true);
        clearCommands();
    }
    void clearCommands()
    {
        for (int n = 1; n <= 4; ++n)
            movieOf(n)->commands.clear();
    }
    QStringList commandsOf(int viewNo, const char* prefix)
    {
        return movieOf(viewNo)->commands.filter(prefix);
    }
    // Nudged or given a speed.
    QStringList speedsOf(int viewNo) { return movieOf(viewNo)->commands.filter("Speed "); }
    void tick() { scheduler.advance(SyncLock::TickInterval); }
};

} // namespace

class TestSyncLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void offHoldsOnlyAJointStartAndMovesNoPane()
    {
        LockFixture f;
        // the fixture started the four together: 40 ms behind is nudged, 4 s is none of the start's doing
        QVERIFY(f.lock.isHoldingStart());
        f.movieOf(2)->moveTo(at600(10.04));
        f.movieOf(3)->moveTo(at600(14.0));
        f.scheduler.advance(SyncLock::TickInterval * (SyncLock::StartHoldTicks + 1));
        QVERIFY(!f.lock.isHoldingStart());
        QVERIFY(!f.commandsOf(2, "nudgeSpeed").isEmpty());
        QVERIFY(f.speedsOf(3).isEmpty());
        f.clearCommands();
        f.controller.skipAllMovieTime(MovController::SkipBackward);
        f.controller.syncAllMovieTime();
        f.scheduler.advance(2s);
        f.lock.setEnabled(true);
        f.lock.setEnabled(false);
        f.movieOf(2)->moveTo(at600(12.0));
        f.scheduler.advance(2s);
        // restarted panes that did not move since are left as they are, and no pane is ever moved
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(f.speedsOf(n).isEmpty());
            QCOMPARE(f.movieOf(n)->speed(), 1.0);
        }
        QCOMPARE(f.movieOf(2)->currentTime(), at600(12.0));
    }

    void aJointStartIsHeldOnOneClockForAMoment()
    {
        LockFixture f;
        f.movieOf(1)->moveTo(at600(10.5));
        f.movieOf(2)->moveTo(at600(10.49));
        f.movieOf(3)->moveTo(at600(10.5));
        f.movieOf(4)->moveTo(at600(10.51));
        f.tick();
        // 10 ms behind plays 2% faster, 10 ms ahead 2% slower, all by speed alone
        QCOMPARE(f.movieOf(2)->speed(), 1.02);
        QCOMPARE(f.movieOf(4)->speed(), 0.98);
        for (int n : {1, 3})
            QVERIFY(f.movieOf(n)->commands.isEmpty());
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.commandsOf(n, "setCurrentTime").isEmpty());

        // in step again: the speed it had
        f.movieOf(2)->moveTo(at600(10.5));
        f.scheduler.advance(500ms);
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        // the hold ends by itself, giving back every speed it changed
        f.scheduler.advance(SyncLock::TickInterval * SyncLock::StartHoldTicks);
        QVERIFY(!f.lock.isHoldingStart());
        QCOMPARE(f.movieOf(4)->speed(), 1.0);
        QCOMPARE(f.speedsOf(4).last(), QStringLiteral("setSpeed 1"));
        f.clearCommands();
        f.movieOf(2)->moveTo(at600(10.2));
        f.scheduler.advance(1s);
        QVERIFY(f.speedsOf(2).isEmpty());
    }

    void eachPaneIsHeldFromWhereItStood()
    {
        LockFixture f;
        f.controller.setAllMoviePlay(false);
        f.tick();
        QVERIFY(!f.lock.isHoldingStart());
        f.movieOf(2)->moveTo(at600(30.0));
        f.movieOf(3)->moveTo(at600(2.0));
        f.controller.setAllMoviePlay(true);
        QVERIFY(f.lock.isHoldingStart());
        f.clearCommands();
        f.movieOf(1)->moveTo(at600(10.5));
        f.movieOf(2)->moveTo(at600(30.5));
        f.movieOf(3)->moveTo(at600(2.48));
        f.movieOf(4)->moveTo(at600(10.5));
        f.tick();
        QVERIFY(f.speedsOf(2).isEmpty());
        QCOMPARE(f.movieOf(3)->speed(), 1.04);
        QVERIFY(f.speedsOf(4).isEmpty());
    }

    void panesThatStopOrGoFarOffAreLetGo()
    {
        LockFixture f;
        f.movieOf(2)->moveTo(at600(10.02));
        f.movieOf(3)->moveTo(at600(10.02));
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 0.96);
        QCOMPARE(f.movieOf(3)->speed(), 0.96);

        // stopped by itself: its own speed back, and left alone when it plays again
        f.pane(2).setMoviePlay(false);
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        f.pane(2).setMoviePlay(true);
        // looped or sent back to its beginning: let go, never sought
        f.movieOf(3)->moveTo(at600(0.0));
        f.tick();
        QCOMPARE(f.movieOf(3)->speed(), 1.0);
        f.movieOf(3)->moveTo(at600(10.02));
        f.tick();
        for (int n : {2, 3}) {
            QCOMPARE(f.speedsOf(n).size(), 2);
            QVERIFY(f.commandsOf(n, "setCurrentTime").isEmpty());
        }

        // the leader stops: the next pane started with it leads, and with one pane left the hold is over
        f.pane(1).setMoviePlay(false);
        f.movieOf(4)->moveTo(at600(10.03));
        f.tick();
        QVERIFY(!f.lock.isHoldingStart());
        QCOMPARE(f.movieOf(4)->speed(), 1.0);
    }

    void oneStartOrTheLockOnHoldsNothing()
    {
        LockFixture f;
        f.scheduler.advance(SyncLock::TickInterval * (SyncLock::StartHoldTicks + 1));
        f.pane(2).setMoviePlay(false);
        f.pane(2).setMoviePlay(true);
        QVERIFY(!f.lock.isHoldingStart());

        // the lock itself does the work: a start while it is on holds nothing besides it
        f.lock.setEnabled(true);
        f.controller.setAllMoviePlay(false);
        f.controller.setAllMoviePlay(true);
        QVERIFY(!f.lock.isHoldingStart());
        // and turning it on ends a hold under way
        f.lock.setEnabled(false);
        f.controller.setAllMoviePlay(false);
        f.controller.setAllMoviePlay(true);
        QVERIFY(f.lock.isHoldingStart());
        f.lock.setEnabled(true);
        QVERIFY(!f.lock.isHoldingStart());
    }

    void smallSkewsAreNudged_data()
    {
        QTest::addColumn<double>("skew");
        QTest::addColumn<double>("speed");
        QTest::newRow("20 ms ahead plays 2% slower") << 0.020 << 0.98;
        QTest::newRow("20 ms behind plays 2% faster") << -0.020 << 1.02;
        QTest::newRow("within the steady band") << 0.002 << 1.0;
        QTest::newRow("100 ms ahead: no more than 5%") << 0.100 << 0.95;
        QTest::newRow("100 ms behind: no more than 5%") << -0.100 << 1.05;
    }

    void smallSkewsAreNudged()
    {
        QFETCH(double, skew);
        QFETCH(double, speed);
        LockFixture f;
        f.lock.setEnabled(true);
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(10.0 + skew));
        f.tick();
        QCOMPARE(f.lock.leaderViewNo(), 1);
        QVERIFY(qAbs(f.movieOf(2)->speed() - speed) < 1e-9);
        QCOMPARE(f.commandsOf(2, "nudgeSpeed").size(), speed == 1.0 ? 0 : 1);
        QVERIFY(f.commandsOf(2, "setCurrentTime").isEmpty());
        // the leader and the panes in step are left alone
        for (int n : {1, 3, 4})
            QVERIFY(f.movieOf(n)->commands.isEmpty());

        // back in step: the normal speed again, once the skew's average has come down, still as a nudge
        f.movieOf(2)->moveTo(at600(10.0));
        f.scheduler.advance(1s);
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        QVERIFY(f.commandsOf(2, "setSpeed").isEmpty());
    }

    void largeSkewsAreSoughtAwayAimingAheadBySeekTime()
    {
        LockFixture f;
        f.lock.setEnabled(true);
        // one reading is no reason to seek
        f.movieOf(3)->moveTo(at600(12.0));
        f.tick();
        f.movieOf(3)->moveTo(at600(10.0));
        f.scheduler.advance(200ms);
        QVERIFY(f.commandsOf(3, "setCurrentTime").isEmpty());

        f.movieOf(3)->moveTo(at600(12.0));
        for (int i = 1; i < SyncLock::SeekAfterTicks; ++i)
            f.tick();
        QVERIFY(f.commandsOf(3, "setCurrentTime").isEmpty());
        f.tick();
        QCOMPARE(f.commandsOf(3, "setCurrentTime"), QStringList{"setCurrentTime 900000/90000"});
        QCOMPARE(f.movieOf(3)->speed(), 1.0);

        // The seek took 100 ms of the leader's time: the next one aims that much further ahead.
        f.movieOf(3)->seeking = true;
        f.movieOf(1)->moveTo(at600(10.1));
        f.tick();
        f.movieOf(3)->seeking = false;
        f.tick();
        f.movieOf(3)->moveTo(at600(5.0));
        for (int i = 0; i < SyncLock::SeekAfterTicks; ++i)
            f.tick();
        QCOMPARE(f.commandsOf(3, "setCurrentTime").last(), QStringLiteral("setCurrentTime 918000/90000"));
    }

    void offsetsSetWhereEachFollowerStands_data()
    {
        QTest::addColumn<qint64>("leaderOffset");
        QTest::addColumn<qint64>("paneOffset");
        QTest::addColumn<double>("inStepAt");
        QTest::newRow("pane ahead of the leader") << qint64(0) << qint64(500) << 10.5;
        QTest::newRow("pane behind the leader") << qint64(0) << qint64(-250) << 9.75;
        QTest::newRow("leader's own offset counts against it") << qint64(200) << qint64(500) << 10.3;
    }

    void offsetsSetWhereEachFollowerStands()
    {
        QFETCH(qint64, leaderOffset);
        QFETCH(qint64, paneOffset);
        QFETCH(double, inStepAt);
        LockFixture f;
        f.offsets = {{1, leaderOffset}, {2, paneOffset}};
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(inStepAt));
        f.movieOf(3)->moveTo(MovieTime::fromSeconds(10.0 - leaderOffset / 1000.0));
        f.movieOf(4)->moveTo(at600(10.0));
        f.lock.setEnabled(true);
        f.scheduler.advance(500ms);
        QVERIFY(f.speedsOf(2).isEmpty());
        QVERIFY(f.speedsOf(3).isEmpty());
        // pane 4 has no offset either, but stands where the leader does without its offset
        QCOMPARE(f.speedsOf(4).isEmpty(), leaderOffset == 0);
        QVERIFY(f.commandsOf(2, "setCurrentTime").isEmpty());
    }

    void followersBeyondTheirMovieAreLeftAlone()
    {
        LockFixture f;
        f.offsets = {{2, -11000}};
        f.movieOf(2)->moveTo(at600(0.0));
        f.lock.setEnabled(true);
        f.scheduler.advance(500ms);
        QVERIFY(f.movieOf(2)->commands.isEmpty());
    }

    void leaderChangesWhenItStopsBeingPlayable_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("emptied") << "empty";
        QTest::newRow("squeezed out of sight") << "squeeze";
        QTest::newRow("its file gone, the pane unavailable") << "unavailable";
    }

    void leaderChangesWhenItStopsBeingPlayable()
    {
        QFETCH(QString, how);
        LockFixture f;
        f.lock.setEnabled(true);
        f.movieOf(2)->moveTo(at600(10.05));
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 0.95);

        if (how == "empty")
            f.pane(1).clearMovieView();
        else if (how == "squeeze")
            f.pane(1).resize(0, 150);
        else
            f.pane(1).setIsAvailable(false);
        f.movieOf(3)->moveTo(at600(10.05));
        f.tick();
        QCOMPARE(f.lock.leaderViewNo(), 2);
        // the new leader plays at its own speed; the others follow it
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        QCOMPARE(f.movieOf(3)->speed(), 1.0);
        QVERIFY(f.speedsOf(3).isEmpty());
        f.movieOf(4)->moveTo(at600(10.0));
        f.tick();
        QCOMPARE(f.movieOf(4)->speed(), 1.05);
    }

    void aStandingOrSeekingLeaderMovesNoFollower()
    {
        LockFixture f;
        f.lock.setEnabled(true);
        f.movieOf(2)->moveTo(at600(10.05));
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 0.95);

        f.movieOf(1)->seeking = true;
        f.movieOf(3)->moveTo(at600(30.0));
        f.scheduler.advance(200ms);
        QVERIFY(f.commandsOf(3, "setCurrentTime").isEmpty());
        f.movieOf(1)->seeking = false;

        f.pane(1).setMoviePlay(false);
        f.scheduler.advance(200ms);
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        QVERIFY(f.commandsOf(3, "setCurrentTime").isEmpty());
        QVERIFY(f.speedsOf(3).isEmpty());
    }

    void aSeekingFollowerIsNotMeasured()
    {
        LockFixture f;
        f.lock.setEnabled(true);
        f.movieOf(2)->seeking = true;
        f.movieOf(2)->moveTo(at600(40.0));
        f.scheduler.advance(500ms);
        QVERIFY(f.movieOf(2)->commands.isEmpty());
    }

    void turningItOffGivesBackTheSpeeds()
    {
        LockFixture f;
        QSignalSpy changed(&f.lock, &SyncLock::enabledChanged);
        f.lock.setEnabled(true);
        f.lock.setEnabled(true);
        QCOMPARE(changed.count(), 1);
        f.movieOf(2)->moveTo(at600(10.03));
        f.movieOf(4)->moveTo(at600(9.98));
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 0.97);
        QCOMPARE(f.movieOf(4)->speed(), 1.02);
        const int pending = f.scheduler.pendingCount();

        // a nudged follower back at its own speed is still told: that ends the nudging
        f.movieOf(4)->moveTo(at600(10.0));
        f.scheduler.advance(1s);
        QCOMPARE(f.movieOf(4)->speed(), 1.0);
        f.clearCommands();

        f.lock.setEnabled(false);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(f.scheduler.pendingCount(), pending - 1);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.movieOf(n)->speed(), 1.0);
        for (int n : {2, 4})
            QCOMPARE(f.speedsOf(n), QStringList{"setSpeed 1"});
        for (int n : {1, 3})
            QVERIFY(f.speedsOf(n).isEmpty());
        f.clearCommands();
        f.scheduler.advance(1s);
        QVERIFY(f.speedsOf(2).isEmpty());
    }
};

QTEST_MAIN(TestSyncLock)
#include "tst_synclock.moc"
