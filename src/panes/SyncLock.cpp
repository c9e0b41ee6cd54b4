#include "panes/SyncLock.h"

#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace tetrapan {

Q_LOGGING_CATEGORY(lcSyncLock, "tetrapan.panes.synclock", QtWarningMsg)

namespace {

// Speeds move in steps of this size: a change every tick would keep mpv's sound filter busy for nothing.
constexpr double NudgeStep = 0.005;
// A seek never aims further ahead than this to make up for its own time.
constexpr double MaxSeekLead = 0.5;
// Far below any frame's length: two places this close are one.
constexpr double SameTimeSeconds = 0.0005;

} // namespace

SyncLock::SyncLock(Scheduler& scheduler, MovController& controller, QObject* parent)
    : QObject(parent), scheduler_(scheduler), controller_(controller)
{
    connect(&controller, &MovController::startedTogether, this, &SyncLock::holdStart);
    connect(&controller, &MovController::stoppedTogether, this, &SyncLock::placeStopped);
    // any movie's start or stop
    connect(&controller, &MovController::playButtonImageNeedsRefresh, this, &SyncLock::followPlaying);
}

SyncLock::~SyncLock()
{
    scheduler_.cancel(tick_);
    scheduler_.cancel(holdTick_);
    scheduler_.cancel(stopTick_);
}

void SyncLock::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    enabled_ = enabled;
    if (enabled) {
        endStartHold();
        // the lock's own tick settles a stop from now on
        scheduler_.cancel(stopTick_);
        stopTick_ = Scheduler::NoTask;
        followPlaying();
    } else {
        scheduler_.cancel(tick_);
        tick_ = Scheduler::NoTask;
        stopWaitTicksLeft_ = 0;
        releaseAll();
        leader_ = nullptr;
    }
}

Movie* SyncLock::playableMovie(int viewNo) const
{
    const QTMovieSubView* pane = controller_.qtView(viewNo);
    return pane && pane->isPlayable() ? pane->movie() : nullptr;
}

int SyncLock::leaderViewNo() const
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (playableMovie(n))
            return n;
    }
    return 0;
}

void SyncLock::readOffsets()
{
    for (int n = 1; n <= PaneCount; ++n) {
        offsetSeconds_[n - 1] = offsetProvider_ ? offsetProvider_(n) / 1000.0 : 0.0;
        rates_[n - 1] = rateProvider_ ? rateProvider_(n) : 1.0;
    }
    ticksToOffsets_ = OffsetTicks;
}

void SyncLock::offsetsChanged()
{
    ticksToOffsets_ = 0;
    for (Follower& follower : followers_) {
        follower.measured = false;
        follower.largeSkewTicks = 0;
    }
}

void SyncLock::followPlaying()
{
    if (enabled_ && tick_ == Scheduler::NoTask && (controller_.anyMovieIsPlaying() || stopWaitTicksLeft_ > 0))
        tick_ = scheduler_.scheduleRepeating(TickInterval, [this] { tick(); });
}

void SyncLock::tick()
{
    if (stopWaitTicksLeft_ > 0)
        settleStopped();
    const int leaderNo = leaderViewNo();
    Movie* leader = leaderNo > 0 ? playableMovie(leaderNo) : nullptr;
    // A leader that stands or is on its way to a new place has no clock to follow.
    const bool leading = leader && leader->rate() != 0.0f && !leader->isSeeking();
    // What the followers measured against the old leader says nothing about the new one.
    const bool newLeader = leader != leader_;
    // another leader, often another playlist: its offsets count from now on
    if (newLeader || ticksToOffsets_-- <= 0)
        readOffsets();
    if (newLeader)
        qCDebug(lcSyncLock) << "leader: pane" << leaderNo;
    leader_ = leader;
    for (int n = 1; n <= PaneCount; ++n) {
        Follower& follower = followers_[n - 1];
        Movie* movie = n == leaderNo ? nullptr : playableMovie(n);
        if (follower.movie != movie) {
            // The pane became the leader, was emptied or got another movie.
            release(follower);
            follower = Follower{};
            follower.movie = movie;
        }
        if (!movie)
            continue;
        if (newLeader)
            follower.measured = false;
        if (!leading || movie->rate() == 0.0f) {
            release(follower);
            follower.measured = false;
            follower.largeSkewTicks = 0;
            continue;
        }
        if (movie->isSeeking()) {
            follower.measured = false;
            continue;
        }
        const double target = targetOf(n, leaderNo, leader->clockSeconds());
        // A follower whose offset puts it before its beginning or past its end cannot be in step.
        if (target < 0.0 || target > movie->duration().seconds()) {
            release(follower);
            continue;
        }
        follow(follower, *leader, target, relativeRate(n, leaderNo));
    }
    // Stopped and settled, the panes stand still: the lock sleeps until one starts (a program left paused
    // is not woken sixty times a second).
    if (!controller_.anyMovieIsPlaying() && stopWaitTicksLeft_ <= 0) {
        scheduler_.cancel(tick_);
        tick_ = Scheduler::NoTask;
    }
}

