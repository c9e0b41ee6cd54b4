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
    if (full)
        oldRect_ = geometry();
    isFullScreen_ = full;
    leaveFullScreenAction_->setEnabled(full);
    setChromeVisible(!full);
    if (full) {
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        // a maximised window goes back to being maximised, which setting a frame would undo
        if (!(windowState() & Qt::WindowMaximized))
            setGeometry(oldRect_);
    }
    Q_EMIT fullScreenChanged(full);
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
    // the window manager took the window out of full screen by its own means: the menu bar comes back
    if (event->type() == QEvent::WindowStateChange && isFullScreen_ &&
        !(windowState() & Qt::WindowFullScreen)) {
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
