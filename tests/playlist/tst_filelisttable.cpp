#include "TableFixture.h"

#include "library/FilelistArrayController.h"
#include "panes/QTMovieSubView.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/TextColorTransformer.h"

#include <QDateTime>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QUndoStack>
#include <QWheelEvent>

using namespace tetrapan;
using tetrapan::test::TableApp;

namespace {

const QStringList AllButUniqueId{"filePath", "playTime", "fileSize", "fileDate"};

void wheel(QWidget* target, QPoint angle)
{
    QWheelEvent event(QPointF(5, 5), QPointF(target->mapToGlobal(QPoint(5, 5))), QPoint(), angle,
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

// The file table: its columns across hiding, dragging and runs, the cells it shows, removing, zooming and
// revealing entries, the wheel, and right clicks.
class TestFilelistTable : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartShowsEveryColumnButTheIdentifier()
    {
        TableApp app;
        QVERIFY(app.show());
        QCOMPARE(app.columns(), AllButUniqueId);
        QCOMPARE(app.headerMenu(), (QStringList{"Path*", "Time*", "Size*", "FileDate*"}));
        QAction* time = app.nib->cmFilelistHeader().actions().at(1);
        QCOMPARE(time->data().toString(), QStringLiteral("playTime,1"));
    }

    void hidingAndShowingWithinARun_data()
    {
        QTest::addColumn<int>("dragFrom"); // a column the user drags to the left end first; -1 none
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("whileHidden");
        QTest::addColumn<QStringList>("shownAgain");
        QTest::newRow("Time back at its place")
            << -1 << "Time" << QStringList{"filePath", "fileSize", "fileDate"} << AllButUniqueId;
        QTest::newRow("Path back at the left end")
            << -1 << "Path" << QStringList{"playTime", "fileSize", "fileDate"} << AllButUniqueId;
        QTest::newRow("Size dragged to the left end returns there")
            << 2 << "Size" << QStringList{"filePath", "playTime", "fileDate"}
            << QStringList{"fileSize", "filePath", "playTime", "fileDate"};
    }
    void hidingAndShowingWithinARun()
    {
        QFETCH(int, dragFrom);
        QFETCH(QString, title);
        QFETCH(QStringList, whileHidden);
        QFETCH(QStringList, shownAgain);
        TableApp app;
        QVERIFY(app.show());
        if (dragFrom >= 0) {
            QHeaderView* header = app.table().horizontalHeader();
            header->moveSection(header->visualIndex(header->logicalIndex(dragFrom)), 0);
        }
        app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), whileHidden);
        QVERIFY(!app.headerMenu().contains(title + QLatin1Char('*')));
        app.chooseInHeaderMenu(title);
        QCOMPARE(app.columns(), shownAgain);
    }

    void columnsAcrossRuns_data()
    {
        QTest::addColumn<bool>("byCloseBox"); // else the program quits with the window open
        QTest::newRow("window closed, then quit") << true;
        QTest::newRow("quit with the window open") << false;
    }
    void columnsAcrossRuns()
    {
        QFETCH(bool, byCloseBox);
        test::TestHome home;
        {
            TableApp app(home);
            QVERIFY(app.show());
            QHeaderView* header = app.table().horizontalHeader();
            header->moveSection(2, 0); // Size to the left end
            header->resizeSection(app.nib->filelistArrayController().columnOfKey("filePath"), 150);
            app.chooseInHeaderMenu(QStringLiteral("Time"));
            if (byCloseBox)
                QVERIFY(app.window().close());
            QVERIFY(app.nib->appDelegate().terminate());
        }
        TableApp app(home);
        QVERIFY(app.show());
        QCOMPARE(app.columns(), (QStringList{"fileSize", "filePath", "fileDate"}));
        QCOMPARE(app.table().columnWidth(app.nib->filelistArrayController().columnOfKey("filePath")), 150);
        QCOMPARE(app.headerMenu(), (QStringList{"Path*", "Time", "Size*", "FileDate*"}));
        // the columns missing from the stored state stood behind the stored ones
        app.chooseInHeaderMenu(QStringLiteral("Time"));
        QCOMPARE(app.columns(), (QStringList{"fileSize", "filePath", "fileDate", "playTime"}));
    }

    void theLastRunsPlaylistFillsTheTable()
    {
        test::TestHome home;
        {
            TableApp app(home);
            QVERIFY(app.show());
            app.chooseWithEntries({1, 3});
            QVERIFY(app.nib->appDelegate().terminate());
        }
        TableApp app(home);
        QCOMPARE(app.table().model()->rowCount(), 2);
        QCOMPARE(app.rowOfPane(3), 1);
    }

