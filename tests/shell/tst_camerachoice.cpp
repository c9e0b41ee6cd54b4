// A folder of several cameras' files on the whole application on fakes: given alone, a camera a pane; given
// for one pane (dropped on it, among the folders of Open Recordings or of a drop on the file table), the one
// camera the user chooses in a menu, with keys as he would; and File > Open Camera Folder's dialog.
#include "AppFixture.h"
#include "TestClips.h"

#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "panes/MoviePaneInput.h"
#include "panes/QTMovieSubView.h"
#include "shell/CameraFolderDialog.h"
#include "shell/MovieFilesOpener.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

// The user at the camera menu once it opens: the item that begins with `choice` chosen with the keys, Escape
// for "", and for "*" Open Camera Folder… and then the dialog's Open. offered: the menu's items.
void answerCameraMenu(QObject* context, const QString& choice, QStringList* offered)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, choice, offered] {
        if (auto* dialog = qobject_cast<CameraFolderDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            return dialog->accept();
        }
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !offered->isEmpty())
            return;
        for (QAction* item : menu->actions())
            offered->append(item->text());
        const QString wanted = choice == "*" ? QStringLiteral("Open Camera Folder") : choice + " ";
        for (QAction* item : menu->actions())
            if (!choice.isEmpty() && item->text().startsWith(wanted))
                menu->setActiveAction(item);
        if (choice != "*")
            poll->deleteLater();
        QTest::keyClick(menu, choice.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
    });
    poll->start(10);
}

} // namespace

