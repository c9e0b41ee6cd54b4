#pragma once

#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QVector>

#include <array>
#include <chrono>
#include <optional>

namespace tetrapan {

class MovController;
class Movie;

// One time line for all panes: the leader's (the first playable pane with a movie), on which every pane's
// movie lies at its offset and rate (PaneOffsets). Moving along it moves every pane with a movie to where
// the leader's time puts it, kept within its movie. It also holds the A–B loop over the leader's clock: the
// panes play from A to B, each at A and B plus its offset, and go back to A together. The movies' own
// loop setting is left alone. Nothing of it is stored.
class PaneTimeline : public QObject {
    Q_OBJECT
public:
    static constexpr int PaneCount = 4;
    // How often the loop looks whether the leader passed B: the display rate, as the sync lock's.
    static constexpr std::chrono::milliseconds LoopTick{16};
    // While dragging, a pane whose place moved further than this since its last seek goes by its nearest key
    // frame; a shorter move lands exactly, which costs decoding up to a key frame's distance.
    static constexpr double FarDragSeconds = 0.5;
    // A loop shorter than this would only ever jump back.
    static constexpr double MinLoopSeconds = 0.1;

    // Where a pane's movie lies on the leader's time line, in seconds.
    struct Span {
        double from = 0.0;
        double to = 0.0;
    };

    PaneTimeline(MovController& panes, Scheduler& scheduler, QObject* parent = nullptr);
    ~PaneTimeline() override;

    // 0 when no pane has a movie in sight.
    int leaderViewNo() const;
    // The leader's movie, which the others follow; none without a leader.
    Movie* leaderMovie() const;
    // The leader's position and length; 0 without a leader.
    double leaderSeconds() const;
    double lengthSeconds() const;
    // Where pane n's movie lies; none for a pane without a playable movie, or without a leader.
    std::optional<Span> lane(int viewNo) const;
    // The gaps of pane n's recording, where it lies (as lane()); none for a movie of one file.
    QVector<Span> laneGaps(int viewNo) const;
    // Pane n's offset against the common time line.
    qint64 offsetMs(int viewNo) const;
    // Pane n's time for the leader at leaderSeconds, kept within its movie.
    double paneSeconds(int viewNo, double leaderSeconds) const;

    // Every pane with a movie to the leader's time plus its offset: fast seeks follow a drag, the exact one
    // lands on the same frame a frame step would show.
    void seekAll(double leaderSeconds, bool fast);
    // A press on the time line stops the playing panes and takes them there; the drag follows quickly;
    // the release lands exactly and plays on what played before.
    void beginDrag(double leaderSeconds);
    void dragTo(double leaderSeconds);
    void endDrag(double leaderSeconds);
    bool isDragging() const { return dragging_; }
    // Where the drag went last.
    double dragTarget() const { return dragTarget_; }
    // A jump as a skip makes it: with one pane shown alone that pane plays on; otherwise the panes stop, land
    // exactly, and those that played start again after the skip's delay.
    void jumpTo(double leaderSeconds);

    // "Loop A–B": sets A at the leader's time, then B, then clears. A B before A swaps them.
    void changeLoop();
    void clearLoop();
    // The points on the leader's time line; none while unset.
    std::optional<double> loopA() const;
    std::optional<double> loopB() const;
    bool isLooping() const { return loopB_.has_value(); }
    // One look whether the leader passed B; the loop runs it every LoopTick while A and B are set and a pane
    // plays (or panes sent back to A wait to start together).
    void loopTick();

    // Whether a pane plays: only then does the time line move by itself.
    bool anyPlaying() const;

Q_SIGNALS:
    // A or B was set or cleared.
    void loopChanged();
    // What the time line shows may have moved: a pane's movie moved (a seek, a step, or playing), was loaded
    // or let go of, started or stopped.
    void changed();

private:
    Movie* playableMovie(int viewNo) const;
    // Hears of the moves of the movies the panes hold now.
    void watchMovies();
    // The loop looks at the leader only while something plays or waits to start.
    void followPlaying();
    // Where the leader stands when pane n stands at paneSeconds.
    double leaderSecondsOf(int viewNo, double paneSeconds) const;
    std::array<bool, PaneCount> playingPanes() const;
    // Stops the panes that played in this round, takes every pane to A and starts those again together.
    void jumpBack();
    // Starts the panes of the round together once none is seeking.
    void startWhenSought();
    // Every pane takes the drag's latest place once its last seek landed.
    void followDrag();

    MovController& panes_;
    Scheduler& scheduler_;
    bool dragging_ = false;
    std::array<bool, PaneCount> playedBeforeDrag_{};
    double dragTarget_ = 0.0;
    // The place each pane was last sent to while dragging.
    std::array<double, PaneCount> sentTargets_{};
    Scheduler::TaskId dragTask_ = Scheduler::NoTask;
    // The points on the common time line (leader time - leader offset), so a new leader keeps them.
    std::optional<double> loopA_;
    std::optional<double> loopB_;
    Scheduler::TaskId loopTask_ = Scheduler::NoTask;
    // The panes that played since the last jump; they play again from A.
    std::array<bool, PaneCount> playedThisRound_{};
    // The leader's movie, heard of when it ends: a playing pane starts its movie again from the beginning
    // then, before the loop could see it at B.
    QPointer<Movie> watchedLeader_;
    QMetaObject::Connection endConnection_;
    std::array<QPointer<Movie>, PaneCount> watchedMovies_{};
    std::array<QMetaObject::Connection, PaneCount> timeConnections_{};
};

} // namespace tetrapan
