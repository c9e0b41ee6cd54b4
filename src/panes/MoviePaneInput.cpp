#include "panes/MoviePaneInput.h"

#include "engine/MovieView.h"
#include "library/RecordingSource.h"
#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "panes/MovController.h"
#include "panes/PanePlacing.h"
#include "panes/PaneZoom.h"
#include "panes/QTMovieSubView.h"
#include "panes/fileDrag.h"
#include "platform/fileNames.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWheelEvent>

#include <memory>

namespace tetrapan {

MoviePaneInput::MoviePaneInput(QTMovieSubView& pane, Scheduler& scheduler, DialogPresenter& dialogs)
    : QObject(&pane), pane_(pane), scheduler_(scheduler), dialogs_(dialogs)
{
}

MoviePaneInput::~MoviePaneInput()
{
    // A placement still waiting would reach a pane that is going.
    for (Scheduler::TaskId id : std::as_const(pendingPlacements_))
        scheduler_.cancel(id);
}

bool MoviePaneInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &pane_)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyDown(static_cast<QKeyEvent*>(event));
    case QEvent::Enter:
        // the pane the pointer was over last is the one the nudge keys move (PaneNudge)
        if (MovController* controller = pane_.movController())
            controller->setCurrentViewNo(pane_.viewNo());
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return mouseDown(static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease:
        return mouseUp(static_cast<QMouseEvent*>(event));
    case QEvent::MouseMove:
        return zoomMouseDragged(static_cast<QMouseEvent*>(event));
    case QEvent::Wheel:
        return scrollWheel(static_cast<QWheelEvent*>(event));
    case QEvent::ContextMenu:
        rightMouseDown(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::DragEnter:
        return draggingEntered(static_cast<QDragEnterEvent*>(event));
    case QEvent::DragMove:
        return draggingUpdated(static_cast<QDragMoveEvent*>(event));
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop:
        performDragOperation(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

bool MoviePaneInput::keyDown(QKeyEvent* event)
{
    MovController* controller = pane_.movController();
    // Only Shift changes what an arrow does; the other modifiers are not looked at.
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    case Qt::Key_Left:
        if (controller)
            controller->skipAllMovieTime(shift ? MovController::SkipToStart : MovController::SkipBackward);
        return true;
    case Qt::Key_Right:
        if (controller)
            controller->skipAllMovieTime(shift ? MovController::SkipToEnd : MovController::SkipForward);
        return true;
    default:
        break;
    }
    if (event->text() == QLatin1String(" ")) {
        if (controller)
            controller->changeAllMoviePlay();
        return true;
    }
    return false;
}

bool MoviePaneInput::mouseDown(QMouseEvent* event)
{
    if (zoomMouseDown(event))
        return true;
    if (event->button() != Qt::LeftButton)
        return false;
    // Meta is the key a one-button mouse holds for the context menu.
    if (event->modifiers() & Qt::MetaModifier) {
        rightMouseDown(event->globalPosition().toPoint());
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        clickCount_ = 2;
        sinceDoubleClick_.start();
    } else if (clickCount_ >= 2 && sinceDoubleClick_.isValid() &&
               sinceDoubleClick_.elapsed() <= QApplication::doubleClickInterval()) {
        ++clickCount_;
    } else {
        clickCount_ = 1;
    }

    const QPointF point = event->position();
    pane_.setMouseDownPoint(point);
    if (pane_.movieControllerBounds().contains(point.toPoint())) {
        pane_.setIsClickedController(true);
        return false;
    }
    pane_.setIsClickedController(false);
    if ((event->modifiers() & Qt::ControlModifier) && !pane_.filePath().isEmpty())
        startFileDrag();
    return true;
}

bool MoviePaneInput::mouseUp(QMouseEvent* event)
{
    if (panButton_ != Qt::NoButton && event->button() == panButton_) {
        panButton_ = Qt::NoButton;
        return true;
    }
    if (event->button() != Qt::LeftButton)
        return false;
    const QPointF point = event->position();
    pane_.setMouseUpPoint(point);
    if (pane_.isClickedController())
        return false;
    if (point == pane_.mouseDownPoint() && clickCount_ == 2)
        pane_.changeMoviePlay();
    return true;
}

bool MoviePaneInput::zoomMouseDown(QMouseEvent* event)
{
    const bool alt = event->button() == Qt::LeftButton && (event->modifiers() & Qt::AltModifier);
    MovController* controller = pane_.movController();
    if (!controller || (!alt && event->button() != Qt::MiddleButton) ||
        pane_.movieControllerBounds().contains(event->position().toPoint()))
        return false;
    if (alt && event->type() == QEvent::MouseButtonDblClick)
        controller->zoom().reset(pane_.viewNo());
    panButton_ = event->button();
    panFrom_ = event->position();
    return true;
}

bool MoviePaneInput::zoomMouseDragged(QMouseEvent* event)
{
    if (panButton_ == Qt::NoButton)
        return false;
    if (MovController* controller = pane_.movController())
        controller->zoom().panBy(pane_.viewNo(), event->position() - panFrom_);
    panFrom_ = event->position();
    return true;
}

bool MoviePaneInput::scrollWheel(QWheelEvent* event)
{
    MovController* controller = pane_.movController();
    if (!controller || !(event->modifiers() & Qt::ControlModifier) || !pane_.movieView() ||
        pane_.movieControllerBounds().contains(event->position().toPoint()))
        return false;
    const QPointF pointer = pane_.movieView()->mapFrom(&pane_, event->position());
    controller->zoom().zoomAt(pane_.viewNo(), pointer, event->angleDelta().y() / 120.0);
    return true;
}

void MoviePaneInput::rightMouseDown(QPoint globalPos)
{
    if (QMenu* menu = pane_.cmMovieView())
        menu->popup(globalPos);
}

void MoviePaneInput::startFileDrag()
{
    auto* drag = new QDrag(&pane_);
    // a recording's camera or chosen files go out as their folder, which another pane opens whole
    drag->setMimeData(fileDrag::mimeDataForFiles({RecordingSource::entryFields(pane_.filePath()).filePath}));
    drag->setPixmap(pane_.grab().scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    // Another pane takes a copy; a file manager may link to the file instead. The file itself never moves.
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

bool MoviePaneInput::draggingEntered(QDragEnterEvent* event)
{
    return draggingUpdated(event);
}

bool MoviePaneInput::draggingUpdated(QDragMoveEvent* event)
{
    // A pane's own drag comes back over it at once: its file, or its recording's whole folder, is no new one.
    // Refused here, it is never dropped on it (PaneFolderDrops included).
    if (fileDrag::isCopyableFileList(*event) && event->source() != &pane_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    return true;
}

void MoviePaneInput::afterTheDrop(std::function<void()> then)
{
    auto id = std::make_shared<Scheduler::TaskId>(Scheduler::NoTask);
    *id = scheduler_.scheduleAfter(PlaceDroppedFileDelay, [this, id, then = std::move(then)] {
        pendingPlacements_.removeOne(*id);
        then();
    });
    pendingPlacements_.append(*id);
}

bool MoviePaneInput::performDragOperation(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasFormat(QLatin1String(fileDrag::FileNamesType))) {
        event->ignore();
        return false;
    }
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) {
        event->ignore();
        return false;
    }
    if (urls.size() > 1) {
        // said once the drop is over: an alert inside it would hold the drag, and the file manager with it
        afterTheDrop(
            [this] { dialogExtension::displayMessage(dialogs_, dialogExtension::TwoOrMoreFilesAdded); });
        event->ignore();
        return false;
    }
    // Only a file on this machine can become a pane's movie.
    if (!urls.front().isLocalFile()) {
        event->ignore();
        return false;
    }
    const QString dropped = fileNames::fromFileUrl(urls.front());
    const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(dropped);
    const QString path = resolved.isNull() ? dropped : resolved;
    if (path == pane_.filePath()) {
        event->ignore();
        return false;
    }

    afterTheDrop([this, path] { pane_.placing().createMovieFrame(path); });
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace tetrapan
