#pragma once

#include "platform/ObjectModel.h"
#include "platform/Scheduler.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <utility>

namespace tetrapan {

class FullScreenWindow;
class MovController;
class SettingsDomain;
class SplitSubView;
class TBArrayController;

// The main window's controller. It restores and stores the window's frame and the panes' frames, shows or
// hides all dividers at once, lets one pane fill the window and brings the even layout back, steps through
// the panes at random every few seconds on request, and keeps each playlist's frame set: saved divider
// ratios in the playlist's "frameSet". Pane 1 sits top left, 2 bottom left, 3 top right, 4 bottom right:
// spvMain divides the columns, spvLeft panes 1 and 2, spvRight panes 3 and 4.
class ViewMain : public QObject {
    Q_OBJECT
public:
    static constexpr float DividerThickness = 7.0f;
    static constexpr std::chrono::milliseconds AutoFramePlayInterval{7000};

    static constexpr const char* OptDividerEnable = "optDividerEnable";
    static constexpr const char* RectWindowMain = "rectWindowMain";
    static constexpr const char* RectSplitViewMain = "rectSplitViewMain";
    static constexpr const char* RectSplitViewLeft = "rectSplitViewLeft";
    static constexpr const char* RectSplitViewRight = "rectSplitViewRight";

    // Draws the random generator's next value for automatic frame play.
    using RandomDraw = std::function<quint32()>;
    // The running program's generator: seeded with the present time in whole seconds at every draw.
    static quint32 drawSeededWithTime();

    ViewMain(SettingsDomain& settings, Scheduler& scheduler, QObject* parent = nullptr);
    ~ViewMain() override;

    // outlets
    TBArrayController* tbArrayController = nullptr;
    MovController* movController = nullptr;
    FullScreenWindow* mainWindow = nullptr;
    SplitSubView* spvMain = nullptr;
    SplitSubView* spvLeft = nullptr;
    SplitSubView* spvRight = nullptr;

    // Restores the window's and the panes' frames and shows the dividers, whatever the last run left.
    void awakeFromNib();

    // Divider visibility: changeDividerSize toggles it and stores it; setDividerSize only applies it.
    void changeDividerSize(QObject* sender = nullptr);
    void setDividerSize(bool enabled);
    void displayViewFrame();

    // The sender's "tag" is the view number (0 the even layout).
    void maximizeFrameFromMenu(QObject* sender);
    void maximizeFrameFromButton(QObject* sender);
    // Pane viewNo (1..4) fills the window, or the even layout for 0 or for the pane already alone. Panes
    // stop while the dividers slide; those shown afterwards play again if any played before.
    void maximizeSplitViewFrame(int viewNo);

    // The slot is the sender's integer "representedObject" (or a QAction's data); 0 without one.
    void loadFramePosition(QObject* sender = nullptr);
    void saveFramePosition(QObject* sender = nullptr);
    void removeFramePosition(QObject* sender = nullptr);
    // The selected playlist's frame set: apply, store or delete one slot's item. Loading and saving leave
    // folders alone; removing clears a slot of whatever node is selected.
    void loadSplitViewFrame(int slot);
    void saveSplitViewFrame(int slot);
    void removeSplitViewFrame(int slot);

    // Automatic frame play: every seven seconds a random pane fills the window (or the even layout
    // returns when the draw names the pane already alone).
    void changeAutoFramePlay(QObject* sender = nullptr);
    void setAutoFramePlay();
    bool isAutoFramePlay() const;
    void setRandomDraw(RandomDraw draw) { randomDraw_ = std::move(draw); }

    void setMainWindowTitle(const QString& title);
    // The main window is about to close: panes stop, the windowed frame and the panes' frames are stored
    // (those a slide underway is taking them to).
    void windowWillCloseMain();
    // The user let go of a divider: panes dragged out of sight stop.
    void splitViewDidEndLiveResize();

Q_SIGNALS:
    void autoFramePlayChanged(bool running);

private:
    // Stops the panes for a slide of the dividers, and drops resumes still waiting; whether any played or
    // was about to.
    bool stopForSlide();
    // After the slide: the panes in sight play on if they played, or the load under way plays them.
    void playOnAfterSlide(int viewNo, bool wasPlaying);
    ObjectId selectedPlaylist() const;
    QString frameSetOf(ObjectId playlist) const;
    void storeFrameSet(ObjectId playlist, const QString& frameSet, const QString& undoName);
    // Layout changes run one after another: one asked for while the dividers slide (a timer firing inside
    // the animation) waits for the slide to end; of several such, only the latest runs.
    bool deferWhileMoving(std::function<void()> change);
    void runDeferredChange();
    // Each split view slides its divider to its position, one after the other.
    void slideDividers(std::initializer_list<std::pair<SplitSubView*, QPointF>> moves);
    // Puts every divider of a slide underway where it is going, at once.
    void finishSlide();

    SettingsDomain& settings_;
    Scheduler& scheduler_;
    Scheduler::TaskId changeAutoFrameTimer_ = Scheduler::NoTask;
    RandomDraw randomDraw_ = drawSeededWithTime;
    bool isMoving_ = false;
    QList<std::pair<SplitSubView*, QPointF>> slideMoves_;
    std::function<void()> pendingMove_;
    // The main window closes: nothing plays or slides any more.
    bool closing_ = false;
};

} // namespace tetrapan
