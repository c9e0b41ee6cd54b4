#pragma once

#include <array>

namespace tetrapan {

class QTMovieSubView;

// What can be said of the coordinator's four panes together, read from its outlets as they stand.
class PaneQueries {
public:
    static constexpr int PaneCount = 4;

    explicit PaneQueries(const std::array<QTMovieSubView*, PaneCount>& qtViews) : qtViews_(qtViews) {}

    bool anyMovieIsAvailable() const;
    bool anyMovieIsPlayable() const;
    bool anyMovieIsPlaying() const;
    bool anyMovieIsController() const;
    bool anyMovieIsKeepAspect() const;
    bool anyMovieIsScaleToFit() const;
    bool anyMovieIsSound() const;
    int displayedViewNo() const;
    int playableViewNo() const;
    bool canSyncMovieTime() const;
    // Whether each pane n plays, at [n - 1].
    std::array<bool, PaneCount> paneIsPlaying() const;

private:
    QTMovieSubView* qtView(int viewNo) const
    {
        return viewNo >= 1 && viewNo <= PaneCount ? qtViews_[viewNo - 1] : nullptr;
    }
    template <typename Test> bool anyPlayablePane(Test test) const;

    const std::array<QTMovieSubView*, PaneCount>& qtViews_;
};

} // namespace tetrapan
