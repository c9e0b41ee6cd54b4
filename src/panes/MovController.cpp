#include "panes/MovController.h"

#include "engine/MovieEngine.h"
#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/PlaylistTreeController.h"
#include "library/TBArrayController.h"
#include "panes/PaneEntryFollower.h"
#include "panes/PaneOffsets.h"
#include "panes/PanePlacing.h"
#include "panes/PaneZoom.h"
#include "panes/PendingResumes.h"
#include "panes/QTMovieSubView.h"
#include "panes/shownPlaylistTitle.h"
#include "platform/ObjectContext.h"
#include "platform/Predicate.h"
#include "platform/userDefaultsExtension.h"

#include <QSignalBlocker>

#include <algorithm>
#include <memory>
#include <vector>

namespace tetrapan {

namespace {

// Controls carry their number in the dynamic property "tag"; a forwarder passes no sender, which reads as 0.
int tagOf(const QObject* sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

} // namespace

MovController::MovController(Scheduler& scheduler, SettingsDomain& settings, QObject* parent)
    : QObject(parent), scheduler_(scheduler), settings_(settings),
      pendingResumes_(std::make_unique<PendingResumes>(scheduler)),
      offsets_(std::make_unique<PaneOffsets>(*this)),
      entryFollower_(std::make_unique<PaneEntryFollower>(*this, scheduler)),
      zoom_(std::make_unique<PaneZoom>(*this, settings))
{
}

MovController::~MovController()
{
    // Whatever is still waiting would reach a coordinator that is gone.
    scheduler_.cancel(changeTimer_);
    pendingResumes_->cancelAll();
}

void MovController::setQtView(int viewNo, QTMovieSubView* pane)
{
    if (viewNo >= 1 && viewNo <= PaneCount)
        qtViews_[viewNo - 1] = pane;
}

QTMovieSubView* MovController::qtView(int viewNo) const
{
    return viewNo >= 1 && viewNo <= PaneCount ? qtViews_[viewNo - 1] : nullptr;
}

void MovController::setTbArrayController(TBArrayController* controller)
{
    tbArrayController_ = controller;
    entryFollower_->follow(controller ? controller->getManagedObjectContext(LibrarySchema::Filelist)
                                      : nullptr);
}

void MovController::setPlaylistTreeController(PlaylistTreeController* controller)
{
    disconnect(selectionConnection_);
    playlistTreeController_ = controller;
    if (controller) {
        selectionConnection_ = connect(controller->selectionModel(), &QItemSelectionModel::selectionChanged,
                                       this, [this] { Q_EMIT moveButtonEnabledNeedsRefresh(); });
    }
}

void MovController::awakeFromNib()
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (QTMovieSubView* pane = qtView(n))
            pane->setViewNo(n);
    }
    setCurrentViewNo(0);
    setUniqueId(QString());
    observingUniqueId_ = true;
}

// Choosing a playlist

void MovController::setUniqueId(const QString& uniqueId)
{
    uniqueId_ = uniqueId;
    Q_EMIT uniqueIdChanged(uniqueId_);
    if (!observingUniqueId_)
        return;
    setFilelistPredicateWithUniqueId(uniqueId_);
    setWindowTitles(uniqueId_);
}

void MovController::setFilelistPredicateWithUniqueId(const QString& uniqueId)
{
    if (tbArrayController_) {
        tbArrayController_->setFilelistFilterPredicate(Predicate::equals(LibrarySchema::UniqueId, uniqueId),
                                                       LibrarySchema::Playlist);
    }
    changeAllMovieViewWithTimer();
}

void MovController::changeAllMovieViewWithTimer()
{
    scheduler_.cancel(changeTimer_);
    changeTimer_ = scheduler_.scheduleAfter(ChangeDelay, [this] {
        changeTimer_ = Scheduler::NoTask;
        changeAllMovieView();
    });
}

void MovController::loadPendingPlaylist()
{
    if (!hasPendingLoad())
        return;
    scheduler_.cancel(changeTimer_);
    changeTimer_ = Scheduler::NoTask;
    changeAllMovieView();
}

bool MovController::hasPendingLoad() const
{
    return scheduler_.isPending(changeTimer_);
}

void MovController::setWindowTitles(const QString& uniqueId)
{
    shownTitle_ = shownPlaylistTitle::of(tbArrayController_, uniqueId);
    Q_EMIT mainWindowTitleChanged(shownTitle_.isNull() ? QLatin1String(MainWindowTitle) : shownTitle_);
    Q_EMIT controlWindowTitleChanged(shownTitle_.isNull() ? QLatin1String(ControlWindowTitle) : shownTitle_);
    Q_EMIT moveButtonEnabledNeedsRefresh();
}

void MovController::refreshWindowTitles()
{
    if (observingUniqueId_ && shownPlaylistTitle::of(tbArrayController_, uniqueId_) != shownTitle_)
        setWindowTitles(uniqueId_);
}

