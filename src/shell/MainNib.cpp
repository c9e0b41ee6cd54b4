#include "shell/MainNib.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "layout/SplitSubView.h"
#include "layout/VideoExporter.h"
#include "layout/ViewMain.h"
#include "library/FilelistArrayController.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "palette/ViewPrefs.h"
#include "panes/AlignNotice.h"
#include "panes/CMMovieView.h"
#include "panes/MovController.h"
#include "panes/PaneAligner.h"
#include "panes/PaneCompare.h"
#include "panes/PaneNudge.h"
#include "panes/PixelReadout.h"
#include "panes/PaneSnapshot.h"
#include "panes/PaneTimeline.h"
#include "panes/PlaybackSpeed.h"
#include "panes/QTMovieSubView.h"
#include "panes/PanePositions.h"
#include "panes/SnapshotNotice.h"
#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/ViewPlaylist.h"
#include "shell/AboutTetrapan.h"
#include "shell/CommandKeys.h"
#include "shell/CommandRegistry.h"
#include "shell/CommandRequests.h"
#include "shell/DesktopFileViewer.h"
#include "shell/EmptyLibraryHint.h"
#include "shell/KeysPage.h"
#include "shell/MainWindow.h"
#include "shell/MediaControls.h"
#include "shell/MovieFilesOpener.h"
#include "shell/PaneFolderDrops.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/alignCommands.h"
#include "shell/menuCommands.h"
#include "shell/windowWiring.h"
#include "widgets/ListFontSize.h"
#include "widgets/Resources.h"

namespace tetrapan {

MainNib::MainNib(const NibServices& services) : services_(services)
{
    initResources();
    instantiate();
    instantiatePalette();
    connectOutlets();
    awakeFromNib();
    nameCommands();
}

MainNib::~MainNib()
{
    mainWindow_->setCloseRequestHandler({});
    commandRequests_.reset();
    commandKeys_.reset();
    commandRegistry_.reset();
    mediaControls_.reset();
    // its analysis ends before the panes it reads go
    paneAligner_.reset();
    appDelegate_->isExporting = {};
    appDelegate_->stopExporting = {};
    videoExporter_.reset();
    paneSnapshot_.reset();
    for (CMMovieView* menu : cmMovieViews_) {
        menu->setPaneNudge(nullptr);
        menu->setPaneAligner(nullptr);
        menu->setPaneCompare(nullptr);
    }
    paneNudge_.reset();
    pixelReadout_.reset();
    paneCompare_.reset();
    playbackSpeed_.reset();
    syncLock_.reset();
    appDelegate_->panePositions = nullptr;
    panePositions_.reset();
    paneTimeline_.reset();
    movieFilesOpener_.reset();
    viewPrefs_.reset();
    viewControl_.reset();
    controlWindow_->menuFrameSet()->viewMain = nullptr;
    appDelegate_->olvPlaylist = nullptr;
    mainWindow_->menuFrameSet()->viewMain = nullptr;
    viewPlaylist_.reset();
    tbvFilelist_->viewMain = nullptr;
    tbvFilelist_->movController = nullptr;
    viewMain_.reset();
    // the panes outlive the coordinator by the main window's teardown; nothing of theirs may reach it then
    for (QTMovieSubView* pane : qtViews_)
        pane->setMovController(nullptr);
    movController_.reset();
    mainWindow_.reset(); // takes the panes and the playlist window with it
    tbArrayController_.reset();
    playlistTreeController_.reset();
    filelistArrayController_.reset();
    appDelegate_.reset();
}

void MainNib::instantiate()
{
    appDelegate_ =
        std::make_unique<Tetrapan_AppDelegate>(services_.settings, services_.scheduler, services_.dialogs);
    // a large library is read while the windows below are built; the context waits for it only then
    appDelegate_->prefetchLibrary();
    mainWindow_ = std::make_unique<MainWindow>();
    movController_ = std::make_unique<MovController>(services_.scheduler, services_.settings);
    paneSnapshot_ = std::make_unique<PaneSnapshot>(*movController_, services_.scheduler, services_.dialogs);
    viewMain_ = std::make_unique<ViewMain>(services_.settings, services_.scheduler);
    fileViewer_ = services_.fileViewer;
    if (!fileViewer_) {
        desktopFileViewer_ = std::make_unique<DesktopFileViewer>(services_.dialogs);
        fileViewer_ = desktopFileViewer_.get();
    }
    snapshotNotice_ = new SnapshotNotice(services_.scheduler, *fileViewer_, mainWindow_->centralWidget());
    paneAligner_ = std::make_unique<PaneAligner>(*movController_);
    alignNotice_ = new AlignNotice(services_.scheduler, mainWindow_->centralWidget());
    const PaneServices paneServices{services_.engine, services_.settings, services_.scheduler,
                                    services_.dialogs, *fileViewer_};
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        auto* pane = new QTMovieSubView(paneServices);
        pane->setAccessibleName(QStringLiteral("Pane %1").arg(viewNo));
        pane->setAccessibleDescription(
            QStringLiteral("A movie pane: double click plays or stops it, a right click opens its menu"));
        mainWindow_->setPane(viewNo, pane);
        qtViews_[viewNo - 1] = pane;
        cmMovieViews_[viewNo - 1] = new CMMovieView(pane);
    }
    syncLock_ = std::make_unique<SyncLock>(services_.scheduler, *movController_);
    panePositions_ = std::make_unique<PanePositions>(*movController_);
    paneTimeline_ = std::make_unique<PaneTimeline>(*movController_, services_.scheduler);
    timelineBar_ = new TimelineBar(*paneTimeline_, services_.scheduler, services_.settings);
    mainWindow_->setTimelineBar(timelineBar_);
    playbackSpeed_ = std::make_unique<PlaybackSpeed>(services_.settings, *movController_, *syncLock_);
    videoExporter_ = std::make_unique<VideoExporter>(*movController_, *paneTimeline_, services_.dialogs,
                                                     services_.scheduler, mainWindow_->spvMain(),
                                                     mainWindow_->centralWidget());
    paneNudge_ = std::make_unique<PaneNudge>(*movController_, *syncLock_);
    for (CMMovieView* menu : cmMovieViews_)
        menu->setPaneNudge(paneNudge_.get());
    paneCompare_ = std::make_unique<PaneCompare>(*movController_, services_.settings, services_.scheduler);
    pixelReadout_ = std::make_unique<PixelReadout>(*movController_, *paneCompare_, services_.scheduler);
    for (CMMovieView* menu : cmMovieViews_)
        menu->setPaneCompare(paneCompare_.get());
    playlistWindow_ = new PlaylistWindow(mainWindow_.get());
    olvPlaylist_ = new PlaylistOutlineView(services_.settings, services_.scheduler, services_.dialogs);
    playlistWindow_->setOlvPlaylist(olvPlaylist_);
    tbvFilelist_ = new FilelistTableView(services_.settings, services_.dialogs, *fileViewer_);
    playlistWindow_->setTbvFilelist(tbvFilelist_);
    cmFilelistHeader_ = new CMFilelistHeader(tbvFilelist_);
    viewPlaylist_ = std::make_unique<ViewPlaylist>(services_.settings);