void SyncLock::placeStopped(const std::array<bool, PaneCount>& stopped)
{
    // Unlocked, panes that played in step were meant to be in step: those playing within a frame of the
    // leader (by their offsets) at the stop are put on its frame as the lock puts them; the others, and any
    // pane the user keeps apart, stand where they stopped.
    const int leaderNo = leaderViewNo();
    Movie* leader = leaderNo > 0 ? playableMovie(leaderNo) : nullptr;
    if (!isEnabled()) {
        if (!leader || !stopped[leaderNo - 1])
            return;
        readOffsets();
    }
    const double fps = leader ? leader->framesPerSecond() : 0.0;
    const double frame = fps > 0.0 ? 1.0 / fps : StartHoldMaxSkewSeconds;
    for (int n = 1; n <= PaneCount; ++n) {
        Movie* movie = stopped[n - 1] ? playableMovie(n) : nullptr;
        const bool inStep = movie && leader &&
                            std::abs(movie->clockSeconds() - targetOf(n, leaderNo, leader->clockSeconds())) <=
                                frame * InStepFrames;
        stopped_[n - 1] = isEnabled() || inStep ? movie : nullptr;
    }
    stopWaitTicksLeft_ = StopWaitTicks;
    stillTicks_ = 0;
    leaderStoodAt_ = -1.0;
    followPlaying();
    if (!isEnabled() && stopTick_ == Scheduler::NoTask) {
        stopTick_ = scheduler_.scheduleRepeating(TickInterval, [this] {
            settleStopped();
            if (stopWaitTicksLeft_ <= 0) {
                scheduler_.cancel(stopTick_);
                stopTick_ = Scheduler::NoTask;
            }
        });
    }
}

void SyncLock::settleStopped()
{
    --stopWaitTicksLeft_;
    const int leaderNo = leaderViewNo();
    Movie* leader = leaderNo > 0 ? playableMovie(leaderNo) : nullptr;
    // started again, or the leader played on: nothing stands to be matched
    if (!leader || leader != stopped_[leaderNo - 1] || leader->rate() != 0.0f) {
        stopWaitTicksLeft_ = 0;
        return;
    }
    const double at = leader->currentTime().seconds();
    if (leader->isSeeking() || at != leaderStoodAt_) {
        leaderStoodAt_ = at;
        stillTicks_ = 0;
        return;
    }
    if (++stillTicks_ < StopSettleTicks)
        return;
    stopWaitTicksLeft_ = 0;
    for (int n = 1; n <= PaneCount; ++n) {
        Movie* movie = n == leaderNo ? nullptr : playableMovie(n);
        if (!movie || movie != stopped_[n - 1] || movie->rate() != 0.0f)
            continue;
        const double target = targetOf(n, leaderNo, at);
        // a pane on the leader's frame already is not sought again (a seek shows as a flicker)
        if (target < 0.0 || target > movie->duration().seconds() ||
            std::abs(movie->currentTime().seconds() - target) < SameTimeSeconds)
            continue;
        qCDebug(lcSyncLock) << movie->filePath() << "stopped at" << movie->currentTime().seconds()
                            << "s: put at" << target;
        movie->setCurrentTime(MovieTime::fromSeconds(target));
    }
}

void SyncLock::follow(Follower& follower, Movie& leader, double target, double relativeRate)
{
    Movie& movie = *follower.movie;
    const double skew = movie.clockSeconds() - target;
    if (follower.landing) {
        // How far behind the seek landed tells how much further ahead the next one must aim.
        follower.landing = false;
        follower.seekLead = std::clamp(follower.seekLead - skew, 0.0, MaxSeekLead);
    }
    measure(follower, skew);
    follower.largeSkewTicks = std::abs(skew) > SeekSkewSeconds ? follower.largeSkewTicks + 1 : 0;

    if (follower.largeSkewTicks >= SeekAfterTicks) {
        qCDebug(lcSyncLock) << movie.filePath() << "skew" << skew << "s: seeking to" << target << "+"
                            << follower.seekLead;
        movie.setCurrentTime(MovieTime::fromSeconds(target + follower.seekLead));
        follower.landing = true;
        follower.measured = false;
        follower.largeSkewTicks = 0;
        steer(follower, leader.speed() * relativeRate);
        return;
    }
    steer(follower, nudgedSpeed(follower, leader.speed() * relativeRate, NudgeGain));
}

