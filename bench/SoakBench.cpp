// tetrapan-bench soak: random user actions on the whole application with the real engine for a long while
// (ten minutes; TETRAPAN_SOAK_SECONDS sets another length), on a real X display: files placed on panes,
// playing, skips, Sync, the sync lock and frame steps, zoom and full screen, playlists and folders added,
// removed, renamed and dragged in the tree, undo and redo, saves. Only the alerts an action may bring are
// allowed. The resident memory at the end may be at most a tenth above what it was after the warm-up (see
// WarmUpSeconds). Ends with 0 when all went well, 1 at the first fault. Run by make soak.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "FakeDialogPresenter.h"
#include "TestClips.h"
#include "TestHome.h"
#include "VirtualDisplay.h"

#include "engine/MpvMovieEngine.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/dialogExtension.h"
#include "panes/MovController.h"
#include "panes/PanePlacing.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/SettingsDomain.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMimeData>

#include <malloc.h>

#include <cstdio>
#include <random>

namespace tetrapan::bench {

namespace {

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// Bytes the program has asked of the allocator and not given back, against the freed bytes the allocator
// keeps. The resident memory counts both; a leak grows the first, the allocator's keeping the second.
QByteArray heapText()
{
    const struct mallinfo2 heap = mallinfo2();
    return QByteArray::number(static_cast<qulonglong>((heap.uordblks + heap.hblkhd) / 1024)) +
           " kB in use, " + QByteArray::number(static_cast<qulonglong>(heap.fordblks / 1024)) +
           " kB kept free by the allocator";
}

// Every clip placed starts an mpv core on a new thread, and every core let go is shut down on another one.
// The C library gives threads their own allocation arenas, each keeping what its threads freed: the resident
// memory climbed from about 200 MB to 330-400 MB in the first five minutes. The engine limits the arenas and
// gives back what closed cores left free (MpvMovieEngine), and it stays within a fifth above what four
// playing panes need. The baseline is taken after a warm-up all the same, so the check looks for growth,
// not for the first minutes' settling.
constexpr int WarmUpSeconds = 300;

} // namespace

int runSoak(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "soak: no display and Xvfb could not be started\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    const test::TestClips clips = test::TestClips::makeForTests();
    if (!clips.ok()) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(clips.error));
        return 1;
    }
    const int seconds = qEnvironmentVariableIntValue("TETRAPAN_SOAK_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("TETRAPAN_SOAK_SECONDS")
                            : 600;
    test::TestHome home;
    SettingsDomain settings(home.settingsFile());
    Tetrapan_AppDelegate::setupDefaults(settings);
    QtScheduler scheduler;
    test::FakeDialogPresenter dialogs;
    MpvMovieEngine::Options options;
    options.movie.nullAudio = true;
    MpvMovieEngine engine(options);
    MainNib nib({settings, scheduler, dialogs, engine});
    MainWindow& window = nib.mainWindow();
    window.resize(800, 600);
    window.show();
    runEventsFor(500); // mapped and exposed
    ObjectContext& context = *nib.appDelegate().managedObjectContext();
    for (int n = 0; n < 3; ++n) {
        const ObjectId node = LibraryRules::createNode(context, settings, false);
        context.setValue(node, LibrarySchema::Title, QStringLiteral("Soak %1").arg(n + 1));
        LibraryRules::placeNode(context, node, NoObject);
    }
    PlaylistOutlineView& tree = nib.olvPlaylist();
    PlaylistTreeController& treeController = nib.playlistTreeController();
    MovController& controller = nib.movController();
    const QStringList files{clips.red, clips.green, clips.blue, clips.yellow, clips.tone, clips.still};
    std::mt19937 random(20261207);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    // playlists and folders both; undo and redo bring back and take away rows at any time
    const auto anyNode = [&] {
        const QList<ObjectId> nodes = context.fetch(LibrarySchema::Playlist);
        return nodes.isEmpty() ? NoObject : nodes.at(pick(nodes.size()));
    };
    const auto anyFolder = [&] {
        QList<ObjectId> folders;
        for (const ObjectId node : context.fetch(LibrarySchema::Playlist)) {
            if (context.value(node, LibrarySchema::IsFolder).toBool())
                folders << node;
        }
        return folders.isEmpty() ? NoObject : folders.at(pick(folders.size()));
    };

    // The alerts each action may bring; any other is a fault.
    QStringList expected;
    QString action;
    QMap<QString, int> alertsSeen;
    int renames = 0;
    constexpr int Kinds = 17;
    const auto act = [&](int kind) {
        const int pane = 1 + pick(4);
        expected.clear();
        switch (kind) {
        case 0:
            action = QStringLiteral("choose a row");
            treeController.setSelectedObject(anyNode());
            break;
        case 1: {
            const QString file = files.at(pick(files.size()));
            action = QStringLiteral("place %1 on pane %2").arg(QFileInfo(file).fileName()).arg(pane);
            expected << dialogExtension::PlaylistIsNotSelected.message
                     << dialogExtension::FolderIsSelected.message;
            // a picture is no movie
            if (file == clips.still)
                expected << dialogExtension::CanNotCreateMovie.message;
            nib.qtView(pane).placing().createMovieFrame(file);
            break;
        }
        case 2:
            action = QStringLiteral("play or stop");
            window.playAllAction()->trigger();
            break;
        case 3: {
            QAction* skip = window.skipActions().at(pick(4));
            action = skip->text();
            skip->trigger();
            break;
        }
        case 4:
            action = QStringLiteral("sync");
            window.syncAction()->trigger();
            break;
        case 5:
            action = QStringLiteral("controller bars");
            controller.changeAllMovieController();
            break;
        case 6:
            action = QStringLiteral("clear pane %1").arg(pane);
            controller.clearMovieView(pane);
            break;
        case 7:
            action = QStringLiteral("resize");
            if (!window.isFullScreen())
                window.resize(640 + pick(400), 480 + pick(300));
            break;
        case 8:
            action = QStringLiteral("save");
            window.saveAction()->trigger();
            break;
        case 9: {
            const int viewNo = pick(5);
            action = QStringLiteral("zoom %1").arg(viewNo);
            window.zoomPaneAction(viewNo)->trigger();
            break;
        }
        case 10:
            action = QStringLiteral("full screen");
            window.fullScreenAction()->trigger();
            break;
        case 11: {
            const bool folder = pick(3) == 0;
            action = folder ? QStringLiteral("new folder") : QStringLiteral("new playlist");
            (folder ? window.newFolderAction() : window.newPlaylistAction())->trigger();
            break;
        }
        case 12:
            action = QStringLiteral("remove a row");
            // never the last few rows: the library would soon be empty for good
            if (context.fetch(LibrarySchema::Playlist).size() > 4) {
                expected << dialogExtension::DeletePlaylist.message << dialogExtension::DeleteFolder.message;
                treeController.setSelectedObject(anyNode());
                nib.playlistWindow().removeAction()->trigger();
            }
            break;
        case 13: {
            action = QStringLiteral("rename a row");
            const QModelIndex index = treeController.indexOfObject(anyNode());
            if (index.isValid())
                treeController.setData(index, QStringLiteral("Renamed %1").arg(++renames));
            break;
        }
        case 14: {
            action = QStringLiteral("drag a row");
            const QModelIndex index = treeController.indexOfObject(anyNode());
            if (!index.isValid() || !tree.writeItems({index}))
                break;
            QMimeData data;
            data.setData(PlaylistTreeController::PlistPboardType, {});
            const ObjectId target = pick(2) == 0 ? NoObject : anyFolder();
            const int childIndex = pick(3) - 1; // -1: onto the folder itself
            if (tree.validateDrop(&data, target, childIndex) != Qt::IgnoreAction)
                tree.acceptDrop(&data, target, childIndex);
            break;
        }
        case 15: {
            const bool undo = pick(2) == 0;
            action = undo ? QStringLiteral("undo") : QStringLiteral("redo");
            QAction* step = undo ? window.undoAction() : window.redoAction();
            if (step->isEnabled())
                step->trigger();
            break;
        }
        case 16: {
            const int what = pick(3);
            action = what == 0 ? QStringLiteral("sync lock") : QStringLiteral("frame step");
            (what == 0   ? window.syncLockAction()
             : what == 1 ? window.stepForwardAction()
                         : window.stepBackAction())
                ->trigger();
            break;
        }
        }
        runEventsFor(20 + pick(200));
        bool expectedOnly = true;
        for (const AlertRequest& alert : std::as_const(dialogs.alerts)) {
            if (!expected.contains(alert.messageText)) {
                std::fprintf(stderr, "soak: \"%s\" after: %s\n", qPrintable(alert.messageText),
                             qPrintable(action));
                expectedOnly = false;
            }
            ++alertsSeen[alert.messageText];
        }
        dialogs.alerts.clear();
        return expectedOnly;
    };
    // What four playing panes need: the first playlist of four clips, playing for a few seconds.
    const ObjectId first = LibraryRules::createNode(context, settings, false);
    LibraryRules::placeNode(context, first, NoObject);
    treeController.setSelectedObject(first);
    tree.setFilelistPredicateWithPlaylist(false);
    runEventsFor(MovController::ChangeDelay.count() + 200);
    for (int n = 1; n <= 4; ++n)
        nib.qtView(n).placing().createMovieFrame(files.at(n - 1));
    window.playAllAction()->trigger();
    runEventsFor(3000);
    const qint64 firstPlaylist = residentKilobytes();
    for (int kind = 0; kind < Kinds; ++kind) {
        if (!act(kind))
            return 1;
    }
    // A run too short to go on for a warm-up's length after it is only looked at for faults.
    const bool judged = seconds >= 2 * WarmUpSeconds;
    QElapsedTimer clock;
    clock.start();
    qint64 baseline = -1;
    qint64 actions = 0;
    qint64 nextTrace = 0;
    while (clock.elapsed() < seconds * 1000LL) {
        if (!act(pick(Kinds)))
            return 1;
        ++actions;
        if (baseline < 0 && clock.elapsed() >= WarmUpSeconds * 1000LL)
            baseline = residentKilobytes();
        if (clock.elapsed() >= nextTrace) {
            std::fprintf(stderr, "soak: %3lld s, %6lld actions: %lld kB resident; %s\n",
                         clock.elapsed() / 1000, static_cast<long long>(actions),
                         static_cast<long long>(residentKilobytes()), heapText().constData());
            nextTrace += 30000;
        }
    }
    for (auto it = alertsSeen.cbegin(); it != alertsSeen.cend(); ++it)
        std::fprintf(stderr, "soak: alert \"%s\" %d times\n", qPrintable(it.key()), it.value());
    std::fprintf(stderr, "soak: %lld playlists and folders at the end\n",
                 static_cast<long long>(context.fetch(LibrarySchema::Playlist).size()));
    if (!judged) {
        std::fprintf(stderr, "soak: %lld actions in %d s without a fault; memory is judged from %d s on\n",
                     static_cast<long long>(actions), seconds, 2 * WarmUpSeconds);
        return 0;
    }
    const qint64 end = residentKilobytes();
    std::printf("soak.resident_first_playlist_kb: %lld kB\n", static_cast<long long>(firstPlaylist));
    std::printf("soak.resident_end_kb: %lld kB\n", static_cast<long long>(end));
    std::printf("soak.resident_end_to_first_playlist: %.2f ratio\n", double(end) / double(firstPlaylist));
    std::fprintf(stderr,
                 "soak: %lld actions in %d s; resident memory %lld kB after the warm-up, %lld kB at the end "
                 "(%+.1f%%)\n",
                 static_cast<long long>(actions), seconds, static_cast<long long>(baseline),
                 static_cast<long long>(end), 100.0 * (end - baseline) / baseline);
    if (baseline <= 0 || end > baseline + baseline / 10) {
        std::fprintf(stderr, "soak: resident memory grew by more than a tenth\n");
        return 1;
    }
    return 0;
}

} // namespace tetrapan::bench