    // the undo actions must hear the library open, which the content controllers below cause
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::libraryOpened, mainWindow_.get(),
                     [window = mainWindow_.get()](ObjectContext* context) {
                         menuCommands::connectUndoActions(*window, context);
                     });
    ObjectContext& context = *appDelegate_->managedObjectContext();
    filelistArrayController_ = std::make_unique<FilelistArrayController>(context);
    playlistTreeController_ = std::make_unique<PlaylistTreeController>(context);
    tbArrayController_ = std::make_unique<TBArrayController>(context, services_.settings, services_.dialogs);
}

void MainNib::connectOutlets()
{
    Tetrapan_AppDelegate* delegate = appDelegate_.get();
    MainWindow* window = mainWindow_.get();
    delegate->window = window;
    delegate->olvPlaylist = olvPlaylist_;
    delegate->panePositions = panePositions_.get();
    delegate->isExporting = [exporter = videoExporter_.get()] { return exporter->isExporting(); };
    delegate->stopExporting = [exporter = videoExporter_.get()] { exporter->cancel(); };
    windowWiring::connectPlaylistWindow(*this, services_.scheduler);

    tbArrayController_->filelistArrayController = filelistArrayController_.get();
    tbArrayController_->playlistTreeController = playlistTreeController_.get();
    movController_->setMovieEngine(&services_.engine);
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        QTMovieSubView* pane = qtViews_[viewNo - 1];
        pane->setMovController(movController_.get());
        pane->setTbArrayController(tbArrayController_.get());
        pane->setCmMovieView(cmMovieViews_[viewNo - 1]);
        cmMovieViews_[viewNo - 1]->setQtView(pane);
        movController_->setQtView(viewNo, pane);
    }
    movController_->setTbArrayController(tbArrayController_.get());
    movController_->setPlaylistTreeController(playlistTreeController_.get());
    // The playlist window hears the coordinator's play-button refreshes and its request to open the window
    // (windowWiring::connectPlaylistWindow); the control window listens to the others the same way
    // (windowWiring::connectControlWindow).
    windowWiring::connectMainWindowLayout(*this, services_.settings);
    windowWiring::connectControlWindow(*this, services_.settings);
    windowWiring::connectPrefs(*this, services_.settings);
    menuCommands::connectFileAndPlaybackMenus(*this, services_.dialogs, services_.settings);
    menuCommands::connectApplicationCommands(*this);
    menuCommands::connectMediaControls(*this, services_.settings);
    QObject::connect(window->aboutAction(), &QAction::triggered, window,
                     [&dialogs = services_.dialogs] { aboutTetrapan::show(dialogs); });
}

