// The pane menu: its items, their enabled states and check marks as the pane stands when it opens, the copy
// submenu, and what choosing an item does.
#include "LibraryPaneFixture.h"

#include "panes/CMMovieView.h"

#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include <array>

using namespace tetrapan;
using tetrapan::test::LibraryPaneFixture;

namespace {

// Four menus on the fixture's panes, wired as the application wires them.
struct MenuFixture : LibraryPaneFixture {
    std::array<CMMovieView*, 4> menus{};
    MenuFixture()
    {
        for (int n = 1; n <= 4; ++n) {
            menus[n - 1] = new CMMovieView(&pane(n));
            menus[n - 1]->setQtView(&pane(n));
            pane(n).setCmMovieView(menus[n - 1]);
            menus[n - 1]->awakeFromNib();
        }
    }
    CMMovieView& menu(int viewNo) { return *menus[viewNo - 1]; }
};

// "Title" for an enabled item, "(Title)" for a disabled one, "*" after a checked one, "-" for a separator.
QStringList describe(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("-");
            continue;
        }
        QString text = action->isEnabled() ? action->text() : QStringLiteral("(%1)").arg(action->text());
        if (action->isChecked())
            text += QLatin1Char('*');
        items << text;
    }
    return items;
}

QAction* item(const QMenu& menu, const QString& title)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == title)
            return action;
    }
    return nullptr;
}

} // namespace

class TestCMMovieView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void itemsFollowThePane_data();
    void itemsFollowThePane();
    void copySubmenuOfPaneThree();
    void rebuildingTwiceGivesTheSameItems();
    void choosingItemsActsOnThePane_data();
    void choosingItemsActsOnThePane();
    void choosingFrameOneCopiesPaneThreeToPaneOne();
    void rightClickOpensTheRebuiltMenu();
};

void TestCMMovieView::itemsFollowThePane_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("items");
    // An empty pane keeps aspect, so Scale To Fit is unchecked; a lone loaded pane cannot synchronise.
    QTest::newRow("empty") << "empty" << QStringList{"(Play)",  "(Stop)", "(Sync Time)",  "-",
                                                     "(Zoom)",  "-",      "(Controller)", "(Scale To Fit)",
                                                     "(Mute)",  "-",      "(Copy To..)",  "-",
                                                     "(Remove)"};
    QTest::newRow("stopped") << "stopped"
                             << QStringList{"Play",      "(Stop)",     "Sync Time",    "-",    "Zoom",
                                            "-",         "Controller", "Scale To Fit", "Mute", "-",
                                            "Copy To..", "-",          "Remove"};
    QTest::newRow("playing, controller, scaled, muted")
        << "playing"
        << QStringList{"(Play)",        "Stop",  "Sync Time", "-",         "Zoom", "-",     "Controller*",
                       "Scale To Fit*", "Mute*", "-",         "Copy To..", "-",    "Remove"};
    QTest::newRow("alone: no sync, zoomed")
        << "alone"
        << QStringList{"Play",         "(Stop)", "(Sync Time)", "-",         "Zoom*", "-",     "Controller",
                       "Scale To Fit", "Mute",   "-",           "Copy To..", "-",     "Remove"};
    QTest::newRow("empty pane still shows its marks")
        << "empty, zoomed"
        << QStringList{"(Play)",       "(Stop)",         "(Sync Time)", "-", "(Zoom)*",     "-",
                       "(Controller)", "(Scale To Fit)", "(Mute)",      "-", "(Copy To..)", "-",
                       "(Remove)"};
}

void TestCMMovieView::itemsFollowThePane()
{
    QFETCH(QString, state);
    QFETCH(QStringList, items);
    MenuFixture f;
    f.load(4); // a second playable pane, so synchronising is possible
    if (state == QLatin1String("stopped") || state == QLatin1String("playing") ||
        state == QLatin1String("alone"))
        f.load(2);
    if (state == QLatin1String("playing")) {
        f.pane(2).playMovie();
        f.pane(2).setMovieController(true);
        f.pane(2).setMovieAspect(false);
        f.pane(2).setMovieMuted(true);
    }
    if (state == QLatin1String("alone") || state == QLatin1String("empty, zoomed")) {
        for (int n : {1, 3, 4})
            f.pane(n).resize(0, 0);
    }
    f.menu(2).menuNeedsUpdate();
    QCOMPARE(describe(f.menu(2)), items);
    QCOMPARE(item(f.menu(2), "Copy To..")->menu() != nullptr,
             state != QLatin1String("empty") && state != QLatin1String("empty, zoomed"));
}