void MovController::changeAllMovieView()
{
    // A resume still waiting from an earlier load, skip or synchronisation would start the new movies at
    // its own moment; this load takes its intent over instead.
    const bool wasPlaying = anyPlayingOrAboutToPlay();
    cancelPendingResumes();
    setAllMoviePlay(false);

    const PaneEntryFollower::Paths paths = PaneEntryFollower::entryPaths(tbArrayController_);
    // The four files load side by side, each pane's open on a worker. The load ends once every pane has
    // answered: the joint start and the listeners wait for all four. One more than the opens until the loop
    // is through, since an engine may answer at once.
    const quint64 load = ++lastLoad_;
    opensPending_ = 1;
    resumeAfterLoad_ = wasPlaying;
    if (movieEngine_)
        movieEngine_->prepareMovies(QStringList(paths.cbegin(), paths.cend()));
    for (int n = 1; n <= PaneCount; ++n) {
        QTMovieSubView* pane = qtView(n);
        if (!pane)
            continue;
        if (paths[n - 1].isEmpty()) {
            pane->clearMovieView();
            continue;
        }
        ++opensPending_;
        pane->updateMovieView(paths[n - 1],
                              [this, load](QTMovieSubView::OpenOutcome, const QString&) { paneLoaded(load); });
    }
    if (movieEngine_)
        movieEngine_->discardPreparedMovies();
    entryFollower_->noteLoaded(paths);

    if (tbArrayController_ &&
        userDefaultsExtension::defaultBoolValue(settings_, QLatin1String(OptLoadFrameSet)) &&
        tbArrayController_->canLoadFrameSet())
        Q_EMIT loadSplitViewFrameRequested(0);
    paneLoaded(load);
}

void MovController::paneLoaded(quint64 load)
{
    if (load != lastLoad_ || opensPending_ == 0 || --opensPending_ > 0)
        return;
    if (resumeAfterLoad_)
        scheduleResume(ResumeAfterLoadDelay, {true, true, true, true});
    Q_EMIT allMovieViewsChanged();
}

bool MovController::isLoading() const
{
    return opensPending_ > 0;
}

void MovController::playWhenLoaded()
{
    if (isLoading())
        resumeAfterLoad_ = true;
}

// Resumes

void MovController::scheduleResume(std::chrono::milliseconds delay, const std::array<bool, PaneCount>& isPlay)
{
    static_assert(std::tuple_size_v<PendingResumes::Panes> == PaneCount);
    pendingResumes_->schedule(delay, isPlay, [this, isPlay] { setFrameMoviePlay(isPlay); });
}

void MovController::cancelPendingResumes()
{
    pendingResumes_->cancelAll();
    waitingStart_ = {};
    resumeAfterLoad_ = false; // nor does a load under way
}

bool MovController::hasWaitingStart() const
{
    return std::find(waitingStart_.cbegin(), waitingStart_.cend(), true) != waitingStart_.cend();
}

bool MovController::hasPendingResume() const
{
    return !pendingResumes_->isEmpty();
}

bool MovController::anyPlayingOrAboutToPlay() const
{
    const std::array<bool, PaneCount> playing = playingOrAboutToPlay();
    return std::find(playing.cbegin(), playing.cend(), true) != playing.cend();
}

std::array<bool, MovController::PaneCount> MovController::playingOrAboutToPlay() const
{
    // a load under way that stopped playing panes resumes them all once it ends
    const bool loadResumes = opensPending_ > 0 && resumeAfterLoad_;
    std::array<bool, PaneCount> playing = pendingResumes_->plays();
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = qtView(n);
        playing[n - 1] = playing[n - 1] || waitingStart_[n - 1] || loadResumes || (pane && pane->isPlaying());
    }
    return playing;
}

// Actions

void MovController::changeAllMoviePlay(QObject*)
{
    // while a playlist loads, a start is the load's: once every file is in, all panes together
    const bool play = isLoading() ? !anyPlayingOrAboutToPlay() : !anyMovieIsPlaying();
    cancelPendingResumes();
    if (isLoading())
        resumeAfterLoad_ = play;
    else
        setAllMoviePlay(play);
}

void MovController::changeAllMovieTime(QObject* sender)
{
    skipAllMovieTime(tagOf(sender));
}

void MovController::changeAllMovieController(QObject*)
{
    const bool show = !anyMovieIsController();
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isAvailable())
            pane->setMovieController(show);
    }
}

void MovController::changeAllMovieAspect(QObject*)
{
    const bool keep = anyMovieIsScaleToFit();
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isAvailable())
            pane->setMovieAspect(keep);
    }
}

void MovController::changeAllMovieSound(QObject*)
{
    const bool mute = anyMovieIsSound();
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isAvailable())
            pane->setMovieMuted(mute);
    }
}

void MovController::syncAllMovieTime(QObject*)
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (qtView(n) && qtView(n)->isPlayable()) {
            syncMovieTime(n, 0);
            return;
        }
    }
}

void MovController::openMovieFile(QObject* sender)
{
    if (QTMovieSubView* pane = qtView(tagOf(sender)))
        pane->placing().openMovieFile();
}

