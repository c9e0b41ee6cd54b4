#include "panes/PaneTimeline.h"

#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/QTMovieSubView.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tetrapan {

PaneTimeline::PaneTimeline(MovController& panes, Scheduler& scheduler, QObject* parent)
    : QObject(parent), panes_(panes), scheduler_(scheduler)
{
    // A pane's movie comes and goes with its being available; any movie's start or stop asks for the play
    // buttons to be redrawn.
    connect(&panes_, &MovController::playButtonEnabledNeedsRefresh, this, [this] {
        watchMovies();
        Q_EMIT changed();
    });
    connect(&panes_, &MovController::playButtonImageNeedsRefresh, this, [this] {
        followPlaying();
        Q_EMIT changed();
    });
    watchMovies();
}

PaneTimeline::~PaneTimeline()
{
    scheduler_.cancel(loopTask_);
    scheduler_.cancel(dragTask_);
}

Movie* PaneTimeline::playableMovie(int viewNo) const
{
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    return pane && pane->isPlayable() ? pane->movie() : nullptr;
}

int PaneTimeline::leaderViewNo() const
{
    return panes_.offsets().leaderViewNo();
}

qint64 PaneTimeline::offsetMs(int viewNo) const
{
    return panes_.movieOffsetMs(viewNo);
}

Movie* PaneTimeline::leaderMovie() const
{
    return playableMovie(leaderViewNo());
}

double PaneTimeline::leaderSeconds() const
{
    const Movie* leader = leaderMovie();
    return leader ? leader->positionSeconds() : 0.0;
}

double PaneTimeline::lengthSeconds() const
{
    const Movie* leader = leaderMovie();
    return leader ? leader->duration().seconds() : 0.0;
}

std::optional<PaneTimeline::Span> PaneTimeline::lane(int viewNo) const
{
    const Movie* movie = playableMovie(viewNo);
    if (leaderViewNo() == 0 || !movie)
        return std::nullopt;
    return Span{leaderSecondsOf(viewNo, 0.0), leaderSecondsOf(viewNo, movie->duration().seconds())};
}

QVector<PaneTimeline::Span> PaneTimeline::laneGaps(int viewNo) const
{
    const Movie* movie = playableMovie(viewNo);
    const Recording* recording = movie ? movie->recording() : nullptr;
    if (leaderViewNo() == 0 || !recording)
        return {};
    QVector<Span> gaps;
    for (const WallSpan& gap : recording->gaps()) {
        gaps.append({leaderSecondsOf(viewNo, (gap.fromMs - recording->startMs()) / 1000.0),
                     leaderSecondsOf(viewNo, (gap.toMs - recording->startMs()) / 1000.0)});
    }
    return gaps;
}

double PaneTimeline::leaderSecondsOf(int viewNo, double paneSeconds) const
{
    // on the common time line (PaneOffsets), where the leader stands then
    const PaneOffsets::Placement lead = panes_.offsets().placement(leaderViewNo());
    const PaneOffsets::Placement pane = panes_.offsets().placement(viewNo);
    return PaneOffsets::paneSeconds(PaneOffsets::commonSeconds(paneSeconds, pane.offsetMs, pane.rate),
                                    lead.offsetMs, lead.rate);
}

double PaneTimeline::paneSeconds(int viewNo, double leaderSeconds) const
{
    const Movie* movie = playableMovie(viewNo);
    if (!movie)
        return 0.0;
    const PaneOffsets& offsets = panes_.offsets();
    const double seconds =
        offsets.paneSecondsAt(viewNo, offsets.commonSecondsOf(leaderViewNo(), leaderSeconds));
    return std::clamp(seconds, 0.0, movie->duration().seconds());
}

void PaneTimeline::seekAll(double leaderSeconds, bool fast)
{
    for (int n = 1; n <= PaneCount; ++n) {
        Movie* movie = playableMovie(n);
        if (!movie)
            continue;
        const MovieTime time = MovieTime::fromSeconds(paneSeconds(n, leaderSeconds));
        if (fast)
            movie->seekFast(time);
        else
            movie->setCurrentTime(time);
    }
}

