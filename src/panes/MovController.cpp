#include "panes/MovController.h"

#include "engine/Movie.h"
#include "panes/QTMovieSubView.h"
#include "platform/Scheduler.h"

#include <QPointer>

namespace tetrapan {

MovController::MovController(Scheduler& scheduler, QObject* parent) : QObject(parent), scheduler_(scheduler) {}

MovController::~MovController() = default;

void MovController::setQtView(int viewNo, QTMovieSubView* pane)
{
    if (viewNo >= 1 && viewNo <= PaneCount)
        qtViews_[viewNo - 1] = pane;
}

QTMovieSubView* MovController::qtView(int viewNo) const
{
    return viewNo >= 1 && viewNo <= PaneCount ? qtViews_[viewNo - 1] : nullptr;
}

void MovController::awakeFromNib()
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (QTMovieSubView* pane = qtView(n))
            pane->setViewNo(n);
    }
    setCurrentViewNo(0);
}

void MovController::setUniqueId(const QString& uniqueId)
{
    uniqueId_ = uniqueId;
    Q_EMIT uniqueIdChanged(uniqueId_);
}

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
    for (QTMovieSubView* pane : qtViews_) {
        if (pane)
            pane->setMoviePlay(play);
    }
}

void MovController::setFrameMoviePlay(const std::array<bool, PaneCount>& isPlay)
{
    for (int n = 1; n <= PaneCount; ++n) {
        if (QTMovieSubView* pane = qtView(n))
            pane->setMoviePlay(isPlay[n - 1]);
    }
}

void MovController::syncMovieTime(int viewNo, int /*targetViewNo*/)
{
    const bool anyPlaying = anyMovieIsPlaying();
    std::array<bool, PaneCount> wasPlaying{};
    for (int n = 1; n <= PaneCount; ++n)
        wasPlaying[n - 1] = qtView(n) && qtView(n)->isPlaying();

    setAllMoviePlay(false);
    QTMovieSubView* source = qtView(viewNo);
    if (!source)
        return;
    if (source->isPlayable() && source->movie()) {
        const MovieTime time = source->movie()->currentTime();
        for (QTMovieSubView* pane : qtViews_) {
            if (pane && pane->isPlayable() && pane->movie())
                pane->movie()->setCurrentTime(time);
        }
    }
    if (anyPlaying) {
        // A stop given before the delay ends is undone when it fires.
        QPointer<MovController> self(this);
        scheduler_.scheduleAfter(ResumeAfterSyncDelay, [self, wasPlaying] {
            if (self)
                self->setFrameMoviePlay(wasPlaying);
        });
    }
}

void MovController::changeMovieViewFrame(int viewNo)
{
    Q_EMIT maximizeSplitViewFrameRequested(viewNo);
}

void MovController::changeAllControlButtonState()
{
    changeFrameButtonImage();
    changePlayButtonEnabled();
    changeControllerButtonState();
    changeScaleButtonState();
    changeSoundButtonState();
}

void MovController::changeFrameButtonImage()
{
    Q_EMIT frameButtonImageNeedsRefresh();
}

void MovController::changePlayButtonImage()
{
    Q_EMIT playButtonImageNeedsRefresh();
}

void MovController::changePlayButtonEnabled()
{
    Q_EMIT playButtonEnabledNeedsRefresh();
    changeFrameSetButtonImage();
    Q_EMIT syncButtonEnabledNeedsRefresh();
}

void MovController::changeFrameSetButtonImage()
{
    Q_EMIT frameSetButtonImageNeedsRefresh();
}

void MovController::changeControllerButtonState()
{
    Q_EMIT controllerButtonStateNeedsRefresh();
}

void MovController::changeScaleButtonState()
{
    Q_EMIT scaleButtonStateNeedsRefresh();
}

void MovController::changeSoundButtonState()
{
    Q_EMIT soundButtonStateNeedsRefresh();
}

template <typename Test>
bool MovController::anyPlayablePane(Test test) const
{
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isPlayable() && test(*pane))
            return true;
    }
    return false;
}

bool MovController::anyMovieIsAvailable() const
{
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isAvailable())
            return true;
    }
    return false;
}

bool MovController::anyMovieIsPlayable() const
{
    return anyPlayablePane([](const QTMovieSubView&) { return true; });
}

bool MovController::anyMovieIsPlaying() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isPlaying(); });
}

bool MovController::anyMovieIsController() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isController(); });
}

bool MovController::anyMovieIsKeepAspect() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isKeepAspect(); });
}

bool MovController::anyMovieIsScaleToFit() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return !pane.isKeepAspect(); });
}

bool MovController::anyMovieIsSound() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return !pane.isMuted(); });
}

int MovController::displayedViewNo() const
{
    int shown = 0;
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = qtView(n);
        if (!pane || !pane->isDisplay())
            continue;
        if (shown != 0)
            return 0;
        shown = n;
    }
    return shown;
}

int MovController::playableViewNo() const
{
    int playable = -1;
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = qtView(n);
        if (!pane || !pane->isDisplay() || !pane->isPlayable())
            continue;
        if (playable != -1)
            return 0;
        playable = n;
    }
    return playable;
}

bool MovController::canSyncMovieTime() const
{
    return playableViewNo() == 0;
}

} // namespace tetrapan
