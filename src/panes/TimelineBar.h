#pragma once

#include "platform/Scheduler.h"

#include <QPointer>
#include <QWidget>

#include <chrono>

namespace tetrapan {

class PaneTimeline;
class SettingsDomain;

// The seek bar under the panes: the leader's time and length (in the form TimeForm keeps, switched by a
// click on it), a lane per pane for the part of the time line its movie covers at its offset, named by the
// pane's number and its offset, and the A–B loop's points. A press jumps there, a drag takes every
// pane along. It is shown while View > Show Seek Bar is on, a choice kept across runs; in full screen only
// for a while after the pointer moves.
class TimelineBar final : public QWidget {
    Q_OBJECT
public:
    // How often the shown time follows a playing pane; with none playing the bar is redrawn only when
    // something moves.
    static constexpr std::chrono::milliseconds RefreshInterval{100};
    // In full screen the bar goes again this long after the pointer last moved.
    static constexpr std::chrono::milliseconds FullScreenShowTime{2500};
    // The settings key of View > Show Seek Bar.
    static constexpr const char* OptShowSeekBar = "optShowSeekBar";

    TimelineBar(PaneTimeline& timeline, Scheduler& scheduler, SettingsDomain& settings,
                QWidget* parent = nullptr);
    ~TimelineBar() override;

    // Whether the user wants the bar, and whether the window fills the screen.
    void setWanted(bool wanted);
    void setFullScreen(bool fullScreen);
    // The pointer moved over the window: in full screen the bar shows for a while.
    void pointerMoved();

    // The leader's time under a point of the bar, and the point of a time: for the pointer and for tests.
    double secondsAt(int x) const;
    int xOf(double seconds) const;
    // The leader's time and length as the bar shows them.
    QString timeText() const;
    // Pane n's lane's name: "2", with its offset when it has one: "2  +4.000 s".
    QString laneText(int viewNo) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A drag whose release will not come ends where it went last.
    void letGoOfDrag();
    // The track the times lie on, in the bar's coordinates; the time text is to its right, the lanes'
    // names to its left.
    QRect track() const;
    int laneHeight() const;
    void refreshVisibility();
    // Redraws what moved, and every RefreshInterval while shown and a pane plays.
    void followPanes();

    QPointer<PaneTimeline> timeline_;
    Scheduler& scheduler_;
    SettingsDomain& settings_;
    Scheduler::TaskId refreshTask_ = Scheduler::NoTask;
    Scheduler::TaskId hideTask_ = Scheduler::NoTask;
    bool wanted_ = false;
    bool fullScreen_ = false;
    bool pointerRecent_ = false;
};

} // namespace tetrapan
