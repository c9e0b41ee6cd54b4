// Files that come from outside the panes (the command line, a second launch, File > Open Movies, the file
// table) on the whole application on fakes: they go into panes 1 to 4 in order, after the playlist being
// loaded, and are refused as a whole with the alerts a drop gets.
#include "TableFixture.h"

#include "library/dialogExtension.h"
#include "panes/QTMovieSubView.h"
#include "shell/MovieFilesOpener.h"
#include "shell/commandLine.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>

using namespace tetrapan;
using tetrapan::test::TableApp;

namespace {

QString clip(int n)
{
    return QStringLiteral("/clips/%1.mp4").arg(n);
}
QString given(int n)
{
    return QStringLiteral("/given/%1.mp4").arg(n);
}

} // namespace

class TestMovieFilesOpener : public QObject {
    Q_OBJECT

private:
    static QStringList panePaths(TableApp& app)
    {
        QStringList paths;
        for (int n = 1; n <= 4; ++n)
            paths << app.nib->qtView(n).filePath();
        return paths;
    }
    // The chosen playlist's entries by pane, "" for a pane without one.
    static QStringList entryPaths(TableApp& app)
    {
        QStringList paths(4);
        for (ObjectId id : app.ctx().fetch(LibrarySchema::Filelist)) {
            if (app.ctx().value(id, LibrarySchema::UniqueId).toString() == app.uid(QStringLiteral("a")))
                paths[app.ctx().value(id, LibrarySchema::ViewNo).toInt() - 1] =
                    app.ctx().value(id, LibrarySchema::FilePath).toString();
        }
        return paths;
    }
    static QStringList alertMessages(TableApp& app)
    {
        QStringList messages;
        for (const AlertRequest& alert : std::as_const(app.dialogs.alerts))
            messages << alert.messageText;
        return messages;
    }

private Q_SLOTS:
    void filesWaitForThePlaylistBeingLoaded()
    {
        TableApp app;
        app.chooseWithEntries({1, 2, 3, 4});
        // chosen again, as at start: the panes load it half a second from now
        app.selectTitle(QStringLiteral("b"));
        app.tree().setFilelistPredicateWithPlaylist(false);
        app.scheduler.advance(MovController::ChangeDelay);
        app.selectTitle(QStringLiteral("a"));
        app.tree().setFilelistPredicateWithPlaylist(false);
        QVERIFY(app.coordinator().hasPendingLoad());

        MovieFilesOpener& opener = app.nib->movieFilesOpener();
        opener.openFiles({given(1), given(2)});
        app.scheduler.advance(MovController::ChangeDelay / 2);
        QVERIFY(opener.hasPendingFiles());
        QCOMPARE(panePaths(app), QStringList({QString(), QString(), QString(), QString()}));

        app.scheduler.advance(MovController::ChangeDelay / 2);
        QVERIFY(!opener.hasPendingFiles());
        QCOMPARE(panePaths(app), QStringList({given(1), given(2), clip(3), clip(4)}));
        QCOMPARE(entryPaths(app), QStringList({given(1), given(2), clip(3), clip(4)}));
        // nothing loads the panes again afterwards
        const Movie* placed = app.nib->qtView(1).movie();
        app.scheduler.advance(MovController::ChangeDelay * 4);
        QCOMPARE(app.nib->qtView(1).movie(), placed);
        QVERIFY(app.dialogs.alerts.isEmpty());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("chosen"); // the row chosen in the tree, "" for none
        QTest::addColumn<int>("files");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("placed");

        QTest::newRow("five files") << "a" << 5
                                    << QStringList{QStringLiteral("Five or more files are added.")} << false;
        // one alert for all the files
        QTest::newRow("no playlist") << "" << 3 << QStringList{QStringLiteral("Playlist is not selected")}
                                     << false;
        QTest::newRow("a folder") << "F" << 2 << QStringList{QStringLiteral("Folder is selected")} << false;
        QTest::newRow("four files") << "a" << 4 << QStringList() << true;
    }

