#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

class QAction;
class QToolBar;

namespace tetrapan {

// A main window that can fill the screen: entering remembers the windowed frame (and whether the window was
// maximised) and hides the menu bar and tool bars; leaving brings them back and returns to that frame, or to
// the maximised state. Full screen entered or left by the window manager's own means is followed. Escape
// leaves the mode, and closing the window leaves it first.
class FullScreenWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit FullScreenWindow(QWidget* parent = nullptr);
    ~FullScreenWindow() override;

    void awakeFromNib();

    bool isFullScreen() const { return isFullScreen_; }
    // Changes only the flag.
    void setIsFullScreen(bool full) { isFullScreen_ = full; }
    void changeFullScreen(QObject* sender = nullptr);
    // Entering while full screen, or leaving while windowed, changes nothing. Qt has no animated frame
    // change, so animate is accepted and ignored.
    void setFullScreen(bool full, bool animate);
    // The windowed frame from before the mode was last entered.
    QRect oldRect() const { return oldRect_; }
    // The frame the window has, or will have again, as a normal window: neither full screen nor maximised.
    QRect windowedFrame() const { return isFullScreen_ ? oldRect_ : normalFrame(); }

Q_SIGNALS:
    void fullScreenChanged(bool full);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Asked once full screen has been left; the window closes only when it answers true.
    virtual bool windowShouldClose() { return true; }

private:
    QRect normalFrame() const;
    // Notes the mode as entered: the frame and state to come back to, and the chrome hidden.
    void enterMode(bool wasMaximized);
    void setChromeVisible(bool visible);

    bool isFullScreen_ = false;
    bool wasMaximized_ = false;
    QRect oldRect_;
    // Escape, only while the window fills the screen; as a shortcut it works whichever pane has focus
    QAction* leaveFullScreenAction_;
    QList<QPointer<QToolBar>> hiddenBars_;
};

} // namespace tetrapan
