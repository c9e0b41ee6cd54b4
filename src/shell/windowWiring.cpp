#include "shell/windowWiring.h"

#include "layout/ButtonForMenu.h"
#include "layout/MenuFrameSet.h"
#include "layout/ViewMain.h"
#include "library/FileExistenceCache.h"
#include "library/FilelistArrayController.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "palette/ControlWindow.h"
#include "palette/HelpWindow.h"
#include "palette/PrefsWindow.h"
#include "palette/ViewControl.h"
#include "palette/ViewPrefs.h"
#include "panes/MovController.h"
#include "panes/MovieControllerBar.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/ButtonSelectFilelist.h"
#include "playlist/CMFilelistHeader.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/TextColorTransformer.h"
#include "playlist/ViewPlaylist.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "widgets/ListFontSize.h"

#include <QAction>
#include <QToolButton>

namespace tetrapan::windowWiring {

namespace {

void connectPlaylistTable(MainNib& nib, Scheduler& scheduler)
{
    FilelistTableView* table = &nib.tbvFilelist();
    table->viewMain = &nib.viewMain();
    table->tbArrayController = &nib.tbArrayController();
    table->movController = &nib.movController();
    table->filelistArrayController = &nib.filelistArrayController();
    table->cmFilelist = nib.playlistWindow().cmFilelist();
    table->cmFilelistHeader = &nib.cmFilelistHeader();
    nib.cmFilelistHeader().tbvFilelist = table;
    // a missing file's entry is greyed through the "TextColorTransformer"; the cache goes with the list
    auto* existence = new FileExistenceCache(scheduler, {}, &nib.filelistArrayController());
    TextColorTransformer(*nib.appDelegate().managedObjectContext(), *existence)
        .registerWith(nib.filelistArrayController());

    PlaylistWindow* window = &nib.playlistWindow();
    QObject::connect(window->zoomEntryAction(), &QAction::triggered, table,
                     [table] { table->maximizeFrame(); });
    QObject::connect(window->revealEntryAction(), &QAction::triggered, table,
                     [table] { table->showFileWithFinder(); });
    QObject::connect(window->removeEntryAction(), &QAction::triggered, table,
                     [table] { table->removeItem(); });
    QObject::connect(window, &PlaylistWindow::windowWillClose, table, &FilelistTableView::windowWillClose);
    QObject::connect(&nib.appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, table,
                     &FilelistTableView::applicationWillTerminate);
}

void connectPlaylistWindowController(MainNib& nib)
{
    ViewPlaylist* controller = &nib.viewPlaylist();
    PlaylistWindow* window = &nib.playlistWindow();
    MovController* coordinator = &nib.movController();
    controller->movController = coordinator;
    controller->tbArrayController = &nib.tbArrayController();
    controller->playlistWindow = window;
    controller->spvPlaylist = window->spvPlaylist();
    controller->tbvFilelist = &nib.tbvFilelist();
    controller->olvPlaylist = &nib.olvPlaylist();
    controller->btnAdd = window->btnAdd();
    controller->btnRemove = window->btnRemove();
    controller->btnPlay = window->btnPlay();
    controller->btnFrame = window->btnFrame();
    window->btnFrame()->tbArrayController = &nib.tbArrayController();

    QObject::connect(window->btnPlay(), &QToolButton::clicked, coordinator,
                     [coordinator] { coordinator->changeAllMoviePlay(); });
    FilelistTableView* table = &nib.tbvFilelist();
    QObject::connect(window->btnFrame(), &QToolButton::clicked, table, [table] { table->maximizeFrame(); });
    QObject::connect(coordinator, &MovController::playButtonImageNeedsRefresh, controller,
                     &ViewPlaylist::changePlayButtonImage);
    QObject::connect(coordinator, &MovController::playButtonEnabledNeedsRefresh, controller,
                     &ViewPlaylist::changePlayButtonEnabled);
    // a pane that needs a playlist offers to open this window
    QObject::connect(coordinator, &MovController::openPlaylistWindowRequested, controller,
                     &ViewPlaylist::openPlaylistWindow);
    QObject::connect(&nib.appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, controller,
                     &ViewPlaylist::applicationWillTerminate);

    QAction* toggle = nib.mainWindow().playlistWindowAction();
    QObject::connect(toggle, &QAction::triggered, controller,
                     [controller] { controller->changePlaylistWindow(); });
    QObject::connect(window, &PlaylistWindow::visibilityChanged, toggle, &QAction::setChecked);
}

void connectListFontSize(MainNib& nib, SettingsDomain& settings)
{
    QWidget* lists = &nib.playlistWindow();
    const QString key = QLatin1String(listFontSize::OptFontSizeList);
    QObject::connect(
        &settings, &SettingsDomain::valueChanged, lists, [&settings, lists, key](const QString& changed) {
            if (changed == key)
                listFontSize::apply(lists, userDefaultsExtension::defaultIntValue(settings, key));
        });
}

} // namespace

void connectPlaylistWindow(MainNib& nib, Scheduler& scheduler)
{
    PlaylistOutlineView* tree = &nib.olvPlaylist();
    tree->movController = &nib.movController();
    tree->playlistTreeController = &nib.playlistTreeController();
    tree->cmPlaylist = nib.playlistWindow().cmPlaylist();
    PlaylistWindow* window = &nib.playlistWindow();
    QObject::connect(window->addPlaylistAction(), &QAction::triggered, tree, [tree] { tree->addFile(); });
    QObject::connect(window->addFolderAction(), &QAction::triggered, tree, [tree] { tree->addFolder(); });
    QObject::connect(window->renameAction(), &QAction::triggered, tree, [tree] { tree->editSelectedRow(); });
    QObject::connect(window->removeAction(), &QAction::triggered, tree, [tree] { tree->removeItem(); });
    connectPlaylistTable(nib, scheduler);
    connectPlaylistWindowController(nib);
}

void connectMainWindowLayout(MainNib& nib, SettingsDomain& settings)
{
    ViewMain* viewMain = &nib.viewMain();
    MainWindow* window = &nib.mainWindow();
    MovController* coordinator = &nib.movController();
    TBArrayController* library = &nib.tbArrayController();
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
    QObject::connect(&nib.appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, viewMain,
                     &ViewMain::windowWillCloseMain);

    QAction* showDividers = window->showDividersAction();
    QObject::connect(showDividers, &QAction::triggered, viewMain,
                     [viewMain] { viewMain->changeDividerSize(); });
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

void connectControlWindow(MainNib& nib, SettingsDomain& settings)
{
    ViewControl* control = &nib.viewControl();
    ControlWindow* palette = &nib.controlWindow();
    MovController* coordinator = &nib.movController();
    ViewMain* viewMain = &nib.viewMain();
    MainWindow* window = &nib.mainWindow();
    PlaylistOutlineView* tree = &nib.olvPlaylist();
    control->tbArrayController = &nib.tbArrayController();
    control->movController = coordinator;
    control->controlWindow = palette;
    control->mainWindow = window;
    control->olvPlaylist = tree;
    for (int viewNo = 1; viewNo <= 4; ++viewNo)
        control->qtView[viewNo - 1] = &nib.qtView(viewNo);
    palette->menuFrameSet()->viewMain = viewMain;
    palette->menuFrameSet()->tbArrayController = &nib.tbArrayController();

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
    connectTreeRowChanges(nib, control, [control] { control->changeMoveButtonEnabled(); });

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
    QObject::connect(palette->btnController(), &QToolButton::clicked, coordinator,
                     [&settings, coordinator, control] {
                         coordinator->changeAllMovieController();
                         MovieControllerBar::keepShownChoice(settings, coordinator->anyMovieIsController());
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
    QObject::connect(&nib.appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, control,
                     &ViewControl::applicationWillTerminate);
}

void connectPrefs(MainNib& nib, SettingsDomain& settings)
{
    ViewPrefs* prefs = &nib.viewPrefs();
    MainWindow* window = &nib.mainWindow();
    prefs->prefsWindow = &nib.prefsWindow();
    prefs->helpWindow = &nib.helpWindow();
    prefs->mainWindow = window;
    QObject::connect(window->preferencesAction(), &QAction::triggered, prefs,
                     [prefs] { prefs->openPrefsWindow(); });
    QObject::connect(window->helpAction(), &QAction::triggered, prefs, [prefs] { prefs->openHelpWindow(); });
    QObject::connect(&nib.appDelegate(), &Tetrapan_AppDelegate::applicationWillTerminate, prefs,
                     &ViewPrefs::applicationWillTerminate);

    // the help lists the keys of every window that has any
    ShortcutList& keys = nib.helpWindow().shortcutList();
    keys.addWindow(QStringLiteral("main window"), window);
    keys.addWindow(QStringLiteral("playlist window"), &nib.playlistWindow());
    keys.addWindow(QStringLiteral("control palette"), &nib.controlWindow());
    keys.addWindow(QStringLiteral("preferences"), &nib.prefsWindow());
    keys.addWindow(QStringLiteral("help window"), &nib.helpWindow());
    connectListFontSize(nib, settings);
}

void connectTreeRowChanges(MainNib& nib, QObject* receiver, const std::function<void()>& changed)
{
    PlaylistOutlineView* tree = &nib.olvPlaylist();
    QObject::connect(tree, &QTreeView::expanded, receiver, changed);
    QObject::connect(tree, &QTreeView::collapsed, receiver, changed);
    QAbstractItemModel* rows = &nib.playlistTreeController();
    QObject::connect(rows, &QAbstractItemModel::rowsInserted, receiver, changed);
    QObject::connect(rows, &QAbstractItemModel::rowsRemoved, receiver, changed);
    QObject::connect(rows, &QAbstractItemModel::rowsMoved, receiver, changed);
    QObject::connect(rows, &QAbstractItemModel::modelReset, receiver, changed);
}

} // namespace tetrapan::windowWiring
