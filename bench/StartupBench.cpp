// startup: the real program started on a library of 12,000 playlists and 40,000 entries, watched from the X
// server as a user would see it: how long until the main window shows the playlist chosen when the program
// last quit, and until that playlist's four movies show their first frames.
#include "BenchCommands.h"

#include "BenchLibrary.h"
#include "BenchSupport.h"
#include "VirtualDisplay.h"

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

#include <xcb/xcb.h>

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

// The top-level windows of the X server, as the program's own windows appear on it.
class XScreen {
public:
    bool open()
    {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_))
            return false;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        netWmName_ = atom("_NET_WM_NAME");
        utf8String_ = atom("UTF8_STRING");
        return netWmName_ != XCB_NONE;
    }
    ~XScreen()
    {
        if (connection_)
            xcb_disconnect(connection_);
    }

    // A mapped top-level window whose title begins with the text.
    std::optional<xcb_window_t> windowTitled(const QString& prefix)
    {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr), &free);
        if (!tree)
            return std::nullopt;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            if (isMapped(children[i]) && title(children[i]).startsWith(prefix))
                return children[i];
        }
        return std::nullopt;
    }

    QRect frameOnScreen(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&free)> geometry(
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr), &free);
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&free)> origin(
            xcb_translate_coordinates_reply(
                connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr),
            &free);
        if (!geometry || !origin)
            return {};
        return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    }

    // The colour on screen at a point, as the X server holds it.
    QColor pixel(QPoint at)
    {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> image(
            xcb_get_image_reply(connection_,
                                xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_,
                                              static_cast<int16_t>(at.x()), static_cast<int16_t>(at.y()), 1,
                                              1, ~0u),
                                nullptr),
            &free);
        if (!image || xcb_get_image_data_length(image.get()) < 4)
            return {};
        const uint8_t* bgrx = xcb_get_image_data(image.get());
        return QColor(bgrx[2], bgrx[1], bgrx[0]);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(connection_,
                                  xcb_intern_atom(connection_, 0, static_cast<uint16_t>(strlen(name)), name),
                                  nullptr),
            &free);
        return reply ? reply->atom : XCB_NONE;
    }
    bool isMapped(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window),
                                            nullptr),
            &free);
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    QString title(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> property(
            xcb_get_property_reply(connection_,
                                   xcb_get_property(connection_, 0, window, netWmName_, utf8String_, 0, 256),
                                   nullptr),
            &free);
        if (!property)
            return {};
        return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(property.get())),
                                 xcb_get_property_value_length(property.get()));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t netWmName_ = XCB_NONE;
    xcb_atom_t utf8String_ = XCB_NONE;
};

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

// The middle of pane n when the four panes share the window evenly below the menu bar.
QPoint paneCentre(const QRect& window, int viewNo)
{
    constexpr int MenuBar = 30;
    const int column = viewNo <= 2 ? 0 : 1;
    const int row = (viewNo % 2 == 1) ? 0 : 1;
    const int height = window.height() - MenuBar;
    return {window.x() + window.width() * (2 * column + 1) / 4,
            window.y() + MenuBar + height * (2 * row + 1) / 4};
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

double cpuMsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // the fields after the command name, which is in parentheses and may hold blanks
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = fields[11].toDouble() + fields[12].toDouble(); // utime, stime
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Round {
    double titleMs = -1;
    double cpuAtTitleMs = -1;
    double framesMs = -1;
};

Round startOnce(XScreen& screen, const QString& program, const QString& home, const QString& title)
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
    std::optional<xcb_window_t> window;
    while (clock.elapsed() < RoundTimeoutMs && app.state() == QProcess::Running) {
        if (!window) {
            window = screen.windowTitled(title);
            if (window) {
                round.titleMs = clock.nsecsElapsed() / 1e6;
                round.cpuAtTitleMs = cpuMsOf(app.processId());
            }
        }
        if (window) {
            const QRect frame = screen.frameOnScreen(*window);
            bool all = frame.isValid();
            for (int viewNo = 1; viewNo <= 4 && all; ++viewNo)
                all = showsClipColour(screen.pixel(paneCentre(frame, viewNo)), viewNo);
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
    {
        SettingsDomain settings(home.filePath(QStringLiteral("config/Tetrapan/Tetrapan.json")));
        userDefaultsExtension::setDefaultIntValue(settings, visibleRowOf(ChosenFolder, ChosenPlaylist),
                                                  QStringLiteral("optLastSelectedIndexForPlaylist"));
    }

    XScreen screen;
    if (!screen.open()) {
        std::fprintf(stderr, "startup: cannot reach the X server\n");
        return 1;
    }
    const QString title = QStringLiteral("Match %1-%2").arg(ChosenFolder).arg(ChosenPlaylist);
    std::vector<double> titleMs, cpuMs, framesMs;
    for (int i = 0; i < Rounds; ++i) {
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
