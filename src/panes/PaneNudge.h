#pragma once

#include "platform/ObjectModel.h"

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <array>

class QAction;
class QMenu;

namespace tetrapan {

class MovController;
class SyncLock;

// Nudging moves one pane's offset (PaneOffsets) by one of its frames or by 10 ms, earlier or later, while
// the panes play or stand, so that two recordings can be lined up by eye a picture at a time. The pane
// follows at once: with the sync lock on it is put where the leader's place and its new offset put it;
// off, it moves by the nudge from where it stands. Later means the pane shows a later picture of its movie
// against the others (its offset grows).
//
// The keys act on the chosen pane, the one the pointer was over last (MovController::currentViewNo), as
// the detail zoom does; a pane's menu nudges that pane. The leader, against which offsets are counted,
// cannot be nudged, as it cannot be given an offset by "Set Offset Here".
//
// Each nudge is an undo step "Nudge Offset"; nudges of one pane that follow each other with no other edit
// between them make one step, so that Undo takes the whole approach back at once. (The undo stack's steps
// are macros, which QUndoStack never merges: the earlier step is undone and the whole move made anew.)
class PaneNudge : public QObject {
    Q_OBJECT
public:
    enum Step { FrameEarlier, FrameLater, FineEarlier, FineLater };
    static constexpr int StepCount = 4;
    static constexpr double FineStepMs = 10.0;
    // A movie that does not tell its frame rate has its frame taken as one of this rate.
    static constexpr double FallbackFramesPerSecond = 30.0;

    PaneNudge(MovController& panes, SyncLock& lock, QObject* parent = nullptr);

    // The commands, acting on the chosen pane, with their keys (answering in every window).
    QAction* action(Step step) const { return actions_[step]; }
    // "Nudge a Frame Later" and so on; the keys, for menus that only show them.
    static QString title(Step step);
    static QKeySequence keys(Step step);
    // Names the chosen pane in the commands' titles and enables them when it can be nudged, for a menu
    // about to open; once it closes, they are enabled again, since the pointer may choose another pane
    // before a key is pressed.
    void refreshActions();
    void enableActions();

    // The pane the keys act on; 0 when it cannot be nudged (none chosen, the leader, no entry).
    int chosenViewNo() const;
    bool canNudge(int viewNo) const;
    // How far a step moves the pane's offset, in milliseconds (a frame is rarely a whole number of them).
    double stepMs(int viewNo, Step step) const;
    void nudge(int viewNo, Step step);

Q_SIGNALS:
    // The pane's offset was nudged; its readouts show the new one.
    void nudged(int viewNo);

private:
    // Puts the pane's movie where its new offset puts it (see above).
    void follow(int viewNo, double movedMs);

    MovController& panes_;
    SyncLock& lock_;
    std::array<QAction*, StepCount> actions_{};
    // The nudges in a row of one pane: where its offset stood before the first, how far they moved it in
    // all, and the undo stack's state after the last, which tells whether anything came between.
    struct Run {
        int viewNo = 0;
        ObjectId entry = NoObject;
        qint64 startMs = 0;
        double movedMs = 0.0;
        int undoIndex = -1;
        int undoCount = -1;
        // whether the run's undo step is on the stack (a run back where it began has none)
        bool pushed = false;
    };
    Run run_;
};

} // namespace tetrapan
