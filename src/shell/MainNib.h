#pragma once

#include <array>
#include <memory>

namespace tetrapan {

class CMFilelistHeader;
class CommandKeys;
class CommandRegistry;
class CommandRequests;
class CMMovieView;
class ControlWindow;
class DesktopFileViewer;
class DialogPresenter;
class FileViewer;
class FilelistArrayController;
class FilelistTableView;
class HelpWindow;
class MainWindow;
class MediaControls;
class MovController;
class MovieEngine;
class MovieFilesOpener;
class PaneFolderDrops;
class AlignNotice;
class PaneAligner;
class PaneSnapshot;
class VideoExporter;
class SnapshotNotice;
class PlaylistOutlineView;
class PlaylistTreeController;
class PlaylistWindow;
class PrefsWindow;
class QTMovieSubView;
class SyncLock;
class PanePositions;
class PaneTimeline;
class PaneCompare;
class PixelReadout;
class PlaybackSpeed;
class PaneNudge;
class Scheduler;
class TimelineBar;
class SettingsDomain;
class TBArrayController;
class Tetrapan_AppDelegate;
class ViewControl;
class ViewMain;
class ViewPlaylist;
class ViewPrefs;

// What the objects of the application get from outside: the settings, the clock, the user's answers and
// the movie engine; and the file manager that shows a file, the desktop's own unless one is given.
struct NibServices {
    SettingsDomain& settings;
    Scheduler& scheduler;
    DialogPresenter& dialogs;
    MovieEngine& engine;
    FileViewer* fileViewer = nullptr;
};

// The composition root: builds every object of the application once, connects their outlets and then
// wakes them. The order:
//   1. instantiate: main window, application delegate, the library's content controllers (this opens
//      the library), the library access controller, the pane coordinator and its snapshot taker, the main
//      window's controller, the snapshot notice, panes 1 to 4, the playlist window with its tree, its file
//      table and the table's header menu, and
//      the playlist window's controller; then the control palette, the preferences and help windows and
//      their controllers; the opener of files that come from outside the panes, and the desktop's media
//      controls
//   2. connect outlets and menu commands
//   3. awakeFromNib: application delegate, library access controller, panes 1 to 4, pane coordinator,
//      the main window's controller (it restores the window's and the panes' frames), the main window,
//      its split views and frame-set menu, the palette's controller (it restores the palette's place) and
//      the preferences' controller, the file table (it empties the file list), its header menu, the
//      playlist window's controller (it restores that window's frame and split), playlist tree (last: it
//      restores the last selected playlist, which the coordinator then loads)
//   4. name the commands of the menus, give them the keys the user chose, add the Keys page to the
//      preferences
// showWindows then shows the main window and, over it, the playlist window and the palette if they were
// open at the last quit.
// The settings defaults must already be registered (Tetrapan_AppDelegate::setupDefaults) before the nib
// is loaded, because waking objects read settings. Destruction runs in the reverse order.
class MainNib {
public:
    explicit MainNib(const NibServices& services);
    ~MainNib();
    MainNib(const MainNib&) = delete;
    MainNib& operator=(const MainNib&) = delete;

    Tetrapan_AppDelegate& appDelegate() { return *appDelegate_; }
    MainWindow& mainWindow() { return *mainWindow_; }
    TBArrayController& tbArrayController() { return *tbArrayController_; }
    FilelistArrayController& filelistArrayController() { return *filelistArrayController_; }
    PlaylistTreeController& playlistTreeController() { return *playlistTreeController_; }
    MovController& movController() { return *movController_; }
    ViewMain& viewMain() { return *viewMain_; }
    ViewControl& viewControl() { return *viewControl_; }
    ControlWindow& controlWindow() { return *controlWindow_; }
    ViewPrefs& viewPrefs() { return *viewPrefs_; }
    PrefsWindow& prefsWindow() { return *prefsWindow_; }
    HelpWindow& helpWindow() { return *helpWindow_; }
    // viewNo 1 to 4
    QTMovieSubView& qtView(int viewNo) { return *qtViews_.at(viewNo - 1); }
    CMMovieView& cmMovieView(int viewNo) { return *cmMovieViews_.at(viewNo - 1); }
    PlaylistWindow& playlistWindow() { return *playlistWindow_; }
    PlaylistOutlineView& olvPlaylist() { return *olvPlaylist_; }
    FilelistTableView& tbvFilelist() { return *tbvFilelist_; }
    CMFilelistHeader& cmFilelistHeader() { return *cmFilelistHeader_; }
    ViewPlaylist& viewPlaylist() { return *viewPlaylist_; }
    MovieFilesOpener& movieFilesOpener() { return *movieFilesOpener_; }
    // offered on the session bus by the program's start, when there is one
    MediaControls& mediaControls() { return *mediaControls_; }
    PaneSnapshot& paneSnapshot() { return *paneSnapshot_; }
    SnapshotNotice& snapshotNotice() { return *snapshotNotice_; }
    VideoExporter& videoExporter() { return *videoExporter_; }
    SyncLock& syncLock() { return *syncLock_; }
    PaneTimeline& paneTimeline() { return *paneTimeline_; }
    TimelineBar& timelineBar() { return *timelineBar_; }
    PlaybackSpeed& playbackSpeed() { return *playbackSpeed_; }
    PaneCompare& paneCompare() { return *paneCompare_; }
    PixelReadout& pixelReadout() { return *pixelReadout_; }
    // every command by name, the keys chosen for them and what is asked of the program by name
    CommandRegistry& commandRegistry() { return *commandRegistry_; }
    CommandKeys& commandKeys() { return *commandKeys_; }
    CommandRequests& commandRequests() { return *commandRequests_; }
    PaneAligner& paneAligner() { return *paneAligner_; }
    AlignNotice& alignNotice() { return *alignNotice_; }
    PanePositions& panePositions() { return *panePositions_; }
    PaneNudge& paneNudge() { return *paneNudge_; }

