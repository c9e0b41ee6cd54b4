#include "shell/EmptyLibraryHint.h"

#include "panes/fileDrag.h"

#include <QDropEvent>

#include <algorithm>

namespace tetrapan {

EmptyLibraryHint::EmptyLibraryHint(QWidget* parent) : QLabel(QLatin1String(Text), parent)
{
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // a box of its own, so the line reads the same over the dividers that cross the middle
    setStyleSheet(
        QStringLiteral("color: #e0e0e0; background: #303030; border-radius: 8px; padding: 16px %1px;")
            .arg(Padding));
    QFont larger = font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    setFont(larger);
    setAccessibleName(QStringLiteral("How to begin"));
    parent->installEventFilter(this);
    place();
}

void EmptyLibraryHint::place()
{
    const QRect area = parentWidget()->rect();
    // one line where it fits, wrapped where the window is narrow
    const int oneLine = fontMetrics().horizontalAdvance(text()) + 2 * Padding + 2;
    const int width = std::min(oneLine, area.width() - 2 * Inset);
    QRect box(0, 0, width, heightForWidth(width));
    box.moveCenter(area.center());
    setGeometry(box);
}

void EmptyLibraryHint::takeDropsOn(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool EmptyLibraryHint::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        place();
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