void PaneTimeline::watchMovies()
{
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = panes_.qtView(n);
        Movie* movie = pane ? pane->movie() : nullptr;
        if (movie == watchedMovies_[n - 1])
            continue;
        disconnect(timeConnections_[n - 1]);
        watchedMovies_[n - 1] = movie;
        if (movie)
            timeConnections_[n - 1] = connect(movie, &Movie::timeDidChange, this, &PaneTimeline::changed);
    }
}

bool PaneTimeline::anyPlaying() const
{
    return panes_.anyMovieIsPlaying();
}

void PaneTimeline::followPlaying()
{
    if (loopB_ && loopTask_ == Scheduler::NoTask && (anyPlaying() || panes_.hasWaitingStart()))
        loopTask_ = scheduler_.scheduleRepeating(LoopTick, [this] { loopTick(); });
}

std::array<bool, PaneTimeline::PaneCount> PaneTimeline::playingPanes() const
{
    std::array<bool, PaneCount> playing{};
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = panes_.qtView(n);
        playing[n - 1] = pane && pane->isPlaying();
    }
    return playing;
}

void PaneTimeline::beginDrag(double leaderSeconds)
{
    // a second click on the bar before the first one's panes played on: they play on after this one too
    playedBeforeDrag_ = panes_.playingOrAboutToPlay();
    dragging_ = true;
    panes_.cancelPendingResumes();
    panes_.setAllMoviePlay(false);
    dragTarget_ = leaderSeconds;
    sentTargets_.fill(-1.0);
    followDrag();
    scheduler_.cancel(dragTask_);
    dragTask_ = scheduler_.scheduleRepeating(LoopTick, [this] { followDrag(); });
}

void PaneTimeline::dragTo(double leaderSeconds)
{
    if (!dragging_)
        return;
    dragTarget_ = leaderSeconds;
    followDrag();
}

void PaneTimeline::followDrag()
{
    // A seek asked for while the last one is still under way throws that one's decoding away, and a drag
    // asks faster than seeks land: a pane would show nothing until the pointer rests. So each pane gets
    // the pointer's latest place once its last seek has landed. A far one goes by the nearest key frame,
    // which lands at once but shows the same picture until the next key frame; a near one exactly, which
    // shows the frame itself after decoding on from a key frame. Alternating, a pane shows more pictures
    // than by either alone (a 2 s key-frame distance: 7.7 a second against 4.5 and 4.2).
    for (int n = 1; n <= PaneCount; ++n) {
        Movie* movie = playableMovie(n);
        const double target = paneSeconds(n, dragTarget_);
        if (!movie || movie->isSeeking() || target == sentTargets_[n - 1])
            continue;
        const bool far = std::abs(target - sentTargets_[n - 1]) > FarDragSeconds;
        sentTargets_[n - 1] = target;
        if (far)
            movie->seekFast(MovieTime::fromSeconds(target));
        else
            movie->setCurrentTime(MovieTime::fromSeconds(target));
    }
}

void PaneTimeline::endDrag(double leaderSeconds)
{
    if (!dragging_)
        return;
    dragging_ = false;
    scheduler_.cancel(dragTask_);
    dragTask_ = Scheduler::NoTask;
    seekAll(leaderSeconds, false);
    if (std::find(playedBeforeDrag_.cbegin(), playedBeforeDrag_.cend(), true) != playedBeforeDrag_.cend())
        panes_.resumeAfterSkip(playedBeforeDrag_);
}

void PaneTimeline::jumpTo(double leaderSeconds)
{
    if (panes_.displayedViewNo() != 0) {
        seekAll(leaderSeconds, false);
        return;
    }
    const std::array<bool, PaneCount> played = panes_.playingOrAboutToPlay();
    panes_.cancelPendingResumes();
    panes_.setAllMoviePlay(false);
    seekAll(leaderSeconds, false);
    if (std::find(played.cbegin(), played.cend(), true) != played.cend())
        panes_.resumeAfterSkip(played);
}