void MainNib::awakeMainWindowLayout()
{
    MainWindow& window = *mainWindow_;
    // after the panes' own input, so a folder dropped is asked about first; and the hint of how to begin,
    // last, hears drops before both
    paneFolderDrops_ = std::make_unique<PaneFolderDrops>(*movieFilesOpener_, services_.scheduler);
    for (QTMovieSubView* pane : qtViews_) {
        paneFolderDrops_->takeDropsOn(*pane);
        window.emptyLibraryHint()->takeDropsOn(pane);
    }
    for (SplitSubView* splitView : {window.spvMain(), window.spvLeft(), window.spvRight()})
        splitView->awakeFromNib();
    viewMain_->awakeFromNib();
    // after the stored frame is back: that is the frame full screen returns to
    window.awakeFromNib();
    window.menuFrameSet()->awakeFromNib();
    window.frameSetButton()->awakeFromNib();
    window.changeFrameSetButtonImage(tbArrayController_->canLoadFrameSet());
}

void MainNib::instantiatePalette()
{
    controlWindow_ = new ControlWindow(mainWindow_.get());
    viewControl_ = std::make_unique<ViewControl>(services_.settings);
    prefsWindow_ = new PrefsWindow(mainWindow_.get(), services_.settings);
    helpWindow_ = new HelpWindow(mainWindow_.get());
    viewPrefs_ = std::make_unique<ViewPrefs>(services_.settings);
    movieFilesOpener_ =
        std::make_unique<MovieFilesOpener>(*movController_, services_.scheduler, services_.dialogs);
    mediaControls_ = std::make_unique<MediaControls>(*movController_, *paneTimeline_, *olvPlaylist_,
                                                     *mainWindow_, *movieFilesOpener_, services_.settings);
}

void MainNib::awakePalette()
{
    viewControl_->awakeFromNib();
    controlWindow_->menuFrameSet()->awakeFromNib();
    controlWindow_->btnFrameSet()->awakeFromNib();
    viewPrefs_->awakeFromNib();
    listFontSize::apply(playlistWindow_,
                        userDefaultsExtension::defaultIntValue(services_.settings,
                                                               QLatin1String(listFontSize::OptFontSizeList)));
}

void MainNib::awakeFromNib()
{
    appDelegate_->awakeFromNib();
    tbArrayController_->awakeFromNib();
    for (QTMovieSubView* pane : qtViews_)
        pane->awakeFromNib();
    for (CMMovieView* menu : cmMovieViews_)
        menu->awakeFromNib();
    movController_->awakeFromNib();
    awakeMainWindowLayout();
    awakePalette();
    awakePlaylistWindow();
    menuCommands::connectSyncLock(*this, services_.settings);
    menuCommands::connectTimeline(*this, services_.settings);
    menuCommands::connectSpeedAndZoom(*this, services_.settings);
    alignCommands::connect(*this);
    menuCommands::connectNudge(*this);
    paneCompare_->addMenuItems(*mainWindow_->viewMenu(), *mainWindow_);
    pixelReadout_->addMenuItem(*mainWindow_->viewMenu(), *mainWindow_);
}

void MainNib::awakePlaylistWindow()
{
    // the table first empties the file list; the tree then chooses the last run's playlist, which fills it
    tbvFilelist_->awakeFromNib();
    cmFilelistHeader_->awakeFromNib();
    viewPlaylist_->awakeFromNib();
    olvPlaylist_->awakeFromNib();
}

void MainNib::nameCommands()
{
    commandRegistry_ = std::make_unique<CommandRegistry>(
        *mainWindow_, [this](int viewNo) -> QMenu* { return cmMovieViews_.at(viewNo - 1); });
    commandKeys_ = std::make_unique<CommandKeys>(services_.settings, *commandRegistry_, *mainWindow_);
    // the panes' own keys: the panes let them go once their commands have others; the palette and the
    // playlist window play and stop with the space bar while it is Play or Stop All's key, and with the main
    // window's once the key is moved
    commandKeys_->setPanes({qtViews_.cbegin(), qtViews_.cend()});
    commandKeys_->followOwnKey(QKeySequence(Qt::Key_Space), [this](const QKeySequence& key) {
        controlWindow_->btnPlay()->setShortcut(key);
        viewPlaylist_->setPlayKey(key);
    });
    commandRequests_ = std::make_unique<CommandRequests>(*commandRegistry_, *movController_, *olvPlaylist_,
                                                         *movieFilesOpener_, services_.scheduler);
    prefsWindow_->addPage(new KeysPage(*commandKeys_), QStringLiteral("&Keys"));
}

void MainNib::showWindows()
{
    mainWindow_->show();
    // a floating window opens over the main window, so only once that is on screen; the palette comes back
    // without taking the keyboard, and the playlist window, opened last, has it
    viewControl_->openIfWasOpen();
    viewPlaylist_->openIfWasOpen();
}

} // namespace tetrapan
