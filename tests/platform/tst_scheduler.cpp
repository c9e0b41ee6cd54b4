#include "platform/Scheduler.h"

#include <QElapsedTimer>
#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;

// The real scheduler on real (short) timers: ordering and cancellation, which the fake cannot vouch for.
class TestScheduler : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneShotRunsOnceAndIsForgotten()
    {
        QtScheduler scheduler;
        int runs = 0;
        const auto id = scheduler.scheduleAfter(5ms, [&] { ++runs; });
        QVERIFY(id != Scheduler::NoTask);
        QVERIFY(scheduler.isPending(id));
        QTRY_COMPARE(runs, 1);
        QVERIFY(!scheduler.isPending(id));
        QTest::qWait(20);
        QCOMPARE(runs, 1);
    }

    void cancelledTaskNeverRuns()
    {
        QtScheduler scheduler;
        bool ran = false;
        const auto id = scheduler.scheduleAfter(1ms, [&] { ran = true; });
        scheduler.cancel(id);
        scheduler.cancel(id);
        scheduler.cancel(Scheduler::NoTask);
        QTest::qWait(15);
        QVERIFY(!ran);
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

    void taskMayScheduleTheNext()
    {
        QtScheduler scheduler;
        QStringList order;
        scheduler.scheduleAfter(1ms, [&] {
            order << QStringLiteral("first");
            scheduler.scheduleAfter(1ms, [&] { order << QStringLiteral("second"); });
        });
        QTRY_COMPARE(order, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
