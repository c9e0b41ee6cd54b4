#include "shell/MainNib.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "layout/SplitSubView.h"
#include "layout/ViewMain.h"
#include "library/FilelistArrayController.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/ListFontSize.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "palette/ViewPrefs.h"
#include "panes/CMMovieView.h"
#include "panes/MovController.h"
#include "panes/PaneSnapshot.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/TextColorTransformer.h"
#include "playlist/ViewPlaylist.h"
#include "shell/DesktopFileViewer.h"
#include "shell/MainWindow.h"
#include "shell/MovieFilesOpener.h"
#include "shell/Resources.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>
#include <QUndoStack>

namespace tetrapan {

MainNib::MainNib(const NibServices& services) : services_(services)
{
    initResources();
    instantiate();
    instantiatePalette();
    connectOutlets();
    awakeFromNib();
}

MainNib::~MainNib()
{
    mainWindow_->setCloseRequestHandler({});
    paneSnapshot_.reset();
    syncLock_.reset();
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
        desktopFileViewer_ = std::make_unique<DesktopFileViewer>();
        fileViewer_ = desktopFileViewer_.get();
    }
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
    playlistWindow_ = new PlaylistWindow(mainWindow_.get());
    olvPlaylist_ = new PlaylistOutlineView(services_.settings, services_.scheduler, services_.dialogs);
    playlistWindow_->setOlvPlaylist(olvPlaylist_);
    tbvFilelist_ = new FilelistTableView(services_.settings, services_.dialogs, *fileViewer_);
    playlistWindow_->setTbvFilelist(tbvFilelist_);
    cmFilelistHeader_ = new CMFilelistHeader(tbvFilelist_);
    viewPlaylist_ = std::make_unique<ViewPlaylist>(services_.settings);

    // the undo actions must hear the library open, which the content controllers below cause
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::libraryOpened, mainWindow_.get(),
                     [this](ObjectContext* context) { connectUndoActions(context); });
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
    connectPlaylistWindow();

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
    // (connectPlaylistWindowController); the control window listens to the others the same way
    // (connectControlWindow).
    connectMainWindowLayout();
    connectControlWindow();
    connectPrefs();
    connectFileAndPlaybackMenus();

    QObject::connect(window->saveAction(), &QAction::triggered, delegate,
                     [delegate] { delegate->saveAction(); });
    QObject::connect(window->quitAction(), &QAction::triggered, delegate,
                     [delegate] { delegate->terminate(); });
    window->setCloseRequestHandler([delegate] { return delegate->isTerminating() || delegate->terminate(); });

    QObject::connect(window->undoAction(), &QAction::triggered, delegate, [delegate, window] {
        if (QUndoStack* stack = delegate->windowWillReturnUndoManager(window))
            stack->undo();
    });
    QObject::connect(window->redoAction(), &QAction::triggered, delegate, [delegate, window] {
        if (QUndoStack* stack = delegate->windowWillReturnUndoManager(window))
            stack->redo();
    });
}

void MainNib::connectFileAndPlaybackMenus()
{
    MainWindow* window = mainWindow_.get();
    MovieFilesOpener* opener = movieFilesOpener_.get();
    DialogPresenter* dialogs = &services_.dialogs;
    QObject::connect(tbvFilelist_, &FilelistTableView::filesDropped, opener, &MovieFilesOpener::openFiles);
    QObject::connect(window->openMoviesAction(), &QAction::triggered, opener, [opener, dialogs] {
        opener->openFiles(
            dialogExtension::selectFilePath(*dialogs, true, false, true, false, true, QString()));
    });
    // a playlist made from the main window is named in the playlist window, which opens for it
    PlaylistOutlineView* tree = olvPlaylist_;
    ViewPlaylist* playlists = viewPlaylist_.get();
    QObject::connect(window->newPlaylistAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFile();
    });
    QObject::connect(window->newFolderAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFolder();
    });

    MovController* coordinator = movController_.get();
    QObject::connect(window->playAllAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->changeAllMoviePlay(); });
    for (QAction* skip : window->skipActions())
        QObject::connect(skip, &QAction::triggered, coordinator,
                         [coordinator, skip] { coordinator->changeAllMovieTime(skip); });
    QObject::connect(window->syncAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->syncAllMovieTime(); });
    // snapshots of what the panes show
    PaneSnapshot* snapshot = paneSnapshot_.get();
    snapshot->setShownArea(window->spvMain());
    QObject::connect(coordinator, &MovController::mainWindowTitleChanged, snapshot, &PaneSnapshot::setTitle);
    QObject::connect(window->snapshotAction(), &QAction::triggered, snapshot,
                     [snapshot] { snapshot->takeSnapshot(); });
    // single frames
    QObject::connect(window->stepBackAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->stepAllMovieFrame(false); });
    QObject::connect(window->stepForwardAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->stepAllMovieFrame(true); });
    QObject::connect(window->previousPlaylistAction(), &QAction::triggered, tree,
                     [tree] { tree->selectBackRow(); });
    QObject::connect(window->nextPlaylistAction(), &QAction::triggered, tree,
                     [tree] { tree->selectNextRow(); });
}

