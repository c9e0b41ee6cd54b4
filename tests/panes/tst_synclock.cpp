// The sync lock's law on the fake engine: followers nudged by speed for small skews and moved by a seek for
// large ones, offsets, the leader changing with the panes, panes stopped together put on the leader's frame;
// and with the lock off, panes started together held on one clock for a moment by speed alone, and nothing
// else.
#include "PaneFixture.h"

#include "panes/PlaybackSpeed.h"
#include "panes/SyncLock.h"

#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;
using namespace std::chrono_literals;

namespace {

// Four playing panes on one minute each, all at 10 s, with a lock on the coordinator.
struct LockFixture : PaneFixture {
    SyncLock lock{scheduler, controller};
    PlaybackSpeed speed{settings, controller, lock};
    QHash<int, qint64> offsets;
    QHash<int, double> rates;

    LockFixture()
    {
        lock.setOffsetProvider([this](int viewNo) { return offsets.value(viewNo); });
        lock.setRateProvider([this](int viewNo) { return rates.value(viewNo, 1.0); });
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
    QStringList commandsOf(int viewNo, const char* name) { return movieOf(viewNo)->commands.filter(name); }
    // Nudged or given a speed.
    QStringList speedsOf(int viewNo) { return movieOf(viewNo)->commands.filter("Speed "); }
    void tick() { scheduler.advance(SyncLock::TickInterval); }
};

} // namespace

class TestSyncLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aJointStartIsHeldOnOneClockForAMoment()
    {
        LockFixture f;
        // stopped and started again, each pane is held from where it stood
        f.controller.setAllMoviePlay(false);
        f.movieOf(2)->moveTo(at600(30.0));
        f.movieOf(3)->moveTo(at600(2.0));
        f.controller.setAllMoviePlay(true);
        QVERIFY(f.lock.isHoldingStart());
        f.clearCommands();
        f.movieOf(1)->moveTo(at600(10.5));
        f.movieOf(2)->moveTo(at600(30.49));
        f.movieOf(3)->moveTo(at600(2.5));
        f.movieOf(4)->moveTo(at600(10.54));
        f.tick();
        // 10 ms behind plays 2% faster, 40 ms ahead 5% slower (no more), all by speed alone
        QCOMPARE(f.movieOf(2)->speed(), 1.02);
        QCOMPARE(f.movieOf(4)->speed(), 0.95);
        for (int n : {1, 3})
            QVERIFY(f.movieOf(n)->commands.isEmpty());
        for (int n = 1; n <= 4; ++n)
            QVERIFY(f.commandsOf(n, "setCurrentTime").isEmpty());

        // in step again: the speed it had
        f.movieOf(2)->moveTo(at600(30.5));
        f.scheduler.advance(500ms);
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        // the hold ends by itself, giving back every speed it changed
        f.scheduler.advance(SyncLock::TickInterval * SyncLock::StartHoldTicks);
        QVERIFY(!f.lock.isHoldingStart());
        QCOMPARE(f.movieOf(4)->speed(), 1.0);
        QCOMPARE(f.speedsOf(4).last(), QStringLiteral("setSpeed 1"));
        f.clearCommands();
        f.movieOf(2)->moveTo(at600(30.2));
        f.scheduler.advance(1s);
        QVERIFY(f.speedsOf(2).isEmpty());
    }

    void aHoldLetsGoOfPanesAndOnlyAJointStartHolds()
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

