#include "panes/SyncLock.h"

#include "engine/Movie.h"
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

} // namespace

SyncLock::SyncLock(Scheduler& scheduler, MovController& controller, QObject* parent)
    : QObject(parent), scheduler_(scheduler), controller_(controller)
{
}

SyncLock::~SyncLock()
{
    scheduler_.cancel(tick_);
}

void SyncLock::setEnabled(bool enabled)
{
    if (enabled == isEnabled())
        return;
    if (enabled) {
        tick_ = scheduler_.scheduleRepeating(TickInterval, [this] { tick(); });
    } else {
        scheduler_.cancel(tick_);
        tick_ = Scheduler::NoTask;
        releaseAll();
        leader_ = nullptr;
    }
    Q_EMIT enabledChanged(enabled);
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
    for (int n = 1; n <= PaneCount; ++n)
        offsetSeconds_[n - 1] = offsetProvider_ ? offsetProvider_(n) / 1000.0 : 0.0;
    ticksToOffsets_ = OffsetTicks;
}

void SyncLock::tick()
{
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
        const double target = leader->clockSeconds() - offsetSeconds(leaderNo) + offsetSeconds(n);
        // A follower whose offset puts it before its beginning or past its end cannot be in step.
        if (target < 0.0 || target > movie->duration().seconds()) {
            release(follower);
            continue;
        }
        follow(follower, *leader, target);
    }
}

void SyncLock::follow(Follower& follower, Movie& leader, double target)
{
    Movie& movie = *follower.movie;
    const double skew = movie.clockSeconds() - target;
    if (follower.landing) {
        // How far behind the seek landed tells how much further ahead the next one must aim.
        follower.landing = false;
        follower.seekLead = std::clamp(follower.seekLead - skew, 0.0, MaxSeekLead);
    }
    follower.skew = follower.measured ? follower.skew + SkewSmoothing * (skew - follower.skew) : skew;
    follower.measured = true;
    follower.largeSkewTicks = std::abs(skew) > SeekSkewSeconds ? follower.largeSkewTicks + 1 : 0;

    const double base = leader.speed();
    double nudge = 0.0;
    if (follower.largeSkewTicks >= SeekAfterTicks) {
        qCDebug(lcSyncLock) << movie.filePath() << "skew" << skew << "s: seeking to" << target << "+"
                            << follower.seekLead;
        movie.setCurrentTime(MovieTime::fromSeconds(target + follower.seekLead));
        follower.landing = true;
        follower.measured = false;
        follower.largeSkewTicks = 0;
    } else if (std::abs(follower.skew) >= SteadySkewSeconds) {
        nudge =
            std::clamp(std::round(follower.skew * NudgeGain / NudgeStep) * NudgeStep, -MaxNudge, MaxNudge);
    }
    // Ahead plays slower, behind faster.
    const double speed = base * (1.0 - nudge);
    if (speed == movie.speed())
        return;
    if (follower.ownSpeed == 0.0)
        follower.ownSpeed = movie.speed();
    movie.nudgeSpeed(speed);
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
