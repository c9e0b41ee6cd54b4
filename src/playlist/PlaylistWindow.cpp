#include "playlist/PlaylistWindow.h"

#include "playlist/ButtonSelectFilelist.h"
#include "playlist/FilelistTableView.h"
#include "playlist/PlaylistOutlineView.h"
#include "widgets/NamedImage.h"

#include "ui_PlaylistWindow.h"

#include <QCloseEvent>
#include <QMenu>
#include <QScreen>
#include <QSplitter>

namespace tetrapan {

namespace {

constexpr int GapToMainWindow = 8;
// The tree's and the table's shares of the split view until the user moves the divider.
constexpr int TreeShare = 3;
constexpr int TableShare = 2;

} // namespace

PlaylistWindow::PlaylistWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool), ui_(std::make_unique<Ui::PlaylistWindow>())
{
    ui_->setupUi(this);
    ui_->btnFrame->setIcon(namedImage(QStringLiteral("btn_playlist_frame")));

    cmPlaylist_ = new QMenu(this);
    cmPlaylist_->addAction(ui_->actionAddPlaylist);
    cmPlaylist_->addAction(ui_->actionAddFolder);
    cmPlaylist_->addSeparator();
    cmPlaylist_->addAction(ui_->actionRename);
    cmPlaylist_->addAction(ui_->actionRemove);

    cmFilelist_ = new QMenu(this);
    cmFilelist_->addAction(ui_->actionZoomEntry);
    cmFilelist_->addAction(ui_->actionRevealEntry);
    cmFilelist_->addSeparator();
    cmFilelist_->addAction(ui_->actionRemoveEntry);

    auto* addMenu = new QMenu(QStringLiteral("New"), this);
    addMenu->addAction(ui_->actionAddPlaylist);
    addMenu->addAction(ui_->actionAddFolder);
    ui_->btnAdd->setMenu(addMenu);
    connect(ui_->btnAdd, &QToolButton::clicked, ui_->actionAddPlaylist, &QAction::trigger);
    connect(ui_->btnRemove, &QToolButton::clicked, ui_->actionRemove, &QAction::trigger);
}

PlaylistWindow::~PlaylistWindow() = default;

void PlaylistWindow::setOlvPlaylist(PlaylistOutlineView* tree)
{
    if (olvPlaylist_ || !tree)
        return;
    olvPlaylist_ = tree;
    // straight into the split view, so that collapsing the tree's part leaves the tree no visible area
    ui_->spvPlaylist->insertWidget(0, tree);
    tree->setAccessibleName(QStringLiteral("Playlists"));
    shareSplitView();
    // Del deletes a playlist only where the playlists have the keyboard; in the table it removes entries
    tree->addActions({ui_->actionRename, ui_->actionRemove});
    // the keys of a window that has just opened move through the playlists; the buttons take the keyboard
    // only when tabbed to
    tree->setFocus(Qt::OtherFocusReason);
}

void PlaylistWindow::setTbvFilelist(FilelistTableView* table)
{
    if (tbvFilelist_ || !table)
        return;
    tbvFilelist_ = table;
    ui_->spvPlaylist->addWidget(table);
    table->setAccessibleName(QStringLiteral("Movies of the playlist"));
    shareSplitView();
    table->addAction(ui_->actionRemoveEntry);
}

void PlaylistWindow::shareSplitView()
{
    QSplitter* split = ui_->spvPlaylist;
    if (split->count() != 2)
        return;
    split->setStretchFactor(0, TreeShare);
    split->setStretchFactor(1, TableShare);
    split->setSizes({TreeShare * 100, TableShare * 100});
}

void PlaylistWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (olvPlaylist_ && !olvPlaylist_->isEditing())
        olvPlaylist_->setFocus(Qt::ActiveWindowFocusReason);
    if (!event->spontaneous())
        Q_EMIT visibilityChanged(true);
}

void PlaylistWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Q_EMIT visibilityChanged(false);
}

void PlaylistWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        Q_EMIT windowWillClose();
}

QSplitter* PlaylistWindow::spvPlaylist() const
{
    return ui_->spvPlaylist;
}
QToolButton* PlaylistWindow::btnAdd() const
{
    return ui_->btnAdd;
}
QToolButton* PlaylistWindow::btnRemove() const
{
    return ui_->btnRemove;
}
QToolButton* PlaylistWindow::btnPlay() const
{
    return ui_->btnPlay;
}
ButtonSelectFilelist* PlaylistWindow::btnFrame() const
{
    return ui_->btnFrame;
}
QAction* PlaylistWindow::addPlaylistAction() const
{
    return ui_->actionAddPlaylist;
}
QAction* PlaylistWindow::addFolderAction() const
{
    return ui_->actionAddFolder;
}
QAction* PlaylistWindow::renameAction() const
{
    return ui_->actionRename;
}
QAction* PlaylistWindow::removeAction() const
{
    return ui_->actionRemove;
}
QAction* PlaylistWindow::zoomEntryAction() const
{
    return ui_->actionZoomEntry;
}
QAction* PlaylistWindow::revealEntryAction() const
{
    return ui_->actionRevealEntry;
}
QAction* PlaylistWindow::removeEntryAction() const
{
    return ui_->actionRemoveEntry;
}

void PlaylistWindow::placeBeside(const QWidget& mainWindow)
{
    const QScreen* screen = mainWindow.screen();
    if (!screen)
        return;
    const QRect main = mainWindow.frameGeometry();
    const QRect available = screen->availableGeometry();
    const QPoint topLeft(main.right() + GapToMainWindow, main.top());
    if (available.contains(QRect(topLeft, frameGeometry().size())))
        move(topLeft);
}

} // namespace tetrapan
