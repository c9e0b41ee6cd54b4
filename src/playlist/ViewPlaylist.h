#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

class QAbstractButton;
class QShortcut;
class QSplitter;

namespace tetrapan {

class FilelistTableView;
class MovController;
class PlaylistOutlineView;
class PlaylistWindow;
class SettingsDomain;
class TBArrayController;

// The playlist window's controller: it opens, closes and toggles the window, remembers whether it was open
// (optIsPlaylist) and where it stood with its split, and keeps the add, remove, play and frame buttons in
// step with the window, its split view, the selections and the panes. Closing the window with its close
// box leaves optIsPlaylist as it was; only closePlaylistWindow records the window as closed.
class ViewPlaylist : public QObject {
    Q_OBJECT
public:
    static constexpr const char* RectWindowPlaylist = "rectWindowPlaylist";
    static constexpr const char* RectSplitViewPlaylist = "rectSplitViewPlaylist";
    static constexpr const char* OptIsPlaylist = "optIsPlaylist";
    static constexpr const char* PlayImage = "btn_ctrl_play";
    static constexpr const char* StopImage = "btn_ctrl_stop";

    explicit ViewPlaylist(SettingsDomain& settings, QObject* parent = nullptr);
    ~ViewPlaylist() override;

    // outlets
    MovController* movController = nullptr;
    TBArrayController* tbArrayController = nullptr;
    PlaylistWindow* playlistWindow = nullptr;
    QSplitter* spvPlaylist = nullptr;
    FilelistTableView* tbvFilelist = nullptr;
    PlaylistOutlineView* olvPlaylist = nullptr;
    QAbstractButton* btnAdd = nullptr;
    QAbstractButton* btnRemove = nullptr;
    QAbstractButton* btnPlay = nullptr;
    QAbstractButton* btnFrame = nullptr;

    // Restores the window's frame and split, gives the play button the space bar and starts following the
    // window, its split view and the selections.
    void awakeFromNib();
    // At start, once the main window is on screen: the window opens again when it was open at the last quit.
    void openIfWasOpen();

    // Actions
    void openPlaylistWindow();
    void closePlaylistWindow();
    void changePlaylistWindow();

    void initPlaylistWindow();
    void changePlayButtonImage();
    void changePlayButtonEnabled();
    void setControlButtonEnabled();
    void setFrameButtonEnable();

    bool isDisplayPlaylistWindow() const;
    bool canAddPlaylist() const;
    bool canRemovePlaylist() const;
    bool canSelectFilelist() const;
    bool canMoveBackPlaylist() const;
    bool canMoveNextPlaylist() const;

    // The window is about to close: its frame and its split are stored.
    void windowWillClosePlaylist();
    void splitViewDidResizePlaylist();
    // The program is about to quit, which closes no window: an open window stores what closing would.
    void applicationWillTerminate();
    // The key that plays and stops from the window (the space bar until the user chooses another).
    void setPlayKey(const QKeySequence& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The space bar plays and stops from anywhere in the window, except where text is being typed; it
    // never presses the button that happens to have the keyboard.
    void pressPlayKey();
    bool hasEntrySelected() const;

    SettingsDomain& settings_;
    QShortcut* playKey_ = nullptr;
    // The window has a place: restored from the settings, or given when it first opened.
    bool placed_ = false;
};

} // namespace tetrapan