// The A–B loop

std::optional<double> PaneTimeline::loopA() const
{
    return loopA_ ? std::optional(panes_.offsets().paneSecondsAt(leaderViewNo(), *loopA_)) : std::nullopt;
}

std::optional<double> PaneTimeline::loopB() const
{
    return loopB_ ? std::optional(panes_.offsets().paneSecondsAt(leaderViewNo(), *loopB_)) : std::nullopt;
}

void PaneTimeline::changeLoop()
{
    const int leader = leaderViewNo();
    if (loopB_ || leader == 0) {
        clearLoop();
        return;
    }
    const double common = panes_.offsets().commonSecondsOf(leader, leaderSeconds());
    if (!loopA_) {
        loopA_ = common;
    } else {
        loopB_ = common;
        if (*loopB_ < *loopA_)
            std::swap(*loopA_, *loopB_);
        playedThisRound_ = {};
        followPlaying();
    }
    Q_EMIT loopChanged();
}

void PaneTimeline::clearLoop()
{
    if (!loopA_)
        return;
    scheduler_.cancel(loopTask_);
    loopTask_ = Scheduler::NoTask;
    disconnect(endConnection_);
    watchedLeader_ = nullptr;
    loopA_.reset();
    loopB_.reset();
    panes_.setWaitingStart({});
    Q_EMIT loopChanged();
}

void PaneTimeline::loopTick()
{
    if (!loopB_ || *loopB_ - *loopA_ < MinLoopSeconds || dragging_)
        return;
    if (panes_.hasWaitingStart()) {
        startWhenSought();
        return;
    }
    // nothing plays: nothing to look at until something starts
    if (!anyPlaying()) {
        scheduler_.cancel(loopTask_);
        loopTask_ = Scheduler::NoTask;
        return;
    }
    const std::array<bool, PaneCount> playing = playingPanes();
    for (int n = 0; n < PaneCount; ++n)
        playedThisRound_[n] = playedThisRound_[n] || playing[n];
    const int leaderNo = leaderViewNo();
    Movie* leader = playableMovie(leaderNo);
    if (leader != watchedLeader_) {
        disconnect(endConnection_);
        watchedLeader_ = leader;
        if (leader)
            endConnection_ = connect(leader, &Movie::didEnd, this, [this] {
                if (loopB_ && !dragging_)
                    jumpBack();
            });
    }
    if (!leader || leader->isSeeking() || leader->rate() == 0.0f)
        return;
    if (panes_.offsets().commonSecondsOf(leaderNo, leader->positionSeconds()) >= *loopB_)
        jumpBack();
}

void PaneTimeline::jumpBack()
{
    std::array<bool, PaneCount> resume{};
    for (int n = 1; n <= PaneCount; ++n)
        resume[n - 1] = playedThisRound_[n - 1] && playableMovie(n);
    playedThisRound_ = {};
    // stopped, sought and started together, as Space starts them, so that they leave A on one clock
    panes_.cancelPendingResumes();
    panes_.setAllMoviePlay(false);
    seekAll(panes_.offsets().paneSecondsAt(leaderViewNo(), *loopA_), false);
    // Each player starts once its seek has landed, and they land apart by as long as their decoding
    // takes, which is more than a start held together can take up. So they start when all have landed.
    // held by the coordinator, which drops it as it drops its resumes (Pause, a load, a step)
    panes_.setWaitingStart(resume);
    startWhenSought();
}

void PaneTimeline::startWhenSought()
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (const Movie* movie = playableMovie(n); movie && movie->isSeeking())
            return;
    }
    const std::array<bool, PaneCount> resume = panes_.waitingStart();
    panes_.setWaitingStart({});
    panes_.setFrameMoviePlay(resume);
}

} // namespace tetrapan
