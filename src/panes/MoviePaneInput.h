#pragma once

#include "platform/Scheduler.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

#include <chrono>
#include <functional>

class QContextMenuEvent;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace tetrapan {

class DialogPresenter;
class QTMovieSubView;

// A pane's keyboard, mouse and drag-and-drop input. Keys act on all panes through the coordinator; a double
// click toggles the pane's own playback; presses on the controller bar are left to the bar; a right click
// or Meta-click opens the pane's menu; a Ctrl-drag carries the pane's file out as a URL list; one local
// file dropped on the pane becomes its movie in the selected playlist. The detail zoom (PaneZoom): the wheel
// with Ctrl zooms around the pointer, a drag with the middle button or with Alt moves the picture, a double
// click with Alt shows it whole.
class MoviePaneInput final : public QObject {
    Q_OBJECT
public:
    // The file dropped is placed once the drop has finished, so an alert never opens inside the drag.
    static constexpr std::chrono::milliseconds PlaceDroppedFileDelay{100};

    MoviePaneInput(QTMovieSubView& pane, Scheduler& scheduler, DialogPresenter& dialogs);
    ~MoviePaneInput() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Each answers whether the pane consumed the event; an event not consumed goes on to the pane's
    // parents as the movie view's own handling would pass it.
    bool keyDown(QKeyEvent* event);
    bool mouseDown(QMouseEvent* event);
    bool mouseUp(QMouseEvent* event);
    bool scrollWheel(QWheelEvent* event);
    void rightMouseDown(QPoint globalPos);
    bool draggingEntered(QDragEnterEvent* event);
    bool draggingUpdated(QDragMoveEvent* event);
    // Whether the drop was taken.
    bool performDragOperation(QDropEvent* event);

    // How many presses in a row the last press made (1 single, 2 double, 3 triple click).
    int clickCount() const { return clickCount_; }

private:
    void startFileDrag();
    // Once the drop is over, not inside it: the drag's source waits for the drop's answer.
    void afterTheDrop(std::function<void()> then);
    // Presses that zoom or move the picture rather than click the pane; the drag lasts until that button
    // goes up.
    bool zoomMouseDown(QMouseEvent* event);
    bool zoomMouseDragged(QMouseEvent* event);

    QTMovieSubView& pane_;
    Scheduler& scheduler_;
    DialogPresenter& dialogs_;
    int clickCount_ = 0;
    // Since the last double click, to tell a third press of the same click series from a new click.
    QElapsedTimer sinceDoubleClick_;
    QList<Scheduler::TaskId> pendingPlacements_; // and alerts, each shortly after its drop
    Qt::MouseButton panButton_ = Qt::NoButton;
    QPointF panFrom_;
};

} // namespace tetrapan
