#include "playlist/ViewPlaylist.h"

#include "library/FilelistArrayController.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistWindow.h"
#include "widgets/NamedImage.h"
#include "widgets/userDefaultsViewState.h"

#include <QAbstractButton>
#include <QEvent>
#include <QShortcut>
#include <QSplitter>

namespace tetrapan {

namespace {

QString key(const char* name)
{
    return QLatin1String(name);
}

} // namespace

ViewPlaylist::ViewPlaylist(SettingsDomain& settings, QObject* parent) : QObject(parent), settings_(settings)
{
}

ViewPlaylist::~ViewPlaylist() = default;

void ViewPlaylist::awakeFromNib()
{
    if (!playlistWindow)
        return;
    placed_ = settings_.hasStoredValue(key(RectWindowPlaylist));
    userDefaultsExtension::setWindowRect(settings_, playlistWindow, key(RectWindowPlaylist));
    userDefaultsExtension::setSplitViewRect(settings_, spvPlaylist, key(RectSplitViewPlaylist));

    playKey_ = new QShortcut(QKeySequence(Qt::Key_Space), playlistWindow, this, &ViewPlaylist::pressPlayKey,
                             Qt::WindowShortcut);

    connect(playlistWindow, &PlaylistWindow::windowWillClose, this, &ViewPlaylist::windowWillClosePlaylist);
    // the tree's and the table's visible areas are what collapsing a part of the split view takes away
    if (olvPlaylist)
        olvPlaylist->viewport()->installEventFilter(this);
    if (tbvFilelist)
        tbvFilelist->viewport()->installEventFilter(this);
    // the remove and frame buttons follow what they would act on, not only the window's shape
    if (tbArrayController && tbArrayController->playlistTreeController)
        connect(tbArrayController->playlistTreeController->selectionModel(),
                &QItemSelectionModel::selectionChanged, this, &ViewPlaylist::setControlButtonEnabled);
    if (tbArrayController && tbArrayController->filelistArrayController) {
        FilelistArrayController* filelist = tbArrayController->filelistArrayController;
        connect(filelist->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &ViewPlaylist::setFrameButtonEnable);
        connect(filelist, &FilelistArrayController::arrangedObjectsChanged, this,
                &ViewPlaylist::setFrameButtonEnable);
    }
}

void ViewPlaylist::openIfWasOpen()
{
    if (userDefaultsExtension::defaultBoolValue(settings_, key(OptIsPlaylist)))
        openPlaylistWindow();
}

bool ViewPlaylist::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        splitViewDidResizePlaylist();
    return QObject::eventFilter(watched, event);
}

// ---- opening and closing

void ViewPlaylist::openPlaylistWindow()
{
    if (!playlistWindow)
        return;
    // at the first opening without a stored frame: beside the main window, where it hides no pane
    if (!placed_) {
        placed_ = true;
        if (const QWidget* mainWindow = playlistWindow->parentWidget())
            playlistWindow->placeBeside(*mainWindow);
    }
    playlistWindow->show();
    playlistWindow->raise();
    playlistWindow->activateWindow();
    // what the user came for (a playlist to choose) is at hand for the keys
    if (olvPlaylist)
        olvPlaylist->setFocus(Qt::OtherFocusReason);
    initPlaylistWindow();
    userDefaultsExtension::setDefaultBoolValue(settings_, true, key(OptIsPlaylist));
}

void ViewPlaylist::closePlaylistWindow()
{
    if (playlistWindow)
        playlistWindow->close();
    userDefaultsExtension::setDefaultBoolValue(settings_, false, key(OptIsPlaylist));
}

void ViewPlaylist::changePlaylistWindow()
{
    if (isDisplayPlaylistWindow())
        closePlaylistWindow();
    else
        openPlaylistWindow();
}

void ViewPlaylist::windowWillClosePlaylist()
{
    userDefaultsExtension::saveWindowRect(settings_, playlistWindow, key(RectWindowPlaylist));
    userDefaultsExtension::saveSplitViewRect(settings_, spvPlaylist, key(RectSplitViewPlaylist));
}

void ViewPlaylist::applicationWillTerminate()
{
    // a closed window stored its frame when it closed; one never opened has nothing of its own to keep
    if (isDisplayPlaylistWindow())
        windowWillClosePlaylist();
}

void ViewPlaylist::splitViewDidResizePlaylist()
{
    setControlButtonEnabled();
    setFrameButtonEnable();
}

// ---- buttons

void ViewPlaylist::initPlaylistWindow()
{
    setControlButtonEnabled();
    setFrameButtonEnable();
    changePlayButtonImage();
    changePlayButtonEnabled();
}

void ViewPlaylist::setPlayKey(const QKeySequence& key)
{
    if (playKey_)
        playKey_->setKey(key);
}

void ViewPlaylist::pressPlayKey()
{
    if (btnPlay && btnPlay->isEnabled())
        btnPlay->click();
}

void ViewPlaylist::setControlButtonEnabled()
{
    if (btnAdd)
        btnAdd->setEnabled(canAddPlaylist());
    if (btnRemove)
        btnRemove->setEnabled(canRemovePlaylist());
}

void ViewPlaylist::setFrameButtonEnable()
{
    if (btnFrame)
        btnFrame->setEnabled(tbvFilelist && tbvFilelist->isDisplay() && hasEntrySelected());
}

void ViewPlaylist::changePlayButtonImage()
{
    if (!btnPlay)
        return;
    const bool playing = movController && movController->anyMovieIsPlaying();
    btnPlay->setIcon(namedImage(key(playing ? StopImage : PlayImage)));
    btnPlay->setToolTip(playing ? QStringLiteral("Stop all panes (Space)")
                                : QStringLiteral("Play all panes (Space)"));
}

void ViewPlaylist::changePlayButtonEnabled()
{
    if (btnPlay)
        btnPlay->setEnabled(movController && movController->anyMovieIsPlayable());
}

// ---- queries

bool ViewPlaylist::isDisplayPlaylistWindow() const
{
    return playlistWindow && playlistWindow->isVisible();
}

bool ViewPlaylist::canAddPlaylist() const
{
    return isDisplayPlaylistWindow() && olvPlaylist && olvPlaylist->isDisplay();
}

bool ViewPlaylist::canRemovePlaylist() const
{
    return canAddPlaylist() && olvPlaylist->hasSelectedRow();
}

bool ViewPlaylist::canSelectFilelist() const
{
    return isDisplayPlaylistWindow() && tbvFilelist && tbvFilelist->isDisplay() && hasEntrySelected();
}

bool ViewPlaylist::canMoveBackPlaylist() const
{
    return olvPlaylist && olvPlaylist->canMoveSelectedRowIndex(0);
}

bool ViewPlaylist::canMoveNextPlaylist() const
{
    return olvPlaylist && olvPlaylist->canMoveSelectedRowIndex(1);
}

bool ViewPlaylist::hasEntrySelected() const
{
    return tbArrayController && !tbArrayController->getSelectedObjects(LibrarySchema::Filelist).isEmpty();
}

} // namespace tetrapan
