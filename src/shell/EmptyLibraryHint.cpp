#include "shell/EmptyLibraryHint.h"

#include "panes/fileDrag.h"

#include <QDropEvent>

namespace tetrapan {

EmptyLibraryHint::EmptyLibraryHint(QWidget* parent) : QLabel(QLatin1String(Text), parent)
{
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setAcceptDrops(true);
    setMargin(24);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("color: #c8c8c8; background: transparent;"));
    QFont larger = font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    setFont(larger);
    setAccessibleName(QStringLiteral("How to begin"));
    parent->installEventFilter(this);
    setGeometry(parent->rect());
}

bool EmptyLibraryHint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QLabel::eventFilter(watched, event);
}

void EmptyLibraryHint::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void EmptyLibraryHint::dragMoveEvent(QDragMoveEvent* event)
{
    if (fileDrag::isCopyableFileList(*event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void EmptyLibraryHint::dropEvent(QDropEvent* event)
{
    const QStringList paths =
        fileDrag::isCopyableFileList(*event) ? fileDrag::localFiles(*event->mimeData()) : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT filesDropped(paths);
}

} // namespace tetrapan