    void refusals()
    {
        QFETCH(QString, chosen);
        QFETCH(int, files);
        QFETCH(QStringList, messages);
        QFETCH(bool, placed);

        TableApp app;
        app.build(QStringLiteral("F/(x)"));
        app.chooseWithEntries({1, 2, 3, 4});
        if (chosen != QLatin1String("a")) {
            app.selectTitle(chosen);
            app.tree().setFilelistPredicateWithPlaylist(false);
            app.scheduler.advance(MovController::ChangeDelay);
        }
        const QStringList before = panePaths(app);
        app.dialogs.alertAnswers = {DialogPresenter::FirstButton + 1};
        QStringList paths;
        for (int n = 1; n <= files; ++n)
            paths << given(n);
        app.nib->movieFilesOpener().openFiles(paths);
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);

        QCOMPARE(alertMessages(app), messages);
        QCOMPARE(panePaths(app), placed ? paths : before);
    }

    void alertForAPlaylistOffersThePlaylistWindow()
    {
        TableApp app;
        app.build(QStringLiteral("a"));
        QVERIFY(!app.nib->playlistWindow().isVisible());
        app.dialogs.alertAnswers = {DialogPresenter::FirstButton};
        app.nib->movieFilesOpener().openFiles({given(1)});
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);
        QCOMPARE(alertMessages(app), QStringList{QStringLiteral("Playlist is not selected")});
        QVERIFY(app.nib->playlistWindow().isVisible());
    }

    void aFileThatCannotBeOpenedLeavesTheOthers()
    {
        TableApp app;
        app.chooseWithEntries({1, 2, 3, 4});
        app.engine.refusedPaths.insert(given(2));
        // a remote URI on the command line stands as ""
        app.nib->movieFilesOpener().openFiles({given(1), given(2), QString(), given(4)});
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);
        QCOMPARE(alertMessages(app), QStringList(2, dialogExtension::CanNotCreateMovie.message));
        QCOMPARE(panePaths(app), QStringList({given(1), clip(2), clip(3), given(4)}));
        QCOMPARE(entryPaths(app), QStringList({given(1), clip(2), clip(3), given(4)}));
    }

    void openMoviesAndTheFileTable()
    {
        TableApp app;
        app.chooseWithEntries({1, 2, 3, 4});
        app.dialogs.openPanelAnswers = {{given(3), given(4)}};
        app.nib->mainWindow().openMoviesAction()->trigger();
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);
        QVERIFY(app.dialogs.openPanels.front().allowsMultipleSelection);
        QCOMPARE(panePaths(app), QStringList({given(3), given(4), clip(3), clip(4)}));

        // dropped on the file table by a file manager: files only, in the drop's order; a pane's own drag
        // (which has a source in the program) is not taken there
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(given(2)), QUrl(QStringLiteral("https://example.org/x.mp4")),
                      QUrl::fromLocalFile(given(1))});
        QWidget* viewport = app.table().viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);
        QCOMPARE(panePaths(app), QStringList({given(2), given(1), clip(3), clip(4)}));

        // a source that would move the files away is refused, as on a pane
        QDragEnterEvent move(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QVERIFY(!move.isAccepted());
    }

    void localPath_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("path");

        QTest::newRow("absolute") << "/m/a.mp4"
                                  << "/m/a.mp4";
        QTest::newRow("relative") << "clips/../a.mp4"
                                  << "/work/a.mp4";
        QTest::newRow("file uri") << "file:///m/Match%203%20(cam%20%231).mkv"
                                  << "/m/Match 3 (cam #1).mkv";
        QTest::newRow("file uri with host") << "file://localhost/m/a.mp4"
                                            << "/m/a.mp4";
        QTest::newRow("remote uri") << "sftp://host/m/a.mp4"
                                    << "";
        QTest::newRow("web uri") << "https://example.org/a.mp4"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void localPath()
    {
        QFETCH(QString, argument);
        QFETCH(QString, path);
        QCOMPARE(commandLine::localPath(argument, QStringLiteral("/work")), path);
    }

    void aFileNamedLikeAUriIsThatFile()
    {
        QTemporaryDir dir;
        QFile file(QDir(dir.path()).filePath(QStringLiteral("take:2.mp4")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(commandLine::localPath(QStringLiteral("take:2.mp4"), dir.path()), file.fileName());
    }
};

QTEST_MAIN(TestMovieFilesOpener)
#include "tst_moviefilesopener.moc"
