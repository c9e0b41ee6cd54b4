#pragma once

#include "TestHome.h"
#include "XServer.h"

#include <QProcess>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

namespace tetrapan::test {

// A session bus of the test's own (dbus-daemon), so that a second launch finds the first there and nowhere
// else.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    QString address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// The built program as the desktop starts it, a child process on the X server of $DISPLAY: on a home of
// its own, on the session bus given or on none it could reach (or start). The test finds its windows,
// types into them (through `x`), sends it signals and reads what it printed and how it ended.
class ProgramProcess {
public:
    // The open files a desktop session allows a program it starts (its soft limit).
    static constexpr rlim_t DesktopOpenFiles = 1024;
    static constexpr int StartTimeoutMs = 30000;
    static constexpr int WaitMs = 20000;
    static const QString NoBus;

    ProgramProcess(const QString& program, const TestHome& home, const QString& busAddress);
    ~ProgramProcess(); // ends one still running, and prints what it wrote to stderr when the test failed
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    QProcessEnvironment environment; // the program's, as it will be started
    QString workingFolder;
    // Its standard error a pipe whose reader is gone, as `2>&1 | head` leaves it once head has ended.
    bool errorsUnread = false;
    // Signals it starts with ignored, as nohup ignores SIGHUP.
    QList<int> ignoredSignals;
    XServer x;

    bool start(const QStringList& arguments = {});
    // Its shown window whose title starts with the text, once there; no window (id XCB_WINDOW_NONE) when it
    // does not show within the time.
    XServer::Window window(const QString& titleStart, int timeoutMs = StartTimeoutMs);
    // The exit code once it ended by itself within the time; -1 when it crashed or still runs.
    int finished(int timeoutMs = WaitMs);
    // Once the program is ready to take it, or catches readySignal where that is not 0.
    bool sendSignal(int signalNumber, int readySignal = 0);
    // As the session ends it (SIGTERM) or Ctrl+C in a terminal (SIGINT): it ends cleanly, saving.
    bool quit(int signalNumber = SIGTERM);
    void kill();
    qint64 pid() const { return process_.processId(); }
    QByteArray output() { return process_.readAllStandardOutput(); }
    QByteArray errors(); // all it wrote to stderr so far

#ifdef TETRAPAN_EXECUTABLE // the built program, which CMake names to each test that runs it
    explicit ProgramProcess(const TestHome& home, const QString& busAddress = NoBus)
        : ProgramProcess(QStringLiteral(TETRAPAN_EXECUTABLE), home, busAddress)
    {
    }
#endif

private:
    QProcess process_;
    QByteArray errors_;
};

// A library of one playlist with the files in panes 1 to 4, chosen at the last quit, and the windows at
// MainFrame and PlaylistFrame, the playlist window open or not. With no title, no library: a new user's.
extern const QRect MainFrame;
extern const QRect PlaylistFrame;
bool writeLibrary(const TestHome& home, const QString& title, const QStringList& files,
                  bool playlistWindowOpen);
// The same with several playlists, the first chosen.
bool writeLibrary(const TestHome& home, const QList<PlaylistFiles>& playlists, bool playlistWindowOpen);
// The middle of pane n of the main window at MainFrame: 1 top left, 2 bottom left, 3 top right, 4 bottom
// right.
QPoint paneCentre(int viewNo);
class ScreenProbe;
// The clip colour (ScreenProbe::clipColourName) in the middle of panes 1 to 4 of the main window at
// MainFrame.
QStringList paneColours(ScreenProbe& screen);
// Starts the program and waits for its main window, titled `title`, and for pane 1 to show `paneOne`.
bool startShowing(ProgramProcess& app, ScreenProbe& screen, const QString& title, const QString& paneOne,
                  const QStringList& arguments = {});
// The file of pane n in the library the program saved.
QString savedEntry(const TestHome& home, int viewNo);

// Starts another program (xdotool, dbus-daemon) without the sanitizer runtime make test-asan preloads into
// ours: their own leaks at exit are not our reports.
void startTool(QProcess& process, const QString& program, const QStringList& arguments);
// Moves the pointer and presses its buttons through the X server as xdotool's commands say, running the
// test's event loop until they are done.
bool usePointer(const QStringList& commands);
// Presses at one point and lets go at another, with Ctrl held when asked, moving in steps as a hand does.
bool dragWithPointer(QPoint from, QPoint to, bool withCtrl = false);

} // namespace tetrapan::test