    void showWindows();

private:
    void instantiate();
    void instantiatePalette();
    // each window's outlets in windowWiring, the application's menu commands in menuCommands
    void connectOutlets();
    void awakeFromNib();
    void awakeMainWindowLayout();
    void awakePalette();
    void awakePlaylistWindow();
    // once every menu is made and awake: the commands by name and their keys, with the Keys page
    void nameCommands();

    NibServices services_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<Tetrapan_AppDelegate> appDelegate_;
    std::unique_ptr<FilelistArrayController> filelistArrayController_;
    std::unique_ptr<PlaylistTreeController> playlistTreeController_;
    std::unique_ptr<TBArrayController> tbArrayController_;
    std::unique_ptr<MovController> movController_;
    std::unique_ptr<ViewMain> viewMain_;
    std::unique_ptr<ViewControl> viewControl_;
    std::unique_ptr<ViewPrefs> viewPrefs_;
    std::unique_ptr<MovieFilesOpener> movieFilesOpener_;
    std::unique_ptr<PaneFolderDrops> paneFolderDrops_;
    std::unique_ptr<MediaControls> mediaControls_;
    // owned by the main window
    ControlWindow* controlWindow_ = nullptr;
    PrefsWindow* prefsWindow_ = nullptr;
    HelpWindow* helpWindow_ = nullptr;
    // owned by their slots in the main window
    std::array<QTMovieSubView*, 4> qtViews_{};
    // owned by their panes
    std::array<CMMovieView*, 4> cmMovieViews_{};
    // owned by the main window, over its panes
    SnapshotNotice* snapshotNotice_ = nullptr;
    std::unique_ptr<DesktopFileViewer> desktopFileViewer_;
    FileViewer* fileViewer_ = nullptr;
    std::unique_ptr<ViewPlaylist> viewPlaylist_;
    // owned by the main window
    PlaylistWindow* playlistWindow_ = nullptr;
    // owned by the playlist window
    PlaylistOutlineView* olvPlaylist_ = nullptr;
    FilelistTableView* tbvFilelist_ = nullptr;
    CMFilelistHeader* cmFilelistHeader_ = nullptr;

    // File > Save Snapshot; it waits for the panes' movies, so it goes before the coordinator and the panes
    std::unique_ptr<PaneSnapshot> paneSnapshot_;
    // watches the panes through the coordinator
    std::unique_ptr<SyncLock> syncLock_;
    // the seek bar of all panes and the A–B loop; the bar, owned by the main window, lets go of it first
    std::unique_ptr<PaneTimeline> paneTimeline_;
    TimelineBar* timelineBar_ = nullptr;
    // sets the panes' speed with the lock's knowledge
    std::unique_ptr<PlaybackSpeed> playbackSpeed_;
    std::unique_ptr<PaneCompare> paneCompare_;
    std::unique_ptr<PixelReadout> pixelReadout_;
    std::unique_ptr<CommandRegistry> commandRegistry_;
    std::unique_ptr<CommandKeys> commandKeys_;
    std::unique_ptr<CommandRequests> commandRequests_;
    // aligns the panes by sound or flash on a thread of its own; its notice, over the panes, is the main
    // window's
    std::unique_ptr<PaneAligner> paneAligner_;
    AlignNotice* alignNotice_ = nullptr;
    // where each playlist's panes stood; kept at quit through the delegate
    std::unique_ptr<PanePositions> panePositions_;
    // File > Export Video; reads the panes and the time line, so it goes before them
    std::unique_ptr<VideoExporter> videoExporter_;
    // moves one pane's offset, with the lock's knowledge; the pane menus reach it
    std::unique_ptr<PaneNudge> paneNudge_;
};

} // namespace tetrapan
