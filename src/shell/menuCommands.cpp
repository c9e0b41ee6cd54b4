#include "shell/menuCommands.h"

#include "layout/VideoExporter.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "palette/ControlWindow.h"
#include "palette/ViewControl.h"
#include "panes/MenuLine.h"
#include "panes/MovController.h"
#include "panes/PaneNudge.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneSnapshot.h"
#include "panes/PaneTimeline.h"
#include "panes/PaneZoom.h"
#include "panes/PlaybackSpeed.h"
#include "panes/QTMovieSubView.h"
#include "panes/SnapshotNotice.h"
#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"
#include "platform/DialogPresenter.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/ViewPlaylist.h"
#include "recording/RecordingLister.h"
#include "shell/EmptyLibraryHint.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MediaControls.h"
#include "shell/MovieFilesOpener.h"
#include "shell/Tetrapan_AppDelegate.h"
#include "shell/cameraChoice.h"
#include "shell/windowWiring.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMenu>
#include <QToolButton>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

namespace tetrapan::menuCommands {

namespace {

// File > Open Recordings… (a folder a pane, from the folder of the last ones), Open Camera Folder… and Open
// Files as One Recording… (the files chosen, one movie on the wall clock, placed as a folder of them would be)
void connectRecordingCommands(MainWindow& window, MovieFilesOpener& opener, DialogPresenter& dialogs,
                              SettingsDomain& settings)
{
    const auto chooseFolders = [&dialogs, &settings](bool several, bool files = false) {
        const QString folderKey = QLatin1String(MovieFilesOpener::OptOpenRecordingsFolder);
        OpenPanelRequest request;
        request.canChooseFiles = files;
        request.canChooseDirectories = !files;
        request.allowsMultipleSelection = several;
        request.directory = userDefaultsExtension::defaultStringValue(settings, folderKey).toString();
        const QStringList folders = dialogs.runOpenPanel(request);
        if (!folders.isEmpty())
            userDefaultsExtension::setDefaultStringValue(
                settings, QFileInfo(QDir::cleanPath(folders.front())).absolutePath(), folderKey);
        return folders;
    };
    QObject::connect(window.openRecordingsAction(), &QAction::triggered, &opener,
                     [&opener, chooseFolders] { opener.openFiles(chooseFolders(true)); });
    QObject::connect(window.openFilesAsRecordingAction(), &QAction::triggered, &opener, [&opener, chooseFolders] {
        Recording chosen;
        for (const QString& file : chooseFolders(true, true))
            chosen.chosenFiles.append(QFileInfo(file).absoluteFilePath());
        if (!chosen.chosenFiles.isEmpty())
            opener.openFiles({RecordingSource::locator(chosen)});
    });
    QObject::connect(
        window.openCameraFolderAction(), &QAction::triggered, &opener,
        [&opener, &dialogs, &window, chooseFolders] {
            const QStringList folders = chooseFolders(false);
            if (folders.isEmpty())
                return;
            const QString folder = QDir::cleanPath(folders.front());
            // a folder of thousands of files is read off the GUI thread
            auto* found = new QFutureWatcher<QMap<QString, QStringList>>(&window);
            QObject::connect(found, &QFutureWatcherBase::finished, &window,
                             [found, folder, &opener, &dialogs, &window] {
                                 found->deleteLater();
                                 const QMap<QString, QStringList> cameras = found->result();
                                 if (cameras.isEmpty()) {
                                     dialogExtension::displayMessage(
                                         dialogs, dialogExtension::CanNotCreateMovie,
                                         QStringLiteral("%1: the folder holds no movies").arg(folder));
                                     return;
                                 }
                                 cameraChoice::openInPanes(opener, folder, cameras, &window);
                             });
            found->setFuture(QtConcurrent::run([folder] { return RecordingLister::camerasIn(folder); }));
        });
}

} // namespace

void connectFileAndPlaybackMenus(MainNib& nib, DialogPresenter& dialogPresenter, SettingsDomain& settings)
{
    MainWindow* window = &nib.mainWindow();
    MovieFilesOpener* opener = &nib.movieFilesOpener();
    DialogPresenter* dialogs = &dialogPresenter;
    PlaylistOutlineView* tree = &nib.olvPlaylist();
    opener->setPlaylistTree(tree);
    QObject::connect(&nib.tbvFilelist(), &FilelistTableView::filesDropped, opener,
                     &MovieFilesOpener::openFiles);
    QObject::connect(window->openMoviesAction(), &QAction::triggered, opener, [opener, dialogs, &settings] {
        // the panel opens where the last movies came from
        const QString folderKey = QLatin1String(MovieFilesOpener::OptOpenMoviesFolder);
        OpenPanelRequest request;
        request.allowsMultipleSelection = true;
        request.directory = userDefaultsExtension::defaultStringValue(settings, folderKey).toString();
        request.mimeTypes = MovieFilesOpener::movieMimeTypes();
        const QStringList paths = dialogs->runOpenPanel(request);
        if (paths.isEmpty())
            return;
        userDefaultsExtension::setDefaultStringValue(settings, QFileInfo(paths.front()).absolutePath(),
                                                     folderKey);
        opener->openFiles(paths);
    });
    connectRecordingCommands(*window, *opener, *dialogs, settings);
    MovController* coordinator = &nib.movController();
    EmptyLibraryHint* hint = window->emptyLibraryHint();
    QObject::connect(hint, &EmptyLibraryHint::filesDropped, opener, &MovieFilesOpener::openFiles);
    const ObjectContext* library =
        coordinator->tbArrayController()->getManagedObjectContext(LibrarySchema::Playlist);
    const auto showHint = [hint, library] {
        hint->setVisible(!LibraryRules::holdsPlaylist(*library));
        hint->raise();
    };
    // only playlists and folders coming, going or turning into each other change the answer; a change to an
    // entry (most changes) asks nothing
    const auto nodeCameOrWent = [showHint](ObjectId, const QString& entityName) {
        if (entityName == LibrarySchema::Playlist)
            showHint();
    };
    QObject::connect(library, &ObjectContext::objectInserted, hint, nodeCameOrWent);
    QObject::connect(library, &ObjectContext::objectRemoved, hint, nodeCameOrWent);
    QObject::connect(library, &ObjectContext::valueChanged, hint, [showHint](ObjectId, const QString& key) {
        if (key == LibrarySchema::IsFolder)
            showHint();
    });
    showHint();
    for (QAction* into : window->openIntoPaneActions())
        QObject::connect(into, &QAction::triggered, coordinator,
                         [coordinator, into] { coordinator->openMovieFile(into); });
    // a playlist made from the main window is named in the playlist window, which opens for it
    ViewPlaylist* playlists = &nib.viewPlaylist();
    QObject::connect(window->newPlaylistAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFile();
    });
    QObject::connect(window->newFolderAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFolder();
    });

    QObject::connect(window->playAllAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->changeAllMoviePlay(); });
    for (QAction* skip : window->skipActions())
        QObject::connect(skip, &QAction::triggered, coordinator,
                         [coordinator, skip] { coordinator->changeAllMovieTime(skip); });
    QObject::connect(window->syncAction(), &QAction::triggered, coordinator,
                     [coordinator] { coordinator->syncAllMovieTime(); });
    // snapshots of what the panes show
    PaneSnapshot* snapshot = &nib.paneSnapshot();
    snapshot->setShownArea(window->spvMain());
    QObject::connect(coordinator, &MovController::mainWindowTitleChanged, snapshot, &PaneSnapshot::setTitle);
    QObject::connect(window->snapshotAction(), &QAction::triggered, snapshot,
                     [snapshot] { snapshot->takeSnapshot(); });
    // and where they went, or why there are none
    SnapshotNotice* notice = &nib.snapshotNotice();
    QObject::connect(snapshot, &PaneSnapshot::snapshotFinished, notice, &SnapshotNotice::showSaved);
    QObject::connect(snapshot, &PaneSnapshot::snapshotNotTaken, notice, &SnapshotNotice::showNotTaken);
    // and which panes an opening changed, with Undo while that opening is the last step done
    QObject::connect(opener, &MovieFilesOpener::playlistChanged, notice,
                     [notice, opener](const QString& text) {
                         notice->showChanged(text, [opener] { opener->undoChange(); });
                     });
    QObject::connect(
        coordinator->tbArrayController()->getManagedObjectContext(LibrarySchema::Playlist)->undoManager(),
        &QUndoStack::indexChanged, notice, &SnapshotNotice::withdrawChange);
    // the panes as laid out, into one video
    VideoExporter* exporter = &nib.videoExporter();
    QObject::connect(window->exportVideoAction(), &QAction::triggered, exporter,
                     [exporter] { exporter->exportVideo(); });
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

