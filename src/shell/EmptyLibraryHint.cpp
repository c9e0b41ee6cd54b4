#include "shell/EmptyLibraryHint.h"

#include "panes/fileDrag.h"

#include <QDropEvent>

namespace tetrapan {

EmptyLibraryHint::EmptyLibraryHint(QWidget* parent) : QLabel(QLatin1String(Text), parent)
{
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(24);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("color: #c8c8c8; background: transparent;"));
    QFont larger = font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    setFont(larger);
    setAccessibleName(QStringLiteral("How to begin"));
    parent->installEventFilter(this);
    setGeometry(parent->rect());
}

void EmptyLibraryHint::takeDropsOn(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool EmptyLibraryHint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    if (watched == parent() || isHidden())
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        return takeDrop(static_cast<QDropEvent*>(event), false);
    case QEvent::Drop:
        return takeDrop(static_cast<QDropEvent*>(event), true);
    default:
        return false;
    }
}

bool EmptyLibraryHint::takeDrop(QDropEvent* event, bool drop)
{
    // a pane's own drag (it has a source in the program) is left to the pane
    if (event->source() || !fileDrag::isCopyableFileList(*event))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (drop)
        Q_EMIT filesDropped(fileDrag::localFiles(*event->mimeData()));
    return true;
}

} // namespace tetrapan
