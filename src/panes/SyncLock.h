#pragma once

#include "platform/Scheduler.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

namespace tetrapan {

class Movie;
class MovController;

// Holds the playing panes on one clock: the first playable pane leads, and every other pane that plays is
// measured against it at display rate and brought back in step, by a slight change of its speed for a small
// skew and by an exact seek for a large one. Independent players started together drift apart (each follows
// its own sound clock) and start a frame or two apart; this keeps them within a frame of each other. A pane
// n stands at rate n * (leader time - leader offset) / leader rate + offset n (PaneOffsets); offsets come
// from a provider in milliseconds (0 for all without one), rates from another (1 for all without one), and a
// follower's speed is the leader's times its rate over the leader's.
//
// Off, it only sees to it that panes started together start on one clock. Each player starts its clock when
// its own thread gets round to the start, and with four of them on two processors some start a part of a
// frame after the others, and stay there. So for a moment after panes start together, each of them is held
// to have moved as far from where it stood as the first of them has, by speed alone and within a frame:
// where each pane stands, and everything the user did, stays as it was.
class SyncLock : public QObject {
    Q_OBJECT
public:
    static constexpr int PaneCount = 4;
    // The setting that keeps the lock on from one start to the next.
    static constexpr const char* OptSyncLock = "optSyncLock";
    static constexpr std::chrono::milliseconds TickInterval{16};
    // A follower's speed stays within this share of the leader's.
    static constexpr double MaxNudge = 0.05;
    // Speed change per second of skew: 50 ms behind plays 5% faster.
    static constexpr double NudgeGain = 1.0;
    // Skews below this (a small part of a frame) are left alone.
    static constexpr double SteadySkewSeconds = 0.003;
    // Skews beyond this take longer to nudge away than a seek does.
    static constexpr double SeekSkewSeconds = 0.15;
    // A large skew must last this many ticks before a seek: a looping movie passing its end, or one reading
    // taken mid-seek, is no reason to seek.
    static constexpr int SeekAfterTicks = 3;
    // Each new reading weighs this much in a follower's skew: panes change pictures at their frame rate,
    // not at the tick, so single readings jump by a frame.
    static constexpr double SkewSmoothing = 0.15;

    // A changed offset is followed within this many ticks (a quarter of a second).
    static constexpr int OffsetTicks = 16;

    // Panes stopped together pause wherever each player is at that moment, which can be a frame apart; the
    // followers are put on the leader's frame once its place has stood still for this many ticks (a pause
    // lands a moment after it is asked for), ...
    static constexpr int StopSettleTicks = 3;
    // ... unless it has not within this many (a second), or they play again. With the lock off, only the
    // panes that played within this many frames of the leader are put there.
    static constexpr int StopWaitTicks = 60;
    static constexpr double InStepFrames = 1.5;

    // Panes started together with the lock off are held on one clock for this many ticks (three seconds).
    static constexpr int StartHoldTicks = 190;
    // Their skews are nudged away twice as fast as the lock's, to be gone in the first second. No faster: a
    // change of speed shows in the pictures only once the sound already buffered has played, and at three
    // times the lock's rate the panes overshot by two frames.
    static constexpr double StartHoldGain = 2.0;
    // A larger skew than this is none of the start's doing (a movie sent back from its end to its
    // beginning, one that looped): that pane is let go.
    static constexpr double StartHoldMaxSkewSeconds = 0.05;

    using OffsetProvider = std::function<qint64(int viewNo)>;
    using RateProvider = std::function<double(int viewNo)>;

    SyncLock(Scheduler& scheduler, MovController& controller, QObject* parent = nullptr);
    ~SyncLock() override;

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    void setOffsetProvider(OffsetProvider provider)
    {
        offsetProvider_ = std::move(provider);
        ticksToOffsets_ = 0;
    }
    void setRateProvider(RateProvider provider)
    {
        rateProvider_ = std::move(provider);
        ticksToOffsets_ = 0;
    }
    // An offset or a rate was changed by the user's hand: they are read again at the next tick, and what was
    // measured against the old ones is forgotten.
    void offsetsChanged();
    // The pane whose clock the others follow: the first playable pane with a movie, 0 when none.
    int leaderViewNo() const;
    // One measurement and correction of every follower; the lock runs it every TickInterval while on and a
    // pane plays (or panes stopped together are still to be put on the leader's frame).
    void tick();
    // The followers among the panes stopped are put on the leader's frame (see StopSettleTicks); with the
    // lock off only those that played within InStepFrames of it, the others stand where they stopped.
    void placeStopped(const std::array<bool, PaneCount>& stopped);