void MainNib::connectPlaylistWindow()
{
    PlaylistOutlineView* tree = olvPlaylist_;
    tree->movController = movController_.get();
    tree->playlistTreeController = playlistTreeController_.get();
    tree->cmPlaylist = playlistWindow_->cmPlaylist();
    PlaylistWindow* window = playlistWindow_;
    QObject::connect(window->addPlaylistAction(), &QAction::triggered, tree, [tree] { tree->addFile(); });
    QObject::connect(window->addFolderAction(), &QAction::triggered, tree, [tree] { tree->addFolder(); });
    QObject::connect(window->renameAction(), &QAction::triggered, tree, [tree] { tree->editSelectedRow(); });
    QObject::connect(window->removeAction(), &QAction::triggered, tree, [tree] { tree->removeItem(); });
    connectPlaylistTable();
    connectPlaylistWindowController();
}

void MainNib::connectPlaylistTable()
{
    FilelistTableView* table = tbvFilelist_;
    table->viewMain = viewMain_.get();
    table->tbArrayController = tbArrayController_.get();
    table->movController = movController_.get();
    table->filelistArrayController = filelistArrayController_.get();
    table->cmFilelist = playlistWindow_->cmFilelist();
    table->cmFilelistHeader = cmFilelistHeader_;
    cmFilelistHeader_->tbvFilelist = table;
    // a missing file's entry is greyed through the "TextColorTransformer"
    TextColorTransformer(*appDelegate_->managedObjectContext()).registerWith(*filelistArrayController_);

    PlaylistWindow* window = playlistWindow_;
    QObject::connect(window->zoomEntryAction(), &QAction::triggered, table,
                     [table] { table->maximizeFrame(); });
    QObject::connect(window->revealEntryAction(), &QAction::triggered, table,
                     [table] { table->showFileWithFinder(); });
    QObject::connect(window->removeEntryAction(), &QAction::triggered, table,
                     [table] { table->removeItem(); });
    QObject::connect(window, &PlaylistWindow::windowWillClose, table, &FilelistTableView::windowWillClose);
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::applicationWillTerminate, table,
                     &FilelistTableView::applicationWillTerminate);
}

void MainNib::connectPlaylistWindowController()
{
    ViewPlaylist* controller = viewPlaylist_.get();
    PlaylistWindow* window = playlistWindow_;
    MovController* coordinator = movController_.get();
    controller->movController = coordinator;
    controller->tbArrayController = tbArrayController_.get();
    controller->playlistWindow = window;
    controller->spvPlaylist = window->spvPlaylist();
    controller->tbvFilelist = tbvFilelist_;
    controller->olvPlaylist = olvPlaylist_;
    controller->btnAdd = window->btnAdd();
    controller->btnRemove = window->btnRemove();
    controller->btnPlay = window->btnPlay();
    controller->btnFrame = window->btnFrame();
    window->btnFrame()->tbArrayController = tbArrayController_.get();

    QObject::connect(window->btnPlay(), &QToolButton::clicked, coordinator,
                     [coordinator] { coordinator->changeAllMoviePlay(); });
    FilelistTableView* table = tbvFilelist_;
    QObject::connect(window->btnFrame(), &QToolButton::clicked, table, [table] { table->maximizeFrame(); });
    QObject::connect(coordinator, &MovController::playButtonImageNeedsRefresh, controller,
                     &ViewPlaylist::changePlayButtonImage);
    QObject::connect(coordinator, &MovController::playButtonEnabledNeedsRefresh, controller,
                     &ViewPlaylist::changePlayButtonEnabled);
    // a pane that needs a playlist offers to open this window
    QObject::connect(coordinator, &MovController::openPlaylistWindowRequested, controller,
                     &ViewPlaylist::openPlaylistWindow);
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::applicationWillTerminate, controller,
                     &ViewPlaylist::applicationWillTerminate);

    QAction* toggle = mainWindow_->playlistWindowAction();
    QObject::connect(toggle, &QAction::triggered, controller,
                     [controller] { controller->changePlaylistWindow(); });
    QObject::connect(window, &PlaylistWindow::visibilityChanged, toggle, &QAction::setChecked);
}

