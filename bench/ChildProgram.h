#pragma once

#include "OutsideProgram.h"
#include "ProgramProcess.h"
#include "RecordingScreen.h"
#include "TestClips.h"
#include "TestHome.h"
#include "VirtualDisplay.h"
#include "XServer.h"

#include <QApplication>
#include <QDBusConnection>
#include <QVariantMap>

#include <map>
#include <memory>
#include <optional>

namespace tetrapan::bench {

// What a benchmark that starts the built program as a child needs around it: an X display (an Xvfb of its
// own where $DISPLAY names none), the bench clips, and a session bus of its own for the program's commands
// and media controls.
class ChildBench {
public:
    // name starts the lines it writes on standard error
    ChildBench(const char* name, int& argc, char** argv);
    ChildBench(const ChildBench&) = delete;
    ChildBench& operator=(const ChildBench&) = delete;

    // false (and why, on standard error) without an X server, the clips or a bus
    bool ready();
    const char* name() const { return name_; }
    const test::TestClips& clips() const { return *clips_; }
    test::XServer& x() { return *x_; }
    // the X server the program draws through, whose CPU is part of what showing pictures costs
    qint64 xServerPid() const { return display_.serverPid(); }
    QString bus() const { return bus_->address(); }

private:
    const char* name_;
    VirtualDisplay display_;
    std::optional<QApplication> app_;
    std::optional<test::XServer> x_;
    std::optional<test::TestClips> clips_;
    std::optional<test::SessionBus> bus_;
};

// One start of the built program as a user starts it: a home of its own with its library and settings
// written before it starts, its main window alone at MainWindow; driven from outside (`tetrapan --action`,
// keys through the X server, the media controls on the bench's bus) and read off the X server's screen.
class ChildProgram {
public:
    static const QRect MainWindow;

    explicit ChildProgram(ChildBench& bench);
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // The playlists in order, the first chosen; the settings added to those of such a start; per pane, the
    // attributes added to that pane's entries (`offset="1000"`). False when the main window never showed.
    bool start(const QList<test::PlaylistFiles>& playlists, const QVariantMap& settings = {},
               const std::map<int, QString>& entryAttributes = {});
    // A command by its name, as a launcher or a script sends it; a pane command on pane viewNo.
    bool action(const char* name, int viewNo = 0);
    // Keys as xdotool names them ("space", "ctrl+shift+l"), typed into the main window.
    bool key(const char* keys);
    // A method of the media controls (Next, Previous, Play, Pause), as a desktop's panel calls it.
    bool control(const char* method);
    QString playbackStatus();

    qint64 pid() const { return outside_.pid(); }
    QRect window() const { return outside_.main.geometry; }
    RecordingScreen& screen() { return *screen_; }
    // How much the program has written on standard error so far, and the frames its movies said they dropped
    // as they stopped since then.
    qsizetype said() { return outside_.process->errors().size(); }
    qint64 droppedSince(qsizetype said);
    // Until the four panes' pictures (16:9 barcode clips) are found on the screen; false when not in time.
    bool findPictures(int timeoutMs);
    // What the four barcodes read, from grabs of their bands alone (a look costs the X server little): a
    // frame only where the picture's colours show below the band, as frame 0's band is all black like an
    // empty pane or a picture not yet drawn.
    RecordingScreen::Frames bands();
    // Until pane 1's picture has moved on in three looks in a row, a tenth of a second apart: the panes play
    // (a seek's one jump is no play).
    bool untilPlaying(int timeoutMs);

private:
    ChildBench& bench_;
    Outside outside_;
    std::optional<RecordingScreen> screen_;
    std::optional<QDBusConnection> controls_;
};

bool allRead(const RecordingScreen::Frames& frames);

} // namespace tetrapan::bench