    void cellValues_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no play time") << "playTime" << QVariant(0) << "-";
        QTest::newRow("play time") << "playTime" << QVariant(125) << "2:05";
        QTest::newRow("an hour") << "playTime" << QVariant(3725) << "1:02:05";
        QTest::newRow("no size") << "fileSize" << QVariant(qint64(0)) << "";
        QTest::newRow("size") << "fileSize" << QVariant(qint64(3) << 30) << "3.0 GB";
        QTest::newRow("no date") << "fileDate" << QVariant() << "";
        QTest::newRow("date, local time")
            << "fileDate" << QVariant(QDateTime(QDate(2008, 3, 15), QTime(10, 20, 30)).toUTC())
            << "2008/03/15 10:20:30";
        QTest::newRow("path as stored") << "filePath" << QVariant("/clips/1.mp4") << "/clips/1.mp4";
    }
    void cellValues()
    {
        QFETCH(QString, identifier);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        TableApp app;
        app.chooseWithEntries({1});
        const ObjectId entry = app.nib->filelistArrayController().objectAtRow(0);
        app.ctx().setValue(entry, identifier, stored);
        QCOMPARE(app.table().objectValue(identifier, 0).toString(), shown);
    }

    void missingFilesAreGrey()
    {
        TableApp app;
        QTemporaryFile present;
        QVERIFY(present.open());
        app.chooseWithEntries({1, 2});
        app.ctx().setValue(app.nib->filelistArrayController().objectAtRow(0), "filePath", present.fileName());
        FilelistArrayController& model = app.nib->filelistArrayController();
        QCOMPARE(model.index(0, 0).data(Qt::ForegroundRole), QVariant());
        QCOMPARE(model.index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
        const TextColorTransformer transformer(app.ctx());
        QCOMPARE(transformer.transformedValue(NoObject), QVariant());
        QCOMPARE(TextColorTransformer::Name, QStringLiteral("TextColorTransformer"));
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
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3, 4});
        app.entry(QStringLiteral("b"), 1, QStringLiteral("/clips/b1.mp4"));
        for (int n = 1; n <= 4; ++n)
            QVERIFY(app.nib->qtView(n).movie());
        FilelistArrayController& model = app.nib->filelistArrayController();
        model.setSelectedObjects({model.objectAtRow(app.rowOfPane(1)), model.objectAtRow(app.rowOfPane(3))});
        if (how == QLatin1String("menu")) {
            app.window().removeEntryAction()->trigger();
        } else {
            app.window().activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&app.window()));
            app.table().setFocus();
            QTest::keyClick(&app.table(), Qt::Key_Delete);
        }
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(app.rowOfPane(1), -1);
        QCOMPARE(app.rowOfPane(3), -1);
        QCOMPARE(app.entryCount(), 3); // a's panes 2 and 4, and b's
        QVERIFY(!app.nib->qtView(1).movie());
        QVERIFY(app.nib->qtView(2).movie());
        QVERIFY(!app.nib->qtView(3).movie());
        QVERIFY(app.nib->qtView(4).movie());

        // one step back brings both
        app.ctx().processPendingChanges();
        app.ctx().undoManager()->undo();
        QCOMPARE(app.entryCount(), 5);
    }

    void nothingIsRemovedWithoutAChosenPlaylist()
    {
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1});
        app.nib->filelistArrayController().setSelectionIndex(0);
        app.selectTitle({});
        app.table().removeItem();
        QCOMPARE(app.entryCount(), 1);
        QVERIFY(app.nib->qtView(1).movie());
    }

    void doubleClickLetsTheEntrysPaneFillTheWindow()
    {
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3});
        QCOMPARE(app.coordinator().displayedViewNo(), 0);
        // as the window system delivers it: a click, then the second press as a double click
        const QPoint row = app.centreOfRow(app.rowOfPane(2));
        QTest::mouseClick(app.table().viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(app.table().viewport(), Qt::LeftButton, {}, row);
        QCOMPARE(app.coordinator().displayedViewNo(), 2);
        // the frame button does the same for the selected entry: again, so the even layout returns
        app.window().btnFrame()->click();
        QCOMPARE(app.coordinator().displayedViewNo(), 0);
    }

    void revealingTheFile_data()
    {
        QTest::addColumn<int>(
            "selection"); // 0 nothing, 1 an entry whose file is there, 2 one whose file is not
        QTest::newRow("file there") << 1;
        QTest::newRow("file missing") << 2;
        QTest::newRow("nothing selected") << 0;
    }
    void revealingTheFile()
    {
        QFETCH(int, selection);
        TableApp app;
        QTemporaryFile present;
        QVERIFY(present.open());
        app.chooseWithEntries({1, 2});
        FilelistArrayController& model = app.nib->filelistArrayController();
        app.ctx().setValue(model.objectAtRow(0), "filePath", present.fileName());
        model.setSelectionIndex(selection - 1);
        app.window().revealEntryAction()->trigger();
        if (selection == 1) {
            QCOMPARE(app.fileViewer.shownFiles, QStringList{present.fileName()});
            QVERIFY(app.dialogs.alerts.isEmpty());
        } else {
            QVERIFY(app.fileViewer.shownFiles.isEmpty());
            QCOMPARE(app.dialogs.alerts.size(), 1);
            QCOMPARE(app.dialogs.alerts.front().messageText, QStringLiteral("File is not found."));
            QCOMPARE(app.dialogs.alerts.front().buttons, QStringList{QStringLiteral("Cancel")});
        }
    }

    void wheelStepsThroughTheEntries_data()
    {
        QTest::addColumn<QPoint>("angle"); // 120 is one notch, a vertical amount of 1.0
        QTest::addColumn<int>("fromRow");
        QTest::addColumn<int>("toRow");
        QTest::newRow("1.0: the previous entry") << QPoint(0, 120) << 1 << 0;
        QTest::newRow("2.5: the previous entry") << QPoint(0, 300) << 2 << 1;
        QTest::newRow("0.5: the next entry") << QPoint(0, 60) << 1 << 2;
        QTest::newRow("-1.0: the next entry") << QPoint(0, -120) << 1 << 2;
        QTest::newRow("sideways only: the next entry") << QPoint(120, 0) << 0 << 1;
        QTest::newRow("no movement at all: nowhere") << QPoint(0, 0) << 1 << 1;
        QTest::newRow("before the first: nothing") << QPoint(0, 120) << 0 << 0;
        QTest::newRow("after the last: nothing") << QPoint(0, -120) << 2 << 2;
    }
    void wheelStepsThroughTheEntries()
    {
        QFETCH(QPoint, angle);
        QFETCH(int, fromRow);
        QFETCH(int, toRow);
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3});
        FilelistArrayController& model = app.nib->filelistArrayController();
        ButtonSelectFilelist* button = app.window().btnFrame();
        for (QWidget* target :
             {static_cast<QWidget*>(app.table().viewport()), static_cast<QWidget*>(button)}) {
            model.setSelectionIndex(fromRow);
            const int scrolled = app.table().verticalScrollBar()->value();
            wheel(target, angle);
            QCOMPARE(model.selectionIndex(), toRow);
            QCOMPARE(app.table().verticalScrollBar()->value(), scrolled);
        }
        // a disabled button lets the wheel pass
        model.setSelectionIndex(fromRow);
        button->setEnabled(false);
        wheel(button, angle);
        QCOMPARE(model.selectionIndex(), fromRow);
    }

    void rightClickSelectsAndOpensTheMenu_data()
    {
        QTest::addColumn<QList<int>>("selectedPanes");
        QTest::addColumn<bool>("metaClick");
        QTest::addColumn<QList<int>>("afterPanes");
        QTest::newRow("three selected: added") << QList<int>{1, 2, 3} << false << QList<int>{1, 2, 3, 4};
        QTest::newRow("one selected: replaced") << QList<int>{1} << false << QList<int>{4};
        QTest::newRow("none selected") << QList<int>{} << false << QList<int>{4};
        QTest::newRow("Meta-click as a right click") << QList<int>{1, 2} << true << QList<int>{1, 2, 4};
    }
    void rightClickSelectsAndOpensTheMenu()
    {
        QFETCH(QList<int>, selectedPanes);
        QFETCH(bool, metaClick);
        QFETCH(QList<int>, afterPanes);
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1, 2, 3, 4});
        FilelistArrayController& model = app.nib->filelistArrayController();
        QList<ObjectId> selected;
        for (int viewNo : selectedPanes)
            selected << model.objectAtRow(app.rowOfPane(viewNo));
        model.setSelectedObjects(selected);
        if (selected.isEmpty())
            model.selectionModel()->clearSelection();
        const QPoint at = app.centreOfRow(app.rowOfPane(4));
        if (metaClick)
            QTest::mouseClick(app.table().viewport(), Qt::LeftButton, Qt::MetaModifier, at);
        else
            QTest::mouseClick(app.table().viewport(), Qt::RightButton, {}, at);
        QList<int> after;
        for (ObjectId id : model.selectedObjects())
            after << app.ctx().value(id, LibrarySchema::ViewNo).toInt();
        QCOMPARE(after, afterPanes);
        QTRY_VERIFY(app.window().cmFilelist()->isVisible());
        app.window().cmFilelist()->close();
    }

    void rightClickBelowTheRowsDoesNothing()
    {
        TableApp app;
        QVERIFY(app.show());
        app.chooseWithEntries({1});
        FilelistArrayController& model = app.nib->filelistArrayController();
        model.setSelectionIndex(0);
        QTest::mouseClick(app.table().viewport(), Qt::RightButton, {},
                          QPoint(5, app.table().viewport()->height() - 3));
        QCOMPARE(model.selectionIndex(), 0);
        QVERIFY(!app.window().cmFilelist()->isVisible());
    }
};

QTEST_MAIN(TestFilelistTable)
#include "tst_filelisttable.moc"