void MainNib::connectMainWindowLayout()
{
    ViewMain* viewMain = viewMain_.get();
    MainWindow* window = mainWindow_.get();
    MovController* coordinator = movController_.get();
    TBArrayController* library = tbArrayController_.get();
    viewMain->tbArrayController = library;
    viewMain->movController = coordinator;
    viewMain->mainWindow = window;
    viewMain->spvMain = window->spvMain();
    viewMain->spvLeft = window->spvLeft();
    viewMain->spvRight = window->spvRight();
    window->menuFrameSet()->viewMain = viewMain;
    window->menuFrameSet()->tbArrayController = library;

    // the coordinator asks for the layout through its signals, as a call
    QObject::connect(coordinator, &MovController::mainWindowTitleChanged, viewMain,
                     &ViewMain::setMainWindowTitle);
    QObject::connect(coordinator, &MovController::maximizeSplitViewFrameRequested, viewMain,
                     &ViewMain::maximizeSplitViewFrame);
    QObject::connect(coordinator, &MovController::loadSplitViewFrameRequested, viewMain,
                     &ViewMain::loadSplitViewFrame);
    QObject::connect(coordinator, &MovController::frameSetButtonImageNeedsRefresh, window,
                     [window, library] { window->changeFrameSetButtonImage(library->canLoadFrameSet()); });
    // every way of quitting closes the main window, which stores its frame and the panes' frames
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::applicationWillTerminate, viewMain,
                     &ViewMain::windowWillCloseMain);

    QAction* showDividers = window->showDividersAction();
    QObject::connect(showDividers, &QAction::triggered, viewMain,
                     [viewMain] { viewMain->changeDividerSize(); });
    SettingsDomain& settings = services_.settings;
    QObject::connect(&settings, &SettingsDomain::valueChanged, showDividers,
                     [&settings, showDividers](const QString& key) {
                         if (key == QLatin1String(ViewMain::OptDividerEnable))
                             showDividers->setChecked(userDefaultsExtension::defaultBoolValue(settings, key));
                     });
    for (int viewNo = 0; viewNo <= 4; ++viewNo) {
        QAction* zoom = window->zoomPaneAction(viewNo);
        QObject::connect(zoom, &QAction::triggered, viewMain,
                         [viewMain, zoom] { viewMain->maximizeFrameFromMenu(zoom); });
    }
    QAction* autoFramePlay = window->autoFramePlayAction();
    QObject::connect(autoFramePlay, &QAction::triggered, viewMain,
                     [viewMain] { viewMain->changeAutoFramePlay(); });
    QObject::connect(viewMain, &ViewMain::autoFramePlayChanged, autoFramePlay, &QAction::setChecked);
    QAction* fullScreen = window->fullScreenAction();
    QObject::connect(fullScreen, &QAction::triggered, window, [window] { window->changeFullScreen(); });
    QObject::connect(window, &FullScreenWindow::fullScreenChanged, fullScreen, &QAction::setChecked);
}

void MainNib::awakeMainWindowLayout()
{
    MainWindow& window = *mainWindow_;
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
}