void connectApplicationCommands(MainNib& nib)
{
    Tetrapan_AppDelegate* delegate = &nib.appDelegate();
    MainWindow* window = &nib.mainWindow();
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

void connectMediaControls(MainNib& nib, SettingsDomain& settings)
{
    MediaControls* controls = &nib.mediaControls();
    MovController* coordinator = &nib.movController();
    const auto compare = [controls] { controls->stateMayHaveChanged(); };
    // play and stop, movies coming and going, the chosen playlist and its title, and the rows around it
    for (auto refresh :
         {&MovController::playButtonImageNeedsRefresh, &MovController::playButtonEnabledNeedsRefresh,
          &MovController::moveButtonEnabledNeedsRefresh, &MovController::allMovieViewsChanged})
        QObject::connect(coordinator, refresh, controls, compare);
    QObject::connect(coordinator, &MovController::mainWindowTitleChanged, controls, compare);
    windowWiring::connectTreeRowChanges(nib, controls, compare);
    QObject::connect(&settings, &SettingsDomain::valueChanged, controls, [compare](const QString& key) {
        if (key == QLatin1String(QTMovieSubView::OptPlayVolume) ||
            key == QLatin1String(PlaybackSpeed::OptPlaySpeed))
            compare();
    });
}

void connectUndoActions(MainWindow& window, ObjectContext* context)
{
    QUndoStack* stack = context->undoManager();
    QAction* undo = window.undoAction();
    QAction* redo = window.redoAction();
    // their texts name the change; their commands' names stay
    undo->setProperty(MenuLine::CommandTextProperty, QStringLiteral("&Undo"));
    redo->setProperty(MenuLine::CommandTextProperty, QStringLiteral("&Redo"));
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

void connectSyncLock(MainNib& nib, SettingsDomain& settings)
{
    SyncLock* lock = &nib.syncLock();
    // each pane keeps the offset and rate stored on its entry of the current playlist, and a recording its
    // place on the wall clock
    lock->setOffsetProvider([coordinator = &nib.movController()](int viewNo) {
        return coordinator->offsets().placement(viewNo).offsetMs;
    });
    lock->setRateProvider(
        [coordinator = &nib.movController()](int viewNo) { return coordinator->offsets().rate(viewNo); });
    QAction* action = nib.mainWindow().syncLockAction();
    QToolButton* button = nib.controlWindow().btnSyncLock();
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

void connectTimeline(MainNib& nib, SettingsDomain& settings)
{
    PaneTimeline* timeline = &nib.paneTimeline();
    TimelineBar* bar = &nib.timelineBar();
    MainWindow* window = &nib.mainWindow();
    QAction* show = window->showSeekBarAction();
    const QString key = QLatin1String(TimelineBar::OptShowSeekBar);
    const auto follow = [&settings, bar, show, key] {
        const bool on = userDefaultsExtension::defaultBoolValue(settings, key);
        bar->setWanted(on);
        show->setChecked(on);
    };
    QObject::connect(show, &QAction::triggered, bar, [&settings, key](bool on) {
        userDefaultsExtension::setDefaultBoolValue(settings, on, key);
    });
    QObject::connect(&settings, &SettingsDomain::valueChanged, bar, [follow, key](const QString& changed) {
        if (changed == key)
            follow();
    });
    QObject::connect(window, &FullScreenWindow::fullScreenChanged, bar, &TimelineBar::setFullScreen);
    QObject::connect(window->loopAction(), &QAction::triggered, timeline,
                     [timeline] { timeline->changeLoop(); });
    // L works where Space does: in the palette too
    nib.controlWindow().addAction(window->loopAction());
    follow();
}

void connectSpeedAndZoom(MainNib& nib, SettingsDomain& settings)
{
    MainWindow* window = &nib.mainWindow();
    PlaybackSpeed* speed = &nib.playbackSpeed();
    QObject::connect(window->slowerAction(), &QAction::triggered, speed, &PlaybackSpeed::slower);
    QObject::connect(window->fasterAction(), &QAction::triggered, speed, &PlaybackSpeed::faster);
    QObject::connect(window->normalSpeedAction(), &QAction::triggered, speed, &PlaybackSpeed::normal);
    nib.controlWindow().addActions(
        {window->slowerAction(), window->fasterAction(), window->normalSpeedAction()});
    const auto show = [window, control = &nib.viewControl()](double value) {
        window->showSpeed(PlaybackSpeed::text(value));
        control->setSpeedText(PlaybackSpeed::text(value));
    };
    QObject::connect(speed, &PlaybackSpeed::speedChanged, window, show);
    show(speed->speed());
    // a rate set, undone or brought by another playlist changes its pane's speed
    QObject::connect(&nib.movController(), &MovController::allMovieViewsChanged, speed,
                     &PlaybackSpeed::followRates);
    if (ObjectContext* context =
            nib.movController().tbArrayController()
                ? nib.movController().tbArrayController()->getManagedObjectContext(LibrarySchema::Filelist)
                : nullptr) {
        QObject::connect(context, &ObjectContext::valueChanged, speed, [speed](ObjectId, const QString& key) {
            if (key == LibrarySchema::Rate)
                speed->followRates();
        });
    }

    PaneZoom* zoom = &nib.movController().zoom();
    QObject::connect(window->resetZoomAction(), &QAction::triggered, zoom, [zoom] { zoom->reset(0); });
    QAction* together = window->zoomTogetherAction();
    const QString key = QLatin1String(PaneZoom::OptZoomTogether);
    QObject::connect(together, &QAction::triggered, zoom, [&settings, key](bool on) {
        userDefaultsExtension::setDefaultBoolValue(settings, on, key);
    });
    const auto follow = [together, &settings, key] {
        together->setChecked(userDefaultsExtension::defaultBoolValue(settings, key));
    };
    QObject::connect(&settings, &SettingsDomain::valueChanged, together,
                     [follow, key](const QString& changed) {
                         if (changed == key)
                             follow();
                     });
    follow();
}

void connectNudge(MainNib& nib)
{
    MainWindow* window = &nib.mainWindow();
    PaneNudge* nudge = &nib.paneNudge();
    QMenu* playback = window->playbackMenu();
    // after the speeds, which act on every pane, before what follows them
    const QList<QAction*> items = playback->actions();
    QAction* before = items.value(items.indexOf(window->normalSpeedAction()) + 1);
    playback->insertSeparator(before);
    for (int s = 0; s < PaneNudge::StepCount; ++s) {
        QAction* action = nudge->action(static_cast<PaneNudge::Step>(s));
        // its text names the chosen pane while the menu is open; its command's name stays
        action->setProperty(MenuLine::CommandTextProperty, PaneNudge::title(static_cast<PaneNudge::Step>(s)));
        playback->insertAction(before, action);
        // the menu bar, and its keys, hide in full screen
        window->addAction(action);
    }
    QObject::connect(playback, &QMenu::aboutToShow, nudge, &PaneNudge::refreshActions);
    QObject::connect(playback, &QMenu::aboutToHide, nudge, &PaneNudge::enableActions);
    QObject::connect(nudge, &PaneNudge::nudged, &nib.timelineBar(), qOverload<>(&QWidget::update));
}

} // namespace tetrapan::menuCommands
