#include "AppFixture.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "layout/ViewMain.h"
#include "palette/ControlWindow.h"
#include "palette/ViewControl.h"
#include "platform/RectText.h"
#include "platform/userDefaultsExtension.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QUndoStack>

using namespace tetrapan;
using tetrapan::test::AppFixture;
using namespace std::chrono_literals;

namespace {

// The items of the frame-set menu as it opens, "Title" for enabled and "(Title)" for disabled ones.
QStringList itemStates(QMenu* menu)
{
    Q_EMIT menu->aboutToShow();
    QStringList states;
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator())
            states << (item->isEnabled() ? item->text() : QStringLiteral("(%1)").arg(item->text()));
    }
    return states;
}

void chooseInMenu(QMenu* menu, const QString& title)
{
    Q_EMIT menu->aboutToShow();
    for (QAction* item : menu->actions()) {
        if (item->text() == title)
            item->trigger();
    }
}

} // namespace

// The main window's layout: dividers, one pane alone, frame sets, automatic frame play and full screen.
class TestViewMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Shown at every start, whatever the last run left; hidden, the panes split exactly in halves. The menu
    // item and the palette's button follow either's change.
    void dividers()
    {
        AppFixture f({.storedSettings = {{QStringLiteral("optDividerEnable"), false}}});
        QCOMPARE(userDefaultsExtension::defaultBoolValue(f.settings, QStringLiteral("optDividerEnable")),
                 true);
        QVERIFY(f.settings.hasStoredValue(QStringLiteral("optDividerEnable")));
        for (SplitSubView* splitView : f.splitViews()) {
            QCOMPARE(splitView->dividerThickness(), 7.0f);
            QCOMPARE(splitView->handleWidth(), 7);
        }
        QVERIFY(f.window().showDividersAction()->isChecked());
        QCOMPARE(f.window().windowTitle(), QStringLiteral("Tetrapan"));
        f.showWindow();
        f.nib->viewControl().openControlWindow();
        QAbstractButton* button = f.nib->controlWindow().btnDivider();
        QVERIFY(button->isChecked());
        f.window().showDividersAction()->trigger();
        QCOMPARE(f.settings.objectForKey(QStringLiteral("optDividerEnable")), QVariant(false));
        QVERIFY(!f.window().showDividersAction()->isChecked());
        QVERIFY(!button->isChecked());
        f.viewMain().maximizeSplitViewFrame(1);
        f.viewMain().maximizeSplitViewFrame(0);
        const int width = f.window().spvMain()->width();
        const int height = f.window().spvMain()->height();
        QCOMPARE(f.window().spvMain()->sizes(), (QList<int>{width / 2, width / 2}));
        QCOMPARE(f.window().spvLeft()->sizes(), (QList<int>{height / 2, height / 2}));
        QCOMPARE(f.window().spvRight()->sizes(), (QList<int>{height / 2, height / 2}));
        // pane 1 top left, 2 bottom left, 3 top right, 4 bottom right
        const QList<QPoint> corners{{0, 0}, {0, height / 2}, {width / 2, 0}, {width / 2, height / 2}};
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(f.window().paneSlot(n)->mapTo(f.window().spvMain(), QPoint()), corners.at(n - 1));

        button->click();
        QCOMPARE(f.window().spvMain()->handleWidth(), 7);
        QVERIFY(f.window().showDividersAction()->isChecked());
        QVERIFY(button->isChecked());
    }

    void askingTwiceForAPaneBringsTheEvenLayoutBack_data()
    {
        QTest::addColumn<int>("viewNo");
        for (int viewNo = 1; viewNo <= 4; ++viewNo)
            QTest::addRow("pane %d", viewNo) << viewNo;
    }

    void askingTwiceForAPaneBringsTheEvenLayoutBack()
    {
        QFETCH(int, viewNo);
        QList<bool> shown(4, false);
        shown[viewNo - 1] = true;
        AppFixture f;
        f.showWindow();
        const QList<int> atStart = f.window().spvMain()->sizes();
        QVERIFY2(qAbs(atStart[0] - atStart[1]) <= 1, "the halves even to begin with");
        f.viewMain().maximizeSplitViewFrame(0);
        f.animations = 0;
        const int room = f.window().spvMain()->height() - 7;
        const QList<int> evenRows{room / 2 + room % 2, room / 2};
        QCOMPARE(f.window().spvLeft()->sizes(), evenRows);
        const QList<int> even = f.window().spvMain()->sizes();
        f.playFourPanes();

        f.window().zoomPaneAction(viewNo)->trigger();
        QCOMPARE(f.displayed(), shown);
        QCOMPARE(f.playing(), shown);
        QCOMPARE(f.coordinator().displayedViewNo(), viewNo);
        // the divider at the window's edge still takes its room
        QCOMPARE(f.pane(viewNo).size(), f.window().spvMain()->size() - QSize(7, 7));
        for (int n = 1; n <= 4; ++n) {
            if (n != viewNo)
                QVERIFY2(f.pane(n).width() == 0 || f.pane(n).height() == 0, "a squeezed pane has no size");
        }
        QCOMPARE(f.animations, 2);

        f.window().zoomPaneAction(viewNo)->trigger();
        QCOMPARE(f.displayed(), (QList<bool>{true, true, true, true}));
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        QCOMPARE(f.window().spvMain()->sizes(), even);
        QCOMPARE(f.window().spvLeft()->sizes(), evenRows);
        QCOMPARE(f.window().spvRight()->sizes(), evenRows);
        // the column not moved on the way there stays where it was on the way back
        QCOMPARE(f.animations, 4);
        QVERIFY(!f.animateFlagMissed);
        QVERIFY2(!f.panePlayedWhileSliding, "panes stand still while the dividers slide");
    }

    void anUnknownPaneStopsAllAndMovesNothing()
    {
        AppFixture f;
        f.showWindow();
        f.playFourPanes();
        const QList<int> before = f.window().spvMain()->sizes();
        f.animations = 0;
        f.viewMain().maximizeSplitViewFrame(5);
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        QCOMPARE(f.window().spvMain()->sizes(), before);
        QCOMPARE(f.animations, 0);

        // what was stopped stays stopped
        f.viewMain().maximizeSplitViewFrame(2);
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    }

    void aMoveAskedForWhileSlidingWaitsItsTurn()
    {
        AppFixture f;
        f.showWindow();
        // automatic frame play's timer fires inside the first slide
        f.duringAnimation = [&] { f.viewMain().maximizeSplitViewFrame(4); };
        f.viewMain().maximizeSplitViewFrame(1);
        QCOMPARE(f.coordinator().displayedViewNo(), 4);
        QCOMPARE(f.pane(4).size(), f.window().spvMain()->size() - QSize(7, 7));
    }

    void aResizeWhileSlidingKeepsTheShares()
    {
        AppFixture f;
        f.showWindow();
        f.viewMain().maximizeSplitViewFrame(1);
        // the window made smaller as the first divider slides back to the even layout
        SplitSubView* main = f.window().spvMain();
        f.duringAnimation = [&] { main->resize(main->size() - QSize(201, 101)); };
        f.viewMain().maximizeSplitViewFrame(0);
        const auto even = [](const SplitSubView* splitView) {
            const int room = splitView->room();
            return QList<int>{room / 2 + room % 2, room / 2};
        };
        for (SplitSubView* splitView : f.splitViews())
            QCOMPARE(splitView->sizes(), even(splitView));
    }

    // A zoom right after a skip, whose panes wait to play on: they stand while the dividers slide (the
    // skip's resume is the zoom's to give), and the pane shown plays on after it, the others not.
    void aZoomRightAfterASkipPlaysOnThePaneShown()
    {
        AppFixture f;
        f.showWindow();
        f.playFourPanes();
        f.coordinator().skipAllMovieTime(MovController::SkipForward);
        QVERIFY(f.coordinator().hasPendingResume());
        f.panePlayedWhileSliding = false;
        f.duringAnimation = [&] { f.scheduler.advance(MovController::ResumeAfterSkipDelay); };
        f.viewMain().maximizeSplitViewFrame(1);
        QVERIFY2(!f.panePlayedWhileSliding, "panes stand still while the dividers slide");
        f.scheduler.advance(MovController::ResumeAfterSkipDelay);
        QCOMPARE(f.playing(), (QList<bool>{true, false, false, false}));
    }

    // Another playlist chosen while the panes played, the dividers sliding while its files still open: no
    // pane plays before the load's own start (one still opening shows the playlist left), which plays them.
    void aSlideDuringALoadLeavesTheStartToTheLoad_data()
    {
        QTest::addColumn<bool>("loadInTheSlide");
        QTest::newRow("its frame set sliding in") << false;
        QTest::newRow("its load starting inside a zoom") << true;
    }

    void aSlideDuringALoadLeavesTheStartToTheLoad()
    {
        QFETCH(bool, loadInTheSlide);
        AppFixture f;
        f.showWindow();
        f.build(QStringLiteral("a,b"));
        for (int n = 1; n <= 4; ++n)
            f.entry(QStringLiteral("b"), n, QStringLiteral("/clips/b%1.mp4").arg(n));
        if (!loadInTheSlide)
            f.ctx().setValue(f.node(QStringLiteral("b")), LibrarySchema::FrameSet,
                             QStringLiteral("0:0.00:0.50:1.00"));
        f.ctx().processPendingChanges();
        f.playFourPanes();
        f.engine.holdOpens = true;
        if (loadInTheSlide) {
            f.choose(QStringLiteral("b"), false);
            bool loaded = false;
            f.duringAnimation = [&] {
                if (!std::exchange(loaded, true))
                    f.scheduler.advance(MovController::ChangeDelay);
            };
            f.viewMain().maximizeSplitViewFrame(1);
            QVERIFY(loaded);
        } else {
            f.choose(QStringLiteral("b"));
            QCOMPARE(f.coordinator().displayedViewNo(), 3);
        }
        QVERIFY(f.coordinator().isLoading());
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        f.engine.finishOpens();
        f.scheduler.advance(MovController::ResumeAfterLoadDelay);
        QVERIFY(f.playing().contains(true));
    }

    // Quitting while the dividers slide stores where they were going, not where they stood, and the panes
    // do not play on.
    void quittingWhileSlidingStoresWhereTheSlideGoes()
    {
        AppFixture f;
        f.showWindow();
        f.playFourPanes();
        f.duringAnimation = [&] { QVERIFY(f.nib->appDelegate().terminate()); };
        f.viewMain().maximizeSplitViewFrame(1);
        // and what the quit stopped stays stopped
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        const QStringList keys{ViewMain::RectSplitViewMain, ViewMain::RectSplitViewLeft,
                               ViewMain::RectSplitViewRight};
        QList<QStringList> stored;
        for (const QString& key : keys)
            stored << f.settings.objectForKey(key).toStringList();
        f.viewMain().windowWillCloseMain(); // the slide over
        for (qsizetype i = 0; i < keys.size(); ++i)
            QCOMPARE(f.settings.objectForKey(keys[i]).toStringList(), stored[i]);
    }

    // The frame set of slot 0 saved from the present frames, loaded and removed by the menu; another slot's
    // stays as it is.
    void frameSetsAreSavedLoadedAndRemoved()
    {
        AppFixture f;
        f.showWindow(1007, 700);
        const QString other = QStringLiteral("1:0.20:0.30:0.40/");
        const ObjectId list = f.playlist(QStringLiteral("Match"), false, QStringLiteral("1:0.20:0.30:0.40"));
        f.select(list);
        MenuFrameSet* menu = f.window().menuFrameSet();
        QCOMPARE(f.window().frameSetButton()->menu(), menu);
        chooseInMenu(menu, QStringLiteral("Save"));
        QCOMPARE(f.frameSetOf(list), other + QStringLiteral("0:0.50:0.50:0.50"));
        f.viewMain().maximizeSplitViewFrame(2);
        chooseInMenu(menu, QStringLiteral("Save"));
        QCOMPARE(f.frameSetOf(list), other + QStringLiteral("0:1.00:0.00:0.50"));
        chooseInMenu(menu, QStringLiteral("Reset"));
        QCOMPARE(f.displayed(), (QList<bool>{true, true, true, true}));

        // loading moves all three dividers, pausing what plays
        f.playFourPanes();
        f.animations = 0;
        chooseInMenu(menu, QStringLiteral("Load"));
        QCOMPARE(f.animations, 2);
        QCOMPARE(f.coordinator().displayedViewNo(), 2);
        QVERIFY(!f.panePlayedWhileSliding);
        QCOMPARE(f.playing(), (QList<bool>{false, true, false, false}));

        QUndoStack* undo = f.ctx().undoManager();
        f.ctx().processPendingChanges();
        QCOMPARE(undo->undoText(), QStringLiteral("Save Frame Set"));
        chooseInMenu(menu, QStringLiteral("Remove"));
        f.ctx().processPendingChanges();
        QCOMPARE(f.frameSetOf(list), QStringLiteral("1:0.20:0.30:0.40"));
        undo->undo();
        QCOMPARE(f.frameSetOf(list), other + QStringLiteral("0:1.00:0.00:0.50"));

        // the ratios go back to the frames as they are
        f.ctx().setValue(list, LibrarySchema::FrameSet, QStringLiteral("0:0.25:0.75:0.10"));
        chooseInMenu(menu, QStringLiteral("Load"));
        const int height = f.window().spvMain()->height();
        QCOMPARE(f.window().spvMain()->sizes().at(0), qRound(1000 * 0.25f));
        QCOMPARE(f.window().spvLeft()->sizes().at(0), qRound((height - 7) * 0.75f));
        QCOMPARE(f.window().spvRight()->sizes().at(0), qRound((height - 7) * 0.10f));
    }

    // What the selected row offers: the frame-set menu's items, the palette's frame-set button, the frame set
    // applied when the playlist is chosen (as the preferences ask) and when it is loaded.
    void frameSetAvailability_data()
    {
        QTest::addColumn<int>("selection"); // 0 nothing, 1 a folder, 2 a playlist
        QTest::addColumn<QVariant>("frameSet");
        QTest::addColumn<bool>("loadOption");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("aloneWhenChosen");
        QTest::addColumn<int>("aloneWhenLoaded");
        const QVariant three = QStringLiteral("0:0.00:0.50:1.00"); // pane 3 alone
        const QVariant otherSlot = QStringLiteral("1:0.00:0.50:1.00");
        const QStringList none{"(Load)", "(Save)", "(Remove)", "Reset"};
        const QStringList saveOnly{"(Load)", "Save", "(Remove)", "Reset"};
        const QStringList all{"Load", "Save", "Remove", "Reset"};
        QTest::newRow("nothing selected") << 0 << QVariant() << true << none << 0 << 0;
        QTest::newRow("a folder, even with text") << 1 << three << true << none << 0 << 0;
        QTest::newRow("no frame set") << 2 << QVariant(QString()) << true << saveOnly << 0 << 0;
        QTest::newRow("a frame set") << 2 << three << true << all << 3 << 3;
        QTest::newRow("not applied when chosen") << 2 << three << false << all << 0 << 3;
        QTest::newRow("another slot only") << 2 << otherSlot << true << all << 0 << 0;
        QTest::newRow("an item lacks a field")
            << 2 << QVariant(QStringLiteral("0:0.00:0.50")) << true << all << 0 << 0;
    }

    void frameSetAvailability()
    {
        QFETCH(int, selection);
        QFETCH(QVariant, frameSet);
        QFETCH(bool, loadOption);
        QFETCH(QStringList, items);
        QFETCH(int, aloneWhenLoaded);
        AppFixture f({.storedSettings = {{QStringLiteral("optLoadFrameSet"), loadOption}}});
        f.showWindow();
        QAbstractButton* button = f.nib->controlWindow().btnFrameSet();
        // a playlist with a frame set chosen first lights the button; the row's own answer must put it out
        f.playlist(QStringLiteral("lit"), false, QStringLiteral("0:0.50:0.50:0.50"));
        f.choose(QStringLiteral("lit"));
        QCOMPARE(ControlWindow::buttonImage(button), QStringLiteral("btn_ctrl_frame_set_on"));
        ObjectId node = NoObject;
        if (selection != 0) {
            node = f.playlist(QStringLiteral("row"), selection == 1);
            f.ctx().setValue(node, LibrarySchema::FrameSet, frameSet);
        }
        f.choose(selection != 0 ? QStringLiteral("row") : QString());
        QTEST(f.coordinator().displayedViewNo(), "aloneWhenChosen");
        QCOMPARE(itemStates(f.window().menuFrameSet()), items);
        QCOMPARE(f.window().menuFrameSet()->actions().size(), 5); // nothing piles up between openings
        QCOMPARE(ControlWindow::buttonImage(button), items.first() == QLatin1String("Load")
                                                         ? QStringLiteral("btn_ctrl_frame_set_on")
                                                         : QStringLiteral("btn_ctrl_frame_set_off"));
        QVERIFY(button->isEnabled()); // Reset stays reachable: the button never goes grey

        f.viewMain().maximizeSplitViewFrame(0);
        f.playFourPanes();
        for (test::FakeMovie* movie : f.engine.openedMovies())
            movie->commands.clear();
        const QList<int> before = f.window().spvMain()->sizes();
        f.animations = 0;
        f.viewMain().loadSplitViewFrame(0);
        QCOMPARE(f.coordinator().displayedViewNo(), aloneWhenLoaded);
        if (aloneWhenLoaded == 0) {
            QCOMPARE(f.window().spvMain()->sizes(), before);
            QCOMPARE(f.animations, 0);
            for (test::FakeMovie* movie : f.engine.openedMovies())
                QVERIFY2(!movie->commands.contains(QStringLiteral("stop")), "playback goes on");
            QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        }
        // a folder is given no frame set
        f.viewMain().saveSplitViewFrame(0);
        if (selection == 1)
            QCOMPARE(f.ctx().value(node, LibrarySchema::FrameSet), frameSet);
    }

    void automaticFramePlayShowsARandomPane()
    {
        AppFixture f;
        f.showWindow();
        QList<quint32> draws{5, 1, 2};
        f.viewMain().setRandomDraw([&] { return draws.takeFirst(); });
        QAction* action = f.window().autoFramePlayAction();
        action->trigger();
        QVERIFY(action->isChecked());
        QVERIFY(f.viewMain().isAutoFramePlay());
        f.scheduler.advance(ViewMain::AutoFramePlayInterval - 1ms);
        QCOMPARE(f.coordinator().displayedViewNo(), 0);
        f.scheduler.advance(1ms);
        QCOMPARE(f.coordinator().displayedViewNo(), 2);
        // drawing the pane already alone returns to the even layout
        f.scheduler.advance(ViewMain::AutoFramePlayInterval);
        QCOMPARE(f.coordinator().displayedViewNo(), 0);
        f.scheduler.advance(ViewMain::AutoFramePlayInterval);
        QCOMPARE(f.coordinator().displayedViewNo(), 3);

        action->trigger();
        QVERIFY(!action->isChecked());
        f.scheduler.advance(ViewMain::AutoFramePlayInterval * 3);
        QCOMPARE(f.coordinator().displayedViewNo(), 3);
        QVERIFY(draws.isEmpty());
    }

    void fullScreenComesAndGoes()
    {
        AppFixture f;
        f.showWindow(900, 600);
        MainWindow& window = f.window();
        const QRect windowed = window.geometry();
        QTest::keyClick(&f.pane(2), Qt::Key_Escape); // in a window, Escape leaves it be
        QVERIFY(!window.isFullScreen());
        QTRY_COMPARE(window.geometry(), windowed);

        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(window.isFullScreen());
        QVERIFY(window.windowState() & Qt::WindowFullScreen);
        QVERIFY(window.menuBar()->isHidden());
        QVERIFY(window.findChild<QToolBar*>()->isHidden());
        QVERIFY(window.fullScreenAction()->isChecked());
        QTRY_COMPARE(window.geometry(), QGuiApplication::primaryScreen()->geometry());
        // asking twice keeps the first windowed frame
        window.setFullScreen(true, true);
        QCOMPARE(window.oldRect(), windowed);
        // the menu bar is hidden, its shortcuts are not
        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(!window.isFullScreen());
        QTRY_COMPARE(window.geometry(), windowed);
        QVERIFY(!window.menuBar()->isHidden());
        QVERIFY(!window.findChild<QToolBar*>()->isHidden());
        QVERIFY(!window.fullScreenAction()->isChecked());

        window.fullScreenAction()->trigger();
        QTest::keyClick(&f.pane(2), Qt::Key_Escape);
        QVERIFY(!window.isFullScreen());
        QTRY_COMPARE(window.geometry(), windowed);
        QVERIFY(window.menuBar()->isVisible());
        // the window manager's own way out of full screen is followed
        window.fullScreenAction()->trigger();
        window.setWindowState(Qt::WindowNoState);
        QVERIFY(!window.isFullScreen());
        QVERIFY(window.menuBar()->isVisible());
        QVERIFY(!window.fullScreenAction()->isChecked());
    }

    // Full screen entered by F11 or by the window manager's own key, from a normal or a maximised window,
    // as a window manager reports it (full screen alone); left by F11, Escape or quitting (0).
    void fullScreenIsLeftForWhatWasBefore_data()
    {
        QTest::addColumn<bool>("maximized");
        QTest::addColumn<bool>("byWindowManager");
        QTest::addColumn<int>("leaveBy");
        QTest::newRow("maximised, F11") << true << false << int(Qt::Key_F11);
        QTest::newRow("maximised, quit") << true << false << 0;
        QTest::newRow("window manager, F11") << false << true << int(Qt::Key_F11);
        QTest::newRow("window manager, Escape") << false << true << int(Qt::Key_Escape);
        QTest::newRow("window manager, quit") << false << true << 0;
        QTest::newRow("maximised, window manager, Escape") << true << true << int(Qt::Key_Escape);
    }

    void fullScreenIsLeftForWhatWasBefore()
    {
        QFETCH(bool, maximized);
        QFETCH(bool, byWindowManager);
        QFETCH(int, leaveBy);
        AppFixture f;
        f.showWindow(900, 600);
        MainWindow& window = f.window();
        const QRect windowed = window.geometry();
        if (maximized) {
            window.setWindowState(Qt::WindowMaximized);
            QTRY_VERIFY(window.geometry() != windowed);
        }
        if (!byWindowManager)
            QTest::keyClick(&window, Qt::Key_F11);
        window.setWindowState(Qt::WindowFullScreen);
        QVERIFY(window.isFullScreen());
        QVERIFY(window.menuBar()->isHidden());
        QVERIFY(window.fullScreenAction()->isChecked());

        if (leaveBy == 0) {
            QVERIFY(f.nib->appDelegate().terminate());
            QCOMPARE(f.settings.objectForKey(QLatin1String(ViewMain::RectWindowMain)).toString(),
                     rectText::stringFromRect(windowed));
            return;
        }
        QTest::keyClick(&f.pane(2), Qt::Key(leaveBy));
        QVERIFY(!window.isFullScreen());
        QVERIFY(!window.menuBar()->isHidden());
        QCOMPARE(window.windowState(), maximized ? Qt::WindowMaximized : Qt::WindowNoState);
        if (!maximized)
            QTRY_COMPARE(window.geometry(), windowed);
    }
};

QTEST_MAIN(TestViewMain)
#include "tst_viewmain.moc"
