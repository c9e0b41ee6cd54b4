#include "platform/RectText.h"

#include <QTest>

using namespace tetrapan;

// The text form of stored window and split-view frames.
class TestRectText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void written_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole numbers") << QRectF(120, 35, 1024, 640) << "{{120, 35}, {1024, 640}}";
        QTest::newRow("shortest decimals")
            << QRectF(120, 35.5, 800.25, 0.1) << "{{120, 35.5}, {800.25, 0.1}}";
        QTest::newRow("negative origin") << QRectF(-1280, -20, 640, 480) << "{{-1280, -20}, {640, 480}}";
        QTest::newRow("zero, never minus zero") << QRectF(-0.0, 0, 0, 0) << "{{0, 0}, {0, 0}}";
    }

    void written()
    {
        QFETCH(QRectF, rect);
        QFETCH(QString, text);
        QCOMPARE(rectText::stringFromRect(rect), text);
        // what is written reads back exactly
        int numbers = 0;
        QCOMPARE(rectText::rectFromString(text, &numbers), rect);
        QCOMPARE(numbers, 4);
    }

    void read_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<int>("numbers");
        QTest::newRow("stored form") << "{{515, 0}, {509, 640}}" << QRectF(515, 0, 509, 640) << 4;
        QTest::newRow("any separators") << "x=1 y=-2.5 w:+3 h .5" << QRectF(1, -2.5, 3, 0.5) << 4;
        QTest::newRow("exponent") << "{{1e2, 0}, {2.5E1, 1}}" << QRectF(100, 0, 25, 1) << 4;
        QTest::newRow("first four only") << "1 2 3 4 5 6" << QRectF(1, 2, 3, 4) << 4;
        QTest::newRow("missing read as 0") << "{{10, 20}}" << QRectF(10, 20, 0, 0) << 2;
        QTest::newRow("no number") << "garbage" << QRectF() << 0;
        QTest::newRow("empty") << "" << QRectF() << 0;
        QTest::newRow("signs and points alone") << "- + . -. {{7" << QRectF(7, 0, 0, 0) << 1;
        QTest::newRow("words are not numbers") << "inf nan {{1, 2}, {3, 4}}" << QRectF(1, 2, 3, 4) << 4;
        QTest::newRow("too large keeps its place") << "{{1e999, 2}, {3, 4}}" << QRectF(0, 2, 3, 4) << 3;
    }

    void read()
    {
        QFETCH(QString, text);
        QFETCH(QRectF, rect);
        QFETCH(int, numbers);
        int found = -1;
        QCOMPARE(rectText::rectFromString(text, &found), rect);
        QCOMPARE(found, numbers);
    }
};

QTEST_GUILESS_MAIN(TestRectText)
#include "tst_recttext.moc"
