#include "PlaylistFixture.h"

#include "library/TBArrayController.h"
#include "panes/QTMovieSubView.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/ImageAndTextCell.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolButton>

using namespace tetrapan;
using tetrapan::test::PlaylistApp;

namespace {

std::unique_ptr<QMimeData> treeDrag()
{
    auto data = std::make_unique<QMimeData>();
    data->setData(PlaylistTreeController::PlistPboardType, {});
    return data;
}

QPoint centreOf(PlaylistApp& app, const QString& title)
{
    return app.tree().visualRect(app.indexOf(title)).center();
}

} // namespace

// The playlist tree: adding, renaming, moving and removing folders and playlists; moving through it, handing
// rows to the panes, the context menu, the open folders and selected row across runs, the row's icon and
// text, and the window that holds it.
class TestPlaylistTree : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newNodePlacement_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("expectedRows");
        QTest::addColumn<int>("index");
        // F holds a (0) and S (1), S holds b; T and U are top-level playlists with indexes 1 and 2
        const auto row = [](const char* name, const char* selected, bool folder, const char* rows,
                            int index) {
            QTest::newRow(name) << QString(selected) << folder << QString(rows) << index;
        };
        row("nothing selected: top level, after the largest index", "", false, "F,T,U,*New Playlist", 3);
        row("playlist in a folder: beside it", "a", false, "F,a,S,*New Playlist,T,U", 2);
        row("top-level playlist: top level", "T", true, "F,T,U,*New Folder", 3);
        row("folder: inside, the folder open to the bottom", "F", false, "F,a,S,b,*New Playlist,T,U", 2);
    }
    void newNodePlacement()
    {
        QFETCH(QString, selected);
        QFETCH(bool, folder);
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a,S/(b)),T,U")));
        if (selected == QLatin1String("a"))
            app.tree().expand(app.indexOf(QStringLiteral("F")));
        app.selectTitle(selected);

        folder ? app.tree().addFolder() : app.tree().addFile();
        QTEST(app.rows(), "expectedRows");
        const ObjectId added =
            app.node(folder ? QStringLiteral("New Folder") : QStringLiteral("New Playlist"));
        QTEST(app.ctx().value(added, "index").toInt(), "index");
        QCOMPARE(app.ctx().value(added, "isFolder").toBool(), folder);
        // with no counter stored, the number after the largest in the library; in title editing, and shown
        QCOMPARE(app.attr(added, "uniqueId"), QStringLiteral("00000007"));
        QVERIFY(app.tree().isEditing());
        QCOMPARE(app.coordinator().uniqueId(), QStringLiteral("00000007"));
    }

    void addingIsOneUndoStep()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a)")));
        app.selectTitle(QStringLiteral("F"));
        app.tree().addFolder();
        app.ctx().processPendingChanges();
        QAction* undo = app.nib->mainWindow().undoAction();
        QVERIFY(undo->text().contains(QLatin1String("Add Folder")));
        undo->trigger();
        QCOMPARE(app.node(QStringLiteral("New Folder")), NoObject);
        QCOMPARE(app.level(QStringLiteral("F")), QStringLiteral("a0"));
    }

    void returnEndsEditingOnTheSameRow()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("a,b")));
        app.selectTitle(QStringLiteral("a"));
        app.tree().addFile();
        auto* editor = app.tree().findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->selectedText(), QStringLiteral("New Playlist")); // typing replaces it
        editor->setText(QStringLiteral("Match 3"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!app.tree().isEditing());
        QCOMPARE(app.rows(), QStringLiteral("a,b,*Match 3"));
        QCOMPARE(app.tree().findChild<QLineEdit*>(), nullptr);
    }

    void drops_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target"); // "" for the top level
        QTest::addColumn<int>("childIndex");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("expectedRows"); // after the drop, with F open
        // F holds a and S; S holds b and E (an empty folder); G is an empty folder; T a playlist
        const auto row = [](const char* name, const char* dragged, const char* target, int childIndex,
                            const char* rows = nullptr) {
            QTest::newRow(name) << QString(dragged) << QString(target) << childIndex << (rows != nullptr)
                                << QString(rows ? rows : "F,a,S,G,T");
        };
        row("playlist onto a playlist", "a", "T", -1);
        row("onto the top level itself", "a", "", -1);
        row("folder onto itself", "S", "S", -1);
        row("folder onto its descendant", "F", "E", -1);
        row("onto the folder it is in", "a", "F", -1);
        row("folder between rows of its own subtree", "F", "S", 1);
        row("folder between its own children", "S", "S", 0);
        row("playlist onto a folder: last, folder opens", "T", "S", -1, "F,a,S,b,E,T,G");
        row("folder onto another folder", "G", "F", -1, "F,a,S,G,T");
        row("playlist out to the top level", "a", "", 0, "a,F,S,G,T");
        row("folder between rows of another folder", "G", "F", 1, "F,a,G,S,T");
    }
    void drops()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(int, childIndex);
        QFETCH(bool, accepted);
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a,S/(b,E/)),G/,T")));
        app.tree().expand(app.indexOf(QStringLiteral("F")));
        const auto data = treeDrag();
        QVERIFY(app.tree().writeItems({app.indexOf(dragged)}));
        const ObjectId targetNode = target.isEmpty() ? NoObject : app.node(target);
        QCOMPARE(app.tree().validateDrop(data.get(), targetNode, childIndex),
                 accepted ? Qt::MoveAction : Qt::IgnoreAction);
        QCOMPARE(app.tree().acceptDrop(data.get(), targetNode, childIndex), accepted);
        QTEST(app.rows().remove(QLatin1Char('*')), "expectedRows");
    }

    void dropNeedsTheTreeType()
    {
        PlaylistApp app;
        app.build(QStringLiteral("F/,a"));
        QVERIFY(app.tree().writeItems({app.indexOf("a")}));
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QStringLiteral("/clips/a.mp4"))});
        QCOMPARE(app.tree().validateDrop(&files, app.node("F"), -1), Qt::IgnoreAction);
        QVERIFY(!app.tree().acceptDrop(&files, app.node("F"), -1));
        QCOMPARE(app.level(), QStringLiteral("F0,a1"));
    }

    void dragBetweenSiblings_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<int>("childIndex");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* outline, const char* dragged, int childIndex,
                            const char* expected) {
            QTest::newRow(name) << QString(outline) << QString(dragged) << childIndex << QString(expected);
        };
        row("first to the gap before the last", "A,B,C,D", "A", 3, "B0,C1,A2,D3");
        row("last to the gap after the first", "A,B,C,D", "D", 1, "A0,D1,B2,C3");
        row("to the end", "A,B,C,D", "B", 4, "A0,C1,D2,B3");
        row("to its own gap", "A,B,C,D", "B", 1, "A0,B1,C2,D3");
        // a level built by adding is numbered from 1; the node's row, not its index, is its place
        row("numbered from 1: just below itself", "Z,A,B,C,D", "A", 1, "A0,B1,C2,D3");
        row("numbered from 1: before the last", "Z,A,B,C,D", "A", 3, "B0,C1,A2,D3");
    }
    void dragBetweenSiblings()
    {
        QFETCH(QString, outline);
        QFETCH(QString, dragged);
        QFETCH(int, childIndex);
        PlaylistApp app;
        app.build(outline);
        if (outline.startsWith(QLatin1Char('Z'))) // A..D numbered 1..4 the way adding does
            app.ctx().deleteObject(app.node(QStringLiteral("Z")));
        QVERIFY(app.tree().writeItems({app.indexOf(dragged)}));
        QVERIFY(app.tree().acceptDrop(treeDrag().get(), NoObject, childIndex));
        QTEST(app.level(), "expected");
    }

    void removal_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("remainingLevel");
        QTest::addColumn<int>("remainingEntries");
        QTest::addColumn<int>("remainingNodes");
        const QString inFolder = QStringLiteral("All playlists in folder are deleted");
        QTest::newRow("folder with nested content")
            << "F" << 1000 << "Delete Folder?" << inFolder << "T1" << 1 << 1;
        QTest::newRow("playlist") << "T" << 1000 << "Delete Playlist?" << QString() << "F0" << 3 << 5;
        QTest::newRow("cancelled") << "F" << 1001 << "Delete Folder?" << inFolder << "F0,T1" << 4 << 6;
    }
    void removal()
    {
        QFETCH(QString, selected);
        QFETCH(int, answer);
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a,S/(b,E/)),T")));
        app.entry("a", 1, "/clips/a1.mp4");
        app.entry("a", 2, "/clips/a2.mp4");
        app.entry("b", 3, "/clips/b3.mp4");
        app.entry("T", 4, "/clips/t4.mp4");
        app.ctx().processPendingChanges();
        app.selectTitle(selected);
        app.tree().selectClickedRow();
        const QString shownId = app.uid(selected);

        app.dialogs.alertAnswers = {answer};
        app.tree().removeItem();
        QCOMPARE(app.dialogs.alerts.size(), 1);
        QTEST(app.dialogs.alerts[0].messageText, "message");
        QTEST(app.dialogs.alerts[0].informativeText, "info");
        QCOMPARE(app.dialogs.alerts[0].buttons, QStringList({"Delete", "Cancel"}));
        QTEST(app.level(), "remainingLevel");
        QTEST(app.entryCount(), "remainingEntries");
        QTEST(int(app.ctx().fetch(LibrarySchema::Playlist).size()), "remainingNodes");
        if (answer != 1000)
            return;

        // a moment later the panes show what is then selected: nothing
        QCOMPARE(app.coordinator().uniqueId(), shownId);
        app.scheduler.advance(PlaylistOutlineView::SelectAfterRemoveDelay);
        QCOMPARE(app.coordinator().uniqueId(), QString());

        // one step of Edit > Undo brings all of it back, in its places
        app.ctx().processPendingChanges();
        app.nib->mainWindow().undoAction()->trigger();
        QCOMPARE(app.level(), QStringLiteral("F0,T1"));
        QCOMPARE(app.level(QStringLiteral("F")), QStringLiteral("a0,S1"));
        QCOMPARE(app.level(QStringLiteral("S")), QStringLiteral("b0,E1"));
        QCOMPARE(app.entryCount(), 4);
        QCOMPARE(app.nib->tbArrayController()
                     .getObjectsWithPred(LibrarySchema::Filelist, Predicate::equals("uniqueId", app.uid("b")))
                     .size(),
                 1);
    }

    void removingWithNothingSelectedAsksNothing()
    {
        PlaylistApp app;
        app.build(QStringLiteral("a"));
        app.tree().removeItem();
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.level(), QStringLiteral("a0"));
    }

    void moving_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("move"); // up, down (keys), back, next (actions)
        QTest::addColumn<bool>("canBack");
        QTest::addColumn<bool>("canNext");
        QTest::addColumn<QString>("expectedRows");
        const auto row = [](const char* name, const char* selected, const char* move, bool back, bool next,
                            const char* rows) {
            QTest::newRow(name) << QString(selected) << QString(move) << back << next << QString(rows);
        };
        row("next with nothing selected: first row, opened", "", "next", true, true, "*F,a,G,T");
        row("back with nothing selected: last row", "", "back", true, true, "F,G,*T");
        row("down does not open", "F", "down", false, true, "F,*G,T");
        row("next opens the folder it lands on", "F", "next", false, true, "F,*G,b,T");
        row("back opens the folder it lands on", "T", "back", true, false, "F,*G,b,T");
        row("up", "G", "up", true, true, "*F,G,T");
        row("down from the last row stays", "T", "down", true, false, "F,G,*T");
        row("up from the first row stays", "F", "up", false, true, "*F,G,T");
    }
    void moving()
    {
        QFETCH(QString, selected);
        QFETCH(QString, move);
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a),G/(b),T")));
        app.selectTitle(selected);
        PlaylistOutlineView& tree = app.tree();
        tree.selectClickedRow();
        QTEST(tree.canMoveSelectedRowIndex(0), "canBack");
        QTEST(tree.canMoveSelectedRowIndex(1), "canNext");
        if (move == QLatin1String("up") || move == QLatin1String("down"))
            QTest::keyClick(&tree, move == QLatin1String("up") ? Qt::Key_Up : Qt::Key_Down);
        else if (move == QLatin1String("back"))
            tree.selectBackRow();
        else
            tree.selectNextRow();
        QTEST(app.rows(), "expectedRows");
        // what is now selected is what the panes show
        QCOMPARE(app.coordinator().uniqueId(), app.attr(tree.itemAtRow(tree.selectedRow()), "uniqueId"));
    }

    // Up and Down step through nested open and closed folders exactly in the order the rows are shown, and
    // stop at either end.
    void arrowsWalkTheRowsAsShown()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a,S/(b,U/(c)),d),G/(e),H/(K/(f)),T")));
        for (const char* open : {"F", "S", "U", "H", "K"})
            app.tree().expand(app.indexOf(QLatin1String(open)));
        app.tree().collapse(app.indexOf(QStringLiteral("S"))); // U stays open inside a closed folder
        PlaylistOutlineView& tree = app.tree();
        QStringList shown;
        for (int row = 0; row < tree.numberOfRows(); ++row)
            shown << app.attr(tree.itemAtRow(row), "title");
        QCOMPARE(shown.join(QLatin1Char(',')), QStringLiteral("F,a,S,d,G,H,K,f,T"));

        const QStringList reversed(shown.rbegin(), shown.rend());
        for (const auto& [key, expected] : {std::pair{Qt::Key_Down, shown}, std::pair{Qt::Key_Up, reversed}}) {
            app.selectTitle(QString());
            QStringList walked;
            for (int step = 0; step <= shown.size(); ++step) {
                if (!tree.canMoveSelectedRowIndex(key == Qt::Key_Up ? 0 : 1))
                    break;
                QTest::keyClick(&tree, key);
                walked << app.attr(tree.itemAtRow(tree.selectedRow()), "title");
            }
            QCOMPARE(walked, expected);
        }
    }

    void handOver_data()
    {
        QTest::addColumn<QString>("path"); // click, key, right, meta
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("targetIsShown"); // the panes already show the target's identifier
        QTest::addColumn<bool>("handedOver");
        const auto row = [](const char* name, const char* path, const char* target, bool shown, bool handed) {
            QTest::newRow(name) << QString(path) << QString(target) << shown << handed;
        };
        row("click on the playlist shown: no reload", "click", "a", true, false);
        row("click on another playlist", "click", "a", false, true);
        row("click on a folder", "click", "F", false, true);
        row("arrow onto the playlist shown: no reload", "key", "a", true, false);
        row("arrow onto the folder shown: set again", "key", "F", true, true);
        row("right-click on the playlist shown", "right", "a", true, false);
        row("right-click on the folder shown", "right", "F", true, true);
        row("meta-click is a right-click", "meta", "a", false, true);
    }
    void handOver()
    {
        QFETCH(QString, path);
        QFETCH(QString, target);
        QFETCH(bool, targetIsShown);
        QFETCH(bool, handedOver);
        PlaylistApp app;
        // the target is the row below z, so one Down reaches it
        QVERIFY(app.show(target == QLatin1String("F") ? QStringLiteral("z,F/,a") : QStringLiteral("F/,z,a")));
        app.selectTitle(QStringLiteral("z"));
        app.coordinator().setUniqueId(targetIsShown ? app.uid(target) : app.uid(QStringLiteral("z")));
        QSignalSpy handed(&app.coordinator(), &MovController::uniqueIdChanged);
        QWidget* viewport = app.tree().viewport();

        if (path == QLatin1String("click"))
            QTest::mouseClick(viewport, Qt::LeftButton, {}, centreOf(app, target));
        else if (path == QLatin1String("key"))
            QTest::keyClick(&app.tree(), Qt::Key_Down);
        else
            QTest::mousePress(viewport, path == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton,
                              path == QLatin1String("meta") ? Qt::MetaModifier : Qt::KeyboardModifiers(),
                              centreOf(app, target));

        QCOMPARE(app.tree().itemAtRow(app.tree().selectedRow()), app.node(target));
        QCOMPARE(handed.size(), handedOver ? 1 : 0);
        QCOMPARE(app.coordinator().uniqueId(), app.uid(target));
        QMenu* menu = app.tree().cmPlaylist;
        QCOMPARE(menu->isVisible(), path == QLatin1String("right") || path == QLatin1String("meta"));
        menu->close();
    }

    void collapsingAFolderMovesTheSelectionOntoIt()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a,b),T")));
        PlaylistOutlineView& tree = app.tree();
        tree.expand(app.indexOf(QStringLiteral("F")));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(app, QStringLiteral("b")));
        QCOMPARE(app.coordinator().uniqueId(), app.uid(QStringLiteral("b")));

        // the folder's arrow, left of its row
        const QRect folderRow = tree.visualRect(app.indexOf(QStringLiteral("F")));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          QPoint(folderRow.left() - tree.indentation() / 2, folderRow.center().y()));

        QCOMPARE(app.rows(), QStringLiteral("*F,T"));
        QCOMPARE(app.nib->tbArrayController().getSelectedObjects(LibrarySchema::Playlist),
                 QList<ObjectId>{app.node(QStringLiteral("F"))});
        QCOMPARE(app.coordinator().uniqueId(), app.uid(QStringLiteral("F")));
        QCOMPARE(app.nib->mainWindow().windowTitle(), QStringLiteral("[ F ]"));
        // a file placed now is refused as placed into a folder, not written into the hidden playlist
        app.nib->qtView(1).createMovieFrame(QStringLiteral("/clips/none.mp4"));
        QCOMPARE(app.dialogs.alerts.size(), 1);
        QCOMPARE(app.dialogs.alerts[0].messageText, QStringLiteral("Folder is selected"));
        tree.storeLastState();
        QCOMPARE(
            userDefaultsExtension::defaultIntValue(app.settings, PlaylistOutlineView::LastSelectedIndexKey),
            0);
    }

    void collapsingAnotherFolderKeepsTheSelection()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("F/(a),G/(b)")));
        app.tree().expand(app.indexOf(QStringLiteral("F")));
        app.tree().expand(app.indexOf(QStringLiteral("G")));
        QTest::mouseClick(app.tree().viewport(), Qt::LeftButton, {}, centreOf(app, QStringLiteral("b")));
        app.tree().collapse(app.indexOf(QStringLiteral("F")));
        QCOMPARE(app.rows(), QStringLiteral("F,G,*b"));
        QCOMPARE(app.coordinator().uniqueId(), app.uid(QStringLiteral("b")));
    }

    void keysThatMoveTheSelectionHandItOver_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expectedRows");
        QTest::newRow("End") << int(Qt::Key_End) << "a,b,*c";
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << "a,b,*c";
        QTest::newRow("a title's first letter") << int(Qt::Key_C) << "a,b,*c";
    }
    void keysThatMoveTheSelectionHandItOver()
    {
        QFETCH(int, key);
        QFETCH(QString, expectedRows);
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("a,b,c")));
        app.selectTitle(QStringLiteral("a"));
        app.tree().setFilelistPredicateWithPlaylist(false);
        QTest::keyClick(&app.tree(), Qt::Key(key));
        QCOMPARE(app.rows(), expectedRows);
        QCOMPARE(app.coordinator().uniqueId(),
                 app.attr(app.tree().itemAtRow(app.tree().selectedRow()), "uniqueId"));
    }

    void theTreeHasTheKeyboard()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("a,b")));
        PlaylistWindow& window = app.nib->playlistWindow();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.focusWidget(), &app.tree());

        // Down in a window just opened goes to the next playlist; Space never asks to delete
        app.selectTitle(QStringLiteral("a"));
        QTest::keyClick(window.focusWidget(), Qt::Key_Down);
        QTest::keyClick(window.focusWidget(), Qt::Key_Space);
        QCOMPARE(app.rows(), QStringLiteral("a,*b"));
        QVERIFY(app.dialogs.alerts.isEmpty());

        // after adding (and naming) a playlist, and after either answer to removing one
        QTest::mouseClick(window.btnAdd(), Qt::LeftButton);
        QTest::keyClick(window.focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!app.tree().isEditing());
        QTRY_COMPARE(window.focusWidget(), &app.tree());
        for (int answer : {DialogPresenter::FirstButton + 1, DialogPresenter::FirstButton}) {
            app.dialogs.alertAnswers = {answer};
            window.btnRemove()->setFocus();
            QTest::mouseClick(window.btnRemove(), Qt::LeftButton);
            QCOMPARE(window.focusWidget(), &app.tree());
        }
        QCOMPARE(app.rows().remove(QLatin1Char('*')), QStringLiteral("a,b"));
    }

    void rightClickOnNoRowDoesNothing()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("a")));
        QSignalSpy handed(&app.coordinator(), &MovController::uniqueIdChanged);
        QTest::mousePress(app.tree().viewport(), Qt::RightButton, {},
                          QPoint(5, app.tree().viewport()->height() - 5));
        QCOMPARE(app.tree().selectedRow(), -1);
        QCOMPARE(handed.size(), 0);
        QVERIFY(!app.tree().cmPlaylist->isVisible());
    }

    void lastStateAcrossRuns()
    {
        test::TestHome home;
        QString shownId;
        {
            PlaylistApp app(home);
            QVERIFY(app.show());
            // a folder inside a closed folder keeps what it had stored
            app.build(QStringLiteral("F/(a,b),G/(c),H/(d,S/(e)),T"));
            app.ctx().setValue(app.node(QStringLiteral("S")), "isExpand", true);
            app.entry("c", 2, QStringLiteral("/clips/c2.mp4"));
            app.tree().expand(app.indexOf(QStringLiteral("F")));
            app.tree().expand(app.indexOf(QStringLiteral("G")));
            app.tree().selectRow(4);
            QCOMPARE(app.rows(), QStringLiteral("F,a,b,G,*c,H,T"));
            shownId = app.uid(QStringLiteral("c"));
            QCOMPARE(app.nib->appDelegate().applicationShouldTerminate(),
                     int(Tetrapan_AppDelegate::TerminateNow));
        }
        PlaylistApp again(home);
        QCOMPARE(again.rows(), QStringLiteral("F,a,b,G,*c,H,T"));
        QCOMPARE(again.coordinator().uniqueId(), shownId);
        again.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(again.nib->qtView(2).filePath(), QStringLiteral("/clips/c2.mp4"));
        QVERIFY(again.nib->qtView(1).movie() == nullptr);
        QVERIFY(again.ctx().value(again.node(QStringLiteral("S")), "isExpand").toBool());
        QVERIFY(!again.ctx().value(again.node(QStringLiteral("H")), "isExpand").toBool());
    }

    void restoredSelection_data()
    {
        QTest::addColumn<int>("storedRow"); // -2: never stored
        QTest::addColumn<QString>("expectedRows");
        QTest::newRow("first start: the first row") << -2 << "*F,T";
        QTest::newRow("nothing was selected") << -1 << "F,T";
        QTest::newRow("a row that is no longer there") << 2 << "F,T";
    }

    void restoredSelection()
    {
        QFETCH(int, storedRow);
        QFETCH(QString, expectedRows);
        test::TestHome home;
        {
            PlaylistApp app(home);
            app.build(QStringLiteral("F/(a),T"));
            app.nib->appDelegate().saveAction();
        }
        if (storedRow != -2) {
            SettingsDomain settings(home.settingsFile());
            userDefaultsExtension::setDefaultIntValue(settings, storedRow,
                                                      PlaylistOutlineView::LastSelectedIndexKey);
        }
        PlaylistApp app(home);
        QCOMPARE(app.rows(), expectedRows);
        QCOMPARE(app.coordinator().uniqueId(), storedRow == -2 ? app.uid(QStringLiteral("F")) : QString());
    }

    void rowShowsIconThenText()
    {
        PlaylistApp app;
        QVERIFY(app.show(QStringLiteral("Folder/,Playlist")));
        PlaylistOutlineView& tree = app.tree();
        const QRect cell = tree.visualRect(app.indexOf("Folder"));
        const QSize icon = tree.iconSize();
        const QRect image = ImageAndTextCell::imageFrameForCellFrame(cell, icon);
        const QRect text = ImageAndTextCell::textFrameForCellFrame(cell, icon);
        QCOMPARE(image.left(), cell.left() + 3);
        QCOMPARE(text.left(), image.right() + 1 + 3);
        QVERIFY(qAbs(image.center().y() - cell.center().y()) <= 1);

        // the folder icon is drawn there, and not where the text goes
        const QImage shot = tree.viewport()->grab().toImage();
        const auto folderColoured = [&shot](const QRect& area) {
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    if (qAbs(QColor(shot.pixel(x, y)).hue() - QColor(0xf0, 0xb5, 0x4a).hue()) < 6 &&
                        QColor(shot.pixel(x, y)).saturation() > 100)
                        return true;
            return false;
        };
        QVERIFY(folderColoured(image));
        QVERIFY(!folderColoured(text));

        // the title editor lies over the text
        app.selectTitle(QStringLiteral("Folder"));
        tree.editSelectedRow();
        auto* editor = tree.findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->geometry(), text);
    }

    void playlistWindowOpensAtStartAndCloses()
    {
        PlaylistApp app;
        QVERIFY(app.show());
        PlaylistWindow& window = app.nib->playlistWindow();
        QVERIFY(window.isVisible());
        QCOMPARE(window.parentWidget(), &app.nib->mainWindow());
        QVERIFY(window.windowFlags().testFlag(Qt::Tool));
        QVERIFY(app.tree().isDisplay());

        // its buttons and context menu reach the tree
        window.btnAdd()->click();
        QCOMPARE(app.rows(), QStringLiteral("*New Playlist"));
        const QList<QAction*> items = window.cmPlaylist()->actions();
        QStringList titles;
        for (QAction* item : items)
            if (!item->isSeparator())
                titles << item->text();
        QCOMPARE(titles, QStringList({"New Playlist", "New Folder", "Rename", "Delete"}));
        window.addFolderAction()->trigger();
        QCOMPARE(app.rows(), QStringLiteral("New Playlist,*New Folder"));

        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        QVERIFY(app.nib->mainWindow().isVisible());
        QVERIFY(!app.nib->appDelegate().isTerminating());
    }
};

QTEST_MAIN(TestPlaylistTree)
#include "tst_playlisttree.moc"
