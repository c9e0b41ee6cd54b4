// Files that come from outside the panes (the command line, a second launch, File > Open Movies, the file
// table) on the whole application on fakes: they go into panes 1 to 4 in order, after the playlist being
// loaded, and are refused as a whole with the alerts a drop gets. The command line's arguments as read.
#include "AppFixture.h"
#include "TestClips.h"

#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "panes/CMMovieView.h"
#include "panes/QTMovieSubView.h"
#include "panes/SnapshotNotice.h"
#include "platform/fileNames.h"
#include "shell/EmptyLibraryHint.h"
#include "shell/MovieFilesOpener.h"
#include "shell/commandLine.h"

#include <QAbstractButton>
#include <QToolButton>

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>

using namespace tetrapan;
using tetrapan::test::AppFixture;
using namespace std::chrono_literals;

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
    // A playlist's entries by pane, "" for a pane without one.
    static QStringList entryPaths(AppFixture& app, const QString& uniqueId)
    {
        QStringList paths(4);
        for (ObjectId id : app.ctx().fetch(LibrarySchema::Filelist)) {
            if (app.ctx().value(id, LibrarySchema::UniqueId).toString() == uniqueId)
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
        app.placeOpenedFiles();
        QCOMPARE(panePaths(app), QStringList({given(1), given(2), clip(3), clip(4)}));
        QCOMPARE(entryPaths(app, app.uid(QStringLiteral("a"))), panePaths(app));
        // nothing loads the panes again afterwards
        const Movie* placed = app.nib->qtView(1).movie();
        app.scheduler.advance(MovController::ChangeDelay * 4);
        QCOMPARE(app.nib->qtView(1).movie(), placed);
        QVERIFY(app.dialogs.alerts.isEmpty());
    }

    // Files refused as a whole with one alert; with no playlist chosen, or a folder, a new playlist named
    // after the first file (in the folder) takes them. Files that cannot be opened, or a remote URI from the
    // command line (""), are named in one alert; their panes and entries stay as they were (what the user
    // had is not lost for a file that was no movie). The entries follow the panes.
    void placing_data()
    {
        QTest::addColumn<QString>("chosen"); // the row chosen in the tree, "" for none
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("made");      // the new playlist's rows, as the tree shows them
        QTest::addColumn<QStringList>("panes"); // none: as they were
        // over the panes, with Undo, when panes of a playlist the user had changed; a playlist made for the
        // files changed nothing of his
        QTest::addColumn<QString>("notice");
        namespace de = dialogExtension;
        const QStringList none;
        const QString all = "Playlist \u201Ca\u201D: pane 1 now shows 1.mp4, pane 2 now shows 2.mp4, "
                            "pane 3 now shows 3.mp4, pane 4 now shows 4.mp4.";
        QTest::newRow("five files") << "a" << givens(5) << QStringList{de::FiveOrMoreFilesAdded.message}
                                    << given(5) << "" << givens(4) << all;
        QTest::newRow("no playlist") << "" << givens(3) << none << ""
                                     << "F,a,b,*1" << QStringList{given(1), given(2), given(3), QString()}
                                     << "";
        QTest::newRow("a folder") << "F" << givens(2) << none << ""
                                  << "F,x,*1,a,b" << QStringList{given(1), given(2), QString(), QString()}
                                  << "";
        QTest::newRow("no playlist, its name taken")
            << "" << QStringList{"/given/a.mp4", QString()} << QStringList{de::CanNotCreateMovie.message}
            << "not a local file"
            << "F,a,b,a 2,*a 3" << QStringList{"/given/a.mp4", "", "", ""} << "";
        // a change made afterwards withdraws the notice: its Undo would take that change back instead
        QTest::newRow("four files, then a change") << "a" << givens(4) << none << ""
                                                   << "" << givens(4) << all;
        QTest::newRow("one cannot be opened, one is remote")
            << "a" << QStringList{given(1), Refused, QString(), given(4)}
            << QStringList{de::CanNotCreateMovie.message}
            << Refused + ": not found\nPane 2 keeps 2.mp4.\nnot a local file\nPane 3 keeps 3.mp4."
            << "" << QStringList{given(1), clip(2), clip(3), given(4)}
            << "Playlist \u201Ca\u201D: pane 1 now shows 1.mp4, pane 4 now shows 4.mp4.";
        QTest::newRow("the files shown already") << "a" << QStringList{clip(1), clip(2)} << none << ""
                                                 << "" << QStringList{} << "";
    }

    void placing()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, files);
        QFETCH(QString, made);
        QFETCH(QStringList, panes);

        AppFixture app;
        app.build(QStringLiteral("F/(x)"));
        app.chooseWithEntries({1, 2, 3, 4});
        if (chosen == QLatin1String("F"))
            app.tree().expand(app.indexOf(chosen));
        if (chosen != QLatin1String("a"))
            app.choose(chosen);
        if (QTest::currentDataTag() == QByteArray("no playlist, its name taken"))
            app.playlist(QStringLiteral("a 2"));
        const QStringList before = panePaths(app);
        app.engine.refusedPaths.insert(Refused);
        app.nib->movieFilesOpener().openFiles(files);
        app.placeOpenedFiles();

        QTEST(alertMessages(app), "messages");
        if (!app.dialogs.alerts.isEmpty())
            QTEST(app.dialogs.alerts.front().detailedText, "details");
        QCOMPARE(panePaths(app), panes.isEmpty() ? before : panes);
        QVERIFY(!app.playlistWindow().isVisible());
        if (!made.isEmpty())
            QCOMPARE(app.rows(), made);
        QCOMPARE(entryPaths(app, app.coordinator().uniqueId()), panePaths(app));

        SnapshotNotice& notice = app.nib->snapshotNotice();
        QTEST(notice.isHidden() ? QString() : notice.text(), "notice");
        if (notice.isHidden())
            return;
        QCOMPARE(notice.showFolderButton()->text(), QStringLiteral("Undo"));
        app.scheduler.advance(MovController::ChangeDelay); // nothing the program does meanwhile withdraws it
        const bool changedAfter = QTest::currentDataTag() == QByteArray("four files, then a change");
        if (changedAfter) {
            app.ctx().setValue(app.node(QStringLiteral("b")), LibrarySchema::Title, QStringLiteral("c"));
            app.ctx().processPendingChanges();
            QVERIFY(notice.isHidden());
        } else {
            QTest::mouseClick(notice.showFolderButton(), Qt::LeftButton);
        }
        QVERIFY(notice.isHidden());
        app.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(panePaths(app), changedAfter ? givens(4) : before);
        QCOMPARE(entryPaths(app, app.uid(QStringLiteral("a"))), panePaths(app));
    }

    // One Edit > Undo takes an opening back whole: the playlist made for it, its entries, the panes and the
    // title. The main window says how to begin while no playlist exists.
    void anOpeningUndoesAsOne()
    {
        AppFixture app;
        app.nib->showWindows();
        const QWidget& hint = *app.window().emptyLibraryHint();
        QVERIFY(hint.isVisible());
        // dropped on a pane, over the hint
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(given(1)), QUrl::fromLocalFile(given(2))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&app.pane(3), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&app.pane(3), &drop);
        app.placeOpenedFiles();
        QCOMPARE(app.rows(), QStringLiteral("*1"));
        QCOMPARE(panePaths(app), QStringList({given(1), given(2), QString(), QString()}));
        QCOMPARE(app.window().windowTitle(), QStringLiteral("1"));
        QVERIFY(!hint.isVisible());
        QVERIFY(app.dialogs.alerts.isEmpty());

        app.ctx().processPendingChanges();
        app.window().undoAction()->trigger();
        app.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(app.ctx().fetch(LibrarySchema::Playlist).size(), 0);
        QCOMPARE(app.entryCount(), 0);
        QCOMPARE(panePaths(app), QStringList(4));
        QCOMPARE(app.window().windowTitle(), QStringLiteral("Tetrapan"));
        QVERIFY(hint.isVisible());

        // Redo chooses the playlist again, as chosen as a click makes it: the next file goes into it
        app.window().redoAction()->trigger();
        app.scheduler.advance(MovController::ChangeDelay);
        QCOMPARE(app.rows(), QStringLiteral("*1"));
        QVERIFY(app.playlistWindow().btnRemove()->isEnabled());
        QCOMPARE(panePaths(app), QStringList({given(1), given(2), QString(), QString()}));
        app.dialogs.openPanelAnswers = {{given(3)}};
        app.window().openIntoPaneActions().at(2)->trigger();
        QCOMPARE(panePaths(app), QStringList({given(1), given(2), given(3), QString()}));
        QVERIFY(app.dialogs.alerts.isEmpty());
    }

    // File > Open Movie Into and an empty pane's menu put one file into one pane of the chosen playlist.
    void openIntoOnePane()
    {
        AppFixture app;
        app.chooseWithEntries({1});
        const Movie* first = app.pane(1).movie();
        app.dialogs.openPanelAnswers = {{given(3)}, {given(4)}};
        app.window().openIntoPaneActions().at(2)->trigger();
        // an empty pane's menu offers the same
        CMMovieView& menu = app.nib->cmMovieView(4);
        menu.menuNeedsUpdate();
        for (QAction* item : menu.actions()) {
            if (item->text() == QStringLiteral("Open Movie…"))
                item->trigger();
        }
        app.scheduler.advance(0ms);
        QCOMPARE(panePaths(app), QStringList({clip(1), QString(), given(3), given(4)}));
        QCOMPARE(app.pane(1).movie(), first);
        QCOMPARE(entryPaths(app, app.uid(QStringLiteral("a"))), panePaths(app));
        QVERIFY(app.dialogs.alerts.isEmpty());
        // with no playlist chosen the user hears so before choosing a file, and Open Playlist shows the tree
        app.choose(QString());
        app.window().openIntoPaneActions().at(0)->trigger();
        QCOMPARE(app.dialogs.openPanels.size(), 2);
        QCOMPARE(alertMessages(app), QStringList{dialogExtension::PlaylistIsNotSelected.message});
        QVERIFY(app.playlistWindow().isVisible());
    }

    void openMoviesAndTheFileTable()
    {
        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        app.dialogs.openPanelAnswers = {{given(3), given(4)}};
        app.nib->mainWindow().openMoviesAction()->trigger();
        app.placeOpenedFiles();
        QVERIFY(app.dialogs.openPanels.front().allowsMultipleSelection);
        QCOMPARE(panePaths(app), QStringList({given(3), given(4), clip(3), clip(4)}));
        // the panel offers the types the desktop entry lists, and opens next where the files came from
        QFile entry(QStringLiteral(TETRAPAN_SOURCE_DIR "/data/org.tetrapan.Tetrapan.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString types =
            QString::fromUtf8(entry.readAll()).section(QStringLiteral("MimeType="), 1).section('\n', 0, 0);
        QCOMPARE(app.dialogs.openPanels.front().mimeTypes, types.split(';', Qt::SkipEmptyParts));
        app.window().openMoviesAction()->trigger();
        QCOMPARE(app.dialogs.openPanels.at(1).directory, QStringLiteral("/given"));

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
        app.placeOpenedFiles();
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
        // a file on another machine, never the file of that name on this one
        QTest::newRow("file uri of another machine") << QString("file://nas/m/a.mp4") << QString();
        QTest::newRow("remote uri") << QString("sftp://host/m/a.mp4") << QString();
        // the name would end at the NUL, naming another file
        QTest::newRow("file uri with a NUL") << QString("file:///m/a.mp4%00.txt") << QString();
        QTest::newRow("file uri not UTF-8") << QString("file:///m/caf%E9%20cr%C3%A8me.mkv")
                                            << fileNames::fromBytes("/m/caf\xe9 cr\xc3\xa8me.mkv");
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

    // An export's options as read, the dialog's defaults for those not given; or the one line that refuses
    // them.
    void exportArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("read"); // format size range sound labels, or what the refusal names
        QTest::newRow("defaults") << QStringList{"--export", "a.mp4"} << "mp4 1280x720 whole mix none";
        QTest::newRow("all given") << QStringList{"--export",    "a.webm",  "--size", "1920x1080", "--range",
                                                  "1:05-1:35.5", "--sound", "2",      "--labels"}
                                   << "webm 1920x1080 65000-95500 pane2 labels";
        QTest::newRow("hours, seconds")
            << QStringList{"--export=a.mkv", "--range", "1:00:00-3700.25", "--sound", "none"}
            << "mkv 1280x720 3600000-3700250 none none";
        QTest::newRow("range backwards")
            << QStringList{"--export", "a.mp4", "--range", "1:35-1:05"} << "--range";
        QTest::newRow("range past a minute")
            << QStringList{"--export", "a.mp4", "--range", "1:75-2:00"} << "--range";
        QTest::newRow("range of one time") << QStringList{"--export", "a.mp4", "--range", "65"} << "--range";
        QTest::newRow("range past any movie")
            << QStringList{"--export", "a.mp4", "--range", "0-9999999999"} << "--range";
        QTest::newRow("range past counting")
            << QStringList{"--export", "a.mp4", "--range", "5-" + QString(400, u'9')} << "--range";
        QTest::newRow("range shorter than a millisecond")
            << QStringList{"--export", "a.mp4", "--range", "10-10.0004"} << "--range";
        QTest::newRow("size not WxH") << QStringList{"--export", "a.mp4", "--size", "1280"} << "--size";
        QTest::newRow("size too large") << QStringList{"--export", "a.mp4", "--size", "9000x100"} << "--size";
        QTest::newRow("size odd") << QStringList{"--export", "a.mp4", "--size", "1281x720"} << "--size";
        QTest::newRow("sound of no pane") << QStringList{"--export", "a.mp4", "--sound", "5"} << "--sound";
        QTest::newRow("no format") << QStringList{"--export", "a.avi"} << "--export";
        QTest::newRow("a new file named like a URI")
            << QStringList{"--export", "take:2.mp4"} << "mp4 1280x720 whole mix none";
        QTest::newRow("a URI of another machine")
            << QStringList{"--export", "file://far/a.mp4"} << "--export";
        QTest::newRow("an option alone") << QStringList{"--labels"} << "--export";
        QTest::newRow("with files") << QStringList{"--export", "a.mp4", "b.mp4"} << "--export";
        QTest::newRow("no file named") << QStringList{"--export"} << "export";
        // an option's value that looks like another option is the value
        QTest::newRow("a command named like an option")
            << QStringList{"--action", "--labels"} << "not an export";
        QTest::newRow("a playlist named like the export")
            << QStringList{"--playlist", "--export", "a.mp4"} << "not an export";
        QTest::newRow("a playlist named like the list")
            << QStringList{"--playlist", "--list-actions"} << "not an export";
    }

    void exportArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, read);
        QString why;
        const std::optional<commandLine::Request> request =
            commandLine::read(QStringList{QStringLiteral("tetrapan")} + arguments, &why);
        // the first look at the arguments, which picks the way the program starts, reads them as the parser
        std::vector<QByteArray> bytes{QByteArrayLiteral("tetrapan")};
        for (const QString& argument : arguments)
            bytes.push_back(argument.toUtf8());
        std::vector<const char*> argv;
        for (const QByteArray& argument : bytes)
            argv.push_back(argument.constData());
        if (request) {
            QCOMPARE(commandLine::asksForExport(int(argv.size()), argv.data()),
                     request->exporting.has_value());
            QCOMPARE(commandLine::asksForActionList(int(argv.size()), argv.data()), request->listActions);
        }
        if (read == QLatin1String("not an export")) {
            QVERIFY2(request && !request->exporting, qPrintable(why));
            return;
        }
        if (!request || !request->exporting) {
            QVERIFY2(why.contains(read) && !why.contains(QLatin1Char('\n')), qPrintable(why));
            return;
        }
        const commandLine::ExportRequest& asked = *request->exporting;
        const ExportChoices& chosen = asked.choices;
        const QString range =
            asked.rangeMs ? QStringLiteral("%1-%2").arg(asked.rangeMs->first).arg(asked.rangeMs->second)
                          : QStringLiteral("whole");
        const QString sound = chosen.sound == ExportSound::OnePane
                                  ? QStringLiteral("pane%1").arg(chosen.soundPane + 1)
                              : chosen.sound == ExportSound::None ? QStringLiteral("none")
                                                                  : QStringLiteral("mix");
        QCOMPARE(QStringLiteral("%1 %2x%3 %4 %5 %6")
                     .arg(exportExtension(chosen.format))
                     .arg(chosen.size.width())
                     .arg(chosen.size.height())
                     .arg(range, sound,
                          chosen.labels == ExportLabels::NameAndTime ? QStringLiteral("labels")
                                                                     : QStringLiteral("none")),
                 read);
        const qsizetype at = arguments.indexOf(QStringLiteral("--export"));
        const QString given = at >= 0 ? arguments.value(at + 1) : arguments.first().section(u'=', 1);
        QCOMPARE(asked.outputPath, QDir::current().absoluteFilePath(given));
    }

    // Qt reads an argument that is not UTF-8 with U+FFFD in it, which names no file
    void argumentsKeepTheirBytes()
    {
        const char* argv[] = {"tetrapan", "caf\xe9.mp4", nullptr};
        const QStringList read = commandLine::arguments({argv[0], QString::fromUtf8(argv[1])}, argv);
        QCOMPARE(fileNames::toBytes(read.at(1)), QByteArray(argv[1]));
    }

    // A folder opens as a recording, listed off the GUI thread: what is no movie is named in the details and
    // the rest plays; a folder with no movie of its own (or of the chosen camera) is refused naming it. The
    // entry keeps the folder and the camera.
    void recordings_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("camera"); // "*": the folder's movies as a chosen list
        QTest::addColumn<int>("pieces");     // -1: refused
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("details"); // a part of them; <folder> stands for the folder
        namespace de = dialogExtension;
        const QStringList cameras{"20260301_120000_front.mp4", "20260301_120000_back.mp4",
                                  "20260301_120100_front.mp4"};
        QTest::newRow("a folder, its text file left out")
            << QStringList{"20260301_120000.mp4", "20260301_120100.mp4", "notes.txt"} << "" << 2
            << de::RecordingFilesLeftOut.message << "notes.txt: not a movie";
        QTest::newRow("chosen files")
            << QStringList{"20260301_120000.mp4", "20260301_120100.mp4"} << "*" << 2 << ""
            << "";
        QTest::newRow("one camera") << cameras << "front" << 2 << ""
                                    << "";
        QTest::newRow("no movies") << QStringList{"notes.txt"} << "" << -1 << de::CanNotCreateMovie.message
                                   << "<folder>: the folder <folder> holds no movies";
        QTest::newRow("no movies of the camera")
            << cameras << "side" << -1 << de::CanNotCreateMovie.message << "holds no movies of camera side";
    }

    void recordings()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, camera);
        QFETCH(int, pieces);
        QFETCH(QString, message);
        QFETCH(QString, details);
        const test::TestClips clips = test::TestClips::makeForTests();
        QTemporaryDir folder;
        for (const QString& name : files)
            QVERIFY(QFile::copy(name.endsWith(".mp4") ? clips.red : clips.still, folder.filePath(name)));
        Recording source;
        if (camera == "*") {
            for (const QString& name : files)
                source.chosenFiles << folder.filePath(name);
        } else {
            source.folder = folder.path();
            source.camera = camera;
        }

        AppFixture app;
        app.chooseWithEntries({1, 2, 3, 4});
        if (source.chosenFiles.isEmpty()) {
            app.nib->movieFilesOpener().openFiles({RecordingSource::locator(source)});
        } else { // as File > Open Files as One Recording… chooses them
            app.dialogs.openPanelAnswers = {source.chosenFiles};
            app.window().openFilesAsRecordingAction()->trigger();
            QVERIFY(app.dialogs.openPanels.last().canChooseFiles);
        }
        app.placeOpenedFiles();

        QVERIFY2(alertMessages(app) == (message.isEmpty() ? QStringList() : QStringList{message}),
                 qPrintable(app.dialogs.alerts.value(0).detailedText));
        if (!message.isEmpty())
            QVERIFY2(app.dialogs.alerts.front().detailedText.contains(
                         QString(details).replace("<folder>", folder.path())),
                     qPrintable(app.dialogs.alerts.front().detailedText));
        if (pieces < 0) {
            QCOMPARE(app.pane(1).filePath(), clip(1));
            return;
        }
        QCOMPARE(app.engine.openedRecordings.size(), 1);
        QCOMPARE(app.engine.openedRecordings.last().pieces.size(), pieces);
        QCOMPARE(app.pane(1).filePath(), RecordingSource::locator(source));
        const ObjectId entry =
            app.ctx()
                .fetch(LibrarySchema::Filelist, Predicate::equals(LibrarySchema::UniqueId, app.uid("a"))
                                                    .andEquals(LibrarySchema::ViewNo, 1))
                .front();
        QCOMPARE(app.ctx().value(entry, LibrarySchema::FilePath).toString(), folder.path());
        QCOMPARE(app.ctx().value(entry, LibrarySchema::Camera).toString(), source.camera);
        QCOMPARE(app.ctx().value(entry, LibrarySchema::FileCount).toInt(), pieces);
        QCOMPARE(app.ctx().value(entry, LibrarySchema::FileSize).toLongLong(),
                 pieces * QFileInfo(clips.red).size());
        // the entry opens as it was placed when its playlist loads again
        app.choose(QStringLiteral("b"));
        app.choose(QStringLiteral("a"));
        QTRY_COMPARE(app.engine.openedRecordings.size(), 2);
        QCOMPARE(app.pane(1).filePath(), RecordingSource::locator(source));
    }
};

QTEST_MAIN(TestMovieFilesOpener)
#include "tst_moviefilesopener.moc"
