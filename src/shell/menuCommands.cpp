#include "shell/menuCommands.h"

#include "library/dialogExtension.h"
#include "palette/ControlWindow.h"
#include "panes/MovController.h"
#include "panes/PaneSnapshot.h"
#include "panes/SyncLock.h"
#include "platform/ObjectContext.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/ViewPlaylist.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MovieFilesOpener.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QAction>
#include <QToolButton>
#include <QUndoStack>

namespace tetrapan::menuCommands {

void connectFileAndPlaybackMenus(MainNib& nib, DialogPresenter& dialogPresenter)
{
    MainWindow* window = &nib.mainWindow();
    MovieFilesOpener* opener = &nib.movieFilesOpener();
    DialogPresenter* dialogs = &dialogPresenter;
    QObject::connect(&nib.tbvFilelist(), &FilelistTableView::filesDropped, opener,
                     &MovieFilesOpener::openFiles);
    QObject::connect(window->openMoviesAction(), &QAction::triggered, opener, [opener, dialogs] {
        opener->openFiles(
            dialogExtension::selectFilePath(*dialogs, true, false, true, false, true, QString()));
    });
    // a playlist made from the main window is named in the playlist window, which opens for it
    PlaylistOutlineView* tree = &nib.olvPlaylist();
    ViewPlaylist* playlists = &nib.viewPlaylist();
    QObject::connect(window->newPlaylistAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFile();
    });
    QObject::connect(window->newFolderAction(), &QAction::triggered, tree, [tree, playlists] {
        playlists->openPlaylistWindow();
        tree->addFolder();
    });

    MovController* coordinator = &nib.movController();
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

void connectUndoActions(MainWindow& window, ObjectContext* context)
{
    QUndoStack* stack = context->undoManager();
    QAction* undo = window.undoAction();
    QAction* redo = window.redoAction();
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
    // each pane keeps the offset stored on its entry of the current playlist
    lock->setOffsetProvider(
        [coordinator = &nib.movController()](int viewNo) { return coordinator->movieOffsetMs(viewNo); });
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

} // namespace tetrapan::menuCommands