void MainNib::connectControlWindow()
{
    ViewControl* control = viewControl_.get();
    ControlWindow* palette = controlWindow_;
    MovController* coordinator = movController_.get();
    ViewMain* viewMain = viewMain_.get();
    MainWindow* window = mainWindow_.get();
    PlaylistOutlineView* tree = olvPlaylist_;
    control->tbArrayController = tbArrayController_.get();
    control->movController = coordinator;
    control->controlWindow = palette;
    control->mainWindow = window;
    control->olvPlaylist = tree;
    for (int viewNo = 1; viewNo <= 4; ++viewNo)
        control->qtView[viewNo - 1] = qtViews_[viewNo - 1];
    palette->menuFrameSet()->viewMain = viewMain;
    palette->menuFrameSet()->tbArrayController = tbArrayController_.get();

    // what the coordinator asks the palette to follow
    QObject::connect(coordinator, &MovController::frameButtonImageNeedsRefresh, control,
                     &ViewControl::changeFrameButtonImage);
    QObject::connect(coordinator, &MovController::playButtonImageNeedsRefresh, control,
                     &ViewControl::changePlayButtonImage);
    QObject::connect(coordinator, &MovController::playButtonEnabledNeedsRefresh, control,
                     &ViewControl::changePlayButtonEnabled);
    QObject::connect(coordinator, &MovController::frameSetButtonImageNeedsRefresh, control,
                     &ViewControl::changeFrameSetButtonImage);
    QObject::connect(coordinator, &MovController::syncButtonEnabledNeedsRefresh, control,
                     &ViewControl::changeSyncButtonEnabled);
    QObject::connect(coordinator, &MovController::controllerButtonStateNeedsRefresh, control,
                     &ViewControl::changeControllerButtonState);
    QObject::connect(coordinator, &MovController::scaleButtonStateNeedsRefresh, control,
                     &ViewControl::changeScaleButtonState);
    QObject::connect(coordinator, &MovController::soundButtonStateNeedsRefresh, control,
                     &ViewControl::changeSoundButtonState);
    QObject::connect(coordinator, &MovController::moveButtonEnabledNeedsRefresh, control,
                     &ViewControl::changeMoveButtonEnabled);
    QObject::connect(coordinator, &MovController::controlWindowTitleChanged, control,
                     &ViewControl::setControlWindowTitle);
    // back and next also depend on which rows there are: a folder opening below the last row adds rows
    // without changing the selection
    const auto moveButtons = [control] { control->changeMoveButtonEnabled(); };
    QObject::connect(tree, &QTreeView::expanded, control, moveButtons);
    QObject::connect(tree, &QTreeView::collapsed, control, moveButtons);
    QAbstractItemModel* rows = playlistTreeController_.get();
    QObject::connect(rows, &QAbstractItemModel::rowsInserted, control, moveButtons);
    QObject::connect(rows, &QAbstractItemModel::rowsRemoved, control, moveButtons);
    QObject::connect(rows, &QAbstractItemModel::rowsMoved, control, moveButtons);
    QObject::connect(rows, &QAbstractItemModel::modelReset, control, moveButtons);

    // the buttons' commands
    QObject::connect(palette->btnPlay(), &QToolButton::clicked, coordinator,
                     [coordinator] { coordinator->changeAllMoviePlay(); });
    QObject::connect(palette->btnMoveBack(), &QToolButton::clicked, tree, [tree] { tree->selectBackRow(); });
    QObject::connect(palette->btnMoveNext(), &QToolButton::clicked, tree, [tree] { tree->selectNextRow(); });
    QObject::connect(palette->btnMainWindow(), &QToolButton::clicked, window,
                     [window] { window->changeFullScreen(); });
    for (int viewNo = 1; viewNo <= 4; ++viewNo) {
        QToolButton* button = palette->btnFrame(viewNo);
        QObject::connect(button, &QToolButton::clicked, viewMain,
                         [viewMain, button] { viewMain->maximizeFrameFromButton(button); });
    }
    QObject::connect(palette->btnSync(), &QToolButton::clicked, coordinator,
                     [coordinator] { coordinator->syncAllMovieTime(); });
    for (QToolButton* button :
         {palette->btnSkipStart(), palette->btnSkipBack(), palette->btnSkipNext(), palette->btnSkipEnd()})
        QObject::connect(button, &QToolButton::clicked, coordinator,
                         [coordinator, button] { coordinator->changeAllMovieTime(button); });
    // an on/off button shows the state the command left, whatever the click did to its check mark
    QObject::connect(palette->btnDivider(), &QToolButton::clicked, viewMain, [viewMain, control] {
        viewMain->changeDividerSize();
        control->changeDividerButtonState();
    });
    QObject::connect(palette->btnController(), &QToolButton::clicked, coordinator, [coordinator, control] {
        coordinator->changeAllMovieController();
        control->changeControllerButtonState();
    });
    QObject::connect(palette->btnScale(), &QToolButton::clicked, coordinator, [coordinator, control] {
        coordinator->changeAllMovieAspect();
        control->changeScaleButtonState();
    });
    QObject::connect(palette->btnSound(), &QToolButton::clicked, coordinator, [coordinator, control] {
        coordinator->changeAllMovieSound();
        control->changeSoundButtonState();
    });

    QAction* toggle = window->controlWindowAction();
    QObject::connect(toggle, &QAction::triggered, control, [control] { control->changeControlWindow(); });
    QObject::connect(palette, &AuxiliaryWindow::visibilityChanged, toggle, &QAction::setChecked);
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::applicationWillTerminate, control,
                     &ViewControl::applicationWillTerminate);
}

