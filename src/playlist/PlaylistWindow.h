#pragma once

#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QSplitter;
class QToolButton;

namespace Ui {
class PlaylistWindow;
}

namespace tetrapan {

class ButtonSelectFilelist;
class FilelistTableView;
class PlaylistOutlineView;

// The floating window of the playlists: a tool window over the main window with the playlist tree above
// the chosen playlist's file table in one split view, the add, remove, play and frame buttons, and the
// context menus of the tree and the table. Closing it only hides it.
class PlaylistWindow : public QWidget {
    Q_OBJECT
public:
    explicit PlaylistWindow(QWidget* mainWindow);
    ~PlaylistWindow() override;

    // Put the tree and the table into their places in the split view, filling them.
    void setOlvPlaylist(PlaylistOutlineView* tree);
    PlaylistOutlineView* olvPlaylist() const { return olvPlaylist_; }
    void setTbvFilelist(FilelistTableView* table);
    FilelistTableView* tbvFilelist() const { return tbvFilelist_; }

    QSplitter* spvPlaylist() const;
    QMenu* cmPlaylist() const { return cmPlaylist_; }
    QMenu* cmFilelist() const { return cmFilelist_; }
    QToolButton* btnAdd() const;
    QToolButton* btnRemove() const;
    QToolButton* btnPlay() const;
    ButtonSelectFilelist* btnFrame() const;
    QAction* addPlaylistAction() const;
    QAction* addFolderAction() const;
    QAction* renameAction() const;
    QAction* removeAction() const;
    QAction* zoomEntryAction() const;
    QAction* revealEntryAction() const;
    QAction* removeEntryAction() const;

    // Beside the main window's right edge when the screen has room there, otherwise where it is.
    void placeBeside(const QWidget& mainWindow);

Q_SIGNALS:
    // The window is about to close, by its close box or by a command.
    void windowWillClose();
    // Shown or hidden by the program or the user (not by the desktop minimising the main window).
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The tree and the table share the split view until the user or a stored split says otherwise.
    void shareSplitView();

    std::unique_ptr<Ui::PlaylistWindow> ui_;
    QMenu* cmPlaylist_ = nullptr;
    QMenu* cmFilelist_ = nullptr;
    PlaylistOutlineView* olvPlaylist_ = nullptr;
    FilelistTableView* tbvFilelist_ = nullptr;
};

} // namespace tetrapan