void TestCMMovieView::copySubmenuOfPaneThree()
{
    MenuFixture f;
    f.load(3);
    f.menu(3).menuNeedsUpdate();
    QMenu* copy = item(f.menu(3), "Copy To..")->menu();
    QVERIFY(copy);
    QCOMPARE(copy, f.menu(3).menuCopy());
    QCOMPARE(describe(*copy), (QStringList{"Frame 1", "Frame 2", "(Frame 3)", "Frame 4"}));
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(copy->actions().at(n - 1)->data().toInt(), n);
}

void TestCMMovieView::rebuildingTwiceGivesTheSameItems()
{
    MenuFixture f;
    f.load(1);
    f.menu(1).menuNeedsUpdate();
    const QStringList first = describe(f.menu(1));
    const QStringList firstCopy = describe(*f.menu(1).menuCopy());
    f.menu(1).menuNeedsUpdate();
    QCOMPARE(describe(f.menu(1)), first);
    QCOMPARE(describe(*f.menu(1).menuCopy()), firstCopy);
    QCOMPARE(f.menu(1).actions().size(), 13);
}

void TestCMMovieView::choosingItemsActsOnThePane_data()
{
    QTest::addColumn<QString>("title");
    QTest::newRow("Play") << "Play";
    QTest::newRow("Controller") << "Controller";
    QTest::newRow("Scale To Fit") << "Scale To Fit";
    QTest::newRow("Mute") << "Mute";
    QTest::newRow("Zoom") << "Zoom";
    QTest::newRow("Sync Time") << "Sync Time";
    QTest::newRow("Remove") << "Remove";
}

void TestCMMovieView::choosingItemsActsOnThePane()
{
    QFETCH(QString, title);
    MenuFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 2, "/clips/two.mp4");
    f.entry(list, 3, "/clips/three.mp4");
    f.show(list);
    f.movieOf(3)->moveTo(MovieTime::fromSeconds(9, 600));
    QSignalSpy zoom(&f.controller, &MovController::maximizeSplitViewFrameRequested);

    f.menu(3).menuNeedsUpdate();
    item(f.menu(3), title)->trigger();
    QTMovieSubView& pane = f.pane(3);
    if (title == QLatin1String("Play"))
        QVERIFY(pane.isPlaying());
    else if (title == QLatin1String("Controller"))
        QVERIFY(pane.isController());
    else if (title == QLatin1String("Scale To Fit"))
        QVERIFY(!pane.isKeepAspect());
    else if (title == QLatin1String("Mute"))
        QVERIFY(pane.isMuted());
    else if (title == QLatin1String("Zoom"))
        QCOMPARE(zoom.value(0).value(0).toInt(), 3);
    else if (title == QLatin1String("Sync Time"))
        QCOMPARE(f.movieOf(2)->currentTime(), MovieTime::fromSeconds(9, 600));
    else if (title == QLatin1String("Remove")) {
        QVERIFY(!pane.isAvailable());
        QVERIFY(f.entryPaths(list, 3).isEmpty());
        QCOMPARE(f.entryPaths(list, 2).size(), 1);
    }
}

void TestCMMovieView::choosingFrameOneCopiesPaneThreeToPaneOne()
{
    MenuFixture f;
    const ObjectId list = f.playlist("list");
    f.entry(list, 3, "/clips/three.mp4");
    f.show(list);
    f.menu(3).menuNeedsUpdate();
    item(*f.menu(3).menuCopy(), "Frame 1")->trigger();
    QCOMPARE(f.pane(1).filePath(), QStringLiteral("/clips/three.mp4"));
    QCOMPARE(f.entryPaths(list, 1), QStringList{"/clips/three.mp4"});
    QCOMPARE(f.pane(3).filePath(), QStringLiteral("/clips/three.mp4"));
}

void TestCMMovieView::rightClickOpensTheRebuiltMenu()
{
    MenuFixture f;
    f.window.resize(400, 300);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    f.load(1);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), f.pane(1).mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(&f.pane(1), &event);
    QTRY_VERIFY(f.menu(1).isVisible());
    QVERIFY(item(f.menu(1), "Play")->isEnabled());
    f.menu(1).hide();

    // Meta-click is the one-button mouse's right click.
    f.load(1, "again.mp4");
    f.pane(1).playMovie();
    QTest::mouseClick(&f.pane(1), Qt::LeftButton, Qt::MetaModifier, QPoint(20, 20));
    QTRY_VERIFY(f.menu(1).isVisible());
    QVERIFY(!item(f.menu(1), "Play")->isEnabled());
    QVERIFY(f.pane(1).isPlaying()); // the click itself toggled nothing
    f.menu(1).hide();
}

QTEST_MAIN(TestCMMovieView)
#include "tst_cmmovieview.moc"