class TestCameraChoice : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A pane plays one camera. Folder A holds cameras front (2 files) and back (1), or one camera, or names
    // without one; folder B, given with it, one camera. A folder of several cameras given for one pane asks
    // which; the pane then plays that camera's files only, its entry keeps the folder and the camera, and it
    // loads so again. Closing the menu changes nothing; a folder of one camera is not asked about.
    void oneCameraAPane_data()
    {
        QTest::addColumn<QString>("given"); // pane: dropped on pane 2; recordings, table: A and B, panes 1, 2
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("camera"); // the pane's: "-" as it was, "" the whole folder
        const QStringList cameras{"20260301_120000_front.mp4", "20260301_120000_back.mp4",
                                  "20260301_120100_front.mp4"};
        const QStringList front{"20260301_120000_front.mp4", "20260301_120100_front.mp4"};
        const QStringList plain{"20260301_120000.mp4", "20260301_120100.mp4"};
        QTest::newRow("dropped on a pane, back chosen") << "pane" << cameras << "back"
                                                        << "back";
        QTest::newRow("dropped on a pane, menu closed") << "pane" << cameras << ""
                                                        << "-";
        QTest::newRow("dropped on a pane, one camera") << "pane" << front << ""
                                                       << "";
        QTest::newRow("dropped on a pane, Camera Folder dialog") << "pane" << cameras << "*"
                                                                 << "*";
        QTest::newRow("Open Recordings, front chosen") << "recordings" << cameras << "front"
                                                       << "front";
        QTest::newRow("Open Recordings, menu closed") << "recordings" << cameras << ""
                                                      << "-";
        QTest::newRow("Open Recordings, no camera names") << "recordings" << plain << ""
                                                          << "";
        QTest::newRow("dropped on the file table, back chosen") << "table" << cameras << "back"
                                                                << "back";
    }

    void oneCameraAPane()
    {
        QFETCH(QString, given);
        QFETCH(QStringList, names);
        QFETCH(QString, choice);
        QFETCH(QString, camera);
        const test::TestClips clips = test::TestClips::makeForTests();
        QTemporaryDir a;
        QTemporaryDir b;
        for (const QString& name : names)
            QVERIFY(QFile::copy(clips.red, a.filePath(name)));
        QVERIFY(QFile::copy(clips.green, b.filePath("20260301_120000_solo.mp4")));
        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        QStringList offered;
        QObject user; // answers this row's menu only
        answerCameraMenu(&user, choice, &offered);
        const int pane = given == "pane" ? 2 : 1;
        QMimeData data;
        data.setUrls(given == "pane"
                         ? QList<QUrl>{QUrl::fromLocalFile(a.path())}
                         : QList<QUrl>{QUrl::fromLocalFile(a.path()), QUrl::fromLocalFile(b.path())});
        if (given == "recordings") {
            app.dialogs.openPanelAnswers = {{a.path(), b.path()}};
            app.window().openRecordingsAction()->trigger();
        } else { // as a file manager drops them
            QWidget* target = given == "pane" ? static_cast<QWidget*>(&app.pane(2)) : app.table().viewport();
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &drop);
            QVERIFY(drop.isAccepted());
        }
        app.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay);
        const auto cameraOfA = [&a](const QString& name) {
            Recording source;
            source.folder = a.path();
            source.camera = name;
            return RecordingSource::locator(source);
        };
        const QString shown = camera == "-"   ? QStringLiteral("/clips/%1.mp4").arg(pane)
                              : camera == "*" ? cameraOfA("back")
                                              : cameraOfA(camera);
        const int shownIn = camera == "*" ? 1 : pane;
        QTRY_VERIFY(names.size() < 3 || !offered.isEmpty()); // and answered: the menu's loop has ended
        app.scheduler.advance(MovieFilesOpener::PlaceDelay); // the Camera Folder dialog's request
        QTRY_VERIFY(!app.nib->movieFilesOpener().hasPendingFiles() && app.pane(shownIn).filePath() == shown);
        QCOMPARE(offered.mid(1, 2),
                 names.size() == 3 ? QStringList({"back — 1 file", "front — 2 files"}) : QStringList());
        QVERIFY(app.dialogs.alerts.isEmpty());
        if (camera == "-") {
            QCOMPARE(app.pane(1).filePath(), "/clips/1.mp4");
            QCOMPARE(app.pane(2).filePath(), "/clips/2.mp4");
            QVERIFY(app.engine.openedRecordings.isEmpty());
            return;
        }
        if (camera == "*") { // a playlist of the folder's cameras, one a pane
            QCOMPARE(app.pane(2).filePath(), cameraOfA("front"));
            QCOMPARE(app.ctx().value(
                         app.coordinator().tbArrayController()->getSelectedObject(LibrarySchema::Playlist),
                         LibrarySchema::Title),
                     QFileInfo(a.path()).fileName());
            return;
        }
        if (given != "pane")
            QCOMPARE(app.pane(2).filePath(), b.path());
        // the pane's recording holds the chosen camera's files, and only them
        QStringList played;
        for (const Recording& opened : std::as_const(app.engine.openedRecordings))
            if (opened.folder == a.path() || opened.chosenFiles.value(0).startsWith(a.path()))
                for (const RecordingPiece& piece : opened.pieces)
                    played << QFileInfo(piece.path).fileName();
        played.sort();
        QCOMPARE(played, camera == "back"   ? QStringList{"20260301_120000_back.mp4"}
                         : camera.isEmpty() ? names
                                            : QStringList(names).filter("_" + camera + "."));
        const ObjectId entry =
            app.ctx()
                .fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::UniqueId, app.uid("a"))
                                                    .andEquals(LibrarySchema::ViewNo, pane))
                .front();
        QCOMPARE(app.ctx().value(entry, LibrarySchema::FilePath).toString(), a.path());
        QCOMPARE(app.ctx().value(entry, LibrarySchema::Camera).toString(), camera);
        app.choose(QStringLiteral("b"));
        app.choose(QStringLiteral("a"));
        QTRY_COMPARE(app.pane(pane).filePath(), shown);
    }

    // A folder listed while the user goes to another playlist is not placed in that one.
    void aFolderListedAfterItsPlaylistWasLeft()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QTemporaryDir a;
        QVERIFY(QFile::copy(clips.red, a.filePath("20260301_120000_front.mp4")));
        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a.path())});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&app.pane(2), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&app.pane(2), &drop);
        QVERIFY(drop.isAccepted());
        app.scheduler.advance(MoviePaneInput::PlaceDroppedFileDelay); // the listing starts
        app.choose(QStringLiteral("b"));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents(); // its answer
        app.settle();
        QCOMPARE(app.pane(2).filePath(), QString());
        QVERIFY(app.ctx()
                    .fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::FilePath, a.path()))
                    .isEmpty());
        QVERIFY(app.dialogs.alerts.isEmpty());
    }

    // One folder of several cameras' files, given alone as any folder is: a playlist of its own, named after
    // the folder, a camera a pane in name order.
    void cameraFolder()
    {
        const test::TestClips clips = test::TestClips::makeForTests();
        QTemporaryDir folder;
        for (const char* name : {"20260301_120000_front.mp4", "20260301_120000_back.mp4",
                                 "20260301_120100_front.mp4", "20260301_120200.mp4"})
            QVERIFY(QFile::copy(clips.red, folder.filePath(name)));
        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        app.nib->movieFilesOpener().openFiles({folder.path()});
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);
        QTRY_VERIFY(!app.nib->movieFilesOpener().hasPendingFiles());
        QVERIFY(app.dialogs.alerts.isEmpty());
        QCOMPARE(
            app.ctx().value(app.coordinator().tbArrayController()->getSelectedObject(LibrarySchema::Playlist),
                            LibrarySchema::Title),
            QFileInfo(folder.path()).fileName());
        QStringList cameras;
        for (const Recording& opened : std::as_const(app.engine.openedRecordings))
            cameras << opened.camera + "=" + QString::number(opened.pieces.size());
        cameras.sort(); // the panes' listings end in any order
        // the files whose names name no camera are one more camera, and play alone
        QCOMPARE(cameras, QStringList({"=1", "back=1", "front=2"}));
        QCOMPARE(RecordingSource::fromLocator(app.pane(1).filePath())->chosenFiles,
                 QStringList{folder.filePath("20260301_120200.mp4")});
        QCOMPARE(RecordingSource::fromLocator(app.pane(2).filePath())->camera, QStringLiteral("back"));
        QCOMPARE(RecordingSource::fromLocator(app.pane(3).filePath())->camera, QStringLiteral("front"));
        QCOMPARE(app.pane(4).filePath(), QString());

        // the folder removed while its cameras play: every pane stops, each saying why
        QVERIFY(folder.remove());
        QTRY_COMPARE(app.dialogs.alerts.size(), 3);
        QCOMPARE(app.dialogs.alerts.first().messageText, dialogExtension::RecordingFolderRemoved.message);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(app.pane(n).filePath(), QString());
    }

    // Open Camera Folder's choice: the first four cameras ticked, in the order the user leaves them.
    void cameraFolderDialog()
    {
        QMap<QString, QStringList> cameras;
        for (const char* camera : {"a", "b", "c", "d", "e"})
            cameras.insert(camera, {QStringLiteral("/cams/%1.mp4").arg(camera)});
        CameraFolderDialog dialog(QStringLiteral("/cams"), cameras);
        QCOMPARE(dialog.chosenCameras(), QStringList({"a", "b", "c", "d"}));
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("cameras"));
        const auto button = [&dialog](const QString& text) {
            for (QPushButton* found : dialog.findChildren<QPushButton*>())
                if (found->text() == text)
                    return found;
            return static_cast<QPushButton*>(nullptr);
        };
        list->setCurrentRow(4);
        QTest::mouseClick(button("Up"), Qt::LeftButton); // e above d
        list->item(0)->setCheckState(Qt::Unchecked);     // a out
        list->item(3)->setCheckState(Qt::Checked);       // e in
        QCOMPARE(dialog.chosenCameras(), QStringList({"b", "c", "e", "d"}));
        list->setCurrentRow(0);
        QTest::mouseClick(button("Up"), Qt::LeftButton); // nowhere to go
        QCOMPARE(dialog.chosenCameras(), QStringList({"b", "c", "e", "d"}));
    }
};

QTEST_MAIN(TestCameraChoice)
#include "tst_camerachoice.moc"