void MainNib::connectPrefs()
{
    ViewPrefs* prefs = viewPrefs_.get();
    MainWindow* window = mainWindow_.get();
    prefs->prefsWindow = prefsWindow_;
    prefs->helpWindow = helpWindow_;
    prefs->mainWindow = window;
    QObject::connect(window->preferencesAction(), &QAction::triggered, prefs,
                     [prefs] { prefs->openPrefsWindow(); });
    QObject::connect(window->helpAction(), &QAction::triggered, prefs, [prefs] { prefs->openHelpWindow(); });
    QObject::connect(appDelegate_.get(), &Tetrapan_AppDelegate::applicationWillTerminate, prefs,
                     &ViewPrefs::applicationWillTerminate);

    // the help lists the keys of every window that has any
    ShortcutList& keys = helpWindow_->shortcutList();
    keys.addWindow(QStringLiteral("main window"), window);
    keys.addWindow(QStringLiteral("playlist window"), playlistWindow_);
    keys.addWindow(QStringLiteral("control palette"), controlWindow_);
    keys.addWindow(QStringLiteral("preferences"), prefsWindow_);
    keys.addWindow(QStringLiteral("help window"), helpWindow_);
    connectListFontSize();
}

void MainNib::connectListFontSize()
{
    SettingsDomain& settings = services_.settings;
    QWidget* lists = playlistWindow_;
    const QString key = QLatin1String(listFontSize::OptFontSizeList);
    QObject::connect(
        &settings, &SettingsDomain::valueChanged, lists, [&settings, lists, key](const QString& changed) {
            if (changed == key)
                listFontSize::apply(lists, userDefaultsExtension::defaultIntValue(settings, key));
        });
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

void MainNib::connectUndoActions(ObjectContext* context)
{
    QUndoStack* stack = context->undoManager();
    QAction* undo = mainWindow_->undoAction();
    QAction* redo = mainWindow_->redoAction();
    auto refresh = [stack, undo, redo] {
        undo->setEnabled(stack->canUndo());
        redo->setEnabled(stack->canRedo());
        undo->setText(stack->undoText().isEmpty() ? QStringLiteral("&Undo")
                                                  : QStringLiteral("&Undo %1").arg(stack->undoText()));
        redo->setText(stack->redoText().isEmpty() ? QStringLiteral("&Redo")
                                                  : QStringLiteral("&Redo %1").arg(stack->redoText()));
    };
    QObject::connect(stack, &QUndoStack::indexChanged, undo, refresh);
    QObject::connect(stack, &QUndoStack::canUndoChanged, undo, refresh);
    QObject::connect(stack, &QUndoStack::canRedoChanged, undo, refresh);
    refresh();
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
    connectSyncLock();
}

void MainNib::connectSyncLock()
{
    SyncLock* lock = syncLock_.get();
    // each pane keeps the offset stored on its entry of the current playlist
    lock->setOffsetProvider(
        [coordinator = movController_.get()](int viewNo) { return coordinator->movieOffsetMs(viewNo); });
    QAction* action = mainWindow_->syncLockAction();
    QToolButton* button = controlWindow_->btnSyncLock();
    SettingsDomain& settings = services_.settings;
    const QString key = QLatin1String(SyncLock::OptSyncLock);
    const auto follow = [lock, action, button, &settings, key] {
        const bool on = userDefaultsExtension::defaultBoolValue(settings, key);
        lock->setEnabled(on);
        action->setChecked(on);
        button->setChecked(on);
    };
    const auto store = [&settings, key](bool on) {
        userDefaultsExtension::setDefaultBoolValue(settings, on, key);
    };
    QObject::connect(action, &QAction::triggered, lock, store);
    QObject::connect(button, &QToolButton::clicked, lock, store);
    QObject::connect(&settings, &SettingsDomain::valueChanged, lock, [follow, key](const QString& changed) {
        if (changed == key)
            follow();
    });
    follow();
}

void MainNib::awakePlaylistWindow()
{
    // the table first empties the file list; the tree then chooses the last run's playlist, which fills it
    tbvFilelist_->awakeFromNib();
    cmFilelistHeader_->awakeFromNib();
    viewPlaylist_->awakeFromNib();
    olvPlaylist_->awakeFromNib();
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
