#include "AppFixture.h"

#include "library/FileExistenceCache.h"
#include "library/FilelistArrayController.h"
#include "panes/QTMovieSubView.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/ViewPlaylist.h"
#include "widgets/NamedImage.h"

#include <QDateTime>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

const QStringList AllButUniqueId{"viewNo", "filePath", "playTime", "fileSize", "fileDate"};

// A touchpad (a phase) gives its amount in pixels too; a mouse wheel gives none.
void wheel(QWidget* target, QPoint angle, Qt::ScrollPhase phase = Qt::NoScrollPhase)
{
    QWheelEvent event(QPointF(5, 5), QPointF(target->mapToGlobal(QPoint(5, 5))),
                      phase == Qt::NoScrollPhase ? QPoint() : angle, angle, Qt::NoButton, Qt::NoModifier,
                      phase, false);
    QCoreApplication::sendEvent(target, &event);
}

bool showsImage(const QAbstractButton* button, const char* name)
{
    const QImage shown = button->icon().pixmap(16, 16).toImage();
    return !shown.isNull() && shown == namedImage(QLatin1String(name)).pixmap(16, 16).toImage();
}

// The add, remove and frame buttons, "1" for enabled.
QString enabled(AppFixture& app)
{
    const PlaylistWindow& w = app.playlistWindow();
    return QStringLiteral("%1%2%3")
        .arg(int(w.btnAdd()->isEnabled()))
        .arg(int(w.btnRemove()->isEnabled()))
        .arg(int(w.btnFrame()->isEnabled()));
}

} // namespace

