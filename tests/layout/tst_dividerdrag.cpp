// Dividers dragged with the pointer on an X server, over real movies: a pane squeezed to nothing stops.
#include "OpenAndWait.h"
#include "AppFixture.h"
#include "TestClips.h"

#include "library/Movie.h"

#include <QGuiApplication>
#include <QSplitterHandle>
#include <QWindow>

#include <algorithm>

using namespace tetrapan;
using tetrapan::test::AppFixture;

class TestDividerDrag : public QObject {
    Q_OBJECT

private:
    // Presses on the divider's middle, moves the pointer by `by` in steps, as far as the window's edge,
    // and lets go.
    static void drag(MainWindow& window, QSplitterHandle* handle, QPoint by)
    {
        QWindow* target = window.windowHandle();
        const QPoint from = handle->mapTo(&window, handle->rect().center());
        const auto inside = [&](QPoint point) {
            return QPoint(std::clamp(point.x(), 0, window.width() - 1),
                          std::clamp(point.y(), 0, window.height() - 1));
        };
        QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, from);
        for (int step = 1; step <= 8; ++step)
            QTest::mouseMove(target, inside(from + by * step / 8));
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, inside(from + by));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("a real divider drag needs an X server (make test runs the tests under xvfb-run)");
    }

    void paneDraggedOutOfSightStops()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        AppFixture f({.realEngine = true, .realClock = true});
        // the dividers slide for real: half a second each, the panes paused meanwhile
        int slides = 0;
        for (SplitSubView* splitView : f.splitViews())
            splitView->setAnimationRunner([&slides](QVariantAnimation& animation) {
                ++slides;
                SplitSubView::runBlocking(animation);
            });
        f.showWindow(800, 600);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(test::openInPane(f.pane(n), clips.colour(n)));
        f.coordinator().setAllMoviePlay(true);
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        int refreshes = 0;
        connect(&f.coordinator(), &MovController::playButtonEnabledNeedsRefresh, this, [&] { ++refreshes; });

        // the divider between panes 1 and 2, down past the window's bottom: pane 2 stops, the others play on
        SplitSubView* left = f.window().spvLeft();
        drag(f.window(), left->handle(1), QPoint(0, left->height()));
        QCOMPARE(left->sizes().at(1), 0);
        QCOMPARE(f.pane(2).height(), 0);
        QVERIFY(!f.pane(2).isDisplay());
        QCOMPARE(f.playing(), (QList<bool>{true, false, true, true}));
        QVERIFY2(refreshes >= 4, "every pane asks for the control buttons to follow");
        const double shownAt = f.pane(1).movie()->currentTime().seconds();
        QTRY_VERIFY(f.pane(1).movie()->currentTime().seconds() > shownAt + 0.2);

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
        QCOMPARE(slides, 0);

        f.window().zoomPaneAction(3)->trigger();
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        QCOMPARE(f.playing(), (QList<bool>{false, false, true, false}));
        f.window().zoomPaneAction(0)->trigger();
        QCOMPARE(f.coordinator().displayedViewNo(), 0);
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        QVERIFY(slides > 0);
        QVERIFY(f.dialogs.alerts.isEmpty());
    }
};

QTEST_MAIN(TestDividerDrag)
#include "tst_dividerdrag.moc"
