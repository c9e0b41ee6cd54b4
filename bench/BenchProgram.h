#pragma once

#include "TestClips.h"
#include "VirtualDisplay.h"
#include "XServer.h"

#include "platform/ObjectModel.h"

#include <QApplication>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <optional>

namespace tetrapan {
class MainNib;
class ObjectContext;
class MessageBoxPresenter;
class MpvMovieEngine;
class Scheduler;
class SettingsDomain;
} // namespace tetrapan

namespace tetrapan::bench {

// The program's windows built in the benchmark's own process, as the composition root builds them, on the
// real engine (sound off), in a home of their own and on an X display (an Xvfb of its own where $DISPLAY
// names none), with the test clips made. The main window is shown at 1280x720.
class BenchProgram {
public:
    // name starts the lines it writes on standard error
    BenchProgram(const char* name, int& argc, char** argv);
    ~BenchProgram();
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    // Builds the windows on the scheduler; false (and why, on standard error) without an X server or clips.
    bool start(std::unique_ptr<Scheduler> scheduler);

    const test::TestClips& clips() const { return *clips_; }
    test::XServer& x() { return *x_; }
    SettingsDomain& settings() { return *settings_; }
    MainNib& nib() { return *nib_; }
    MpvMovieEngine& engine() { return *engine_; }
    // the X server's process where the benchmark started it; 0 otherwise
    qint64 xServerPid() const { return display_.serverPid(); }

    // The frame number each pane shows in one screenshot of the main window (the bench clips' barcodes, of
    // 16:9 pictures); none for a pane whose picture does not read.
    std::array<std::optional<int>, 4> shownFrames();

private:
    const char* name_;
    QTemporaryDir home_;
    VirtualDisplay display_;
    std::optional<QApplication> app_;
    std::optional<test::XServer> x_;
    std::optional<test::TestClips> clips_;
    std::unique_ptr<SettingsDomain> settings_;
    std::unique_ptr<Scheduler> scheduler_;
    std::unique_ptr<MessageBoxPresenter> dialogs_;
    std::unique_ptr<MpvMovieEngine> engine_;
    std::unique_ptr<MainNib> nib_;
};

// Makes a new playlist of the four files, pane by pane, at the end of the library; an empty title keeps the
// new playlist's own.
ObjectId makePlaylist(ObjectContext& context, SettingsDomain& settings, const QString& title,
                      const std::array<QString, 4>& files);
// Makes a new playlist with the file in all four panes and chooses it; the panes then load it.
void chooseFileInFourPanes(MainNib& nib, SettingsDomain& settings, const QString& file, const QString& title = {});

} // namespace tetrapan::bench
