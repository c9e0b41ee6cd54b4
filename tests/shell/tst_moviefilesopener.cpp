// Files that come from outside the panes (the command line, a second launch, File > Open Movies, the file
// table) on the whole application on fakes: they go into panes 1 to 4 in order, after the playlist being
// loaded, and are refused as a whole with the alerts a drop gets.
#include "AppFixture.h"

#include "library/dialogExtension.h"
#include "panes/QTMovieSubView.h"
#include "shell/MovieFilesOpener.h"
#include "shell/commandLine.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>

using namespace tetrapan;
using tetrapan::test::AppFixture;

namespace {

QString clip(int n)
{
    return QStringLiteral("/clips/%1.mp4").arg(n);
}
QString given(int n)
{
    return QStringLiteral("/given/%1.mp4").arg(n);
}
QStringList givens(int count)
{
    QStringList paths;
    for (int n = 1; n <= count; ++n)
        paths << given(n);
    return paths;
}
// A file the engine cannot open.
const QString Refused = QStringLiteral("/given/refused.mp4");

} // namespace

class TestMovieFilesOpener : public QObject {
    Q_OBJECT

private:
    static QStringList panePaths(AppFixture& app)
    {
        QStringList paths;
        for (int n = 1; n <= 4; ++n)
            paths << app.nib->qtView(n).filePath();
        return paths;
    }
    // The chosen playlist's entries by pane, "" for a pane without one.
    static QStringList entryPaths(AppFixture& app)
    {
        QStringList paths(4);
        for (ObjectId id : app.ctx().fetch(LibrarySchema::Filelist)) {
            if (app.ctx().value(id, LibrarySchema::UniqueId).toString() == app.uid(QStringLiteral("a")))
                paths[app.ctx().value(id, LibrarySchema::ViewNo).toInt() - 1] =
                    app.ctx().value(id, LibrarySchema::FilePath).toString();
        }
        return paths;
    }
    static QStringList alertMessages(AppFixture& app)
    {
        QStringList messages;
        for (const AlertRequest& alert : std::as_const(app.dialogs.alerts))
            messages << alert.messageText;
        return messages;
    }

private Q_SLOTS:
    void filesWaitForThePlaylistBeingLoaded()
    {
        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        // chosen again, as at start: the panes load it half a second from now
        app.choose(QStringLiteral("b"));
        app.choose(QStringLiteral("a"), false);
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

    // Files refused as a whole, with one alert for all of them (the playlist alerts offer the playlist
    // window); a file that cannot be opened, or a remote URI from the command line (""), leaves its pane as
    // it was. The chosen playlist's entries follow the panes.
    void placing_data()
    {
        QTest::addColumn<QString>("chosen"); // the row chosen in the tree, "" for none
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("openPlaylists"); // the alert's answer
        QTest::addColumn<QStringList>("panes");  // none: as they were
        namespace de = dialogExtension;
        const QStringList none;
        QTest::newRow("five files") << "a" << givens(5) << QStringList{de::FiveOrMoreFilesAdded.message}
                                    << false << none;
        QTest::newRow("no playlist") << "" << givens(3) << QStringList{de::PlaylistIsNotSelected.message}
                                     << true << none;
        QTest::newRow("a folder") << "F" << givens(2) << QStringList{de::FolderIsSelected.message} << false
                                  << none;
        QTest::newRow("four files") << "a" << givens(4) << none << false << givens(4);
        QTest::newRow("one cannot be opened, one is remote")
            << "a" << QStringList{given(1), Refused, QString(), given(4)}
            << QStringList(2, de::CanNotCreateMovie.message) << false
            << QStringList{given(1), clip(2), clip(3), given(4)};
    }

    void placing()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, files);
        QFETCH(QStringList, messages);
        QFETCH(bool, openPlaylists);
        QFETCH(QStringList, panes);

        AppFixture app;
        app.build(QStringLiteral("F/(x)"));
        app.chooseWithEntries({1, 2, 3, 4});
        if (chosen != QLatin1String("a"))
            app.choose(chosen);
        const QStringList before = panePaths(app);
        app.engine.refusedPaths.insert(Refused);
        app.dialogs.alertAnswers = {DialogPresenter::FirstButton + (openPlaylists ? 0 : 1)};
        app.nib->movieFilesOpener().openFiles(files);
        app.scheduler.advance(MovieFilesOpener::PlaceDelay);

        QCOMPARE(alertMessages(app), messages);
        QCOMPARE(panePaths(app), panes.isEmpty() ? before : panes);
        QCOMPARE(app.playlistWindow().isVisible(), openPlaylists);
        if (chosen == QLatin1String("a"))
            QCOMPARE(entryPaths(app), panePaths(app));
    }

    void openMoviesAndTheFileTable()
    {
        AppFixture app;
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
        QTest::addColumn<QString>("path"); // "~" for the working folder, which holds "take:2.mp4"
        QTest::newRow("relative") << QString("clips/../a.mp4") << QString("~/a.mp4");
        QTest::newRow("file uri") << QString("file:///m/Match%203%20(cam%20%231).mkv")
                                  << QString("/m/Match 3 (cam #1).mkv");
        QTest::newRow("file uri with host") << QString("file://localhost/m/a.mp4") << QString("/m/a.mp4");
        QTest::newRow("remote uri") << QString("sftp://host/m/a.mp4") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("a file named like a uri") << QString("take:2.mp4") << QString("~/take:2.mp4");
    }

    void localPath()
    {
        QFETCH(QString, argument);
        QFETCH(QString, path);
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("take:2.mp4")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(commandLine::localPath(argument, folder.path()),
                 path.replace(QLatin1Char('~'), folder.path()));
    }
};

QTEST_MAIN(TestMovieFilesOpener)
#include "tst_moviefilesopener.moc"
