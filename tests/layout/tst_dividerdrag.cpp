// Dividers dragged with the pointer on an X server: a pane squeezed to nothing stops.
#include "LayoutFixture.h"

#include <QGuiApplication>
#include <QSplitterHandle>
#include <QWindow>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

class TestDividerDrag : public QObject {
    Q_OBJECT

private:
    // Presses on the divider's middle, moves the pointer by `by` in steps and lets go.
    static void drag(MainWindow& window, QSplitterHandle* handle, QPoint by)
    {
        QWindow* target = window.windowHandle();
        const QPoint from = handle->mapTo(&window, handle->rect().center());
        QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, from);
        for (int step = 1; step <= 8; ++step)
            QTest::mouseMove(target, from + by * step / 8);
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, from + by);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("a real divider drag needs an X server (make test runs the tests under xvfb-run)");
    }

    void paneDraggedOutOfSightStops()
    {
        LayoutFixture f;
        f.showWindow(800, 600);
        f.playFourPanes();
        int refreshes = 0;
        connect(&f.coordinator(), &MovController::playButtonEnabledNeedsRefresh, this, [&] { ++refreshes; });

        // the divider between panes 1 and 2, down past the window's bottom
        SplitSubView* left = f.window().spvLeft();
        drag(f.window(), left->handle(1), QPoint(0, left->height()));
        QCOMPARE(left->sizes().at(1), 0);
        QCOMPARE(f.pane(2).height(), 0);
        QVERIFY(!f.pane(2).isDisplay());
        QCOMPARE(f.playing(), (QList<bool>{true, false, true, true}));
        QVERIFY2(refreshes >= 4, "every pane asks for the control buttons to follow");

        // the middle divider to the left edge: panes 1 and 2 are gone, 3 and 4 play on
        SplitSubView* middle = f.window().spvMain();
        drag(f.window(), middle->handle(1), QPoint(-middle->width(), 0));
        QCOMPARE(f.pane(1).width(), 0);
        QCOMPARE(f.playing(), (QList<bool>{false, false, true, true}));
        QCOMPARE(f.coordinator().playableViewNo(), 0);

        // a drag that leaves every pane in sight stops nothing
        SplitSubView* right = f.window().spvRight();
        drag(f.window(), right->handle(1), QPoint(0, 40));
        QCOMPARE(f.playing(), (QList<bool>{false, false, true, true}));
        QCOMPARE(f.animations, 0);
    }
};

QTEST_MAIN(TestDividerDrag)
#include "tst_dividerdrag.moc"