        // one pane started alone holds nothing
        f.controller.setAllMoviePlay(true);
        QVERIFY(f.pane(1).isPlaying());
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
        QTest::newRow("100 ms behind: no more than 5%") << -0.100 << 1.05;
    }

    void smallSkewsAreNudged()
    {
        QFETCH(double, skew);
        QFETCH(double, speed);
        LockFixture f;
        f.lock.setEnabled(true);
        f.lock.setEnabled(true); // once is enough: turning it off below stops every tick
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(10.0 + skew));
        f.tick();
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

        // stopped and settled, the lock sleeps: nothing wakes the program while it stands; started again,
        // it follows again
        f.controller.setAllMoviePlay(false);
        f.scheduler.advance(1s);
        QCOMPARE(f.scheduler.pendingCount(), 0);
        f.controller.setAllMoviePlay(true);
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(10.0 + skew));
        f.tick();
        QVERIFY(qAbs(f.movieOf(2)->speed() - speed) < 1e-9);

        // Turned off, it gives back the speed it changed, also to a pane back at it (that ends the nudging),
        // and nudges no more.
        f.clearCommands();
        f.lock.setEnabled(false);
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(10.0 + skew));
        f.scheduler.advance(1s);
        QCOMPARE(f.speedsOf(2), speed == 1.0 ? QStringList() : QStringList{"setSpeed 1"});
        for (int n : {1, 3, 4})
            QVERIFY(f.movieOf(n)->commands.isEmpty());
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

    void followersWhereTheyBelongAreLeftAlone_data()
    {
        QTest::addColumn<qint64>("leaderOffset");
        QTest::addColumn<qint64>("paneOffset");
        QTest::addColumn<double>("paneAt"); // pane 2's place
        QTest::addColumn<bool>("seeking");
        QTest::addColumn<double>("rate"); // pane 2's, playing at the leader's speed times it
        QTest::newRow("ahead of the leader by its offset")
            << qint64(0) << qint64(500) << 10.5 << false << 1.0;
        QTest::newRow("the leader's own offset counts against it")
            << qint64(200) << qint64(500) << 10.3 << false << 1.0;
        QTest::newRow("its offset puts it before its beginning")
            << qint64(0) << qint64(-11000) << 0.0 << false << 1.0;
        QTest::newRow("seeking: not measured") << qint64(0) << qint64(0) << 40.0 << true << 1.0;
        QTest::newRow("at its rate: rate times the common time")
            << qint64(0) << qint64(0) << 12.5 << false << 1.25;
        QTest::newRow("at its rate, its offset added")
            << qint64(200) << qint64(-500) << 11.75 << false << 1.25;
    }

    void followersWhereTheyBelongAreLeftAlone()
    {
        QFETCH(qint64, leaderOffset);
        QFETCH(qint64, paneOffset);
        QFETCH(double, paneAt);
        QFETCH(bool, seeking);
        QFETCH(double, rate);
        LockFixture f;
        f.offsets = {{1, leaderOffset}, {2, paneOffset}};
        f.rates = {{2, rate}};
        f.movieOf(2)->setSpeed(rate);
        f.movieOf(2)->commands.clear();
        f.movieOf(2)->moveTo(MovieTime::fromSeconds(paneAt));
        f.movieOf(2)->seeking = seeking;
        f.movieOf(3)->moveTo(MovieTime::fromSeconds(10.0 - leaderOffset / 1000.0));
        f.lock.setEnabled(true);
        f.scheduler.advance(500ms);
        QVERIFY(f.movieOf(2)->commands.isEmpty());
        QVERIFY(f.speedsOf(3).isEmpty());
        // pane 4 has no offset either, but stands where the leader does without its offset
        QCOMPARE(f.speedsOf(4).isEmpty(), leaderOffset == 0);
    }

    // Stopped together, each pane pauses where its player is, a part of a frame from the others; the
    // followers that played are put on the leader's place (and their offsets) once it stands still. With the
    // lock off only those that played within a frame of the leader: a pane kept apart stays apart.
    void panesStoppedTogetherStandOnTheLeadersFrame_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<double>("playedAt"); // pane 2 when stopped, the leader at 10 s
        QTest::addColumn<QStringList>("put");
        QTest::addColumn<double>("rate"); // pane 2's
        const QStringList onTheLeaders{"setCurrentTime 902700/90000"};
        QTest::newRow("locked") << true << 10.0 << onTheLeaders << 1.0;
        QTest::newRow("unlocked, in step") << false << 10.0 << onTheLeaders << 1.0;
        QTest::newRow("unlocked, a frame ahead") << false << 10.04 << onTheLeaders << 1.0;
        QTest::newRow("unlocked, far apart") << false << 10.2 << QStringList() << 1.0;
        QTest::newRow("locked, far apart") << true << 10.2 << onTheLeaders << 1.0;
        // 10.03 s of the leader are 12.5375 s of a pane at rate 1.25
        const QStringList atItsRate{"setCurrentTime 1128375/90000"};
        QTest::newRow("unlocked, in step at its rate") << false << 12.5 << atItsRate << 1.25;
        QTest::newRow("locked, at its rate") << true << 10.0 << atItsRate << 1.25;
    }

    void panesStoppedTogetherStandOnTheLeadersFrame()
    {
        QFETCH(bool, locked);
        QFETCH(double, playedAt);
        QFETCH(QStringList, put);
        QFETCH(double, rate);
        LockFixture f;
        f.offsets = {{3, 500}};
        f.rates = {{2, rate}};
        f.movieOf(3)->moveTo(at600(10.5));
        f.movieOf(2)->moveTo(at600(playedAt));
        f.lock.setEnabled(locked);
        f.pane(4).setMoviePlay(false); // stopped before: it stays where it is
        f.movieOf(4)->moveTo(at600(20.0));
        f.controller.changeAllMoviePlay();
        f.clearCommands();
        f.movieOf(1)->moveTo(at600(10.03)); // the pause landing late
        f.movieOf(2)->moveTo(at600(playedAt + 0.01));
        f.movieOf(3)->moveTo(at600(10.53)); // where it belongs, by its offset
        f.tick();
        f.tick();
        QVERIFY(f.commandsOf(2, "setCurrentTime").isEmpty());
        f.scheduler.advance(SyncLock::TickInterval * SyncLock::StopSettleTicks);
        QCOMPARE(f.commandsOf(2, "setCurrentTime"), put);
        for (int n : {1, 3, 4})
            QVERIFY(f.commandsOf(n, "setCurrentTime").isEmpty());
        f.scheduler.advance(1s);
        QCOMPARE(f.commandsOf(2, "setCurrentTime"), put);
    }

    // The playing speed's steps ("[" slower, "]" faster, "0" normal) from what the settings hold, and the
    // speed of every movie, also one loaded afterwards.
    void speedSteps_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<double>("speed");
        QTest::newRow("faster") << QVariant(1.0) << "]" << 1.25;
        QTest::newRow("slower") << QVariant(1.0) << "[" << 0.75;
        QTest::newRow("to the fastest") << QVariant(1.5) << "]]]" << 4.0;
        QTest::newRow("to the slowest") << QVariant(0.75) << "[[[" << 0.25;
        QTest::newRow("back to normal") << QVariant(0.5) << "0" << 1.0;
        QTest::newRow("stored between steps") << QVariant(0.3) << "" << 0.25;
        QTest::newRow("stored too fast") << QVariant(10) << "[" << 2.0;
        QTest::newRow("stored no number") << QVariant("fast") << "]" << 1.25;
        QTest::newRow("stored no speed") << QVariant(-2) << "" << 1.0;
    }

    void speedSteps()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, keys);
        LockFixture f;
        f.settings.setObject(stored, PlaybackSpeed::OptPlaySpeed);
        for (QChar key : keys)
            (f.speed.*(key == '['   ? &PlaybackSpeed::slower
                       : key == ']' ? &PlaybackSpeed::faster
                                    : &PlaybackSpeed::normal))();
        QTEST(f.speed.speed(), "speed");
        f.pane(4).clearMovieView();
        f.load(4);
        for (int n = 1; n <= 4; ++n)
            QTEST(f.movieOf(n)->speed(), "speed");
    }

    // A speed chosen while a follower is nudged is the one every pane keeps when the lock lets go of it: on,
    // when the lock is turned off; off, when the hold of the panes playing on together at it ends.
    void aSpeedChosenOutlastsTheLocksNudges_data()
    {
        QTest::addColumn<bool>("lockOn");
        QTest::newRow("lock on") << true;
        QTest::newRow("lock off") << false;
    }

    void aSpeedChosenOutlastsTheLocksNudges()
    {
        QFETCH(bool, lockOn);
        LockFixture f;
        f.lock.setEnabled(lockOn);
        const auto pane4Ahead = [&f](double seconds, double ahead) {
            for (int n = 1; n <= 3; ++n)
                f.movieOf(n)->moveTo(at600(seconds));
            f.movieOf(4)->moveTo(at600(seconds + ahead));
            f.tick();
        };
        pane4Ahead(10.5, 0.04);
        QVERIFY(f.movieOf(4)->speed() < 1.0);
        f.speed.faster();
        // with the lock off, the panes playing on are held together as at a start
        QCOMPARE(f.lock.isHoldingStart(), !lockOn);
        // 40 ms further ahead than where it stood at the change
        pane4Ahead(11.0, 0.08);
        QVERIFY(f.movieOf(4)->speed() < 1.25);
        if (lockOn)
            f.lock.setEnabled(false);
        else
            f.scheduler.advance(SyncLock::TickInterval * SyncLock::StartHoldTicks);
        QVERIFY(!f.lock.isHoldingStart());
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.movieOf(n)->speed(), 1.25);
    }

    void followersFollowALeaderThatLeads_data()
    {
        QTest::addColumn<QString>("how"); // what becomes of pane 1, the leader
        QTest::addColumn<int>("leader");  // afterwards
        QTest::newRow("emptied") << "empty" << 2;
        QTest::newRow("squeezed out of sight") << "squeeze" << 2;
        QTest::newRow("its file gone, the pane unavailable") << "unavailable" << 2;
        QTest::newRow("stopped: it leads nobody") << "stop" << 1;
        QTest::newRow("seeking: it leads nobody") << "seek" << 1;
    }

    void followersFollowALeaderThatLeads()
    {
        QFETCH(QString, how);
        QFETCH(int, leader);
        LockFixture f;
        f.lock.setEnabled(true);
        f.movieOf(2)->moveTo(at600(10.05));
        f.tick();
        QCOMPARE(f.movieOf(2)->speed(), 0.95);

        if (how == "empty")
            f.pane(1).clearMovieView();
        else if (how == "squeeze")
            f.pane(1).resize(0, 150);
        else if (how == "unavailable")
            f.pane(1).setIsAvailable(false);
        else if (how == "stop")
            f.pane(1).setMoviePlay(false);
        else
            f.movieOf(1)->seeking = true;
        f.movieOf(3)->moveTo(at600(30.0));
        f.scheduler.advance(200ms);
        QCOMPARE(f.lock.leaderViewNo(), leader);
        // pane 2 plays at its own speed, as the new leader or let go; pane 3 is sought to a new leader only
        QCOMPARE(f.movieOf(2)->speed(), 1.0);
        QCOMPARE(f.commandsOf(3, "setCurrentTime"),
                 leader == 2 ? QStringList{"setCurrentTime 904500/90000"} : QStringList());
        QCOMPARE(f.movieOf(3)->speed(), 1.0);
    }
};

QTEST_MAIN(TestSyncLock)
#include "tst_synclock.moc"