// Operations

void MovController::setMoviePlay(int viewNo, bool play)
{
    if (viewNo == 0) {
        setAllMoviePlay(play);
    } else if (QTMovieSubView* pane = qtView(viewNo)) {
        pane->setMoviePlay(play);
    }
}

void MovController::setAllMoviePlay(bool play)
{
    setFrameMoviePlay({play, play, play, play});
}

void MovController::setFrameMoviePlay(const std::array<bool, PaneCount>& isPlay)
{
    // Every start is announced to every pane and refreshes the buttons; between one player's start and the
    // next that work would set them apart by as long as it takes. The players are told first, back to
    // back, and hear of it afterwards.
    std::vector<Movie*> starting;
    std::vector<QSignalBlocker> quiet;
    std::array<std::optional<double>, PaneCount> startClocks;
    std::array<bool, PaneCount> stopping{};
    for (int n = 1; n <= PaneCount; ++n) {
        QTMovieSubView* pane = qtView(n);
        stopping[n - 1] = pane && !isPlay[n - 1] && pane->isPlaying();
        if (pane && isPlay[n - 1] && pane->isPlayable() && pane->movie() && !pane->isPlaying()) {
            starting.push_back(pane->movie());
            quiet.emplace_back(pane->movie());
            startClocks[n - 1] = pane->movie()->clockSeconds();
        }
    }
    for (int n = 1; n <= PaneCount; ++n) {
        if (QTMovieSubView* pane = qtView(n))
            pane->setMoviePlay(isPlay[n - 1]);
    }
    quiet.clear();
    for (Movie* movie : starting) {
        if (movie->rate() != 0.0f)
            Q_EMIT movie->rateDidChange(movie);
    }
    if (starting.size() > 1)
        Q_EMIT startedTogether(startClocks);
    if (std::count(stopping.cbegin(), stopping.cend(), true) > 1)
        Q_EMIT stoppedTogether(stopping);
}

void MovController::skipAllMovieTime(int kind)
{
    bool anyPlaying = anyMovieIsPlaying();
    const std::array<bool, PaneCount> wasPlaying = paneIsPlaying();
    const int shown = displayedViewNo();

    // With one pane shown alone only that pane is playable; the others are left as they are.
    if (shown == 0)
        setAllMoviePlay(false);
    offsets_->skipEach(kind);
    if (kind == SkipToEnd) {
        // Panes sent to their end stay there, also when an earlier resume is still waiting.
        anyPlaying = false;
        cancelPendingResumes();
    }
    if (shown == 0 && anyPlaying)
        scheduleResume(ResumeAfterSkipDelay, wasPlaying);
}

void MovController::syncMovieTime(int viewNo, int /*targetViewNo*/)
{
    const bool anyPlaying = anyMovieIsPlaying();
    const std::array<bool, PaneCount> wasPlaying = paneIsPlaying();

    setAllMoviePlay(false);
    QTMovieSubView* source = qtView(viewNo);
    if (!source)
        return;
    if (source->isPlayable() && source->movie()) {
        const MovieTime time = source->movie()->currentTime();
        for (int n = 1; n <= PaneCount; ++n) {
            QTMovieSubView* pane = qtView(n);
            if (!pane || !pane->isPlayable() || !pane->movie())
                continue;
            Movie* movie = pane->movie();
            movie->setCurrentTime(offsets_->placedTime(time, viewNo, n, movie->duration()));
        }
    }
    if (anyPlaying)
        scheduleResume(ResumeAfterSyncDelay, wasPlaying);
}

void MovController::copyMovieView(int /*sourceViewNo*/, const QString& filePath, int targetViewNo)
{
    if (QTMovieSubView* target = qtView(targetViewNo))
        target->placing().createMovieFrame(filePath);
}

void MovController::clearMovieView(int viewNo)
{
    if (QTMovieSubView* pane = qtView(viewNo))
        pane->clearMovieView();
}

void MovController::changeMovieViewFrame(int viewNo)
{
    Q_EMIT maximizeSplitViewFrameRequested(viewNo);
}

void MovController::openPlaylistWindow()
{
    Q_EMIT openPlaylistWindowRequested();
}

// Button refreshes

void MovController::changeAllControlButtonState()
{
    changeFrameButtonImage();
    changePlayButtonEnabled();
    changeControllerButtonState();
    changeScaleButtonState();
    changeSoundButtonState();
}

void MovController::changePlayButtonEnabled()
{
    Q_EMIT playButtonEnabledNeedsRefresh();
    changeFrameSetButtonImage();
    Q_EMIT syncButtonEnabledNeedsRefresh();
}

// Single frames

void MovController::stepAllMovieFrame(bool forward)
{
    cancelPendingResumes();
    setAllMoviePlay(false);
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isPlayable() && pane->movie())
            pane->movie()->stepFrame(forward);
    }
}

// Offsets

qint64 MovController::movieOffsetMs(int viewNo) const
{
    return offsets_->offsetMs(viewNo);
}

} // namespace tetrapan
