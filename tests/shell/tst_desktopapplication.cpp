// The real program as the desktop starts it, on a real X server: files from the command line and from a
// second launch, one program per library, quitting from the playlist window's keyboard, and files dragged in
// from and out to another program over XDND. The pointer and the keyboard are driven through the X server
// (xdotool), and a second launch finds the first on a session bus of the test's own.
#include "TestClips.h"
#include "TestHome.h"
#include "XServer.h"

#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <csignal>
#include <memory>

using namespace tetrapan;

namespace {

constexpr int StartTimeoutMs = 30000;
constexpr int WaitMs = 20000;
const QRect MainFrame(0, 0, 800, 600);
const QRect PlaylistFrame(820, 0, 420, 520);
// The middle of the file table's second row in that window, below the playlists and the table's header.
constexpr int SecondRowY = 358;

// Other programs the test starts (xdotool, the bus daemon) run without the sanitizer runtime that make
// test-asan preloads into ours: their own leaks at exit are not our reports, and would fail them.
void startTool(QProcess& process, const QString& program, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

// Runs a helper program to its end and answers what it printed.
QString run(const QString& program, const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess process;
    startTool(process, program, arguments);
    if (!process.waitForFinished(WaitMs)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& arguments)
{
    return run(QStringLiteral("xdotool"), arguments);
}

// The first shown window whose title matches the pattern (of the process, when given), with its frame.
struct XWindow {
    QString id;
    QRect frame;
    bool found() const { return !id.isEmpty(); }
};

XWindow findWindow(const QString& titlePattern, qint64 pid = 0)
{
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible")};
    if (pid)
        arguments << QStringLiteral("--pid") << QString::number(pid);
    arguments << QStringLiteral("--name") << titlePattern;
    const QString ids = xdotool(arguments);
    if (ids.isEmpty())
        return {};
    XWindow window{ids.split(QLatin1Char('\n')).constFirst(), {}};
    QHash<QString, int> shell;
    for (const QString& line :
         xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window.id})
             .split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        shell.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    window.frame = QRect(shell.value(QStringLiteral("X")), shell.value(QStringLiteral("Y")),
                         shell.value(QStringLiteral("WIDTH")), shell.value(QStringLiteral("HEIGHT")));
    return window;
}

QColor pixel(QPoint global)
{
    const QImage image =
        QGuiApplication::primaryScreen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage();
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

// The colour a clip fills its pane with: "red", "green", "blue", "yellow", or "" for anything else.
QString colourAt(QPoint global)
{
    const QColor c = pixel(global);
    const auto high = [](int v) { return v > 180; };
    const auto low = [](int v) { return v < 80; };
    if (high(c.red()) && high(c.green()) && low(c.blue()))
        return QStringLiteral("yellow");
    if (high(c.red()) && low(c.green()) && low(c.blue()))
        return QStringLiteral("red");
    if (low(c.red()) && high(c.green()) && low(c.blue()))
        return QStringLiteral("green");
    if (low(c.red()) && low(c.green()) && high(c.blue()))
        return QStringLiteral("blue");
    return {};
}

// The middle of pane n of a main window placed at MainFrame: 1 top left, 2 bottom left, 3 top right,
// 4 bottom right (the menu and tool bars push the top panes' middles down a little; a quarter of the
// window's height stays inside them).
QPoint paneCentre(int viewNo)
{
    const int column = viewNo <= 2 ? 1 : 3;
    const int row = viewNo % 2 ? 1 : 3;
    return {MainFrame.x() + MainFrame.width() * column / 4,
            MainFrame.y() + MainFrame.height() * row / 4 + 20};
}

QStringList paneColours()
{
    QStringList colours;
    for (int n = 1; n <= 4; ++n)
        colours << colourAt(paneCentre(n));
    return colours;
}

QString rectText(const QRect& r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// A library of one playlist, "Angles", chosen at the last quit, with the given clips in panes 1 to 4, and the
// windows where the test looks for them.
void writeLibrary(const test::TestHome& home, const QStringList& clips, bool playlistWindowOpen)
{
    QVERIFY(test::writeOnePlaylistHome(home, QStringLiteral("Angles"), clips));
    const QString settings =
        QStringLiteral("{\"optLastSelectedIndexForPlaylist\": 0, \"optUniqueNoForPlist\": 1, "
                       "\"optUniqueNoForFlist\": %1, \"optIsController\": false, \"optIsPlaylist\": %2, "
                       "\"rectWindowMain\": \"%3\", \"rectWindowPlaylist\": \"%4\"}")
            .arg(clips.size())
            .arg(playlistWindowOpen ? QStringLiteral("true") : QStringLiteral("false"), rectText(MainFrame),
                 rectText(PlaylistFrame));
    QVERIFY(test::writeAll(home.settingsFile(), settings.toUtf8()));
}

// The path of the file entry for pane n in the saved library.
QString savedEntry(const test::TestHome& home, int viewNo)
{
    const QString library = QString::fromUtf8(test::readAll(home.libraryFile()));
    const QRegularExpression entry(
        QStringLiteral("<filelist (?=[^>]*viewNo=\"%1\")[^>]*filePath=\"([^\"]*)\"").arg(viewNo));
    return entry.match(library).captured(1);
}

// A session bus of the test's own, so a second launch finds the first there and nowhere else.
class SessionBus {
public:
    SessionBus()
    {
        startTool(daemon_, QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                   QStringLiteral("--print-address=1")});
        if (daemon_.waitForStarted(WaitMs) && daemon_.waitForReadyRead(WaitMs))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~SessionBus()
    {
        daemon_.terminate();
        daemon_.waitForFinished(WaitMs);
    }
    QString address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// Where no bus is wanted: an address nothing listens on, so the program cannot reach (or start) one.
const QString NoBus = QStringLiteral("unix:path=/nonexistent/tetrapan-test-bus");

class Tetrapan {
public:
    explicit Tetrapan(const QString& busAddress = NoBus, const QString& workingFolder = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        environment.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
        process_.setProcessEnvironment(environment);
        process_.setProgram(QStringLiteral(TETRAPAN_EXECUTABLE));
        if (!workingFolder.isEmpty())
            process_.setWorkingDirectory(workingFolder);
    }
    ~Tetrapan()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(WaitMs);
        }
    }

    bool start(const QStringList& arguments = {})
    {
        process_.setArguments(arguments);
        process_.start();
        return process_.waitForStarted(WaitMs);
    }
    // Ended by itself within the time, with its exit code; -1 otherwise.
    int finished(int timeoutMs = WaitMs)
    {
        const bool running = process_.state() != QProcess::NotRunning;
        if ((running && !process_.waitForFinished(timeoutMs)) ||
            process_.exitStatus() != QProcess::NormalExit)
            return -1;
        return process_.exitCode();
    }
    // The session ends it; it saves and leaves cleanly.
    bool quit()
    {
        // the signal is caught once the program is running its event loop
        if (!QTest::qWaitFor([this] { return test::catchesSignal(process_.processId(), SIGTERM); },
                             StartTimeoutMs))
            return false;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        return finished() == 0;
    }
    void kill()
    {
        process_.kill();
        process_.waitForFinished(WaitMs);
    }
    qint64 pid() const { return process_.processId(); }

private:
    QProcess process_;
};

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

// Presses at one point and lets go at another, through the X server, with Ctrl held when asked; the pointer
// moves in steps, as a hand moves it. Runs beside the test's own event loop.
std::unique_ptr<QProcess> dragWithPointer(QPoint from, QPoint to, bool withCtrl)
{
    QStringList chain{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                      QStringLiteral("sleep"), QStringLiteral("0.3")};
    if (withCtrl)
        chain << QStringLiteral("keydown") << QStringLiteral("ctrl");
    chain << QStringLiteral("mousedown") << QStringLiteral("1") << QStringLiteral("sleep")
          << QStringLiteral("0.5");
    for (int step = 1; step <= 8; ++step) {
        const QPoint at = from + (to - from) * step / 8;
        chain << QStringLiteral("mousemove") << QString::number(at.x()) << QString::number(at.y())
              << QStringLiteral("sleep") << QStringLiteral("0.15");
    }
    chain << QStringLiteral("mousemove") << QString::number(to.x() + 3) << QString::number(to.y() + 3)
          << QStringLiteral("sleep") << QStringLiteral("0.5") << QStringLiteral("mouseup")
          << QStringLiteral("1");
    if (withCtrl)
        chain << QStringLiteral("keyup") << QStringLiteral("ctrl");
    auto process = std::make_unique<QProcess>();
    startTool(*process, QStringLiteral("xdotool"), chain);
    return process;
}

// The helper has ended (waitForFinished answers false for one that ended already).
bool ended(QProcess& process)
{
    return process.state() == QProcess::NotRunning || process.waitForFinished(WaitMs);
}

} // namespace

class TestDesktopApplication : public QObject {
    Q_OBJECT

private:
    test::TestClips clips;

    // The program started on the library, its main window up and its panes loaded.
    static bool startOn(Tetrapan& app, const QStringList& arguments = {})
    {
        if (!app.start(arguments))
            return false;
        return QTest::qWaitFor([&] { return findWindow(QStringLiteral("^Angles"), app.pid()).found(); },
                               StartTimeoutMs);
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
        writeLibrary(home, {clips.red, clips.green, clips.blue, clips.yellow}, true);
        // as a launcher passes them: a path from the working folder, and a URI
        Tetrapan app(NoBus, clips.folder);
        QVERIFY(startOn(app, {QFileInfo(clips.yellow).fileName(),
                              QUrl::fromLocalFile(clips.blue).toString(QUrl::FullyEncoded)}));
        const QStringList placed{QStringLiteral("yellow"), QStringLiteral("blue"), QStringLiteral("blue"),
                                 QStringLiteral("yellow")};
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), placed, StartTimeoutMs);
        // the playlist's own load is over by now, and did not come after the files
        QTest::qWait(1000);
        QCOMPARE(paneColours(), placed);

        // Ctrl+Q typed in the playlist window quits, saving the placed files
        XWindow playlists;
        QTRY_VERIFY_WITH_TIMEOUT((playlists = findWindow(QStringLiteral("^Playlist"), app.pid())).found(),
                                 WaitMs);
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), playlists.id});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")});
        QCOMPARE(app.finished(), 0);
        QCOMPARE(savedEntry(home, 1), clips.yellow);
        QCOMPARE(savedEntry(home, 2), clips.blue);
        QCOMPARE(savedEntry(home, 3), clips.blue);
    }

    void aSecondLaunchHandsItsFilesToTheFirst()
    {
        SessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        test::TestHome home;
        writeLibrary(home, {clips.red, clips.green, clips.blue, clips.yellow}, false);
        Tetrapan first(bus.address());
        QVERIFY(startOn(first));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours().constFirst(), QStringLiteral("red"), StartTimeoutMs);

        Tetrapan second(bus.address());
        QVERIFY(second.start({clips.yellow, clips.yellow}));
        QCOMPARE(second.finished(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(),
                                  (QStringList{QStringLiteral("yellow"), QStringLiteral("yellow"),
                                               QStringLiteral("blue"), QStringLiteral("yellow")}),
                                  WaitMs);
        // started again without files: the first comes forward, the second ends
        Tetrapan third(bus.address());
        QVERIFY(third.start());
        QCOMPARE(third.finished(), 0);
        QVERIFY(first.quit());
        QCOMPARE(savedEntry(home, 2), clips.yellow);
    }

    void aSecondLaunchThatCannotReachTheFirstLeavesTheLibraryAlone()
    {
        test::TestHome home;
        writeLibrary(home, {clips.red}, false);
        Tetrapan first;
        QVERIFY(startOn(first));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours().constFirst(), QStringLiteral("red"), StartTimeoutMs);
        const QByteArray library = test::readAll(home.libraryFile());
        const QByteArray settings = test::readAll(home.settingsFile());

        Tetrapan second;
        QVERIFY(second.start({clips.green}));
        XWindow alert;
        QTRY_VERIFY_WITH_TIMEOUT((alert = findWindow(QStringLiteral("^Tetrapan$"), second.pid())).found(),
                                 WaitMs);
        xdotool({QStringLiteral("key"), QStringLiteral("--window"), alert.id, QStringLiteral("Return")});
        QCOMPARE(second.finished(), 1);
        QCOMPARE(test::readAll(home.libraryFile()), library);
        QCOMPARE(test::readAll(home.settingsFile()), settings);
        QCOMPARE(paneColours().constFirst(), QStringLiteral("red"));
        QVERIFY(first.quit());
    }

    void aKilledProgramDoesNotLockTheLibrary()
    {
        test::TestHome home;
        writeLibrary(home, {clips.red}, false);
        Tetrapan crashed;
        QVERIFY(startOn(crashed));
        crashed.kill();
        Tetrapan next;
        QVERIFY(startOn(next));
        QVERIFY(next.quit());
    }

    void filesDraggedInAndOut()
    {
        test::TestHome home;
        writeLibrary(home, {clips.red, clips.green, clips.blue, clips.yellow}, true);
        Tetrapan app;
        QVERIFY(startOn(app));
        QTRY_COMPARE_WITH_TIMEOUT(paneColours().constFirst(), QStringLiteral("red"), StartTimeoutMs);
        QVERIFY(findWindow(QStringLiteral("^Playlist"), app.pid()).found());
        FileManagerWindow files;
        files.show();
        QVERIFY(QTest::qWaitForWindowExposed(&files));
        const QPoint filesCentre = files.geometry().center();

        // pane 1's movie carried out with Ctrl held, in the forms file managers take
        std::unique_ptr<QProcess> pointer = dragWithPointer(paneCentre(1), filesCentre, true);
        QTRY_VERIFY_WITH_TIMEOUT(!files.dropped.isEmpty(), WaitMs);
        QVERIFY(ended(*pointer));
        const QByteArray url = QUrl::fromLocalFile(clips.red).toEncoded();
        QCOMPARE(files.dropped.value(QStringLiteral("text/uri-list")).trimmed(), url);
        QCOMPARE(files.dropped.value(QStringLiteral("text/plain")), clips.red.toUtf8());
        QCOMPARE(files.dropped.value(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + url);

        // the file table's second entry, chosen and carried out
        files.dropped.clear();
        const QPoint secondRow(PlaylistFrame.x() + 100, SecondRowY);
        xdotool({QStringLiteral("mousemove"), QString::number(secondRow.x()), QString::number(secondRow.y()),
                 QStringLiteral("click"), QStringLiteral("1")});
        pointer = dragWithPointer(secondRow, filesCentre, false);
        QTRY_VERIFY_WITH_TIMEOUT(!files.dropped.isEmpty(), WaitMs);
        QVERIFY(ended(*pointer));
        QCOMPARE(files.dropped.value(QStringLiteral("text/uri-list")).trimmed(),
                 QUrl::fromLocalFile(clips.green).toEncoded());

        // two files dropped on the file table go into panes 1 and 2
        files.dragged = {QUrl::fromLocalFile(clips.blue), QUrl::fromLocalFile(clips.yellow)};
        const QPoint table(PlaylistFrame.center().x(), PlaylistFrame.bottom() - 80);
        pointer = dragWithPointer(filesCentre, table, false);
        QTRY_VERIFY_WITH_TIMEOUT(files.dragEnded, WaitMs);
        QVERIFY(ended(*pointer));
        QCOMPARE(files.dragResult, Qt::CopyAction);
        const QStringList placed{QStringLiteral("blue"), QStringLiteral("yellow"), QStringLiteral("blue"),
                                 QStringLiteral("yellow")};
        QTRY_COMPARE_WITH_TIMEOUT(paneColours(), placed, WaitMs);

        // the playlists take no files: refused, and nothing changes
        files.dragEnded = false;
        files.dragged = {QUrl::fromLocalFile(clips.green)};
        pointer = dragWithPointer(filesCentre, PlaylistFrame.topLeft() + QPoint(120, 60), false);
        QTRY_VERIFY_WITH_TIMEOUT(files.dragEnded, WaitMs);
        QVERIFY(ended(*pointer));
        QCOMPARE(files.dragResult, Qt::IgnoreAction);
        QCOMPARE(paneColours(), placed);
        QVERIFY(app.quit());
        QCOMPARE(savedEntry(home, 1), clips.blue);
    }

    void helpAndVersionOnATerminal()
    {
        // no display needed to ask
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TETRAPAN_EXECUTABLE), {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(WaitMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().startsWith("Tetrapan 0."));
        process.start(QStringLiteral(TETRAPAN_EXECUTABLE), {QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(WaitMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(process.readAllStandardOutput().contains("[FILE...]"));

        test::TestHome home;
        Tetrapan app;
        QVERIFY(app.start({QStringLiteral("--no-such-option")}));
        QCOMPARE(app.finished(), 1);
    }
};

QTEST_MAIN(TestDesktopApplication)
#include "tst_desktopapplication.moc"
