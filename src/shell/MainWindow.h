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

    QAction* saveAction() const;
    QAction* quitAction() const;
    QAction* undoAction() const;
    QAction* redoAction() const;
    // Edit > Preferences, Window > Control (the palette, checked while it is open) and Help > Tetrapan Help;
    // their keys work in every window of the program.
    QAction* preferencesAction() const { return preferencesAction_; }
    QAction* controlWindowAction() const { return controlWindowAction_; }
    QAction* helpAction() const { return helpAction_; }
    QAction* showDividersAction() const;
    // viewNo 1 to 4; 0 is the even layout
    QAction* zoomPaneAction(int viewNo) const;
    QAction* autoFramePlayAction() const;
    QAction* fullScreenAction() const;
    // The Window menu: one checkable item per floating window, checked while that window is open. Its
    // items also answer their shortcuts inside the floating windows (see MainNib).
    QMenu* windowMenu() const;
    QAction* playlistWindowAction() const;

    MenuFrameSet* menuFrameSet() const { return menuFrameSet_; }
    ButtonForMenu* frameSetButton() const { return frameSetButton_; }
    // The frame-set button's image tells whether the selected playlist has a frame set to load.
    void changeFrameSetButtonImage(bool canLoadFrameSet);

    // Asked when the user closes the window; the window closes only when it answers true.
    void setCloseRequestHandler(std::function<bool()> handler) { closeRequestHandler_ = std::move(handler); }

protected:
    bool windowShouldClose() override;

private:
    void addAuxiliaryWindowCommands();

    std::unique_ptr<Ui::MainWindow> ui_;
    MenuFrameSet* menuFrameSet_;
    ButtonForMenu* frameSetButton_;
    std::function<bool()> closeRequestHandler_;
    QAction* preferencesAction_ = nullptr;
    QAction* controlWindowAction_ = nullptr;
    QAction* helpAction_ = nullptr;
};

} // namespace tetrapan
