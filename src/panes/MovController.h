#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <chrono>

namespace tetrapan {

class QTMovieSubView;
class Scheduler;

// The pane coordinator: it acts on the four panes as a group, answers group queries about them and passes
// the panes' requests to refresh buttons on to the windows that show those buttons.
class MovController : public QObject {
    Q_OBJECT
public:
    static constexpr int PaneCount = 4;
    // Panes that played before a synchronisation start again this long after it.
    static constexpr std::chrono::milliseconds ResumeAfterSyncDelay{500};

    explicit MovController(Scheduler& scheduler, QObject* parent = nullptr);
    ~MovController() override;

    // Outlets qtView1..qtView4; viewNo outside 1..4 is ignored.
    void setQtView(int viewNo, QTMovieSubView* pane);
    QTMovieSubView* qtView(int viewNo) const;

    // Numbers the panes 1 to 4.
    void awakeFromNib();

    // The playlist whose entries the panes show; "" when nothing is selected. Every set, also to the same
    // identifier, reloads the panes.
    void setUniqueId(const QString& uniqueId);
    QString uniqueId() const { return uniqueId_; }

    void setCurrentViewNo(int viewNo) { currentViewNo_ = viewNo; }
    int currentViewNo() const { return currentViewNo_; }

    // Play state: 0 all panes, 1..4 one pane, any other number nothing.
    void setMoviePlay(int viewNo, bool play);
    void setAllMoviePlay(bool play);
    // Each pane n to its own state isPlay[n - 1].
    void setFrameMoviePlay(const std::array<bool, PaneCount>& isPlay);

    // Aligns every playable pane to the source pane's position; panes that were playing resume shortly after.
    // The target is not used: every playable pane follows the source.
    void syncMovieTime(int viewNo, int targetViewNo);
    // Show one pane alone, or all panes again.
    void changeMovieViewFrame(int viewNo);

    // Button refreshes, passed on to the windows with buttons.
    void changeAllControlButtonState();
    void changeFrameButtonImage();
    void changePlayButtonImage();
    void changePlayButtonEnabled();
    void changeFrameSetButtonImage();
    void changeControllerButtonState();
    void changeScaleButtonState();
    void changeSoundButtonState();

    bool anyMovieIsAvailable() const;
    bool anyMovieIsPlayable() const;
    bool anyMovieIsPlaying() const;
    bool anyMovieIsController() const;
    bool anyMovieIsKeepAspect() const;
    bool anyMovieIsScaleToFit() const;
    bool anyMovieIsSound() const;
    // The only displayed pane; 0 when none or several are displayed.
    int displayedViewNo() const;
    // -1 no playable pane, n exactly one (pane n), 0 two or more.
    int playableViewNo() const;
    bool canSyncMovieTime() const;

Q_SIGNALS:
    void uniqueIdChanged(const QString& uniqueId);
    // What the control window and the playlist window refresh; each is emitted where the design calls them.
    void frameButtonImageNeedsRefresh();
    void playButtonImageNeedsRefresh();
    void playButtonEnabledNeedsRefresh();
    void frameSetButtonImageNeedsRefresh();
    void syncButtonEnabledNeedsRefresh();
    void controllerButtonStateNeedsRefresh();
    void scaleButtonStateNeedsRefresh();
    void soundButtonStateNeedsRefresh();
    // The main window shows pane viewNo alone, or restores all panes for 0 or the pane already alone.
    void maximizeSplitViewFrameRequested(int viewNo);

private:
    template <typename Test>
    bool anyPlayablePane(Test test) const;

    Scheduler& scheduler_;
    std::array<QTMovieSubView*, PaneCount> qtViews_{};
    int currentViewNo_ = 0;
    QString uniqueId_;
};

} // namespace tetrapan
