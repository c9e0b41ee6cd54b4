#include "ProgramProcess.h"

#include "platform/fileNames.h"

#include "ScreenProbe.h"
#include "TestHome.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace tetrapan::test {

namespace {

// Whether the process has a handler for the signal: it is ready to quit cleanly on it.
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

QString rectText(const QRect& r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

const QString ProgramProcess::NoBus = QStringLiteral("unix:path=/nonexistent/tetrapan-test-bus");
const QRect MainFrame(0, 0, 800, 600);
const QRect PlaylistFrame(820, 0, 420, 520);

SessionBus::SessionBus()
{
    startTool(daemon_, QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
               QStringLiteral("--print-address=1")});
    if (daemon_.waitForStarted(ProgramProcess::WaitMs) && daemon_.waitForReadyRead(ProgramProcess::WaitMs))
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

SessionBus::~SessionBus()
{
    daemon_.terminate();
    daemon_.waitForFinished(ProgramProcess::WaitMs);
}

ProgramProcess::ProgramProcess(const QString& program, const TestHome& home, const QString& busAddress)
    : environment(QProcessEnvironment::systemEnvironment())
{
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    // the desktop's theme would draw the panes' surroundings in colours of its own
    environment.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
    process_.setProgram(program);
}

ProgramProcess::~ProgramProcess()
{
    if (process_.state() != QProcess::NotRunning)
        kill();
    if (QTest::currentTestFailed() && !errors().isEmpty())
        qInfo("the program wrote:\n%s", errors_.constData());
}

bool ProgramProcess::start(const QStringList& arguments)
{
    process_.setProcessEnvironment(environment);
    process_.setWorkingDirectory(workingFolder);
    process_.setArguments(arguments);
    process_.setChildProcessModifier([unread = errorsUnread, ignored = ignoredSignals] {
        // as a desktop starts it, whatever the test runner ignores (a background job ignores SIGINT)
        for (const int number : {SIGINT, SIGTERM, SIGHUP})
            std::signal(number, ignored.contains(number) ? SIG_IGN : SIG_DFL);
        // and with the open files a desktop session allows a program, whatever the test runner's
        rlimit files{};
        if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur > DesktopOpenFiles) {
            files.rlim_cur = DesktopOpenFiles;
            setrlimit(RLIMIT_NOFILE, &files);
        }
        int ends[2];
        if (unread && pipe(ends) == 0) {
            dup2(ends[1], STDERR_FILENO);
            close(ends[0]);
            close(ends[1]);
        }
    });
    process_.start();
    return process_.waitForStarted(WaitMs);
}

XServer::Window ProgramProcess::window(const QString& titleStart, int timeoutMs)
{
    XServer::Window found;
    // a program that ended shows none
    const auto seen = [&] {
        found = x.find(titleStart, pid());
        return found.id != XCB_WINDOW_NONE || process_.state() == QProcess::NotRunning;
    };
    return QTest::qWaitFor(seen, timeoutMs) ? found : XServer::Window();
}

int ProgramProcess::finished(int timeoutMs)
{
    // the test's event loop runs meanwhile: its own windows, and what the program asks of it on the bus
    if (!QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs) ||
        process_.exitStatus() != QProcess::NormalExit)
        return -1;
    return process_.exitCode();
}

bool ProgramProcess::sendSignal(int signalNumber, int readySignal)
{
    // the signal is caught once the program runs its event loop
    const int ready = readySignal != 0 ? readySignal : signalNumber;
    if (!QTest::qWaitFor([&] { return catchesSignal(pid(), ready); }, StartTimeoutMs))
        return false;
    return ::kill(static_cast<pid_t>(pid()), signalNumber) == 0;
}

bool ProgramProcess::quit(int signalNumber)
{
    return sendSignal(signalNumber) && finished() == 0;
}

void ProgramProcess::kill()
{
    process_.kill();
    process_.waitForFinished(WaitMs);
}

QByteArray ProgramProcess::errors()
{
    errors_ += process_.readAllStandardError();
    return errors_;
}

