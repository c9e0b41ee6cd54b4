// startup: the real program started on a library of 12,000 playlists and 40,000 entries, watched from the X
// server as a user would see it: how long until the main window shows the playlist chosen when the program
// last quit, and until that playlist's four movies show their first frames.
#include "BenchCommands.h"

#include "BenchLibrary.h"
#include "BenchSupport.h"
#include "TestHome.h"
#include "VirtualDisplay.h"
#include "XServer.h"

#include "library/LibrarySchema.h"
#include "platform/SettingsDomain.h"
#include "platform/XmlStore.h"
#include "platform/userDefaultsExtension.h"

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>

#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

namespace tetrapan::bench {

namespace {

constexpr int Folders = 120;
constexpr int PlaylistsPerFolder = 100;
constexpr int Entries = 40000;
// The playlist chosen at the last quit: deep in the tree, in an open folder, with four entries.
constexpr int ChosenFolder = 98;
constexpr int ChosenPlaylist = 99;
constexpr int Rounds = 5;
constexpr int RoundTimeoutMs = 30000;

const std::array<const char*, 4> ClipOfPane{"red.mp4", "green.mp4", "blue.mp4", "yellow.mp4"};

// Pane n shows clip n: red, green, blue, yellow.
bool showsClipColour(QColor c, int viewNo)
{
    const bool r = c.red() > 150, g = c.green() > 150, b = c.blue() > 150;
    const bool rLow = c.red() < 100, gLow = c.green() < 100, bLow = c.blue() < 100;
    switch (viewNo) {
    case 1:
        return r && gLow && bLow;
    case 2:
        return g && rLow && bLow;
    case 3:
        return b && rLow && gLow;
    default:
        return r && g && bLow;
    }
}

int visibleRowOf(int folder, int playlist)
{
    int row = 0;
    for (int f = 0; f < Folders; ++f) {
        ++row; // the folder
        if (f % 2 != 0)
            continue; // closed: its playlists have no row
        for (int p = 0; p < PlaylistsPerFolder; ++p, ++row) {
            if (f == folder && p == playlist)
                return row;
        }
    }
    return -1;
}

struct Round {
    double titleMs = -1;
    double cpuAtTitleMs = -1;
    double framesMs = -1;
};

Round startOnce(test::XServer& screen, const QString& program, const QString& home, const QString& title)
{
    Round round;
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    app.start(program, {});
    if (!app.waitForStarted(5000))
        return round;
    bool titled = false;
    while (clock.elapsed() < RoundTimeoutMs && app.state() == QProcess::Running) {
        const test::XServer::Window window = screen.find(title);
        if (!titled && window.id != XCB_WINDOW_NONE) {
            titled = true;
            round.titleMs = clock.nsecsElapsed() / 1e6;
            round.cpuAtTitleMs = cpuSecondsOf(app.processId()) * 1000.0;
        }
        if (titled) {
            const QRect frame = window.geometry;
            bool all = frame.isValid();
            for (int viewNo = 1; viewNo <= 4 && all; ++viewNo)
                all = showsClipColour(screen.pixel(paneSpotOnScreen(frame, viewNo)), viewNo);
            if (all) {
                round.framesMs = clock.nsecsElapsed() / 1e6;
                break;
            }
        }
        QThread::usleep(2000);
    }
    if (app.state() != QProcess::Running) {
        std::fprintf(stderr, "startup: the program ended before its panes showed (%s, code %d)\n",
                     app.exitStatus() == QProcess::CrashExit ? "crashed" : "quit", app.exitCode());
        return round;
    }
    app.terminate();
    if (!app.waitForFinished(10000)) {
        std::fprintf(stderr, "startup: the program did not quit within 10 s\n");
        app.kill();
        app.waitForFinished(5000);
    }
    return round;
}

} // namespace

int runStartup(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "startup: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan");
    const QString clipFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/clips");
    QProcess clips;
    clips.setProcessChannelMode(QProcess::ForwardedChannels);
    clips.start(QStringLiteral("bash"),
                {QStringLiteral(TETRAPAN_SOURCE_DIR "/scripts/make-test-clips.sh"), clipFolder});
    if (!clips.waitForFinished(600000) || clips.exitCode() != 0) {
        std::fprintf(stderr, "startup: make-test-clips.sh failed\n");
        return 1;
    }

    QTemporaryDir home;
    const QString libraryFolder = home.filePath(QStringLiteral("data/Tetrapan"));
    QDir().mkpath(libraryFolder);
    const ObjectModel model = LibrarySchema::model();
    LibraryShape shape;
    shape.folders = Folders;
    shape.playlistsPerFolder = PlaylistsPerFolder;
    shape.entries = Entries;
    shape.filePath = [&clipFolder](int, int, int viewNo) {
        return QDir(clipFolder).filePath(QString::fromLatin1(ClipOfPane[viewNo - 1]));
    };
    StoreError error;
    if (!XmlStore(libraryFolder + QStringLiteral("/Tetrapan.xml"), model)
             .save(buildLibrary(model, shape), error)) {
        std::fprintf(stderr, "startup: %s\n", qPrintable(error.text()));
        return 1;
    }
    const QString settingsFile = home.filePath(QStringLiteral("config/Tetrapan/Tetrapan.json"));
    {
        SettingsDomain settings(settingsFile);
        userDefaultsExtension::setDefaultIntValue(settings, visibleRowOf(ChosenFolder, ChosenPlaylist),
                                                  QStringLiteral("optLastSelectedIndexForPlaylist"));
    }
    // Every round starts as the first: a round's quit saves the window's places and the dividers the
    // playlist laid out, and the panes would no longer be where the colours are looked for.
    const QByteArray firstSettings = test::readAll(settingsFile);

    test::XServer screen;
    if (!screen.isConnected()) {
        std::fprintf(stderr, "startup: cannot reach the X server\n");
        return 1;
    }
    const QString title = QStringLiteral("Match %1-%2").arg(ChosenFolder).arg(ChosenPlaylist);
    std::vector<double> titleMs, cpuMs, framesMs;
    for (int i = 0; i < Rounds; ++i) {
        if (!test::writeAll(settingsFile, firstSettings)) {
            std::fprintf(stderr, "startup: cannot write %s\n", qPrintable(settingsFile));
            return 1;
        }
        const Round round = startOnce(screen, program, home.path(), title);
        if (round.titleMs < 0 || round.framesMs < 0) {
            std::fprintf(stderr,
                         "startup: round %d did not show the playlist (title %.0f ms, frames %.0f ms)\n",
                         i + 1, round.titleMs, round.framesMs);
            return 1;
        }
        titleMs.push_back(round.titleMs);
        cpuMs.push_back(round.cpuAtTitleMs);
        framesMs.push_back(round.framesMs);
    }
    print("startup.library_playlists", Folders * PlaylistsPerFolder, "count", 0);
    print("startup.library_entries", Entries, "count", 0);
    print("startup.last_playlist_ms", median(titleMs), "ms", 0);
    print("startup.cpu_until_last_playlist_ms", median(cpuMs), "ms", 0);
    print("startup.four_first_frames_ms", median(framesMs), "ms", 0);
    return 0;
}

} // namespace tetrapan::bench
