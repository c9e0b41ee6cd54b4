// The real program as the desktop starts it, on a real X server: files from the command line and from a
// second launch, one program per library, files dragged in from and out to another program over XDND (the
// pointer driven through the X server), and quitting promptly in every way, whatever the movies are doing.
// A second launch finds the first on a session bus of the test's own.
#include "FrameBarcode.h"
#include "ProgramProcess.h"
#include "ScreenProbe.h"
#include "TestClips.h"
#include "TestHome.h"

#include "platform/SettingsDomain.h"
#include "platform/fileNames.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MediaControls.h"
#include "shell/SingleInstance.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <cstdio>

using namespace tetrapan;
using test::ProgramProcess;

namespace {

const QString Angles = QStringLiteral("Angles");
// A quit that hangs now and then must show up: each way is tried this often, and may take at most that
// long, far beyond what quitting takes (printed for each run). Each try starts the program and plays four
// panes, a second and a half: twice in make test (eight tries, which a quit hanging one time in six fails
// three times in four), eight times in make test-long (TETRAPAN_LONG_TESTS; thirty-two, all but
// surely).
const int QuitRuns = qEnvironmentVariableIsSet("TETRAPAN_LONG_TESTS") ? 8 : 2;
constexpr int QuitTimeoutMs = 6000;

enum class QuitBy { QuitKey, Signal, CloseBox };

// A window of another program that files are dragged from (pressing into it starts the drag) and dropped on.
class FileManagerWindow : public QWidget {
public:
    QList<QUrl> dragged;
    Qt::DropAction dragResult = Qt::IgnoreAction;
    bool dragEnded = false;
    QHash<QString, QByteArray> dropped; // format -> data

    FileManagerWindow()
    {
        setAcceptDrops(true);
        setGeometry(1000, 620, 200, 150);
        setWindowTitle(QStringLiteral("Files"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* data = new QMimeData;
        data->setUrls(dragged);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        dragResult = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
        dragEnded = true;
    }
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        for (const QString& format : event->mimeData()->formats())
            dropped.insert(format, event->mimeData()->data(format));
        event->acceptProposedAction();
    }
};

} // namespace

class TestDesktopApplication : public QObject {
    Q_OBJECT

private:
    test::TestClips clips;
    test::ScreenProbe screen;
    QString toldStatus; // the last PlaybackStatus the program sent with PropertiesChanged

    QStringList paneColours() { return test::paneColours(screen); }
    // Where pane n's picture is on the screen: as far as its colour reaches from the pane's middle.
    QRect pictureOf(int viewNo)
    {
        const QImage shot = screen.grab(test::MainFrame);
        const QPoint centre = test::paneCentre(viewNo);
        const QColor colour = shot.pixelColor(centre);
        const auto reach = [&](QPoint step) {
            QPoint at = centre;
            while (shot.rect().contains(at + step) &&
                   test::ScreenProbe::near(shot.pixelColor(at + step), colour))
                at += step;
            return at;
        };
        return QRect(QPoint(reach({-1, 0}).x(), reach({0, -1}).y()),
                     QPoint(reach({1, 0}).x(), reach({0, 1}).y()))
            .translated(test::MainFrame.topLeft());
    }
    QString framesIn(const QList<QRect>& pictures)
    {
        QList<std::optional<int>> frames;
        for (const QRect& picture : pictures)
            frames << test::FrameBarcode::read(screen.grab(picture));
        return test::ScreenProbe::text(frames);
    }

