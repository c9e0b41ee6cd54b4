#include "panes/PaneQueries.h"

#include "panes/QTMovieSubView.h"

namespace tetrapan {

template <typename Test> bool PaneQueries::anyPlayablePane(Test test) const
{
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isPlayable() && test(*pane))
            return true;
    }
    return false;
}

bool PaneQueries::anyMovieIsAvailable() const
{
    for (QTMovieSubView* pane : qtViews_) {
        if (pane && pane->isAvailable())
            return true;
    }
    return false;
}

bool PaneQueries::anyMovieIsPlayable() const
{
    return anyPlayablePane([](const QTMovieSubView&) { return true; });
}

bool PaneQueries::anyMovieIsPlaying() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isPlaying(); });
}

bool PaneQueries::anyMovieIsController() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isController(); });
}

bool PaneQueries::anyMovieIsKeepAspect() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return pane.isKeepAspect(); });
}

bool PaneQueries::anyMovieIsScaleToFit() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return !pane.isKeepAspect(); });
}

bool PaneQueries::anyMovieIsSound() const
{
    return anyPlayablePane([](const QTMovieSubView& pane) { return !pane.isMuted(); });
}

int PaneQueries::displayedViewNo() const
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

int PaneQueries::playableViewNo() const
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

bool PaneQueries::canSyncMovieTime() const
{
    return playableViewNo() == 0;
}

std::array<bool, PaneQueries::PaneCount> PaneQueries::paneIsPlaying() const
{
    std::array<bool, PaneCount> playing{};
    for (int n = 1; n <= PaneCount; ++n)
        playing[n - 1] = qtView(n) && qtView(n)->isPlaying();
    return playing;
}

} // namespace tetrapan
