// When new pictures are drawn: at their due time, and those due close together in one repaint.
#include "engine/FramePacer.h"

#include <QPaintEvent>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace tetrapan;
using namespace std::chrono_literals;

namespace {

using Duration = FramePacer::Duration;

class CountingWidget final : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

} // namespace

Q_DECLARE_METATYPE(std::vector<Duration>)
Q_DECLARE_METATYPE(std::vector<std::size_t>)
Q_DECLARE_METATYPE(std::optional<Duration>)

class TestFramePacer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plansWhatToDrawNowAndWhenToLookAgain_data()
    {
        QTest::addColumn<std::vector<Duration>>("due");
        QTest::addColumn<std::vector<std::size_t>>("drawNow");
        QTest::addColumn<std::optional<Duration>>("wait");
        const Duration now = 1s;
        QTest::newRow("nothing waits")
            << std::vector<Duration>{} << std::vector<std::size_t>{} << std::optional<Duration>{};
        QTest::newRow("due now") << std::vector<Duration>{now} << std::vector<std::size_t>{0}
                                 << std::optional<Duration>{};
        QTest::newRow("late") << std::vector<Duration>{now - 30ms} << std::vector<std::size_t>{0}
                              << std::optional<Duration>{};
        QTest::newRow("within the timer's slack")
            << std::vector<Duration>{now + 800us} << std::vector<std::size_t>{0} << std::optional<Duration>{};
        QTest::newRow("due later: woken a little before")
            << std::vector<Duration>{now + 10ms} << std::vector<std::size_t>{}
            << std::optional<Duration>{9ms};
        QTest::newRow("one due and one nearly: drawn together")
            << std::vector<Duration>{now + 3ms, now} << std::vector<std::size_t>{0, 1}
            << std::optional<Duration>{};
        QTest::newRow("one due, the other a frame later")
            << std::vector<Duration>{now, now + 16ms, now + 2ms} << std::vector<std::size_t>{0, 2}
            << std::optional<Duration>{15ms};
        // nothing is drawn early for company alone
        QTest::newRow("two due later, close together")
            << std::vector<Duration>{now + 12ms, now + 10ms} << std::vector<std::size_t>{}
            << std::optional<Duration>{9ms};
    }

    void plansWhatToDrawNowAndWhenToLookAgain()
    {
        QFETCH(std::vector<Duration>, due);
        QFETCH(std::vector<std::size_t>, drawNow);
        QFETCH(std::optional<Duration>, wait);
        const FramePacer::Plan plan = FramePacer::plan(due, 1s);
        QCOMPARE(plan.drawNow, drawNow);
        QCOMPARE(plan.wait.has_value(), wait.has_value());
        if (wait)
            QCOMPARE(plan.wait->count(), wait->count());
    }

    void everySurfaceIsRepaintedOnceForItsLastPicture()
    {
        FramePacer pacer;
        CountingWidget first;
        CountingWidget second;
        for (QWidget* w : {static_cast<QWidget*>(&first), static_cast<QWidget*>(&second)}) {
            w->resize(64, 48);
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w));
        }
        QTRY_VERIFY(first.paints > 0 && second.paints > 0);
        const int firstBefore = first.paints;
        const int secondBefore = second.paints;

        // a picture due far in the future is still drawn after at most the longest wait; a second one for
        // the same surface replaces the first; a surface gone meanwhile is forgotten
        pacer.frameDue(&first, 10min);
        pacer.frameDue(&first, 10min);
        pacer.frameDue(&second, 0ms);
        auto gone = std::make_unique<CountingWidget>();
        pacer.frameDue(gone.get(), 10min);
        gone.reset();
        QTRY_COMPARE(second.paints, secondBefore + 1);
        QTRY_COMPARE(first.paints, firstBefore + 1);
        QTest::qWait(2 *
                     std::chrono::duration_cast<std::chrono::milliseconds>(FramePacer::LongestWait).count());
        QCOMPARE(first.paints, firstBefore + 1);
        QCOMPARE(second.paints, secondBefore + 1);
    }
};

QTEST_MAIN(TestFramePacer)
#include "tst_framepacer.moc"
