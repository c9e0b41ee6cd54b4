#pragma once

#include "library/MovieTime.h"
#include "platform/ObjectModel.h"

#include <QString>
#include <QVector>

#include <optional>

namespace tetrapan {

class MovController;
class ObjectContext;

// Offsets and rates between the panes. Every pane stands on one common time line c:
//
//     pane time t_p = rate_p * c + offset_p,   so   c = (t_leader - offset_leader) / rate_leader
//
// The offset is how far the pane's movie leads the common time, the rate how many seconds of it pass in one
// second of common time (a 24 fps recording beside a leading 25 fps copy of its pictures runs at 25/24, the
// copy beside the recording at 24/25). Each pane's offset, in
// milliseconds, and rate are kept on the current playlist's entry for that pane (the attributes "offset"
// and "rate", absent for 0 and 1), so they belong to that pairing of movie and playlist and are saved, undone
// and redone like the other edits of the library. The leader, the pane the others are measured against, is
// the first playable pane. With every rate 1 this is t_p = t_leader - offset_leader + offset_p, and a
// playlist without offsets synchronises exactly as if there were none. The common time passes at the user's
// speed, so a pane plays at the user's speed times its rate.
class PaneOffsets {
public:
    // Rates the panes may run at: the speeds mpv plays well with the user's speeds on top.
    static constexpr double MinRate = 0.5;
    static constexpr double MaxRate = 2.0;
    // Far beyond any recording, and well within what milliseconds in 64 bits hold; a larger one in the
    // library (a hand-edited file) is none.
    static constexpr qint64 LongestOffsetMs = 1'000'000'000'000;

    explicit PaneOffsets(const MovController& panes) : panes_(panes) {}

    // The current playlist's entry for the pane (the first one, as the panes are loaded); NoObject when none.
    ObjectId entry(int viewNo) const;
    // The offset the user gave, kept on the entry; 0 when the pane has no entry.
    qint64 offsetMs(int viewNo) const;
    // Where the pane's recording starts on the wall clock against the earliest start of the panes'
    // recordings, as an offset: a pane whose recording starts a minute later stands a minute earlier in its
    // own time. 0 for a movie of one file. placement() adds it to the user's offset, so the panes are
    // placed on the wall clock: the leader's wall-clock time plus each pane's own offset.
    qint64 wallClockOffsetMs(int viewNo) const;
    // The same for a pane's recording among the starts of all the panes' recordings (its own among them).
    static qint64 wallClockOffsetMs(qint64 startMs, const QVector<qint64>& startsMs);
    // Records the offset on the pane's entry as one undoable edit; 0 removes it. Nothing without an entry.
    void setOffsetMs(int viewNo, qint64 offsetMs);
    // 1 when the pane has no entry or no rate (or one outside MinRate..MaxRate, which a hand-edited library
    // could hold).
    double rate(int viewNo) const;
    // Records the rate on the pane's entry as one undoable edit "Set Rate" (inside a group the caller opened,
    // part of that); 1 removes it. A rate that is not finite or lies outside MinRate..MaxRate, or a pane
    // without an entry, changes nothing and answers false.
    bool setRate(int viewNo, double rate);
    static bool isAllowedRate(double rate);
    // Reads a rate as the user types it: "25/24", "30000/29970", "1.04167" (a dot or a comma); none for text
    // that is no allowed rate.
    static std::optional<double> parseRate(const QString& text);

    // The formula above, for pane n: where it stands at common time c, and which common time it shows.
    static double paneSeconds(double commonSeconds, qint64 offsetMs, double rate)
    {
        return rate * commonSeconds + offsetMs / 1000.0;
    }
    static double commonSeconds(double paneSeconds, qint64 offsetMs, double rate)
    {
        return (paneSeconds - offsetMs / 1000.0) / rate;
    }
    // A pane's offset (the user's and the wall clock's) and rate, found with one look through the library
    // (the time line asks on every paint).
    struct Placement {
        qint64 offsetMs = 0;
        double rate = 1.0;
    };
    Placement placement(int viewNo) const;
    // The user's offset and the rate a playlist's entry keeps in a library, whether shown or not (the wall
    // clock's part comes from a recording opened in a pane).
    static Placement placementOf(const ObjectContext& library, ObjectId entry);
    double paneSecondsAt(int viewNo, double commonSeconds) const
    {
        const Placement p = placement(viewNo);
        return paneSeconds(commonSeconds, p.offsetMs, p.rate);
    }
    double commonSecondsOf(int viewNo, double paneSeconds) const
    {
        const Placement p = placement(viewNo);
        return commonSeconds(paneSeconds, p.offsetMs, p.rate);
    }
    // Where pane viewNo goes when pane sourceViewNo stands at `time`, kept within the pane's movie (of
    // `duration`). Panes without offsets and rates get `time` itself.
    MovieTime placedTime(const MovieTime& time, int sourceViewNo, int viewNo,
                         const MovieTime& duration) const;

    // Every playable pane skips (MovController::SkipKind) by its own step; a pane running at another rate
    // than the leader, or standing at another offset, then goes where the leader's new place puts it, as the
    // lock would put it.
    void skipEach(int kind) const;

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