bool writeLibrary(const TestHome& home, const QString& title, const QStringList& files,
                  bool playlistWindowOpen)
{
    return writeLibrary(home, title.isEmpty() ? QList<PlaylistFiles>() : QList<PlaylistFiles>{{title, files}},
                        playlistWindowOpen);
}

bool writeLibrary(const TestHome& home, const QList<PlaylistFiles>& playlists, bool playlistWindowOpen)
{
    qsizetype entries = 0;
    for (const PlaylistFiles& playlist : playlists)
        entries += playlist.files.size();
    const QString settings =
        QStringLiteral("{\"optLastSelectedIndexForPlaylist\": 0, \"optUniqueNoForPlist\": %1, "
                       "\"optUniqueNoForFlist\": %2, \"optIsController\": false, \"optIsPlaylist\": %3, "
                       "\"rectWindowMain\": \"%4\", \"rectWindowPlaylist\": \"%5\"}")
            .arg(std::max<qsizetype>(playlists.size(), 1))
            .arg(entries)
            .arg(playlistWindowOpen ? QStringLiteral("true") : QStringLiteral("false"), rectText(MainFrame),
                 rectText(PlaylistFrame));
    return (playlists.isEmpty() || writeLibraryFile(home, playlists)) &&
           writeAll(home.settingsFile(), settings.toUtf8());
}

QPoint paneCentre(int viewNo)
{
    // the menu and tool bars push the top panes' middles down a little; a quarter of the window's height
    // stays inside them
    const int column = viewNo <= 2 ? 1 : 3;
    const int row = viewNo % 2 ? 1 : 3;
    return {MainFrame.x() + MainFrame.width() * column / 4,
            MainFrame.y() + MainFrame.height() * row / 4 + 20};
}

QStringList paneColours(ScreenProbe& screen)
{
    QStringList colours;
    for (int n = 1; n <= 4; ++n)
        colours << ScreenProbe::clipColourName(screen.colourAt(paneCentre(n)));
    return colours;
}

bool startShowing(ProgramProcess& app, ScreenProbe& screen, const QString& title, const QString& paneOne,
                  const QStringList& arguments)
{
    return app.start(arguments) && app.window(title).id != XCB_WINDOW_NONE &&
           QTest::qWaitFor([&] { return paneColours(screen).constFirst() == paneOne; },
                           ProgramProcess::WaitMs);
}

QString savedEntry(const TestHome& home, int viewNo)
{
    // a name XML cannot hold is kept as the base64 of its bytes
    const QRegularExpression entry(
        QStringLiteral("<filelist (?=[^>]*viewNo=\"%1\")[^>]*filePath(\\.base64)?=\"([^\"]*)\"").arg(viewNo));
    const QRegularExpressionMatch found = entry.match(QString::fromUtf8(readAll(home.libraryFile())));
    return found.captured(1).isEmpty()
               ? found.captured(2)
               : fileNames::fromBytes(QByteArray::fromBase64(found.captured(2).toLatin1()));
}

void startTool(QProcess& process, const QString& program, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

bool usePointer(const QStringList& commands)
{
    QProcess xdotool;
    startTool(xdotool, QStringLiteral("xdotool"), commands);
    return QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, ProgramProcess::WaitMs) &&
           xdotool.exitCode() == 0;
}

bool dragWithPointer(QPoint from, QPoint to, bool withCtrl)
{
    const auto moveTo = [](QPoint at, const char* pause) {
        return QStringList{QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                           QStringLiteral("sleep"), QLatin1String(pause)};
    };
    QStringList commands = moveTo(from, "0.3");
    if (withCtrl)
        commands << QStringLiteral("keydown") << QStringLiteral("ctrl");
    commands << QStringLiteral("mousedown") << QStringLiteral("1") << QStringLiteral("sleep")
             << QStringLiteral("0.5");
    for (int step = 1; step <= 8; ++step)
        commands << moveTo(from + (to - from) * step / 8, "0.15");
    // a last move within the target, where the drop is then accepted
    commands << moveTo(to + QPoint(3, 3), "0.5") << QStringLiteral("mouseup") << QStringLiteral("1");
    if (withCtrl)
        commands << QStringLiteral("keyup") << QStringLiteral("ctrl");
    return usePointer(commands);
}

} // namespace tetrapan::test
