#include "library/MovieTime.h"

#include <QTest>

#include <limits>

using tetrapan::MovieTime;

class TestMovieTime : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void compare_data()
    {
        QTest::addColumn<MovieTime>("a");
        QTest::addColumn<MovieTime>("b");
        QTest::addColumn<int>("expected");

        const auto t = [](qint64 value, qint32 scale) { return MovieTime{value, scale, 0}; };
        QTest::newRow("same scale, earlier") << t(599, 600) << t(600, 600) << -1;
        QTest::newRow("one second at 600 and at 90000") << t(600, 600) << t(90000, 90000) << 0;
        QTest::newRow("frame 37 at 25 fps is 1.48 s") << t(37, 25) << t(133200, 90000) << 0;
        QTest::newRow("one tick apart across scales") << t(133201, 90000) << t(37, 25) << 1;
        QTest::newRow("1/3 s is not 0.333 s") << t(1, 3) << t(333, 1000) << 1;
        QTest::newRow("negative before zero") << t(-1, 600) << t(0, 90000) << -1;
        QTest::newRow("huge values do not overflow")
            << t(std::numeric_limits<qint64>::max(), std::numeric_limits<qint32>::max())
            << t(std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint32>::max()) << 1;
        QTest::newRow("huge value, different scales") << t(std::numeric_limits<qint64>::max(), 1000)
                                                      << t(std::numeric_limits<qint64>::max(), 999) << -1;
        QTest::newRow("no scale counts as zero") << t(12345, 0) << t(0, 600) << 0;
        QTest::newRow("no scale is before a positive time") << t(12345, 0) << t(1, 600) << -1;
    }

    void compare()
    {
        QFETCH(MovieTime, a);
        QFETCH(MovieTime, b);
        QFETCH(int, expected);
        QCOMPARE(tetrapan::compareMovieTime(a, b), expected);
        QCOMPARE(tetrapan::compareMovieTime(b, a), -expected);
        QCOMPARE(a == b, expected == 0);
    }

    void seconds_data()
    {
        QTest::addColumn<MovieTime>("time");
        QTest::addColumn<double>("expected");
        QTest::newRow("12.7 s at 600") << MovieTime{7620, 600, 0} << 12.7;
        QTest::newRow("scale 0 does not divide") << MovieTime{7620, 0, 0} << 0.0;
    }

    void seconds()
    {
        QFETCH(MovieTime, time);
        QFETCH(double, expected);
        QCOMPARE(time.seconds(), expected);
    }

    void fromSecondsRoundsToNearestTick()
    {
        // time-pos of frame 37 of a 25 fps clip arrives as a double slightly off 1.48.
        QCOMPARE(MovieTime::fromSeconds(1.4799999999), (MovieTime{37, 25, 0}));
        QCOMPARE(MovieTime::fromSeconds(1.4800000001).value, qint64(133200));
        QCOMPARE(MovieTime::fromSeconds(2.5, 0).scale, 0);
        // seconds past what the ticks can hold (a damaged offset, a file claiming a duration of ages) stay
        // on their side of zero, at the largest time
        QCOMPARE(MovieTime::fromSeconds(1e20).value, std::numeric_limits<qint64>::max());
        QCOMPARE(MovieTime::fromSeconds(-1e20).value, std::numeric_limits<qint64>::min());
    }
};

QTEST_GUILESS_MAIN(TestMovieTime)
#include "tst_movietime.moc"
