// How the software path pairs A's pictures with B's, driven as the two drawing threads drive it: which of
// B's pictures A's place shows, whether A's picture is shown at all, and how often A is drawn again for B.
// The pictures' due times are the test's own; waits happen only where A would wait for B in vain.
#include "engine/SoftwareCombiner.h"

#include <QTest>

using namespace tetrapan;
using namespace std::chrono_literals;

namespace {

// OnceAfter: one new picture shortly after B's last; BStopsMeanwhile: one for each of B's, then one more
// while B stops without drawing its own.
enum class ADraws { EachFrame, OnceAfter, Never, BStopsMeanwhile };

QImage flat(int red)
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(red, 0, 0));
    return image;
}

} // namespace

class TestSoftwareCombiner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aShowsBOfItsMoment_data()
    {
        QTest::addColumn<bool>("aPlays");
        QTest::addColumn<bool>("bPlays");
        QTest::addColumn<int>("bFrames");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<ADraws>("aDraws");
        QTest::addColumn<int>("fewestRedraws");
        QTest::addColumn<int>("mostRedraws");
        // each of A's pictures drawn twice over cost a pane's CPU
        QTest::newRow("both play: A never drawn again for B")
            << true << true << 20 << 33 << ADraws::EachFrame << 0 << 1;
        // a load draws two frames close together: B looks playing, but A must not wait for a picture of
        // its moment that never comes
        QTest::newRow("B loaded and stopped, A drawn anew")
            << false << false << 2 << 20 << ADraws::OnceAfter << 0 << 2;
        // nor for a B whose next picture may come long after A's moment
        QTest::newRow("B plays at a low rate, A drawn between its pictures")
            << true << true << 2 << 200 << ADraws::OnceAfter << 0 << 2;
        // A, waiting in vain for B's picture, is not shown; once B stops it shows beside B's last
        QTest::newRow("B stops while A waits for it")
            << true << true << 3 << 33 << ADraws::BStopsMeanwhile << 1 << 2;
        QTest::newRow("B plays beside a stopped A: A drawn again for each")
            << false << true << 5 << 33 << ADraws::Never << 5 << 5;
    }

    void aShowsBOfItsMoment()
    {
        QFETCH(bool, aPlays);
        QFETCH(bool, bPlays);
        QFETCH(int, bFrames);
        QFETCH(int, gapMs);
        QFETCH(ADraws, aDraws);
        QFETCH(int, fewestRedraws);
        QFETCH(int, mostRedraws);
        bool redrawAsked = false;
        SoftwareCombiner combiner([&] { redrawAsked = true; });
        combiner.setSettings(CompareSettings{.kind = CompareKind::Flip, .showsB = true});
        combiner.setPictureRects(QRectF(0, 0, 8, 8), QRectF(0, 0, 8, 8));
        combiner.setPlaying(aPlays, bPlays);
        const auto start = SoftwareCombiner::Clock::now();
        QImage a;
        int redraws = 0;
        // A's drawing thread: the current picture drawn again when asked, then a new one when it has one
        const auto drawA = [&](SoftwareCombiner::Clock::time_point due, bool newFrame) {
            a = flat(0);
            return combiner.combineInto(a, due, newFrame);
        };
        for (int n = 0; n < bFrames; ++n) {
            const auto due = start + n * std::chrono::milliseconds(gapMs);
            combiner.offer(flat(10 + n), due, true);
            if (std::exchange(redrawAsked, false)) {
                ++redraws;
                QVERIFY(drawA(due, false));
                QCOMPARE(qRed(a.pixel(0, 0)), 10 + n);
            }
            if (aDraws == ADraws::EachFrame || aDraws == ADraws::BStopsMeanwhile) {
                QVERIFY(drawA(due, true));
                QCOMPARE(qRed(a.pixel(0, 0)), 10 + n);
            }
        }
        if (aDraws == ADraws::OnceAfter) {
            QVERIFY(drawA(start + (bFrames - 1) * std::chrono::milliseconds(gapMs) + 50ms, true));
            QCOMPARE(qRed(a.pixel(0, 0)), 10 + bFrames - 1);
        }
        if (aDraws == ADraws::BStopsMeanwhile) {
            QVERIFY(!drawA(start + bFrames * std::chrono::milliseconds(gapMs), true));
            combiner.setPlaying(aPlays, false);
            QVERIFY(std::exchange(redrawAsked, false));
            ++redraws;
            QVERIFY(drawA(start + bFrames * std::chrono::milliseconds(gapMs), false));
            QCOMPARE(qRed(a.pixel(0, 0)), 10 + bFrames - 1);
        }
        QVERIFY2(redraws >= fewestRedraws && redraws <= mostRedraws, qPrintable(QString::number(redraws)));
    }
};

QTEST_GUILESS_MAIN(TestSoftwareCombiner)
#include "tst_softwarecombiner.moc"