    // With the lock off, holds the panes just started together on one clock for StartHoldTicks ticks;
    // startClocks[n - 1] is where pane n's clock stood before its start, none for a pane not started.
    void holdStart(const std::array<std::optional<double>, PaneCount>& startClocks);
    bool isHoldingStart() const { return holdTick_ != Scheduler::NoTask; }
    // One measurement and correction of the panes started together.
    void holdTick();
    // Every pane is about to play at a speed the user chose: it becomes the speed each follower goes back to
    // when let go, and what was measured at the old speed is forgotten; a hold of a start ends.
    void adoptSpeed();

private:
    struct Follower {
        QPointer<Movie> movie;
        bool measured = false;
        double skew = 0.0;
        int largeSkewTicks = 0;
        // How late a seek while playing lands; added to the next seek's target.
        double seekLead = 0.0;
        bool landing = false;
        // The speed before the lock first changed it; 0 while the lock has not changed it.
        double ownSpeed = 0.0;
    };

    Movie* playableMovie(int viewNo) const;
    double offsetSeconds(int viewNo) const { return offsetSeconds_[viewNo - 1]; }
    // How far pane n runs for one second of the leader's.
    double relativeRate(int viewNo, int leaderNo) const { return rates_[viewNo - 1] / rates_[leaderNo - 1]; }
    // Where pane n stands while the leader stands at leaderSeconds.
    double targetOf(int viewNo, int leaderNo, double leaderSeconds) const
    {
        return (leaderSeconds - offsetSeconds(leaderNo)) * relativeRate(viewNo, leaderNo) +
               offsetSeconds(viewNo);
    }
    void readOffsets();
    // Starts the lock's tick when there is something to follow; the tick ends itself when there is not.
    void followPlaying();
    // One look at the stopped leader's place; the followers are sought there once it stands still.
    void settleStopped();
    void follow(Follower& follower, Movie& leader, double target, double relativeRate);
    // Takes in a new reading of the follower's skew.
    static void measure(Follower& follower, double skew);
    // The speed for the follower's smoothed skew: at its leader's base speed, changed by gain per second
    // of skew within MaxNudge.
    static double nudgedSpeed(const Follower& follower, double base, double gain);
    static void steer(Follower& follower, double speed);
    void release(Follower& follower);
    void releaseAll();
    void letGo(int viewNo);
    void endStartHold();

    Scheduler& scheduler_;
    MovController& controller_;
    OffsetProvider offsetProvider_;
    RateProvider rateProvider_;
    // The offsets and rates, asked of the providers (a library search) every OffsetTicks ticks, not every
    // tick.
    std::array<double, PaneCount> offsetSeconds_{};
    std::array<double, PaneCount> rates_{1.0, 1.0, 1.0, 1.0};
    int ticksToOffsets_ = 0;
    bool enabled_ = false;
    Scheduler::TaskId tick_ = Scheduler::NoTask;
    QPointer<Movie> leader_;
    std::array<Follower, PaneCount> followers_{};
    // The movies last stopped together, while their places are still to be settled: another movie loaded
    // since (a playlist chosen) stands where it was put.
    std::array<QPointer<Movie>, PaneCount> stopped_{};
    int stopWaitTicksLeft_ = 0;
    // settles a stop while the lock, and its tick, are off
    Scheduler::TaskId stopTick_ = Scheduler::NoTask;
    int stillTicks_ = 0;
    double leaderStoodAt_ = -1.0;
    // The panes held after starting together, by where their clocks stood at the start.
    std::array<std::optional<double>, PaneCount> startClocks_{};
    std::array<QPointer<Movie>, PaneCount> heldMovies_{};
    int holdTicksLeft_ = 0;
    Scheduler::TaskId holdTick_ = Scheduler::NoTask;
};

} // namespace tetrapan