    // The program started on the library, its main window up and pane 1 showing its movie.
    bool startOn(ProgramProcess& app, const QStringList& arguments = {}, const QString& paneOne = "red")
    {
        return test::startShowing(app, screen, Angles, paneOne, arguments);
    }

public Q_SLOTS:
    void playerPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == MediaControls::PlayerInterface && changed.contains(QStringLiteral("PlaybackStatus")))
            toldStatus = changed.value(QStringLiteral("PlaybackStatus")).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (make test runs the tests under xvfb-run)");
        clips = test::TestClips::makeForTests();
        QVERIFY2(clips.ok(), qPrintable(clips.error));
    }

    void commandLineFilesGoIntoPanesAfterTheRestoredPlaylist()
    {
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red, clips.green, clips.blue, clips.yellow}, true));
        // as a launcher passes them: a path from the working folder, which after "--" is a file even where
        // it looks like an option, and a URI
        QTemporaryDir folder;
        const QString named = folder.filePath(QStringLiteral("--help"));
        QVERIFY(QFile::copy(clips.yellow, named));
        // and a name that is not UTF-8, which must be kept byte for byte
        const QString notUtf8 = fileNames::fromBytes(QFile::encodeName(folder.path()) + "/caf\xe9.mp4");
        QVERIFY(QFile::copy(clips.blue, fileNames::shown(notUtf8)) &&
                ::rename(QFile::encodeName(fileNames::shown(notUtf8)), fileNames::toBytes(notUtf8)) == 0);
        test::SessionBus bus;
        ProgramProcess app(home, bus.address());
        app.workingFolder = folder.path();
        QVERIFY(startOn(app,
                        {QStringLiteral("--"), QStringLiteral("--help"),
                         fileNames::toFileUrl(notUtf8).toString(QUrl::FullyEncoded)},
                        QStringLiteral("yellow")));
        const QStringList placed{"yellow", "blue", "blue", "yellow"};
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), placed, ProgramProcess::WaitMs);
        // started with the desktop's 1024 open files, it takes all the system allows: a recording of a day
        // of minute-long files opens thousands
        QFile limits(QStringLiteral("/proc/%1/limits").arg(app.pid()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        const QStringList files = QString::fromLatin1(limits.readAll())
                                      .section(QStringLiteral("Max open files"), 1, 1)
                                      .section(u'\n', 0, 0)
                                      .split(u' ', Qt::SkipEmptyParts);
        QVERIFY2(files.size() >= 2 && files[0] == files[1], qPrintable(files.join(u' ')));
        // a command is answered once no load is pending or under way: the playlist's own load did not come
        // after the files
        QDBusInterface application(SingleInstance::serviceName(), SingleInstance::ObjectPath,
                                   QStringLiteral("org.freedesktop.Application"),
                                   QDBusConnection::connectToBus(bus.address(), QStringLiteral("command")));
        const QDBusMessage answer =
            application.call(QStringLiteral("ActivateAction"), QStringLiteral("to-the-beginning"),
                             QVariantList(), QVariantMap());
        QCOMPARE(answer.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(paneColours(), placed);

        // Ctrl+Q typed in the playlist window quits, saving the placed files, which the next start shows
        const test::XServer::Window playlists = app.window(QStringLiteral("Playlist"));
        app.x.focus(playlists);
        app.x.key(playlists, 'q', XCB_MOD_MASK_CONTROL);
        QCOMPARE(app.finished(), 0);
        QCOMPARE(test::savedEntry(home, 1), named);
        QCOMPARE(test::savedEntry(home, 2), notUtf8);
        ProgramProcess again(home);
        QVERIFY(startOn(again, {}, QStringLiteral("yellow")));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), placed, ProgramProcess::WaitMs);
        QVERIFY(again.quit());
    }

    // A new user's first start with files: a playlist of their own, named after the first file, and no alert;
    // one Ctrl+Z takes the opening back.
    void aNewUserOpensFilesIntoANewPlaylist()
    {
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, QString(), {}, false));
        ProgramProcess app(home);
        QVERIFY(app.start({clips.red, clips.green}));
        const test::XServer::Window main = app.window(QStringLiteral("red"));
        QVERIFY(main.id != XCB_WINDOW_NONE);
        const QString black = QColor(Qt::black).name();
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), (QStringList{"red", "green", black, black}),
                                  ProgramProcess::WaitMs);
        QCOMPARE(app.window(QStringLiteral("Tetrapan"), 1000).id, XCB_WINDOW_NONE);

        app.x.focus(main);
        app.x.key(main, 'z', XCB_MOD_MASK_CONTROL);
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), QStringList(4, black), ProgramProcess::WaitMs);
        QVERIFY(app.window(QStringLiteral("Tetrapan")).id != XCB_WINDOW_NONE);
        QVERIFY(app.quit());
    }

    // Signals come half a second after the change, well before the pause after which it is saved anyway.
    void quitsPromptlyAfterPlayingWithTheLibrarySaved_data()
    {
        QTest::addColumn<QuitBy>("by");
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("Ctrl+Q") << QuitBy::QuitKey << 0;
        QTest::newRow("SIGTERM") << QuitBy::Signal << int(SIGTERM);
        // a terminal closed, a session hung up
        QTest::newRow("SIGHUP") << QuitBy::Signal << int(SIGHUP);
        QTest::newRow("close box") << QuitBy::CloseBox << 0;
    }

    void quitsPromptlyAfterPlayingWithTheLibrarySaved()
    {
        QFETCH(QuitBy, by);
        QFETCH(int, signalNumber);
        for (int run = 1; run <= QuitRuns; ++run) {
            test::TestHome home;
            QVERIFY(
                test::writeLibrary(home, Angles, {clips.red, clips.green, clips.blue, clips.yellow}, true));
            {
                // a volume to hear: at the first start's 0.0 no pane decodes its sound
                SettingsDomain settings(home.settingsFile());
                userDefaultsExtension::setDefaultFloatValue(settings, 0.5f, QStringLiteral("optPlayVolume"));
            }
            QVERIFY(test::readAll(home.settingsFile()).contains("\"optPlayVolume\": 0.5"));
            ProgramProcess app(home);
            // a machine without sound: no server in the runtime folder, no card
            QTemporaryDir runtime, temporary;
            app.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
            app.environment.insert(QStringLiteral("TMPDIR"), temporary.path());
            QVERIFY(startOn(app));
            const test::XServer::Window main = app.window(Angles);
            const test::XServer::Window playlists = app.window(QStringLiteral("Playlist"));
            QTRY_COMPARE_WITH_TIMEOUT(paneColours(), (QStringList{"red", "green", "blue", "yellow"}),
                                      ProgramProcess::WaitMs);

            // Space in the playlist window plays all four, with sound; pane 3's frame counter moves on screen
            const QRect paneThree(main.geometry.center().x(), main.geometry.top(), main.geometry.width() / 2,
                                  main.geometry.height() / 2);
            const QImage still = screen.grab(paneThree);
            app.x.focus(playlists);
            app.x.key(playlists, ' ');
            QTRY_VERIFY_WITH_TIMEOUT(screen.grab(paneThree) != still, ProgramProcess::WaitMs);
            // a change for quitting to save: a new playlist, which the panes are emptied for meanwhile
            app.x.key(playlists, 'n', XCB_MOD_MASK_CONTROL);
            QTRY_COMPARE_WITH_TIMEOUT(app.x.find(QStringLiteral("New Playlist")).id, main.id,
                                      ProgramProcess::WaitMs);

            QElapsedTimer quitting;
            quitting.start();
            if (by == QuitBy::QuitKey) {
                app.x.focus(main);
                app.x.key(main, 'q', XCB_MOD_MASK_CONTROL);
            }
            if (by == QuitBy::Signal) {
                // once the panes are emptied for the new playlist: the change is in, and not saved yet
                QTRY_COMPARE_WITH_TIMEOUT(paneColours(), QStringList(4, QColor(Qt::black).name()),
                                          ProgramProcess::WaitMs);
                quitting.start();
                QVERIFY(app.sendSignal(signalNumber));
            }
            if (by == QuitBy::CloseBox)
                app.x.close(main);
            const int exitCode = app.finished(QuitTimeoutMs);
            qInfo("run %d: quit in %lld ms", run, quitting.elapsed());
            QCOMPARE(exitCode, 0);
            QVERIFY(test::readAll(home.libraryFile()).contains("New Playlist"));
            const QDir libraryFolder = QFileInfo(home.libraryFile()).dir();
            QVERIFY(!QFileInfo::exists(libraryFolder.filePath(SingleInstance::lockFileName())));
            // nothing from the sound libraries (or anyone else) on the terminal, and nothing left behind
            QCOMPARE(app.errors(), QByteArray());
            QCOMPARE(QDir(temporary.path()).entryList({QStringLiteral("pulse-*")}, QDir::Dirs),
                     QStringList());
        }
    }

    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        test::SessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red, clips.green, clips.blue, clips.yellow}, false));
        ProgramProcess first(home, bus.address());
        QVERIFY(startOn(first));

        ProgramProcess second(home, bus.address());
        QVERIFY(second.start({clips.yellow, clips.yellow}));
        QCOMPARE(second.finished(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), (QStringList{"yellow", "yellow", "blue", "yellow"}),
                                  ProgramProcess::WaitMs);
        // started again without files: the first comes forward, the second ends
        ProgramProcess third(home, bus.address());
        QVERIFY(third.start());
        QCOMPARE(third.finished(), 0);
        // Ctrl+C in a terminal ends it as the session does
        QVERIFY(first.quit(SIGINT));
        QCOMPARE(test::savedEntry(home, 2), clips.yellow);
    }

    // A launch while the program that has the library quits (gone from the bus, the lock still held while
    // it ends) waits for it to end and starts in its place with its files, instead of being refused.
    void aLaunchWhileTheProgramQuitsStartsInItsPlace()
    {
        test::SessionBus bus;
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, QString(), {}, false));
        auto quitting = std::make_unique<SingleInstance>(
            QFileInfo(home.libraryFile()).absolutePath(),
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("quit")));
        QCOMPARE(quitting->start({}), SingleInstance::Role::First);
        quitting->stopTakingFiles();
        ProgramProcess later(home, bus.address());
        QVERIFY(later.start({clips.red}));
        // long enough for the launch to have found the library taken
        QTest::qWait(1500);
        quitting.reset();
        QVERIFY(later.window(QStringLiteral("red")).id != XCB_WINDOW_NONE);
        QTRY_COMPARE_WITH_TIMEOUT(paneColours().value(0), QStringLiteral("red"), ProgramProcess::WaitMs);
        QVERIFY(later.quit());
    }

    // The desktop's media controls, as playerctl calls them: each command acts on the panes' pictures and
    // shows in the player's properties.
    void mediaControlsPlayChooseAndMoveThePanes()
    {
        test::SessionBus bus;
        test::TestHome home;
        const QString frames = QStringLiteral("Frames");
        QVERIFY(test::writeLibrary(home,
                                   {{Angles, {clips.red, clips.green, clips.blue, clips.yellow}},
                                    {frames, {clips.barcodeLong, QString(), clips.barcodeLong}}},
                                   false));
        ProgramProcess app(home, bus.address());
        QVERIFY(startOn(app));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), (QStringList{"red", "green", "blue", "yellow"}),
                                  ProgramProcess::WaitMs);
        // the barcode clips show where the colour clips did: the same size of picture
        const QList<QRect> pictures{pictureOf(1), pictureOf(3)};
        QDBusInterface player(MediaControls::ServiceName, MediaControls::ObjectPath,
                              MediaControls::PlayerInterface,
                              QDBusConnection::connectToBus(bus.address(), QStringLiteral("controls")));
        QVERIFY2(player.isValid(), qPrintable(player.lastError().message()));
        // the bus names its receivers' slots only by their signatures
        QVERIFY(player.connection().connect(
            MediaControls::ServiceName, MediaControls::ObjectPath,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"), this,
            SLOT(playerPropertiesChanged(QString, QVariantMap, QStringList))));
        const auto title = [&] {
            return player.property("Metadata").toMap().value("xesam:title").toString();
        };
        QCOMPARE(title(), Angles);
        QCOMPARE(player.property("PlaybackStatus").toString(), QStringLiteral("Paused"));

        player.call(QStringLiteral("Next"));
        QTRY_COMPARE_WITH_TIMEOUT(framesIn(pictures), QStringLiteral("0 0"), ProgramProcess::WaitMs);
        QCOMPARE(title(), frames);
        QCOMPARE(player.property("Metadata").toMap().value("mpris:length").toLongLong(), 15'000'000);

        player.call(QStringLiteral("PlayPause"));
        QTRY_VERIFY_WITH_TIMEOUT(test::FrameBarcode::read(screen.grab(pictures[1])).value_or(0) > 10,
                                 ProgramProcess::WaitMs);
        QCOMPARE(player.property("PlaybackStatus").toString(), QStringLiteral("Playing"));
        QTRY_COMPARE_WITH_TIMEOUT(toldStatus, QStringLiteral("Playing"), ProgramProcess::WaitMs);
        player.call(QStringLiteral("PlayPause"));
        QTRY_COMPARE_WITH_TIMEOUT(toldStatus, QStringLiteral("Paused"), ProgramProcess::WaitMs);
        QCOMPARE(player.property("PlaybackStatus").toString(), QStringLiteral("Paused"));
        // both panes show the frame where the stop left the movies, as the bus tells it
        const auto stoppedFrames = [&] {
            const qint64 at = player.property("Position").toLongLong();
            return QStringLiteral("%1 %1").arg((at * test::TestClips::FramesPerSecond + 1000) / 1'000'000);
        };
        QTRY_COMPARE_WITH_TIMEOUT(framesIn(pictures), stoppedFrames(), ProgramProcess::WaitMs);

        const QDBusObjectPath track =
            player.property("Metadata").toMap().value("mpris:trackid").value<QDBusObjectPath>();
        player.call(QStringLiteral("SetPosition"), QVariant::fromValue(track), qlonglong(10'000'000));
        QTRY_COMPARE_WITH_TIMEOUT(framesIn(pictures), QStringLiteral("250 250"), ProgramProcess::WaitMs);
        QCOMPARE(player.property("Position").toLongLong(), 10'000'000);

        player.call(QStringLiteral("Previous"));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours().constFirst(), QStringLiteral("red"), ProgramProcess::WaitMs);
        QCOMPARE(title(), Angles);
        // quitting as Ctrl+Q does
        QDBusInterface root(MediaControls::ServiceName, MediaControls::ObjectPath,
                            QStringLiteral("org.mpris.MediaPlayer2"), player.connection());
        QCOMPARE(root.property("DesktopEntry").toString(), SingleInstance::serviceName());
        root.call(QStringLiteral("Quit"));
        QCOMPARE(app.finished(), 0);
    }

    // Launches that come while the first program still makes its windows (an alert's event loop answers
    // the bus before the panes are there) are kept, and delivered in the order they came.
    void handOversBeforeTheProgramListensWaitInOrder()
    {
        test::SessionBus bus;
        test::TestHome home;
        SingleInstance first(QFileInfo(home.libraryFile()).absolutePath(),
                             QDBusConnection::connectToBus(bus.address(), QStringLiteral("first")));
        QCOMPARE(first.start({}), SingleInstance::Role::First);
        QSignalSpy opened(&first, &SingleInstance::openRequested);
        const QList<QStringList> launches{{clips.red}, {clips.green, clips.blue}, {clips.yellow}};
        for (const QStringList& files : launches) {
            ProgramProcess later(home, bus.address());
            QVERIFY(later.start(files));
            QCOMPARE(later.finished(), 0);
        }
        QCOMPARE(opened.count(), 0);
        first.listen();
        QCOMPARE(opened.count(), launches.size());
        for (const QStringList& files : launches)
            QCOMPARE(opened.takeFirst().constFirst().toStringList(), files);
    }

    void filesDraggedInAndOut()
    {
        test::TestHome home;
        QVERIFY(test::writeLibrary(home, Angles, {clips.red, clips.green, clips.blue, clips.yellow}, true));
        ProgramProcess app(home);
        QVERIFY(startOn(app));
        QVERIFY(app.window(QStringLiteral("Playlist")).id != XCB_WINDOW_NONE);
        FileManagerWindow files;
        files.show();
        QVERIFY(QTest::qWaitForWindowExposed(&files));
        const QPoint filesCentre = files.geometry().center();

        // pane 1's movie carried out with Ctrl held, in the forms file managers take
        QVERIFY(test::dragWithPointer(test::paneCentre(1), filesCentre, true));
        QTRY_VERIFY_WITH_TIMEOUT(!files.dropped.isEmpty(), ProgramProcess::WaitMs);
        const QByteArray url = QUrl::fromLocalFile(clips.red).toEncoded();
        QCOMPARE(files.dropped.value(QStringLiteral("text/uri-list")).trimmed(), url);
        QCOMPARE(files.dropped.value(QStringLiteral("text/plain")), clips.red.toUtf8());
        QCOMPARE(files.dropped.value(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + url);

        // the file table's second entry, chosen and carried out
        files.dropped.clear();
        const QPoint secondRow(test::PlaylistFrame.x() + 100, 358); // below the playlists and the header
        QVERIFY(
            test::usePointer({QStringLiteral("mousemove"), QString::number(secondRow.x()),
                              QString::number(secondRow.y()), QStringLiteral("click"), QStringLiteral("1")}));
        QVERIFY(test::dragWithPointer(secondRow, filesCentre));
        QTRY_VERIFY_WITH_TIMEOUT(!files.dropped.isEmpty(), ProgramProcess::WaitMs);
        QCOMPARE(files.dropped.value(QStringLiteral("text/uri-list")).trimmed(),
                 QUrl::fromLocalFile(clips.green).toEncoded());

        // two files dropped on the file table go into panes 1 and 2
        files.dragged = {QUrl::fromLocalFile(clips.blue), QUrl::fromLocalFile(clips.yellow)};
        const QPoint table(test::PlaylistFrame.center().x(), test::PlaylistFrame.bottom() - 80);
        QVERIFY(test::dragWithPointer(filesCentre, table));
        QTRY_VERIFY_WITH_TIMEOUT(files.dragEnded, ProgramProcess::WaitMs);
        QCOMPARE(files.dragResult, Qt::CopyAction);
        const QStringList placed{"blue", "yellow", "blue", "yellow"};
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), placed, ProgramProcess::WaitMs);

        // the playlists take no files: refused, and nothing changes
        files.dragEnded = false;
        files.dragged = {QUrl::fromLocalFile(clips.green)};
        QVERIFY(test::dragWithPointer(filesCentre, test::PlaylistFrame.topLeft() + QPoint(120, 60)));
        QTRY_VERIFY_WITH_TIMEOUT(files.dragEnded, ProgramProcess::WaitMs);
        QCOMPARE(files.dragResult, Qt::IgnoreAction);
        QCOMPARE(paneColours(), placed);
        QVERIFY(app.quit());
        QCOMPARE(test::savedEntry(home, 1), clips.blue);
    }

    void helpWithoutADisplayAndUnknownOptions()
    {
        test::TestHome home;
        ProgramProcess help(home);
        help.environment.remove(QStringLiteral("DISPLAY"));
        QVERIFY(help.start({QStringLiteral("--help")}));
        QCOMPARE(help.finished(), 0);
        QVERIFY(help.output().contains("[FILE...]"));
        ProgramProcess unknown(home);
        QVERIFY(unknown.start({QStringLiteral("--no-such-option")}));
        QCOMPARE(unknown.finished(), 1);
    }
};

QTEST_MAIN(TestDesktopApplication)
#include "tst_desktopapplication.moc"
