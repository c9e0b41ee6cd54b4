#pragma once

#include "library/MovieTime.h"
#include "platform/ObjectModel.h"

namespace tetrapan {

class MovController;

// Offsets between the panes: a pane's time = the common time + its offset. Each pane's offset, in
// milliseconds, is kept on the current playlist's entry for that pane (the attribute "offset"), so it
// belongs to that pairing of movie and playlist and is saved, undone and redone like the other edits of the
// library. The leader, the pane the others are measured against, is the first playable pane. A playlist
// without offsets synchronises exactly as if there were none.
class PaneOffsets {
public:
    explicit PaneOffsets(const MovController& panes) : panes_(panes) {}

    // The current playlist's entry for the pane (the first one, as the panes are loaded); NoObject when none.
    ObjectId entry(int viewNo) const;
    // 0 when the pane has no entry.
    qint64 offsetMs(int viewNo) const;
    // Records the offset on the pane's entry as one undoable edit; 0 removes it. Nothing without an entry.
    void setOffsetMs(int viewNo, qint64 offsetMs);
    // 0 when no pane is playable.
    int leaderViewNo() const;
    // A playable pane other than the leader, with an entry to keep its offset on.
    bool canChangeOffset(int viewNo) const;
    // "Set Offset Here": keeps the pane's present lead or lag against the leader, so that synchronising
    // leaves the two as they stand now.
    void changeOffset(int viewNo);
    void clearOffset(int viewNo);

    // Where a pane goes when another stands at `time`: moved by the difference of their offsets and kept
    // within the pane's movie. No difference, no change.
    static MovieTime shiftedTime(const MovieTime& time, qint64 shiftMs, const MovieTime& duration);

private:
    const MovController& panes_;
};

} // namespace tetrapan
