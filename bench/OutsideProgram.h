#pragma once

#include "ProgramProcess.h"
#include "TestHome.h"
#include "XServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <optional>

// The built program as a user starts it, for the benchmarks that drive it from outside: a child process on a
// home of its own, its library and settings written before it starts, on a session bus of the bench's own;
// driven by `tetrapan --action`, the media controls and the X server's input.
namespace tetrapan::bench {

// The path of the built program beside the bench.
QString programPath();

// The program's media controls on the bench's bus, as a desktop's panel reaches them.
class PlayerControls {
public:
    explicit PlayerControls(const QString& busAddress);
    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      const QString& interface = {});
    QVariant property(const QString& name);
    // Moves the leader, every pane keeping its place, as `playerctl position` does.
    void moveTo(double seconds);
    // Reads PlaybackStatus every few ms until `done` (asked every lookEveryMs) holds or the time is up; each
    // read waits for the program's GUI thread (plus the bus's own hop, well under a millisecond), so the
    // longest wait is the GUI thread's longest stall meanwhile. done() false at the end: it never held.
    double longestGuiWait(const std::function<bool()>& done, int timeoutMs, int lookEveryMs = 50);
    // When the last longestGuiWait's longest wait began, in ms from its start: tells where a stall lies.
    double longestWaitAtMs() const { return longestAtMs_; }

private:
    QDBusConnection bus_;
    double longestAtMs_ = 0;
};

// One start of the program: its home, the process and its main window.
struct Outside {
    test::TestHome home;
    std::unique_ptr<test::ProgramProcess> process;
    test::XServer::Window main;
    QString bus;
    qint64 pid() const { return process->pid(); }
};

// The library of one playlist of the files (with `entryAttributes[n]` added to pane n's entry, e.g.
// `offset="120" position="30000"`), chosen, the main window alone at `window` with the settings given added,
// then the program started with the frames' debug lines on; false when its main window never showed.
bool startOutside(Outside& s, const QString& bus, const QString& title, const QStringList& files,
                  const QRect& window, const QVariantMap& settings = {},
                  const std::map<int, QString>& entryAttributes = {});
// The same with several playlists, the first chosen.
bool startOutside(Outside& s, const QString& bus, const QList<test::PlaylistFiles>& playlists,
                  const QRect& window, const QVariantMap& settings = {},
                  const std::map<int, QString>& entryAttributes = {});
// Carries a command out in the running program, as a launcher or a script does (`tetrapan --action`); with
// a pane for the pane menu's commands. False when it was refused.
bool action(const Outside& s, const char* name, int viewNo = 0);
// The sum of the frames the movies dropped, from the debug lines they write as they stop, after the first
// `from` bytes of what the program wrote, leaving out the movies of the file given.
qint64 droppedInStopLines(const QByteArray& errors, qsizetype from, const QString& leaveOut = {});
// An attribute of pane n's entry in a saved library file (offset, rate, position); none when it has none.
std::optional<QString> savedEntryAttribute(const QString& libraryFile, int viewNo, const QString& name);
// Types text and presses keys through the X server into the window that has the keyboard (xdotool).
bool typeText(const QString& text);
bool pressKeys(const QStringList& keys);

} // namespace tetrapan::bench
