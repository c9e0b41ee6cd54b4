#pragma once

#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QToolButton;

namespace Ui {
class PlaylistWindow;
}

namespace tetrapan {

class PlaylistOutlineView;

// The floating window of the playlist tree: a tool window over the main window with the tree, its add and
// remove buttons and the tree's context menu. Closing it only hides it.
class PlaylistWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlaylistWindow(QWidget* mainWindow);
    ~PlaylistWindow() override;

    // Puts the tree into its place in the window, filling it.
    void setOlvPlaylist(PlaylistOutlineView* tree);
    PlaylistOutlineView* olvPlaylist() const { return olvPlaylist_; }

    QMenu* cmPlaylist() const { return cmPlaylist_; }
    QToolButton* btnAdd() const;
    QToolButton* btnRemove() const;
    QAction* addPlaylistAction() const;
    QAction* addFolderAction() const;
    QAction* renameAction() const;
    QAction* removeAction() const;

    // Beside the main window's right edge when the screen has room there, otherwise where it is.
    void placeBeside(const QWidget& mainWindow);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::PlaylistWindow> ui_;
    QMenu* cmPlaylist_ = nullptr;
    PlaylistOutlineView* olvPlaylist_ = nullptr;
};

} // namespace tetrapan
