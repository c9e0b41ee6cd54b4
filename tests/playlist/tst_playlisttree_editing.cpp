#include "PlaylistFixture.h"

#include "library/TBArrayController.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMimeData>

using namespace tetrapan;
using tetrapan::test::PlaylistApp;

namespace {

std::unique_ptr<QMimeData> treeDrag()
{
    auto data = std::make_unique<QMimeData>();
    data->setData(PlaylistTreeController::PlistPboardType, {});
    return data;
}

} // namespace

// Adding, renaming, moving and removing folders and playlists in the playlist tree.
class TestPlaylistTreeEditing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void identifiersContinue_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<int>("counter"); // -1: the key was never written
        QTest::addColumn<QString>("expected");
        QTest::newRow("first in an empty library") << "" << -1 << "00000001";
        QTest::newRow("from the counter, past a removed node") << "a" << 7 << "00000008";
        QTest::newRow("missing counter: after the largest identifier")
            << "a,b,c,d,e,f,g,h,i,j,k,l" << -1 << "00000013";
        QTest::newRow("counter below 1 is rebuilt") << "a,b" << 0 << "00000003";
    }

    void identifiersContinue()
    {
        QFETCH(QString, outline);
        QFETCH(int, counter);
        QFETCH(QString, expected);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(outline);
        if (counter >= 0)
            userDefaultsExtension::setDefaultIntValue(app.settings, counter,
                                                      QStringLiteral("optUniqueNoForPlist"));

        app.tree().addFile();
        const ObjectId added = app.node(QStringLiteral("New Playlist"));
        QCOMPARE(app.attr(added, "uniqueId"), expected);
        QCOMPARE(userDefaultsExtension::defaultIntValue(app.settings, QStringLiteral("optUniqueNoForPlist")),
                 expected.toInt());
        // selected, in title editing, and what the panes now show
        QCOMPARE(app.tree().itemAtRow(app.tree().selectedRow()), added);
        QVERIFY(app.tree().isEditing());
        QCOMPARE(app.coordinator().uniqueId(), expected);
    }

    void newNodePlacement_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("expectedRows");
        // F holds a (0) and S (1), S holds b; T and U are top-level playlists with indexes 1 and 2
        QTest::newRow("nothing selected: top level, after the largest index")
            << "" << false << "F,T,U,*New Playlist";
        QTest::newRow("playlist in a folder: beside it") << "a" << false << "F,a,S,*New Playlist,T,U";
        QTest::newRow("top-level playlist: top level") << "T" << true << "F,T,U,*New Folder";
        QTest::newRow("folder: inside, the folder open to the bottom")
            << "F" << false << "F,a,S,b,*New Playlist,T,U";
    }

    void newNodePlacement()
    {
        QFETCH(QString, selected);
        QFETCH(bool, folder);
        QFETCH(QString, expectedRows);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("F/(a,S/(b)),T,U"));
        if (selected == QLatin1String("a"))
            app.tree().expand(app.nib->playlistTreeController().indexOfObject(app.node(QStringLiteral("F"))));
        app.selectTitle(selected);

        folder ? app.tree().addFolder() : app.tree().addFile();
        QCOMPARE(app.rows(), expectedRows);
        const ObjectId added =
            app.node(folder ? QStringLiteral("New Folder") : QStringLiteral("New Playlist"));
        QCOMPARE(app.ctx().value(added, "index").toInt(), selected.isEmpty() || selected == "T" ? 3 : 2);
        QCOMPARE(app.ctx().value(added, "isFolder").toBool(), folder);
    }

    void addingIsOneUndoStep()
    {
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("F/(a)"));
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
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("a,b"));
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
        const QString unchanged = QStringLiteral("F,a,S,G,T");
        QTest::newRow("playlist onto a playlist") << "a"
                                                  << "T" << -1 << false << unchanged;
        QTest::newRow("onto the top level itself") << "a"
                                                   << "" << -1 << false << unchanged;
        QTest::newRow("folder onto itself") << "S"
                                            << "S" << -1 << false << unchanged;
        QTest::newRow("folder onto its descendant") << "F"
                                                    << "E" << -1 << false << unchanged;
        QTest::newRow("onto the folder it is in") << "a"
                                                  << "F" << -1 << false << unchanged;
        QTest::newRow("folder between rows of its own subtree") << "F"
                                                                << "S" << 1 << false << unchanged;
        QTest::newRow("folder between its own children") << "S"
                                                         << "S" << 0 << false << unchanged;
        QTest::newRow("playlist onto a folder: last, folder opens") << "T"
                                                                    << "S" << -1 << true << "F,a,S,b,E,T,G";
        QTest::newRow("folder onto another folder") << "G"
                                                    << "F" << -1 << true << "F,a,S,G,T";
        QTest::newRow("playlist out to the top level") << "a"
                                                       << "" << 0 << true << "a,F,S,G,T";
        QTest::newRow("folder between rows of another folder") << "G"
                                                               << "F" << 1 << true << "F,a,G,S,T";
    }

    void drops()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(int, childIndex);
        QFETCH(bool, accepted);
        QFETCH(QString, expectedRows);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("F/(a,S/(b,E/)),G/,T"));
        PlaylistOutlineView& tree = app.tree();
        tree.expand(app.nib->playlistTreeController().indexOfObject(app.node(QStringLiteral("F"))));
        const auto data = treeDrag();
        QVERIFY(tree.writeItems({app.nib->playlistTreeController().indexOfObject(app.node(dragged))}));
        const ObjectId targetNode = target.isEmpty() ? NoObject : app.node(target);

        QCOMPARE(tree.validateDrop(data.get(), targetNode, childIndex),
                 accepted ? Qt::MoveAction : Qt::IgnoreAction);
        QCOMPARE(tree.acceptDrop(data.get(), targetNode, childIndex), accepted);
        QCOMPARE(app.rows().remove(QLatin1Char('*')), expectedRows);
    }

    void dropNeedsTheTreeType()
    {
        test::TestHome home;
        PlaylistApp app(home);
        app.build(QStringLiteral("F/,a"));
        QVERIFY(app.tree().writeItems({app.nib->playlistTreeController().indexOfObject(app.node("a"))}));
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
        QTest::newRow("first to the gap before the last") << "A,B,C,D"
                                                          << "A" << 3 << "B0,C1,A2,D3";
        QTest::newRow("last to the gap after the first") << "A,B,C,D"
                                                         << "D" << 1 << "A0,D1,B2,C3";
        QTest::newRow("to the end") << "A,B,C,D"
                                    << "B" << 4 << "A0,C1,D2,B3";
        QTest::newRow("to its own gap") << "A,B,C,D"
                                        << "B" << 1 << "A0,B1,C2,D3";
        // a level built by adding is numbered from 1; the node's row, not its index, is its place
        QTest::newRow("numbered from 1: just below itself") << "Z,A,B,C,D"
                                                            << "A" << 1 << "A0,B1,C2,D3";
        QTest::newRow("numbered from 1: before the last") << "Z,A,B,C,D"
                                                          << "A" << 3 << "B0,C1,A2,D3";
    }

    void dragBetweenSiblings()
    {
        QFETCH(QString, outline);
        QFETCH(QString, dragged);
        QFETCH(int, childIndex);
        QFETCH(QString, expected);
        test::TestHome home;
        PlaylistApp app(home);
        app.build(outline);
        if (outline.startsWith(QLatin1Char('Z'))) {
            // renumber A..D as 1..4 the way adding does, and take away the Z that stood at 0
            app.ctx().deleteObject(app.node(QStringLiteral("Z")));
        }
        QVERIFY(app.tree().writeItems({app.nib->playlistTreeController().indexOfObject(app.node(dragged))}));
        const auto data = treeDrag();
        QVERIFY(app.tree().acceptDrop(data.get(), NoObject, childIndex));
        QCOMPARE(app.level(), expected);
    }

    void removal_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("remainingLevel");
        QTest::addColumn<int>("remainingEntries");
        QTest::newRow("folder with nested content") << "F" << 1000 << "Delete Folder?"
                                                    << "All playlists in folder are deleted"
                                                    << "T1" << 1;
        QTest::newRow("playlist") << "T" << 1000 << "Delete Playlist?"
                                  << ""
                                  << "F0" << 3;
        QTest::newRow("cancelled") << "F" << 1001 << "Delete Folder?"
                                   << "All playlists in folder are deleted"
                                   << "F0,T1" << 4;
    }

    void removal()
    {
        QFETCH(QString, selected);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(QString, info);
        QFETCH(QString, remainingLevel);
        QFETCH(int, remainingEntries);
        test::TestHome home;
        PlaylistApp app(home);
        QVERIFY(app.show());
        app.build(QStringLiteral("F/(a,S/(b,E/)),T"));
        app.entry("a", 1, "/clips/a1.mp4");
        app.entry("a", 2, "/clips/a2.mp4");
        app.entry("b", 3, "/clips/b3.mp4");
        app.entry("T", 4, "/clips/t4.mp4");
        app.ctx().processPendingChanges();
        const QStringList titlesBefore = {"F", "a", "S", "b", "E", "T"};
        app.selectTitle(selected);
        app.tree().selectClickedRow();
        const QString shownId = app.uid(selected);

        app.dialogs.alertAnswers = {answer};
        app.tree().removeItem();
        QCOMPARE(app.dialogs.alerts.size(), 1);
        QCOMPARE(app.dialogs.alerts[0].messageText, message);
        QCOMPARE(app.dialogs.alerts[0].informativeText, info);
        QCOMPARE(app.dialogs.alerts[0].buttons, QStringList({"Delete", "Cancel"}));
        QCOMPARE(app.level(), remainingLevel);
        QCOMPARE(app.entryCount(), remainingEntries);
        QCOMPARE(app.ctx().fetch(LibrarySchema::Playlist).size(),
                 answer == 1000 ? (selected == "F" ? 1 : 5) : 6);
        if (answer != 1000)
            return;

        // a moment later the panes show what is then selected: nothing
        QCOMPARE(app.coordinator().uniqueId(), shownId);
        app.scheduler.advance(PlaylistOutlineView::SelectAfterRemoveDelay);
        QCOMPARE(app.coordinator().uniqueId(), QString());

        // one step of Edit > Undo brings all of it back, in its places
        app.ctx().processPendingChanges();
        app.nib->mainWindow().undoAction()->trigger();
        for (const QString& title : titlesBefore)
            QVERIFY2(app.node(title) != NoObject, qPrintable(title));
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
        test::TestHome home;
        PlaylistApp app(home);
        app.build(QStringLiteral("a"));
        app.tree().removeItem();
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.level(), QStringLiteral("a0"));
    }
};

QTEST_MAIN(TestPlaylistTreeEditing)
#include "tst_playlisttree_editing.moc"
