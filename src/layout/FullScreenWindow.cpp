#include "layout/FullScreenWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QToolBar>

namespace tetrapan {

FullScreenWindow::FullScreenWindow(QWidget* parent)
    : QMainWindow(parent), leaveFullScreenAction_(new QAction(QStringLiteral("Leave Full Screen"), this))
{
    leaveFullScreenAction_->setShortcut(QKeySequence(Qt::Key_Escape));
    leaveFullScreenAction_->setShortcutContext(Qt::WindowShortcut);
    leaveFullScreenAction_->setEnabled(false);
    addAction(leaveFullScreenAction_);
    connect(leaveFullScreenAction_, &QAction::triggered, this, [this] { setFullScreen(false, true); });
}

FullScreenWindow::~FullScreenWindow() = default;

void FullScreenWindow::awakeFromNib()
{
    isFullScreen_ = false;
    oldRect_ = geometry();
}

void FullScreenWindow::changeFullScreen(QObject*)
{
    setFullScreen(!isFullScreen_, true);
}

void FullScreenWindow::setFullScreen(bool full, bool /*animate*/)
{
    if (isFullScreen_ == full)
        return;
    if (full) {
        enterMode(windowState().testFlag(Qt::WindowMaximized));
        setWindowState(windowState() | Qt::WindowFullScreen);
        Q_EMIT fullScreenChanged(true);
        return;
    }
    isFullScreen_ = false;
    leaveFullScreenAction_->setEnabled(false);
    setChromeVisible(true);
    // Some window managers report full screen alone, the maximised state dropped: it is put back as it was.
    setWindowState((windowState() & ~(Qt::WindowFullScreen | Qt::WindowMaximized)) |
                   (wasMaximized_ ? Qt::WindowMaximized : Qt::WindowNoState));
    // a maximised window takes its frame from the screen, which setting a frame would undo
    if (!wasMaximized_)
        setGeometry(oldRect_);
    Q_EMIT fullScreenChanged(false);
}

QRect FullScreenWindow::normalFrame() const
{
    // Qt keeps the normal frame of a maximised or full-screen window
    const QRect normal = normalGeometry();
    return normal.isValid() ? normal : geometry();
}

void FullScreenWindow::enterMode(bool wasMaximized)
{
    oldRect_ = normalFrame();
    wasMaximized_ = wasMaximized;
    isFullScreen_ = true;
    leaveFullScreenAction_->setEnabled(true);
    setChromeVisible(false);
}

void FullScreenWindow::setChromeVisible(bool visible)
{
    menuBar()->setVisible(visible);
    if (!visible) {
        hiddenBars_.clear();
        for (QToolBar* bar : findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
            if (bar->isVisibleTo(this)) {
                hiddenBars_.append(bar);
                bar->hide();
            }
        }
    } else {
        // only the bars this mode hid: one the user had closed stays closed
        for (QToolBar* bar : std::as_const(hiddenBars_)) {
            if (bar)
                bar->show();
        }
        hiddenBars_.clear();
    }
}

void FullScreenWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const bool full = windowState().testFlag(Qt::WindowFullScreen);
    if (full && !isFullScreen_) {
        // the window manager's own key: F11 and Escape then lead out of it, back to what was before
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        enterMode(change->oldState().testFlag(Qt::WindowMaximized));
        Q_EMIT fullScreenChanged(true);
    } else if (!full && isFullScreen_) {
        // the window manager took the window out of full screen by its own means: the menu bar comes back
        isFullScreen_ = false;
        leaveFullScreenAction_->setEnabled(false);
        setChromeVisible(true);
        Q_EMIT fullScreenChanged(false);
    }
}

void FullScreenWindow::closeEvent(QCloseEvent* event)
{
    setFullScreen(false, true);
    if (!windowShouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace tetrapan
