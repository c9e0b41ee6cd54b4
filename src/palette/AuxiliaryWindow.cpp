#include "palette/AuxiliaryWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QScreen>

#include <algorithm>

namespace tetrapan {

AuxiliaryWindow::AuxiliaryWindow(QWidget* mainWindow, Qt::WindowFlags flags) : QWidget(mainWindow, flags) {}

AuxiliaryWindow::~AuxiliaryWindow() = default;

void AuxiliaryWindow::orderFront(bool makeKey)
{
    // a window shown for the user's own command takes the keyboard; one that reappears at start leaves it
    // where it is
    setAttribute(Qt::WA_ShowWithoutActivating, !makeKey);
    show();
    raise();
    if (makeKey)
        activateWindow();
}

void AuxiliaryWindow::centreOver(const QWidget& mainWindow)
{
    const QRect main = mainWindow.frameGeometry();
    const QSize size = frameGeometry().size();
    moveOnScreenOf(mainWindow, main.center() - QPoint(size.width() / 2, size.height() / 2));
}

void AuxiliaryWindow::moveOnScreenOf(const QWidget& mainWindow, QPoint topLeft)
{
    if (const QScreen* screen = mainWindow.screen()) {
        const QRect available = screen->availableGeometry();
        const QSize size = frameGeometry().size();
        topLeft.setX(std::clamp(topLeft.x(), available.left(),
                                std::max(available.left(), available.right() + 1 - size.width())));
        topLeft.setY(std::clamp(topLeft.y(), available.top(),
                                std::max(available.top(), available.bottom() + 1 - size.height())));
    }
    move(topLeft);
}

void AuxiliaryWindow::closeOnEscape()
{
    auto* close = new QAction(QStringLiteral("Close Window"), this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);
}

void AuxiliaryWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT windowWillClose();
    event->accept();
}

void AuxiliaryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // a window coming back from being minimised was open all along
    if (!event->spontaneous())
        Q_EMIT visibilityChanged(true);
}

void AuxiliaryWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Q_EMIT visibilityChanged(false);
}

} // namespace tetrapan
