#include "platform/Scheduler.h"

#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;

// The real scheduler on real (short) timers: ordering and cancellation, which the fake cannot vouch for.
class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneShotsRunOnceUnlessCancelled()
    {
        QtScheduler scheduler;
        int runs = 0;
        bool cancelledRan = false;
        QStringList order;
        const auto id = scheduler.scheduleAfter(5ms, [&] { ++runs; });
        const auto cancelled = scheduler.scheduleAfter(1ms, [&] { cancelledRan = true; });
        scheduler.cancel(cancelled);
        scheduler.cancel(cancelled);
        scheduler.cancel(Scheduler::NoTask);
        QVERIFY(id != Scheduler::NoTask);
        QVERIFY(scheduler.isPending(id));
        // a task may schedule the next
        scheduler.scheduleAfter(1ms, [&] {
            order << QStringLiteral("first");
            scheduler.scheduleAfter(1ms, [&] { order << QStringLiteral("second"); });
        });
        QTRY_COMPARE(runs, 1);
        QTRY_COMPARE(order, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
        QVERIFY(!scheduler.isPending(id));
        QTest::qWait(20);
        QCOMPARE(runs, 1);
        QVERIFY(!cancelledRan);
    }

    void repeatingRunsUntilCancelledFromInside()
    {
        QtScheduler scheduler;
        int runs = 0;
        Scheduler::TaskId id = Scheduler::NoTask;
        id = scheduler.scheduleRepeating(2ms, [&] {
            if (++runs == 3)
                scheduler.cancel(id);
        });
        QTRY_COMPARE(runs, 3);
        QTest::qWait(15);
        QCOMPARE(runs, 3);
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
