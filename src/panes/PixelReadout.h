#pragma once

#include "engine/MovieView.h"

#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <chrono>

class QAction;
class QLabel;
class QMenu;

namespace tetrapan {

class MovController;
class PaneCompare;

// The pixel under the pointer, in each of the four panes at the same point of their pictures: red, green,
// blue and Y′ of the decoded picture (the drawn one, said so, where that cannot be read), and in compare mode
// the difference of A and B. Shown beside the pointer; it follows the pointer and the playing, read again
// every Interval, each pane answering when it has read (MovieView::readPixel), never holding the GUI thread.
class PixelReadout : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds Interval{100};

    PixelReadout(MovController& panes, PaneCompare& compare, Scheduler& scheduler, QObject* parent = nullptr);
    ~PixelReadout() override;

    // View > Pixel Readout, and the readout shown over window.
    void addMenuItem(QMenu& view, QWidget& window);
    void setShown(bool shown);
    bool isShown() const { return task_ != Scheduler::NoTask; }
    // Reads the panes at the picture point under viewPoint of pane viewNo.
    void readAt(int viewNo, QPointF viewPoint);
    std::optional<PixelValue> value(int viewNo) const { return values_.at(viewNo - 1); }
    QString text() const;
    QAction* action() const { return action_; }

    // Y′ of a colour, Rec. 709.
    static int luma(const PixelValue& value);

private:
    MovieView* viewOf(int viewNo) const;
    void followPointer();
    void show();

    MovController& panes_;
    PaneCompare& compare_;
    Scheduler& scheduler_;
    Scheduler::TaskId task_ = Scheduler::NoTask;
    std::array<std::optional<PixelValue>, 4> values_{};
    QPointer<QWidget> window_;
    QLabel* label_ = nullptr;
    QAction* action_ = nullptr;
};

} // namespace tetrapan
