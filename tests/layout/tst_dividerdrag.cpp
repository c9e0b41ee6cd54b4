// Dividers dragged with the pointer on an X server: a pane squeezed to nothing stops, on the fake engine
// and on the real one.
#include "LayoutFixture.h"
#include "TestClips.h"

#include "engine/Movie.h"
#include "engine/MpvMovieEngine.h"
#include "platform/Scheduler.h"

#include <QGuiApplication>
#include <QSplitterHandle>
#include <QWindow>

#include <algorithm>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;

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

    void realMoviesFollowDragsAndZooms()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
        test::TestHome home;
        SettingsDomain settings(home.settingsFile());
        Tetrapan_AppDelegate::setupDefaults(settings);
        QtScheduler scheduler;
        test::FakeDialogPresenter dialogs;
        MpvMovieEngine::Options options;
        options.movie.nullAudio = true;
        MpvMovieEngine engine(options);
        MainNib nib({settings, scheduler, dialogs, engine});
        MainWindow& window = nib.mainWindow();
        window.resize(800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto playing = [&] {
            QList<bool> states;
            for (int n = 1; n <= 4; ++n)
                states << nib.qtView(n).isPlaying();
            return states;
        };
        for (int n = 1; n <= 4; ++n)
            QVERIFY(nib.qtView(n).createMovieView(clips.colour(n)));
        nib.movController().setAllMoviePlay(true);
        QCOMPARE(playing(), (QList<bool>{true, true, true, true}));

        SplitSubView* left = window.spvLeft();
        drag(window, left->handle(1), QPoint(0, left->height()));
        QCOMPARE(nib.qtView(2).height(), 0);
        QCOMPARE(playing(), (QList<bool>{true, false, true, true}));
        const double shownAt = nib.qtView(1).movie()->currentTime().seconds();
        QTRY_VERIFY(nib.qtView(1).movie()->currentTime().seconds() > shownAt + 0.2);

        // the dividers slide for real: half a second each, the panes paused meanwhile
        window.zoomPaneAction(3)->trigger();
        QCOMPARE(nib.movController().displayedViewNo(), 3);
        QCOMPARE(playing(), (QList<bool>{false, false, true, false}));
        window.zoomPaneAction(0)->trigger();
        QCOMPARE(nib.movController().displayedViewNo(), 0);
        QCOMPARE(playing(), (QList<bool>{true, true, true, true}));
        QVERIFY(dialogs.alerts.isEmpty());
    }
};

QTEST_MAIN(TestDividerDrag)
#include "tst_dividerdrag.moc"
