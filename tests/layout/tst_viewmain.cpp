#include "LayoutFixture.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "platform/RectText.h"
#include "platform/userDefaultsExtension.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QUndoStack>

using namespace tetrapan;
using tetrapan::test::LayoutFixture;
using namespace std::chrono_literals;

namespace {

QList<int> sizesOf(const QSplitter* splitView)
{
    return splitView->sizes();
}

// The items of the frame-set menu as "Title" for enabled and "(Title)" for disabled ones.
QStringList itemStates(QMenu* menu)
{
    QStringList states;
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator())
            states << (item->isEnabled() ? item->text() : QStringLiteral("(%1)").arg(item->text()));
    }
    return states;
}

QAction* itemTitled(QMenu* menu, const QString& title)
{
    for (QAction* item : menu->actions()) {
        if (item->text() == title)
            return item;
    }
    return nullptr;
}

} // namespace

// The main window's layout: dividers, one pane alone, frame sets, automatic frame play and full screen.
class TestViewMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dividersAreShownAtEveryStart()
    {
        LayoutFixture f({{QStringLiteral("optDividerEnable"), false}});
        QCOMPARE(userDefaultsExtension::defaultBoolValue(f.settings, QStringLiteral("optDividerEnable")),
                 true);
        QVERIFY(f.settings.hasStoredValue(QStringLiteral("optDividerEnable")));
        for (SplitSubView* splitView : f.splitViews()) {
            QCOMPARE(splitView->dividerThickness(), 7.0f);
            QCOMPARE(splitView->handleWidth(), 7);
        }
        QVERIFY(f.window().showDividersAction()->isChecked());
    }

    void hiddenDividersSplitExactlyInHalves()
    {
        LayoutFixture f;
        f.showWindow();
        f.window().showDividersAction()->trigger();
        QCOMPARE(f.settings.objectForKey(QStringLiteral("optDividerEnable")), QVariant(false));
        QVERIFY(!f.window().showDividersAction()->isChecked());
        f.viewMain().maximizeSplitViewFrame(1);
        f.viewMain().maximizeSplitViewFrame(0);
        const int width = f.window().spvMain()->width();
        const int height = f.window().spvMain()->height();
        QCOMPARE(sizesOf(f.window().spvMain()), (QList<int>{width / 2, width / 2}));
        QCOMPARE(sizesOf(f.window().spvLeft()), (QList<int>{height / 2, height / 2}));
        QCOMPARE(sizesOf(f.window().spvRight()), (QList<int>{height / 2, height / 2}));
        QCOMPARE(f.window().spvRight()->x(), width / 2);

        f.window().showDividersAction()->trigger();
        QCOMPARE(f.window().spvMain()->handleWidth(), 7);
        QVERIFY(f.window().showDividersAction()->isChecked());
    }

    void askingTwiceForAPaneBringsTheEvenLayoutBack_data()
    {
        QTest::addColumn<int>("viewNo");
        QTest::addColumn<QList<bool>>("shown");
        QTest::newRow("pane 1") << 1 << QList<bool>{true, false, false, false};
        QTest::newRow("pane 2") << 2 << QList<bool>{false, true, false, false};
        QTest::newRow("pane 3") << 3 << QList<bool>{false, false, true, false};
        QTest::newRow("pane 4") << 4 << QList<bool>{false, false, false, true};
    }

    void askingTwiceForAPaneBringsTheEvenLayoutBack()
    {
        QFETCH(int, viewNo);
        QFETCH(QList<bool>, shown);
        LayoutFixture f;
        f.showWindow();
        f.viewMain().maximizeSplitViewFrame(0);
        f.animations = 0;
        const int room = f.window().spvMain()->height() - 7;
        const QList<int> evenRows{room / 2 + room % 2, room / 2};
        QCOMPARE(sizesOf(f.window().spvLeft()), evenRows);
        const QList<int> even = sizesOf(f.window().spvMain());

        f.window().zoomPaneAction(viewNo)->trigger();
        QCOMPARE(f.displayed(), shown);
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
        QCOMPARE(sizesOf(f.window().spvMain()), even);
        QCOMPARE(sizesOf(f.window().spvLeft()), evenRows);
        QCOMPARE(sizesOf(f.window().spvRight()), evenRows);
        // the column not moved on the way there stays where it was on the way back
        QCOMPARE(f.animations, 4);
        QVERIFY(!f.animateFlagMissed);
    }

    void onlyTheShownPanePlays()
    {
        LayoutFixture f;
        f.showWindow();
        f.playFourPanes();
        f.viewMain().maximizeSplitViewFrame(3);
        QCOMPARE(f.playing(), (QList<bool>{false, false, true, false}));
        QVERIFY2(!f.panePlayedWhileSliding, "panes stand still while the dividers slide");
        f.viewMain().maximizeSplitViewFrame(0);
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));

        // what was stopped stays stopped
        f.coordinator().setAllMoviePlay(false);
        f.viewMain().maximizeSplitViewFrame(2);
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
    }

    void anUnknownPaneStopsAllAndMovesNothing()
    {
        LayoutFixture f;
        f.showWindow();
        f.playFourPanes();
        const QList<int> before = sizesOf(f.window().spvMain());
        f.viewMain().maximizeSplitViewFrame(5);
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        QCOMPARE(sizesOf(f.window().spvMain()), before);
        QCOMPARE(f.animations, 0);
    }

    void aMoveAskedForWhileSlidingWaitsItsTurn()
    {
        LayoutFixture f;
        f.showWindow();
        // automatic frame play's timer fires inside the first slide
        f.duringAnimation = [&] { f.viewMain().maximizeSplitViewFrame(4); };
        f.viewMain().maximizeSplitViewFrame(1);
        QCOMPARE(f.coordinator().displayedViewNo(), 4);
        QCOMPARE(f.pane(4).size(), f.window().spvMain()->size() - QSize(7, 7));
    }

    void frameSetsAreSavedRemovedAndLoaded()
    {
        LayoutFixture f;
        f.showWindow();
        const ObjectId list = f.playlist(QStringLiteral("Match"));
        f.select(list);
        f.viewMain().saveFramePosition();
        QCOMPARE(f.frameSetOf(list), QStringLiteral("0:0.50:0.50:0.50"));
        f.viewMain().maximizeSplitViewFrame(2);
        f.viewMain().saveFramePosition();
        QCOMPARE(f.frameSetOf(list), QStringLiteral("0:1.00:0.00:0.50"));
        f.viewMain().maximizeSplitViewFrame(0);

        // loading moves all three dividers, pausing what plays
        f.playFourPanes();
        f.animations = 0;
        f.viewMain().loadFramePosition();
        QCOMPARE(f.animations, 2);
        QCOMPARE(f.coordinator().displayedViewNo(), 2);
        QVERIFY(!f.panePlayedWhileSliding);
        QCOMPARE(f.playing(), (QList<bool>{false, true, false, false}));

        QUndoStack* undo = f.context().undoManager();
        f.context().processPendingChanges();
        QCOMPARE(undo->undoText(), QStringLiteral("Save Frame Set"));
        f.viewMain().removeFramePosition();
        f.context().processPendingChanges();
        QCOMPARE(f.frameSetOf(list), QString());
        undo->undo();
        QCOMPARE(f.frameSetOf(list), QStringLiteral("0:1.00:0.00:0.50"));
    }

    void ratiosComeFromThePresentFrames()
    {
        LayoutFixture f;
        f.showWindow(1007, 700);
        f.window().spvMain()->setSizes({333, 667});
        const ObjectId list = f.playlist(QStringLiteral("Match"), false, QStringLiteral("1:0.20:0.30:0.40"));
        f.select(list);
        f.viewMain().saveSplitViewFrame(0);
        QCOMPARE(f.frameSetOf(list), QStringLiteral("1:0.20:0.30:0.40/0:0.33:0.50:0.50"));

        f.context().setValue(list, LibrarySchema::FrameSet, QStringLiteral("0:0.25:0.75:0.10"));
        f.viewMain().loadSplitViewFrame(0);
        const int height = f.window().spvMain()->height();
        QCOMPARE(sizesOf(f.window().spvMain()).at(0), qRound(1000 * 0.25f));
        QCOMPARE(sizesOf(f.window().spvLeft()).at(0), qRound((height - 7) * 0.75f));
        QCOMPARE(sizesOf(f.window().spvRight()).at(0), qRound((height - 7) * 0.10f));
    }

    void loadingWithoutAnItemLeavesEverything_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("frameSet");
        QTest::newRow("no frame set") << false << QString();
        QTest::newRow("a folder") << true << QStringLiteral("0:0.10:0.10:0.10");
        QTest::newRow("another slot only") << false << QStringLiteral("1:0.10:0.10:0.10");
        QTest::newRow("item lacks a field") << false << QStringLiteral("0:0.10:0.10");
    }

    void loadingWithoutAnItemLeavesEverything()
    {
        QFETCH(bool, folder);
        QFETCH(QString, frameSet);
        LayoutFixture f;
        f.showWindow();
        const ObjectId node = f.playlist(QStringLiteral("Node"), folder, frameSet);
        f.select(node);
        f.playFourPanes();
        for (test::FakeMovie* movie : f.engine.openedMovies())
            movie->commands.clear();
        const QList<int> before = sizesOf(f.window().spvMain());
        f.viewMain().loadSplitViewFrame(0);
        QCOMPARE(sizesOf(f.window().spvMain()), before);
        QCOMPARE(f.animations, 0);
        for (test::FakeMovie* movie : f.engine.openedMovies())
            QVERIFY2(!movie->commands.contains(QStringLiteral("stop")), "playback goes on");
        QCOMPARE(f.playing(), (QList<bool>{true, true, true, true}));
        if (folder) {
            f.viewMain().saveSplitViewFrame(0);
            QCOMPARE(f.frameSetOf(node), frameSet);
        }
    }

    void choosingAPlaylistAppliesItsFrameSet_data()
    {
        QTest::addColumn<bool>("loadFrameSet");
        QTest::addColumn<int>("shown");
        QTest::newRow("on") << true << 3;
        QTest::newRow("off") << false << 0;
    }

    void choosingAPlaylistAppliesItsFrameSet()
    {
        QFETCH(bool, loadFrameSet);
        QFETCH(int, shown);
        LayoutFixture f({{QStringLiteral("optLoadFrameSet"), loadFrameSet}});
        f.showWindow();
        const ObjectId list = f.playlist(QStringLiteral("Match"), false, QStringLiteral("0:0.00:0.50:1.00"));
        f.select(list);
        f.coordinator().setUniqueId(f.context().value(list, LibrarySchema::UniqueId).toString());
        f.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(f.coordinator().displayedViewNo(), shown);
    }

    void automaticFramePlayShowsARandomPane()
    {
        LayoutFixture f;
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

    void fullScreenTwiceKeepsTheFirstFrame()
    {
        LayoutFixture f;
        f.showWindow(900, 600);
        MainWindow& window = f.window();
        const QRect windowed = window.geometry();
        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(window.isFullScreen());
        QVERIFY(window.windowState() & Qt::WindowFullScreen);
        QVERIFY(window.menuBar()->isHidden());
        QVERIFY(window.findChild<QToolBar*>()->isHidden());
        QVERIFY(window.fullScreenAction()->isChecked());
        QTRY_COMPARE(window.geometry(), QGuiApplication::primaryScreen()->geometry());
        window.setFullScreen(true, true);
        QCOMPARE(window.oldRect(), windowed);

        // the menu bar is hidden, its shortcuts are not
        QTest::keyClick(&window, Qt::Key_F11);
        QVERIFY(!window.isFullScreen());
        QTRY_COMPARE(window.geometry(), windowed);
        QVERIFY(!window.menuBar()->isHidden());
        QVERIFY(!window.findChild<QToolBar*>()->isHidden());
        QVERIFY(!window.fullScreenAction()->isChecked());
    }

    void escapeLeavesFullScreenOnly()
    {
        LayoutFixture f;
        f.showWindow(900, 600);
        MainWindow& window = f.window();
        const QRect windowed = window.geometry();
        QTest::keyClick(&f.pane(2), Qt::Key_Escape);
        QVERIFY(!window.isFullScreen());
        QTRY_COMPARE(window.geometry(), windowed);

        window.fullScreenAction()->trigger();
        QVERIFY(window.isFullScreen());
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

    void closingStoresTheWindowedFrameAndTheNextRunRestoresIt()
    {
        LayoutFixture f;
        f.showWindow(900, 600);
        MainWindow& window = f.window();
        window.move(60, 40);
        f.window().spvMain()->setSizes({300, 593});
        f.window().spvRight()->setSizes({100, 200});
        const QRect windowed = window.geometry();
        const QList<int> right = sizesOf(window.spvRight());
        f.playFourPanes();
        window.fullScreenAction()->trigger();

        QVERIFY(window.close());
        QVERIFY(!window.isFullScreen());
        QVERIFY(!window.menuBar()->isHidden());
        QCOMPARE(f.playing(), (QList<bool>{false, false, false, false}));
        QCOMPARE(f.settings.objectForKey(QStringLiteral("rectWindowMain")).toString(),
                 rectText::stringFromRect(windowed));
        const QVariant storedRight = f.settings.objectForKey(QStringLiteral("rectSplitViewRight"));

        f.restart();
        QCOMPARE(f.window().geometry(), windowed);
        f.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window()));
        QCOMPARE(sizesOf(f.window().spvMain()), (QList<int>{300, 593}));
        QCOMPARE(sizesOf(f.window().spvRight()), right);
        f.viewMain().windowWillCloseMain();
        QCOMPARE(f.settings.objectForKey(QStringLiteral("rectSplitViewRight")), storedRight);
    }

    void frameSetMenuFollowsTheSelection_data()
    {
        QTest::addColumn<int>("selection"); // 0 nothing, 1 a folder, 2 a playlist
        QTest::addColumn<QString>("frameSet");
        QTest::addColumn<QStringList>("items");
        const QString some = QStringLiteral("0:0.50:0.50:0.50");
        QTest::newRow("nothing selected")
            << 0 << QString() << QStringList{"(Load)", "(Save)", "(Remove)", "Reset"};
        QTest::newRow("a folder") << 1 << some << QStringList{"(Load)", "(Save)", "(Remove)", "Reset"};
        QTest::newRow("no frame set") << 2 << QString() << QStringList{"(Load)", "Save", "(Remove)", "Reset"};
        QTest::newRow("a frame set") << 2 << some << QStringList{"Load", "Save", "Remove", "Reset"};
    }

    void frameSetMenuFollowsTheSelection()
    {
        QFETCH(int, selection);
        QFETCH(QString, frameSet);
        QFETCH(QStringList, items);
        LayoutFixture f;
        if (selection != 0)
            f.select(f.playlist(QStringLiteral("Node"), selection == 1, frameSet));
        MenuFrameSet* menu = f.window().menuFrameSet();
        Q_EMIT menu->aboutToShow();
        QCOMPARE(itemStates(menu), items);
        // nothing piles up between openings
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 5);
    }

    void frameSetMenuCommands()
    {
        LayoutFixture f;
        f.showWindow();
        const ObjectId list = f.playlist(QStringLiteral("Match"));
        f.select(list);
        MenuFrameSet* menu = f.window().menuFrameSet();
        f.viewMain().maximizeSplitViewFrame(4);
        Q_EMIT menu->aboutToShow();
        itemTitled(menu, QStringLiteral("Save"))->trigger();
        QCOMPARE(f.frameSetOf(list), QStringLiteral("0:0.00:0.50:0.00"));
        Q_EMIT menu->aboutToShow();
        QCOMPARE(itemStates(menu), (QStringList{"Load", "Save", "Remove", "Reset"}));

        itemTitled(menu, QStringLiteral("Reset"))->trigger();
        QCOMPARE(f.displayed(), (QList<bool>{true, true, true, true}));
        Q_EMIT menu->aboutToShow();
        itemTitled(menu, QStringLiteral("Load"))->trigger();
        QCOMPARE(f.coordinator().displayedViewNo(), 4);
        Q_EMIT menu->aboutToShow();
        itemTitled(menu, QStringLiteral("Remove"))->trigger();
        QCOMPARE(f.frameSetOf(list), QString());
    }

    void menuButtonPopsUpItsMenu()
    {
        LayoutFixture f;
        f.showWindow();
        ButtonForMenu* button = f.window().frameSetButton();
        MenuFrameSet* menu = f.window().menuFrameSet();
        int openings = 0;
        bool downWhileOpen = false;
        connect(menu, &QMenu::aboutToShow, this, [&] {
            ++openings;
            downWhileOpen = button->isDown();
            QMetaObject::invokeMethod(menu, &QMenu::close, Qt::QueuedConnection);
        });
        button->setEnabled(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(openings, 0);
        QVERIFY(!button->isDown());

        button->setEnabled(true);
        QTest::mousePress(button, Qt::LeftButton);
        QCOMPARE(openings, 1);
        QVERIFY(downWhileOpen);
        QVERIFY(!button->isDown());
        QTest::mouseRelease(button, Qt::LeftButton);
    }

    void viewMenuCarriesTheLayoutCommands()
    {
        LayoutFixture f;
        const QList<QPair<QAction*, QKeySequence>> shortcuts{
            {f.window().zoomPaneAction(1), QKeySequence(QStringLiteral("Ctrl+1"))},
            {f.window().zoomPaneAction(4), QKeySequence(QStringLiteral("Ctrl+4"))},
            {f.window().zoomPaneAction(0), QKeySequence(QStringLiteral("Ctrl+0"))},
            {f.window().fullScreenAction(), QKeySequence(Qt::Key_F11)},
        };
        for (const auto& [action, shortcut] : shortcuts)
            QCOMPARE(action->shortcut(), shortcut);
        QStringList titles;
        for (QAction* menu : f.window().menuBar()->actions())
            titles << menu->text().remove(QLatin1Char('&'));
        QCOMPARE(titles, (QStringList{"File", "Edit", "View", "Window", "Help"}));
    }
};

QTEST_MAIN(TestViewMain)
#include "tst_viewmain.moc"
