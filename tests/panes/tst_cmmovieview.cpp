// The pane menu (its items, their enabled states and check marks as the pane stands when it opens, the copy
// submenu, what choosing an item does) and placing files into panes within the selected playlist.
#include "PaneFixture.h"

#include "panes/CMMovieView.h"
#include "panes/PaneOffsets.h"

#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

using namespace tetrapan;
using namespace tetrapan::test;

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

// "Title|(Disabled)|Checked*|-" with "-" for a separator.
QString describe(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        QString text = action->isEnabled() ? action->text() : QStringLiteral("(%1)").arg(action->text());
        items << (action->isSeparator() ? QStringLiteral("-") : action->isChecked() ? text + '*' : text);
    }
    return items.join('|');
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
    void itemsFollowThePane_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("items");
        // An empty pane keeps aspect, so Scale To Fit is unchecked; a lone loaded pane cannot synchronise.
        QTest::newRow("empty") << "empty"
                               << "(Play)|(Stop)|(Sync Time)|(Set Offset Here)|(Clear "
                                  "Offset)|-|(Zoom)|-|(Controller)|(Scale To Fit)|(Mute)|-|"
                                  "(Copy To..)|-|(Remove)";
        QTest::newRow("stopped") << "stopped"
                                 << "Play|(Stop)|Sync Time|(Set Offset Here)|(Clear "
                                    "Offset)|-|Zoom|-|Controller|Scale To Fit|Mute|-|Copy To..|-|Remove";
        QTest::newRow("playing, controller, scaled, muted")
            << "playing"
            << "(Play)|Stop|Sync Time|(Set Offset Here)|(Clear Offset)|-|Zoom|-|Controller*|Scale To "
               "Fit*|Mute*|-|Copy To..|-|Remove";
        QTest::newRow("alone: no sync, zoomed")
            << "alone"
            << "Play|(Stop)|(Sync Time)|(Set Offset Here)|(Clear Offset)|-|Zoom*|-|Controller|Scale To "
               "Fit|Mute|-|Copy To..|-|Remove";
        QTest::newRow("empty pane still shows its marks")
            << "empty, zoomed"
            << "(Play)|(Stop)|(Sync Time)|(Set Offset Here)|(Clear Offset)|-|(Zoom)*|-|(Controller)|(Scale "
               "To Fit)|(Mute)|-|(Copy "
               "To..)|-|(Remove)";
    }

    void itemsFollowThePane()
    {
        QFETCH(QString, state);
        QFETCH(QString, items);
        MenuFixture f;
        f.load(4); // a second playable pane, so synchronising is possible
        if (!state.startsWith("empty"))
            f.load(2);
        if (state == "playing") {
            f.pane(2).playMovie();
            f.pane(2).setMovieController(true);
            f.pane(2).setMovieAspect(false);
            f.pane(2).setMovieMuted(true);
        }
        if (state == "alone" || state == "empty, zoomed") {
            for (int n : {1, 3, 4})
                f.pane(n).resize(0, 0);
        }
        // Rebuilt before each opening, the menu comes out the same however often.
        for (int opening = 0; opening < 2; ++opening) {
            f.menu(2).menuNeedsUpdate();
            QCOMPARE(describe(f.menu(2)), items);
        }
        QCOMPARE(item(f.menu(2), "Copy To..")->menu() != nullptr, !state.startsWith("empty"));
    }

    void copySubmenuOfPaneThree()
    {
        MenuFixture f;
        f.load(3);
        for (int opening = 0; opening < 2; ++opening) {
            f.menu(3).menuNeedsUpdate();
            QMenu* copy = item(f.menu(3), "Copy To..")->menu();
            QVERIFY(copy);
            QCOMPARE(copy, f.menu(3).menuCopy());
            QCOMPARE(describe(*copy), QStringLiteral("Frame 1|Frame 2|(Frame 3)|Frame 4"));
            for (int n = 1; n <= 4; ++n)
                QCOMPARE(copy->actions().at(n - 1)->data().toInt(), n);
        }
    }

    void choosingItemsActsOnThePane_data()
    {
        QTest::addColumn<QString>("title");
        for (const char* title : {"Play", "Controller", "Scale To Fit", "Mute", "Zoom", "Sync Time", "Remove",
                                  "Remove, nothing selected", "Frame 1", "Set Offset Here", "Clear Offset"})
            QTest::newRow(title) << title;
    }

    void choosingItemsActsOnThePane()
    {
        QFETCH(QString, title);
        MenuFixture f;
        const ObjectId list = f.playlist("list");
        f.entry(list, 2, clip("two.mp4"));
        f.entry(list, 3, clip("three.mp4"));
        f.show(list);
        f.movieOf(3)->moveTo(at600(9));
        QSignalSpy zoom(&f.controller, &MovController::maximizeSplitViewFrameRequested);
        if (title.endsWith("nothing selected"))
            f.select(NoObject);

        f.menu(3).menuNeedsUpdate();
        if (title == "Clear Offset") {
            f.controller.offsets().setOffsetMs(3, 700);
            f.menu(3).menuNeedsUpdate();
        }
        if (title == "Frame 1")
            item(*f.menu(3).menuCopy(), title)->trigger();
        else
            item(f.menu(3), title.section(',', 0, 0))->trigger();
        QTMovieSubView& pane = f.pane(3);
        if (title == "Play")
            QVERIFY(pane.isPlaying());
        else if (title == "Controller")
            QVERIFY(pane.isController());
        else if (title == "Scale To Fit")
            QVERIFY(!pane.isKeepAspect());
        else if (title == "Mute")
            QVERIFY(pane.isMuted());
        else if (title == "Zoom")
            QCOMPARE(zoom.value(0).value(0).toInt(), 3);
        else if (title == "Sync Time")
            QCOMPARE(f.movieOf(2)->currentTime(), at600(9));
        else if (title == "Set Offset Here") // pane 2 leads, standing at the beginning
            QCOMPARE(f.controller.movieOffsetMs(3), qint64(9000));
        else if (title == "Clear Offset")
            QCOMPARE(f.controller.movieOffsetMs(3), qint64(0));
        if (title.startsWith("Remove")) {
            // The pane empties; its entry goes only from the selected playlist.
            QVERIFY(!pane.isAvailable());
            QCOMPARE(pane.filePath(), QString());
            QCOMPARE(f.entryPaths(list, 3),
                     title == "Remove" ? QStringList() : QStringList{clip("three.mp4")});
        } else {
            QCOMPARE(f.entryPaths(list, 3), QStringList{clip("three.mp4")});
        }
        QCOMPARE(f.entryPaths(list, 2), QStringList{clip("two.mp4")});
        if (title == "Frame 1") {
            QCOMPARE(f.pane(1).filePath(), clip("three.mp4"));
            QCOMPARE(f.entryPaths(list, 1), QStringList{clip("three.mp4")});
            QCOMPARE(pane.filePath(), clip("three.mp4"));
            QVERIFY(f.movieOf(1) != f.movieOf(3));
        }
    }

    void rightClickOpensTheRebuiltMenu()
    {
        MenuFixture f;
        f.window.resize(400, 300);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.load(1);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                                f.pane(1).mapToGlobal(QPoint(10, 10)));
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

    void placingAlerts_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QStringList>("buttons");
        const QStringList offer{"Open Playlist", "Cancel"};
        const char* noPlaylist = "Playlist is not selected";
        QTest::newRow("no playlist, open playlist")
            << "none" << 1000 << noPlaylist << "Please create or select playlist." << offer;
        QTest::newRow("no playlist, cancel")
            << "none" << 1001 << noPlaylist << "Please create or select playlist." << offer;
        QTest::newRow("folder, open playlist") << "folder" << 1000 << "Folder is selected"
                                               << "Please select playlist." << offer;
        QTest::newRow("folder, cancel") << "folder" << 1001 << "Folder is selected"
                                        << "Please select playlist." << offer;
        QTest::newRow("unreadable file") << "playlist" << 1000 << "Can not create movie."
                                         << "Please check file." << QStringList{"Cancel"};
    }

    void placingAlerts()
    {
        QFETCH(QString, selection);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(QString, info);
        QFETCH(QStringList, buttons);
        LibraryPaneFixture f;
        const ObjectId node = f.playlist("node", selection == "folder");
        if (selection != "none")
            f.select(node);
        f.engine.refusedPaths.insert(clip("new.mp4"));
        f.load(2, "before.mp4");
        QSignalSpy open(&f.controller, &MovController::openPlaylistWindowRequested);
        f.dialogs.alertAnswers = {answer};

        f.pane(2).createMovieFrame(clip("new.mp4"));
        QCOMPARE(f.dialogs.alerts.size(), 1);
        const AlertRequest& alert = f.dialogs.alerts.first();
        QCOMPARE(alert.iconName, QStringLiteral("icon_alert"));
        QCOMPARE(alert.messageText, message);
        QCOMPARE(alert.informativeText, info);
        QCOMPARE(alert.buttons, buttons);
        QCOMPARE(open.count(), buttons.size() == 2 && answer == 1000 ? 1 : 0);
        // Neither the pane nor the library changed.
        QCOMPARE(f.pane(2).filePath(), clip("before.mp4"));
        QVERIFY(f.context.fetch(LibrarySchema::Filelist).isEmpty());
    }

    void placingRecordsAndRewritesThePanesEntry()
    {
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        f.select(list);
        f.engine.durations.insert(clip("first.mp4"), MovieTime{75000, 600, 0});
        f.engine.titles.insert(clip("first.mp4"), QStringLiteral("First Title"));
        f.pane(2).createMovieFrame(clip("first.mp4"));
        QVERIFY(f.dialogs.alerts.isEmpty());
        QCOMPARE(f.pane(2).filePath(), clip("first.mp4"));
        QVERIFY(f.pane(2).isAvailable());
        QCOMPARE(f.entryPaths(list, 2), QStringList{clip("first.mp4")});
        const ObjectId entry = f.context.fetch(LibrarySchema::Filelist).front();
        QCOMPARE(f.context.value(entry, LibrarySchema::Title).toString(), QStringLiteral("First Title"));
        QCOMPARE(f.context.value(entry, LibrarySchema::PlayTime).toInt(), 125);
        // Placing again rewrites the same entry.
        f.pane(2).createMovieFrame(clip("second.mp4"));
        QCOMPARE(f.entryPaths(list, 2), QStringList{clip("second.mp4")});
        QCOMPARE(f.context.fetch(LibrarySchema::Filelist), QList<ObjectId>{entry});
    }

    void openMovieFileUsesTheChosenFile_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("cancelled") << QStringList();
        QTest::newRow("one file") << QStringList{clip("chosen.mp4")};
    }

    void openMovieFileUsesTheChosenFile()
    {
        QFETCH(QStringList, chosen);
        LibraryPaneFixture f;
        const ObjectId list = f.playlist("list");
        f.select(list);
        f.dialogs.openPanelAnswers = {chosen};
        f.pane(4).openMovieFile();
        QCOMPARE(f.dialogs.openPanels.size(), 1);
        const OpenPanelRequest& panel = f.dialogs.openPanels.first();
        QVERIFY(panel.canChooseFiles && !panel.canChooseDirectories && !panel.allowsMultipleSelection);
        QVERIFY(!panel.treatsPackagesAsDirectories && panel.resolvesAliases && panel.directory.isEmpty());
        QCOMPARE(f.pane(4).filePath(), chosen.value(0));
        QCOMPARE(f.entryPaths(list, 4), chosen);
        QVERIFY(f.dialogs.alerts.isEmpty());
    }

    void showFileWithFinder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("existing file") << "existing";
        QTest::newRow("missing file") << "missing";
        QTest::newRow("empty pane") << "none";
    }

    void showFileWithFinder()
    {
        QFETCH(QString, file);
        LibraryPaneFixture f;
        QTemporaryFile existing;
        QVERIFY(existing.open());
        if (file == "existing")
            f.pane(1).createMovieView(existing.fileName());
        else if (file == "missing")
            f.load(1, "missing.mp4");
        f.pane(1).showFileWithFinder();
        QCOMPARE(f.fileViewer.shownFiles,
                 file == "existing" ? QStringList{existing.fileName()} : QStringList());
        QCOMPARE(f.dialogs.alerts.size(), file == "existing" ? 0 : 1);
        if (file != "existing") {
            QCOMPARE(f.dialogs.alerts.first().messageText, QStringLiteral("File is not found."));
            QCOMPARE(f.dialogs.alerts.first().buttons, QStringList{"Cancel"});
        }
    }
};

QTEST_MAIN(TestCMMovieView)
#include "tst_cmmovieview.moc"