void SyncLock::measure(Follower& follower, double skew)
{
    follower.skew = follower.measured ? follower.skew + SkewSmoothing * (skew - follower.skew) : skew;
    follower.measured = true;
}

double SyncLock::nudgedSpeed(const Follower& follower, double base, double gain)
{
    if (std::abs(follower.skew) < SteadySkewSeconds)
        return base;
    const double nudge =
        std::clamp(std::round(follower.skew * gain / NudgeStep) * NudgeStep, -MaxNudge, MaxNudge);
    // Ahead plays slower, behind faster.
    return base * (1.0 - nudge);
}

void SyncLock::steer(Follower& follower, double speed)
{
    Movie& movie = *follower.movie;
    if (speed == movie.speed())
        return;
    if (follower.ownSpeed == 0.0)
        follower.ownSpeed = movie.speed();
    movie.nudgeSpeed(speed);
}

void SyncLock::holdStart(const std::array<std::optional<double>, PaneCount>& startClocks)
{
    if (isEnabled())
        return;
    // A new start counts from where the panes stand now.
    endStartHold();
    readOffsets();
    for (int n = 1; n <= PaneCount; ++n) {
        heldMovies_[n - 1] = startClocks[n - 1] ? playableMovie(n) : nullptr;
        if (heldMovies_[n - 1])
            startClocks_[n - 1] = startClocks[n - 1];
    }
    holdTicksLeft_ = StartHoldTicks;
    holdTick_ = scheduler_.scheduleRepeating(TickInterval, [this] { holdTick(); });
}

void SyncLock::holdTick()
{
    // A pane emptied, given another movie or stopped since the start goes its own way from now on.
    for (int n = 1; n <= PaneCount; ++n) {
        Movie* held = heldMovies_[n - 1];
        if (startClocks_[n - 1] && (!held || playableMovie(n) != held || held->rate() == 0.0f))
            letGo(n);
    }
    const auto stillHeld =
        std::count_if(startClocks_.cbegin(), startClocks_.cend(),
                      [](const std::optional<double>& clock) { return clock.has_value(); });
    if (holdTicksLeft_-- <= 0 || stillHeld < 2) {
        endStartHold();
        return;
    }
    // The first of them leads.
    int leaderNo = 1;
    while (!startClocks_[leaderNo - 1])
        ++leaderNo;
    Movie* leader = heldMovies_[leaderNo - 1];
    if (leader != leader_) {
        // what the followers measured against the old leader says nothing about the new one
        release(followers_[leaderNo - 1]);
        followers_[leaderNo - 1] = Follower{};
        for (Follower& follower : followers_)
            follower.measured = false;
        leader_ = leader;
    }
    for (int n = leaderNo + 1; n <= PaneCount; ++n) {
        if (!startClocks_[n - 1])
            continue;
        Follower& follower = followers_[n - 1];
        Movie* movie = heldMovies_[n - 1];
        follower.movie = movie;
        if (leader->isSeeking() || movie->isSeeking()) {
            follower.measured = false;
            continue;
        }
        const double rate = relativeRate(n, leaderNo);
        const double target =
            (leader->clockSeconds() - *startClocks_[leaderNo - 1]) * rate + *startClocks_[n - 1];
        const double skew = movie->clockSeconds() - target;
        if (std::abs(skew) > StartHoldMaxSkewSeconds) {
            qCDebug(lcSyncLock) << movie->filePath() << "skew" << skew << "s after the start: let go";
            letGo(n);
            continue;
        }
        measure(follower, skew);
        steer(follower, nudgedSpeed(follower, leader->speed() * rate, StartHoldGain));
    }
}

void SyncLock::adoptSpeed()
{
    for (Follower& follower : followers_) {
        follower.ownSpeed = 0.0; // the new speed ends the nudges: no old one to give back
        follower.measured = false;
        follower.largeSkewTicks = 0;
    }
    endStartHold();
}

void SyncLock::letGo(int viewNo)
{
    release(followers_[viewNo - 1]);
    followers_[viewNo - 1] = Follower{};
    startClocks_[viewNo - 1].reset();
    heldMovies_[viewNo - 1] = nullptr;
}

void SyncLock::endStartHold()
{
    if (!isHoldingStart())
        return;
    scheduler_.cancel(holdTick_);
    holdTick_ = Scheduler::NoTask;
    startClocks_ = {};
    heldMovies_ = {};
    releaseAll();
    leader_ = nullptr;
}

void SyncLock::release(Follower& follower)
{
    // Also at its own speed already: that ends the nudging.
    if (follower.movie && follower.ownSpeed != 0.0)
        follower.movie->setSpeed(follower.ownSpeed);
    follower.ownSpeed = 0.0;
}

void SyncLock::releaseAll()
{
    for (Follower& follower : followers_) {
        release(follower);
        follower = Follower{};
    }
}

} // namespace tetrapan
