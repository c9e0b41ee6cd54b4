#include "layout/SplitSubView.h"

#include <QTest>
#include <QVariantAnimation>

using namespace tetrapan;

namespace {

// A split view of two empty subviews, 807 long on its divider's axis, shown so its layout is real.
struct Split {
    QWidget window;
    SplitSubView* view;
    QWidget* first;
    QWidget* second;
    int runs = 0;
    QList<int> slidThrough;
    bool animateSeen = true;

    explicit Split(Qt::Orientation orientation, float thickness = 7.0f)
    {
        view = new SplitSubView(orientation, &window);
        first = new QWidget;
        second = new QWidget;
        for (QWidget* subview : {first, second}) {
            subview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
            view->addWidget(subview);
        }
        view->awakeFromNib();
        view->setDividerSize(thickness);
        view->setGeometry(0, 0, orientation == Qt::Horizontal ? 807 : 300,
                          orientation == Qt::Horizontal ? 300 : 807);
        view->setSizes({1, 3});
        view->setAnimationRunner([this](QVariantAnimation& animation) {
            ++runs;
            for (int step = 0; step <= 4; ++step) {
                animation.setCurrentTime(animation.duration() * step / 4);
                animateSeen = animateSeen && view->isAnimate();
                slidThrough << view->sizes().at(0);
            }
        });
        window.resize(view->size());
        window.show();
    }
};

} // namespace

// The split view that arranges two panes: divider thickness, moving the divider at once or animated.
class TestSplitSubView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dividerGoesWhereSent_data()
    {
        QTest::addColumn<Qt::Orientation>("orientation");
        QTest::addColumn<float>("thickness");
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<int>("firstLength");
        QTest::addColumn<int>("secondStart");
        QTest::addColumn<int>("secondLength");
        const auto side = Qt::Horizontal;
        const auto stacked = Qt::Vertical;
        QTest::newRow("second collapsed") << side << 7.f << QPointF(800, 0) << 800 << 807 << 0;
        QTest::newRow("first collapsed") << side << 7.f << QPointF(0, 0) << 0 << 7 << 800;
        QTest::newRow("no divider") << side << 0.f << QPointF(400, 0) << 400 << 400 << 407;
        QTest::newRow("side by side ignores y") << side << 7.f << QPointF(300, 650) << 300 << 307 << 500;
        QTest::newRow("stacked uses y only") << stacked << 7.f << QPointF(650, 300) << 300 << 307 << 500;
    }

    void dividerGoesWhereSent()
    {
        QFETCH(Qt::Orientation, orientation);
        QFETCH(float, thickness);
        QFETCH(QPointF, position);
        QFETCH(int, firstLength);
        QFETCH(int, secondStart);
        QFETCH(int, secondLength);
        for (bool animate : {false, true}) {
            Split split(orientation, thickness);
            split.view->setSplitterPosition(position, animate);
            const bool side = orientation == Qt::Horizontal;
            QCOMPARE(side ? split.first->width() : split.first->height(), firstLength);
            QCOMPARE(side ? split.second->x() : split.second->y(), secondStart);
            QCOMPARE(side ? split.second->width() : split.second->height(), secondLength);
            QCOMPARE(split.runs, animate ? 1 : 0);
            QVERIFY(!split.view->isAnimate());
        }
    }

    void animationSlidesBothSubviews()
    {
        Split split(Qt::Horizontal);
        QCOMPARE(split.view->sizes().at(0), 200);
        split.view->setSplitterPosition(QPointF(0, 0), true);
        QCOMPARE(split.runs, 1);
        QVERIFY(split.animateSeen);
        QCOMPARE(split.slidThrough, (QList<int>{200, 150, 100, 50, 0}));
        QCOMPARE(split.view->sizes(), (QList<int>{0, 800}));
    }

    void runningForRealBlocksUntilTheEnd()
    {
        QVariantAnimation animation;
        animation.setStartValue(0);
        animation.setEndValue(100);
        animation.setDuration(30);
        SplitSubView::runBlocking(animation);
        QCOMPARE(animation.state(), QAbstractAnimation::Stopped);
        QCOMPARE(animation.currentValue().toInt(), 100);
    }
};

QTEST_MAIN(TestSplitSubView)
#include "tst_splitsubview.moc"
