#include "playlist/PlaylistWindow.h"

#include "playlist/PlaylistOutlineView.h"

#include "ui_PlaylistWindow.h"

#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

namespace tetrapan {

namespace {

constexpr int GapToMainWindow = 8;

} // namespace

PlaylistWindow::PlaylistWindow(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool), ui_(std::make_unique<Ui::PlaylistWindow>())
{
    ui_->setupUi(this);
    auto* layout = new QVBoxLayout(ui_->treeSlot);
    layout->setContentsMargins(0, 0, 0, 0);

    cmPlaylist_ = new QMenu(this);
    cmPlaylist_->addAction(ui_->actionAddPlaylist);
    cmPlaylist_->addAction(ui_->actionAddFolder);
    cmPlaylist_->addSeparator();
    cmPlaylist_->addAction(ui_->actionRename);
    cmPlaylist_->addAction(ui_->actionRemove);
    // shortcuts of the window's actions work while the window or the tree has the focus
    addActions({ui_->actionRename, ui_->actionRemove});

    auto* addMenu = new QMenu(this);
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
    ui_->treeSlot->layout()->addWidget(tree);
    // the keys of a window that has just opened move through the playlists; the buttons take the keyboard
    // only when tabbed to
    tree->setFocus(Qt::OtherFocusReason);
}

void PlaylistWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (olvPlaylist_ && !olvPlaylist_->isEditing())
        olvPlaylist_->setFocus(Qt::ActiveWindowFocusReason);
}

QToolButton* PlaylistWindow::btnAdd() const
{
    return ui_->btnAdd;
}
QToolButton* PlaylistWindow::btnRemove() const
{
    return ui_->btnRemove;
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
