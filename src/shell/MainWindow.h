#pragma once

#include "layout/FullScreenWindow.h"
#include "layout/SplitSubView.h"

#include <functional>
#include <memory>

namespace Ui {
class MainWindow;
}

namespace tetrapan {

class ButtonForMenu;
class EmptyLibraryHint;
class MenuFrameSet;

// The window of the four panes: pane 1 top left, 2 bottom left, 3 top right, 4 bottom right, in three
// nested split views. Its View menu and its frame-set button arrange the panes; it can fill the screen.
// Closing it is a request to quit, decided by the application delegate.
class MainWindow : public FullScreenWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    SplitSubView* spvMain() const;
    SplitSubView* spvLeft() const;
    SplitSubView* spvRight() const;
    // The place pane viewNo (1 to 4) fills.
    QWidget* paneSlot(int viewNo) const;
    // Puts a pane into its slot, filling it.
    void setPane(int viewNo, QWidget* pane);

    // File > Open Movies… (into panes 1 to 4), New Playlist and New Folder
    QAction* openMoviesAction() const;
    // File > Open Recordings… (a folder a pane), Open Camera Folder… and Open Files as One Recording…
    QAction* openRecordingsAction() const;
    QAction* openCameraFolderAction() const;
    QAction* openFilesAsRecordingAction() const;
    // File > Open Movie Into > Pane 1 … Pane 4, each carrying its pane's number as its tag.
    QList<QAction*> openIntoPaneActions() const;
    QAction* newPlaylistAction() const;
    QAction* newFolderAction() const;
    QAction* saveAction() const;
    QAction* quitAction() const;
    QAction* undoAction() const;
    QAction* redoAction() const;
    // Edit > Preferences, Window > Control (the palette, checked while it is open), Help > Tetrapan Help and
    // Help > About Tetrapan.
    // The keys of every menu item work in every window of the program.
    QAction* preferencesAction() const { return preferencesAction_; }
    QAction* controlWindowAction() const { return controlWindowAction_; }
    QAction* helpAction() const { return helpAction_; }
    QAction* aboutAction() const { return aboutAction_; }
    QAction* showDividersAction() const;
    // viewNo 1 to 4; 0 is the even layout
    QAction* zoomPaneAction(int viewNo) const;
    QAction* autoFramePlayAction() const;
    QAction* fullScreenAction() const;
    // The Playback menu: what the panes' own keys do (listed beside them; the panes, the palette and the
    // playlist window answer those keys themselves), synchronising, and the previous or next playlist. The
    // skips carry their kind in the "tag" property.
    QAction* playAllAction() const;
    QList<QAction*> skipActions() const;
    QAction* syncAction() const;
    QAction* previousPlaylistAction() const;
    QAction* nextPlaylistAction() const;
    // Playback > Step Back a Frame (",") and Step Forward a Frame ("."): keys of this window only, since
    // the other windows type them into their text fields.
    QAction* stepBackAction() const;
    QAction* stepForwardAction() const;
    // Playback > Loop A–B ("L", a key of this window): sets A, then B, then clears.
    QAction* loopAction() const { return loopAction_; }
    // Puts the seek bar of all panes under them.
    void setTimelineBar(QWidget* bar);
    // View > Show Seek Bar (checkable): the seek bar under the panes is shown.
    QAction* showSeekBarAction() const { return showSeekBarAction_; }
    // File > Save Snapshot
    QAction* snapshotAction() const;
    QAction* exportVideoAction() const;
    // View > Sync Lock: checked while the playing panes are held on one clock.
    QAction* syncLockAction() const { return syncLockAction_; }
    // Playback > Slower ("["), Faster ("]") and Normal Speed (Backspace): keys of this window and the
    // palette, which have no text fields; the speed shows in the tool bar while it is not the normal one.
    QAction* slowerAction() const { return slowerAction_; }
    QAction* fasterAction() const { return fasterAction_; }
    QAction* normalSpeedAction() const { return normalSpeedAction_; }
    void showSpeed(const QString& text);
    QString shownSpeed() const;
    // View > Reset Zoom and Zoom Panes Together (checkable).
    QAction* resetZoomAction() const { return resetZoomAction_; }
    QAction* zoomTogetherAction() const { return zoomTogetherAction_; }
    // The Window menu: one checkable item per floating window, checked while that window is open.
    QMenu* windowMenu() const;
    QMenu* playbackMenu() const;
    QMenu* viewMenu() const;
    QAction* playlistWindowAction() const;

    // How to begin, over the panes while the library holds no playlist; hidden until told.
    EmptyLibraryHint* emptyLibraryHint() const { return emptyLibraryHint_; }
    MenuFrameSet* menuFrameSet() const { return menuFrameSet_; }
    ButtonForMenu* frameSetButton() const { return frameSetButton_; }
    // The frame-set button's image tells whether the selected playlist has a frame set to load.
    void changeFrameSetButtonImage(bool canLoadFrameSet);

    // Brings the window in front of the others with the keyboard, out of its minimised state, as the user
    // starting the program again expects.
    void orderFront();

    // Asked when the user closes the window; the window closes only when it answers true.
    void setCloseRequestHandler(std::function<bool()> handler) { closeRequestHandler_ = std::move(handler); }

protected:
    bool windowShouldClose() override;

private:
    void addAuxiliaryWindowCommands();
    void addSyncLockCommand();
    void addSeekBarCommand();
    void answerMenuKeysInEveryWindow();
    void addLoopCommand();
    void addSpeedAndZoomCommands();
    // The frame steps', the loop's and the speed's keys.
    void answerPlainKeys();

    std::unique_ptr<Ui::MainWindow> ui_;
    MenuFrameSet* menuFrameSet_;
    ButtonForMenu* frameSetButton_;
    EmptyLibraryHint* emptyLibraryHint_;
    std::function<bool()> closeRequestHandler_;
    QAction* preferencesAction_ = nullptr;
    QAction* controlWindowAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* syncLockAction_ = nullptr;
    QAction* showSeekBarAction_ = nullptr;
    QAction* loopAction_ = nullptr;
    QAction* slowerAction_ = nullptr;
    QAction* fasterAction_ = nullptr;
    QAction* normalSpeedAction_ = nullptr;
    QAction* speedShown_ = nullptr;
    QAction* resetZoomAction_ = nullptr;
    QAction* zoomTogetherAction_ = nullptr;
};

} // namespace tetrapan