// The playlist window: the file table's columns across hiding, dragging and runs, the cells it shows,
// removing, zooming and revealing entries, the wheel and right clicks; the rules of the window's buttons, and
// Space.
class TestPlaylistWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Within a run a column shown again returns to its place; hidden when the window closes (quitting with it
    // open is tested on a real display), it stays hidden at the next start and comes back behind the others.
    void hidingAndShowingColumns_data()
    {
        QTest::addColumn<int>("dragFrom"); // a column the user drags to the left end first; -1 none
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QStringList>("whileHidden");
        QTest::addColumn<QStringList>("shownAgain");
        QTest::newRow("Time back at its place")
            << -1 << "Time"
            << "playTime" << QStringList{"viewNo", "filePath", "fileSize", "fileDate"} << AllButUniqueId;
        QTest::newRow("Pane back at the left end")
            << -1 << "Pane"
            << "viewNo" << QStringList{"filePath", "playTime", "fileSize", "fileDate"} << AllButUniqueId;
        QTest::newRow("Size dragged to the left end returns there")
            << 3 << "Size"
            << "fileSize" << QStringList{"viewNo", "filePath", "playTime", "fileDate"}
            << QStringList{"fileSize", "viewNo", "filePath", "playTime", "fileDate"};
    }
    void hidingAndShowingColumns()
    {
        QFETCH(int, dragFrom);
        QFETCH(QString, title);
        QFETCH(QString, identifier);
        QFETCH(QStringList, whileHidden);
        QFETCH(QStringList, shownAgain);
        AppFixture app;
        QVERIFY(app.show());
        // at the first start every column but the identifier
        QCOMPARE(app.columns(), AllButUniqueId);
        QCOMPARE(app.headerMenu(),
                 (QStringList{"Pane*", "Path*", "Time*", "Size*", "Date*", "Start", "End", "Files"}));
        if (dragFrom >= 0) {
            QHeaderView* header = app.table().horizontalHeader();
            header->moveSection(header->visualIndex(header->logicalIndex(dragFrom)), 0);
        }
        app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), whileHidden);
        QVERIFY(!app.headerMenu().contains(title + QLatin1Char('*')));
        app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), shownAgain);

        app.chooseInHeaderMenu(title);
        QVERIFY(app.playlistWindow().close());
        QVERIFY(app.nib->appDelegate().terminate());
        app.restart();
        QVERIFY(app.show());
        QCOMPARE(app.columns(), whileHidden);
        app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), QStringList(whileHidden) << identifier);
    }

    // Columns kept by an earlier run: a list kept before the table had its Pane column gets it in front;
    // one kept since keeps it where, and as, the user left it.
    void columnsKeptByEarlierRuns_data()
    {
        QTest::addColumn<QVariantList>("stored");
        QTest::addColumn<QStringList>("columns");
        const auto column = [](const char* identifier, bool hidden = false) {
            return QVariantMap{{"identifier", identifier}, {hidden ? "hidden" : "width", hidden ? 1 : 90}};
        };
        QTest::newRow("kept before the Pane column") << QVariantList{column("fileDate"), column("filePath")}
                                                     << QStringList{"viewNo", "fileDate", "filePath"};
        QTest::newRow("Pane hidden") << QVariantList{column("filePath"), column("viewNo", true)}
                                     << QStringList{"filePath"};
        QTest::newRow("Pane moved") << QVariantList{column("filePath"), column("viewNo"),
                                                    column("uniqueId", true)}
                                    << QStringList{"filePath", "viewNo"};
    }
    void columnsKeptByEarlierRuns()
    {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, columns);
        AppFixture app({.storedSettings = {{FilelistTableView::StateTableColumnFilelist, stored}}});
        QVERIFY(app.show());
        QCOMPARE(app.columns(), columns);
        QVERIFY(app.playlistWindow().close());
        app.restart();
        QVERIFY(app.show());
        QCOMPARE(app.columns(), columns);
    }

    // At the first start every column is in sight, the path taking what the others leave, also when the
    // window grows; a width the user gives is kept.
    void columnsFitTheTableAtTheFirstStart()
    {
        AppFixture app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2});
        FilelistTableView& table = app.table();
        QHeaderView* header = table.horizontalHeader();
        const int path = app.nib->filelistArrayController().columnOfKey(QStringLiteral("filePath"));
        const auto right = [header] { return header->length(); };
        QCOMPARE(right(), table.viewport()->width());
        QVERIFY(header->sectionSize(path) >= 120);
        app.playlistWindow().resize(app.playlistWindow().width() + 100, app.playlistWindow().height());
        QTRY_COMPARE(right(), table.viewport()->width());
        header->resizeSection(path, 150);
        const int before = table.viewport()->width();
        app.playlistWindow().resize(app.playlistWindow().width() + 100, app.playlistWindow().height());
        QTRY_VERIFY(table.viewport()->width() > before);
        QCOMPARE(header->sectionSize(path), 150);
    }

    // a header with no column would have no height and nothing to right-click
    void theLastColumnStays()
    {
        AppFixture app;
        QVERIFY(app.show());
        for (const QString& title : QStringList{"Pane", "Path", "Time", "Size", "Date"})
            app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), QStringList{"fileDate"});
        QCOMPARE(app.headerMenu(),
                 (QStringList{"Pane", "Path", "Time", "Size", "Date* greyed", "Start", "End", "Files"}));
        app.chooseInHeaderMenu(QStringLiteral("Path"));
        QCOMPARE(app.headerMenu(),
                 (QStringList{"Pane", "Path*", "Time", "Size", "Date*", "Start", "End", "Files"}));
    }

    void cellValues_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* identifier, const QVariant& stored, const char* shown) {
            QTest::addRow("%s %s", identifier, qPrintable(stored.toString()))
                << QString(identifier) << stored << QString(shown);
        };
        // play times: m:ss below an hour, h:mm:ss from an hour on
        row("playTime", 0, "-");
        row("playTime", 59, "0:59");
        row("playTime", 60, "1:00");
        row("playTime", 3599, "59:59");
        row("playTime", 3600, "1:00:00");
        row("playTime", 3725, "1:02:05");
        row("playTime", 360000, "100:00:00");
        // sizes: one decimal, the unit changing at exactly 2^20 and 2^30 bytes
        row("fileSize", qint64(0), "");
        row("fileSize", qint64(100), "0.1 KB");
        row("fileSize", qint64(1048576), "1.0 MB");
        row("fileSize", qint64(1073741824), "1.0 GB");
        row("fileSize", qint64(5497558138880), "5120.0 GB");
        row("fileDate", QVariant(), "");
        row("fileDate", QDateTime(QDate(2008, 3, 15), QTime(10, 20, 30)).toUTC(), "2008/03/15 10:20:30");
        row("filePath", "/clips/1.mp4", "/clips/1.mp4");
        row("recordingEnd", QDateTime(QDate(2026, 3, 1), QTime(13, 0, 5)).toUTC(), "2026/03/01 13:00:05");
        row("fileCount", 60, "60");
    }
    void cellValues()
    {
        QFETCH(QString, identifier);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        AppFixture app;
        app.chooseWithEntries({1});
        const ObjectId entry = app.nib->filelistArrayController().objectAtRow(0);
        app.ctx().setValue(entry, identifier, stored);
        QCOMPARE(app.table().objectValue(identifier, 0).toString(), shown);
        // a path too long for its column keeps its file name, which tells the rows apart
        QCOMPARE(app.table().textElideMode(), Qt::ElideMiddle);
    }

    void removingEntriesEmptiesTheirPanes_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("context menu") << "menu";
        QTest::newRow("Delete key in the table") << "key";
    }
    void removingEntriesEmptiesTheirPanes()
    {
        QFETCH(QString, how);
        AppFixture app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3, 4});
        app.entry(QStringLiteral("b"), 1, QStringLiteral("/clips/b1.mp4"));
        for (int n = 1; n <= 4; ++n)
            QVERIFY(app.pane(n).movie());
        FilelistArrayController& model = app.nib->filelistArrayController();
        model.setSelectedObjects({model.objectAtRow(app.rowOfPane(1)), model.objectAtRow(app.rowOfPane(3))});
        // with no playlist chosen in the tree, nothing
        app.selectTitle({});
        app.playlistWindow().removeEntryAction()->trigger();
        QCOMPARE(app.entryCount(), 5);
        app.selectTitle(QStringLiteral("a"));
        if (how == QLatin1String("menu")) {
            app.playlistWindow().removeEntryAction()->trigger();
        } else {
            app.playlistWindow().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&app.playlistWindow()));
            app.table().setFocus();
            QTest::keyClick(&app.table(), Qt::Key_Delete);
        }
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.rowOfPane(1), -1);
        QCOMPARE(app.rowOfPane(3), -1);
        QCOMPARE(app.entryCount(), 3); // a's panes 2 and 4, and b's
        QVERIFY(!app.pane(1).movie());
        QVERIFY(app.pane(2).movie());
        QVERIFY(!app.pane(3).movie());
        QVERIFY(app.pane(4).movie());

        // one step back brings both
        app.ctx().processPendingChanges();
        app.ctx().undoManager()->undo();
        QCOMPARE(app.entryCount(), 5);
    }

    void doubleClickLetsTheEntrysPaneFillTheWindow()
    {
        AppFixture app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3});
        QCOMPARE(app.coordinator().displayedViewNo(), 0);
        // as the window system delivers it: a click, then the second press as a double click
        const QPoint row = app.centreOfRow(app.rowOfPane(2));
        QTest::mouseClick(app.table().viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(app.table().viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(app.coordinator().displayedViewNo(), 2);
        // the frame button does the same for the selected entry: again, so the even layout returns
        app.playlistWindow().btnFrame()->click();
        QCOMPARE(app.coordinator().displayedViewNo(), 0);
    }

    // a missing file's row is grey, and its file cannot be shown (the menu opens only on a row)
    void revealingTheFile_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("file there") << true;
        QTest::newRow("file missing") << false;
    }
    void revealingTheFile()
    {
        QFETCH(bool, present);
        AppFixture app;
        QTemporaryFile file;
        QVERIFY(file.open());
        QTemporaryDir folder;
        const QString missing = folder.filePath(QStringLiteral("2.mp4"));
        app.chooseWithEntries({1, 2});
        FilelistArrayController& model = app.nib->filelistArrayController();
        app.ctx().setValue(model.objectAtRow(0), "filePath", file.fileName());
        app.ctx().setValue(model.objectAtRow(1), "filePath", missing);
        // no repaint waits on the file system: a file not yet looked at shows as there until the answer
        QSignalSpy repaint(&model, &QAbstractItemModel::dataChanged);
        QCOMPARE(model.index(1, 3).data(Qt::ForegroundRole), QVariant());
        QCOMPARE(model.index(0, 0).data(Qt::ForegroundRole), QVariant());
        QTRY_COMPARE(model.index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        QVERIFY(!repaint.isEmpty()); // and the table is told
        QCOMPARE(model.index(0, 0).data(Qt::ForegroundRole), QVariant());
        model.setSelectionIndex(present ? 0 : 1);
        app.playlistWindow().revealEntryAction()->trigger();
        // the file is looked at away from the window, which goes on meanwhile
        QVERIFY(app.fileViewer.shownFiles.isEmpty() && app.dialogs.alerts.isEmpty());
        if (present) {
            QTRY_COMPARE(app.fileViewer.shownFiles, QStringList{file.fileName()});
            QVERIFY(app.dialogs.alerts.isEmpty());
        } else {
            QTRY_COMPARE(app.dialogs.alerts.size(), 1);
            QVERIFY(app.fileViewer.shownFiles.isEmpty());
            QCOMPARE(app.dialogs.alerts.front().messageText, QStringLiteral("File is not found."));
        }
        // a file that comes back is seen once the last answer has been kept its few seconds
        QFile comesBack(missing);
        QVERIFY(comesBack.open(QIODevice::WriteOnly));
        QCOMPARE(model.index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        app.scheduler.advance(FileExistenceCache::RememberFor);
        QTRY_COMPARE(model.index(1, 3).data(Qt::ForegroundRole), QVariant());
    }

    // A mouse wheel's notch, or any amount under one, steps at once; a touchpad's swipe arrives as many small
    // amounts with a scroll phase, and each whole notch of them steps once, its own way.
    void wheelStepsThroughTheEntries_data()
    {
        QTest::addColumn<QPoint>("angle");     // 120 is one notch, a vertical amount of 1.0
        QTest::addColumn<QList<int>>("swipe"); // a touchpad's amounts in one gesture instead
        QTest::addColumn<int>("fromRow");
        QTest::addColumn<int>("toRow");
        const QList<int> wheel;
        QTest::newRow("1.0: the previous entry") << QPoint(0, 120) << wheel << 1 << 0;
        QTest::newRow("0.5: the next entry") << QPoint(0, 60) << wheel << 1 << 2;
        QTest::newRow("-1.0: the next entry") << QPoint(0, -120) << wheel << 1 << 2;
        QTest::newRow("sideways only: the next entry") << QPoint(120, 0) << wheel << 0 << 1;
        QTest::newRow("no movement at all: nowhere") << QPoint(0, 0) << wheel << 1 << 1;
        QTest::newRow("before the first: nothing") << QPoint(0, 120) << wheel << 0 << 0;
        QTest::newRow("after the last: nothing") << QPoint(0, -120) << wheel << 2 << 2;
        QTest::newRow("no entry selected: nothing") << QPoint(0, -120) << wheel << -1 << -1;
        QTest::newRow("gentle swipe up: nowhere") << QPoint() << QList<int>{10, 15, 20} << 1 << 1;
        QTest::newRow("two notches up in parts") << QPoint() << QList<int>{50, 50, 50, 50, 50} << 2 << 0;
        QTest::newRow("a notch and a bit down") << QPoint() << QList<int>{-70, -70} << 0 << 1;
    }
    void wheelStepsThroughTheEntries()
    {
        QFETCH(QPoint, angle);
        QFETCH(QList<int>, swipe);
        QFETCH(int, fromRow);
        QFETCH(int, toRow);
        AppFixture app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3});
        FilelistArrayController& model = app.nib->filelistArrayController();
        ButtonSelectFilelist* button = app.playlistWindow().btnFrame();
        const auto turn = [&](QWidget* target) {
            if (swipe.isEmpty())
                return wheel(target, angle);
            wheel(target, {}, Qt::ScrollBegin);
            for (int amount : swipe)
                wheel(target, QPoint(0, amount), Qt::ScrollUpdate);
            wheel(target, {}, Qt::ScrollEnd);
        };
        for (QWidget* target :
             {static_cast<QWidget*>(app.table().viewport()), static_cast<QWidget*>(button)}) {
            model.setSelectionIndex(fromRow);
            turn(target);
            QCOMPARE(model.selectionIndex(), toRow);
        }
        // a disabled button lets the wheel pass
        model.setSelectionIndex(fromRow);
        button->setEnabled(false);
        turn(button);
        QCOMPARE(model.selectionIndex(), fromRow);
    }

    void rightClickSelectsAndOpensTheMenu_data()
    {
        QTest::addColumn<QList<int>>("selectedPanes");
        QTest::addColumn<bool>("metaClick");
        QTest::addColumn<QList<int>>("afterPanes"); // and the menu opens, unless nothing was clicked
        QTest::newRow("three selected: added") << QList<int>{1, 2, 3} << false << QList<int>{1, 2, 3, 4};
        QTest::newRow("one selected: replaced") << QList<int>{1} << false << QList<int>{4};
        QTest::newRow("none selected") << QList<int>{} << false << QList<int>{4};
        QTest::newRow("Meta-click as a right click") << QList<int>{1, 2} << true << QList<int>{1, 2, 4};
        QTest::newRow("below the rows: nothing") << QList<int>{1} << false << QList<int>{1};
    }
    void rightClickSelectsAndOpensTheMenu()
    {
        QFETCH(QList<int>, selectedPanes);
        QFETCH(bool, metaClick);
        QFETCH(QList<int>, afterPanes);
        AppFixture app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3, 4});
        FilelistArrayController& model = app.nib->filelistArrayController();
        QList<ObjectId> selected;
        for (int viewNo : selectedPanes)
            selected << model.objectAtRow(app.rowOfPane(viewNo));
        model.setSelectedObjects(selected);
        const bool onARow = afterPanes.contains(4);
        const QPoint at =
            onARow ? app.centreOfRow(app.rowOfPane(4)) : QPoint(5, app.table().viewport()->height() - 3);
        if (metaClick)
            QTest::mouseClick(app.table().viewport(), Qt::LeftButton, Qt::MetaModifier, at);
        else
            QTest::mouseClick(app.table().viewport(), Qt::RightButton, {}, at);
        QList<int> after;
        for (ObjectId id : model.selectedObjects())
            after << app.ctx().value(id, LibrarySchema::ViewNo).toInt();
        QCOMPARE(after, afterPanes);
        QTRY_COMPARE(app.playlistWindow().cmFilelist()->isVisible(), onARow);
        app.playlistWindow().cmFilelist()->close();
    }

    // Play and stop by the play button, and by Space wherever the window has the keyboard (never pressing
    // the button that has it); the buttons follow what they act on.
    void playingAndTheButtons_data()
    {
        QTest::addColumn<QString>("by");
        QTest::newRow("the play button") << "button";
        QTest::newRow("Space in the tree") << "tree";
        QTest::newRow("Space in the table") << "table";
        QTest::newRow("Space on the remove button") << "remove";
    }
    void playingAndTheButtons()
    {
        QFETCH(QString, by);
        AppFixture app;
        QVERIFY(app.show());
        PlaylistWindow& window = app.playlistWindow();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QToolButton* play = window.btnPlay();
        QWidget* target = by == QLatin1String("tree")    ? static_cast<QWidget*>(&app.tree())
                          : by == QLatin1String("table") ? static_cast<QWidget*>(&app.table())
                                                         : static_cast<QWidget*>(window.btnRemove());
        const auto press = [&] {
            if (by == QLatin1String("button"))
                return play->click();
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Space);
        };
        // nothing to play: nothing happens
        app.build(QStringLiteral("a"));
        app.selectTitle(QStringLiteral("a"));
        app.nib->viewPlaylist().setControlButtonEnabled();
        QVERIFY(!play->isEnabled());
        press();
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.rows(), QStringLiteral("*a"));

        app.entry(QStringLiteral("a"), 2, QStringLiteral("/clips/2.mp4"));
        app.tree().setFilelistPredicateWithPlaylist(true);
        app.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(enabled(app), QStringLiteral("111"));
        press();
        QVERIFY(app.pane(2).isPlaying());
        QVERIFY(showsImage(play, ViewPlaylist::StopImage));
        press();
        QVERIFY(!app.pane(2).isPlaying());
        QVERIFY(showsImage(play, ViewPlaylist::PlayImage));
        QVERIFY(app.dialogs.alerts.isEmpty());

        // the table's part collapsed: no frame (the tree's is tested on a real display)
        QSplitter* split = window.spvPlaylist();
        const QList<int> sizes = split->sizes();
        split->setSizes({sizes[0] + sizes[1], 0});
        QCOMPARE(enabled(app), QStringLiteral("110"));
        split->setSizes(sizes);
        QCOMPARE(enabled(app), QStringLiteral("111"));
        // no playable pane left
        app.pane(2).clearMovieView();
        QVERIFY(!play->isEnabled());
    }
};

QTEST_MAIN(TestPlaylistWindow)
#include "tst_playlistwindow.moc"
