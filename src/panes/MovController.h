#pragma once

#include "panes/PaneQueries.h"
#include "platform/Scheduler.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <memory>
#include <optional>

namespace tetrapan {

class PlaylistTreeController;
class MovieEngine;
class PaneEntryFollower;
class PaneOffsets;
class PaneZoom;
class PendingResumes;
class QTMovieSubView;
class SettingsDomain;
class TBArrayController;

// The pane coordinator: it holds the current playlist and loads its entries into the four panes, acts on
// the panes as a group, answers group queries about them and passes the panes' requests to refresh
// buttons on to the windows that show those buttons. The main window, the control window and the playlist
// window hear from it through its signals.
class MovController : public QObject {
    Q_OBJECT
public:
    static constexpr int PaneCount = 4;
    // Choices of playlist closer together than this load the panes once, for the last.
    static constexpr std::chrono::milliseconds ChangeDelay{500};
    // Panes that played before a load start again this long after it.
    static constexpr std::chrono::milliseconds ResumeAfterLoadDelay{1000};
    // Panes that played before a skip or a synchronisation start again this long after it.
    static constexpr std::chrono::milliseconds ResumeAfterSkipDelay{500};
    static constexpr std::chrono::milliseconds ResumeAfterSyncDelay{500};

    // Kinds of skipAllMovieTime.
    enum SkipKind { SkipToStart = 0, SkipBackward = 1, SkipForward = 2, SkipToEnd = 3 };

    static constexpr const char* OptLoadFrameSet = "optLoadFrameSet";
    static constexpr const char* MainWindowTitle = "Tetrapan";
    static constexpr const char* ControlWindowTitle = "Controller";

    MovController(Scheduler& scheduler, SettingsDomain& settings, QObject* parent = nullptr);
    ~MovController() override;

    // Outlets qtView1..qtView4; viewNo outside 1..4 is ignored.
    void setQtView(int viewNo, QTMovieSubView* pane);
    QTMovieSubView* qtView(int viewNo) const;
    // The panes follow its entries of the current playlist from then on (PaneEntryFollower).
    void setTbArrayController(TBArrayController* controller);
    // The panes' engine, told which files a load is about to open so it can load them side by side.
    void setMovieEngine(MovieEngine* engine) { movieEngine_ = engine; }
    TBArrayController* tbArrayController() const { return tbArrayController_; }
    // Its selection is watched for the control window's move buttons.
    void setPlaylistTreeController(PlaylistTreeController* controller);
    PlaylistTreeController* playlistTreeController() const { return playlistTreeController_; }

    // Numbers the panes 1 to 4 and starts with no playlist; only identifiers set after this load panes.
    void awakeFromNib();

    // The playlist whose entries the panes show; "" when nothing is selected. Every set, also to the same
    // identifier, filters the file list, sets the window titles and (re)starts the load delay.
    void setUniqueId(const QString& uniqueId);
    QString uniqueId() const { return uniqueId_; }
    // The current playlist's title as the windows show it ("[ title ]" for a folder); null for none.
    QString shownTitle() const { return shownTitle_; }

    void setCurrentViewNo(int viewNo) { currentViewNo_ = viewNo; }
    int currentViewNo() const { return currentViewNo_; }

    // Actions. A number comes from the sender's "tag" property, or from a QAction's data.
    void changeAllMoviePlay(QObject* sender = nullptr);
    void changeAllMovieTime(QObject* sender = nullptr);
    void changeAllMovieController(QObject* sender = nullptr);
    void changeAllMovieAspect(QObject* sender = nullptr);
    void changeAllMovieSound(QObject* sender = nullptr);
    void syncAllMovieTime(QObject* sender = nullptr);
    void openMovieFile(QObject* sender = nullptr);

    // Play state: 0 all panes, 1..4 one pane, any other number nothing.
    void setMoviePlay(int viewNo, bool play);
    void setAllMoviePlay(bool play);
    // Each pane n to its own state isPlay[n - 1].
    void setFrameMoviePlay(const std::array<bool, PaneCount>& isPlay);
    // kind: SkipKind; the step is the setting optSkipTime.
    void skipAllMovieTime(int kind);
    // Each pane n that played before a seek of all panes, wasPlaying[n - 1], plays again shortly after it.
    void resumeAfterSkip(const std::array<bool, PaneCount>& wasPlaying)
    {
        scheduleResume(ResumeAfterSkipDelay, wasPlaying);
    }
    // Aligns every playable pane to the source pane's position, moved by the difference of their offsets
    // (PaneOffsets) and kept within its movie; panes that were playing resume shortly after.
    // The target is not used: every playable pane follows the source.
    void syncMovieTime(int viewNo, int targetViewNo);
    // The target pane (1..4) places the file within the selected playlist; the source is not used.
    void copyMovieView(int sourceViewNo, const QString& filePath, int targetViewNo);
    void clearMovieView(int viewNo);
    // Show one pane alone, or all panes again.
    void changeMovieViewFrame(int viewNo);
    void openPlaylistWindow();
    // The titles again, when the current playlist was renamed or its change undone; signals only a change.
    void refreshWindowTitles();

    // The steps of choosing a playlist and loading it, in the order they happen.
    void setFilelistPredicateWithUniqueId(const QString& uniqueId);
    void changeAllMovieViewWithTimer();
    void changeAllMovieView();
    // A load waiting for its delay happens now.
    void loadPendingPlaylist();

    // The user took play into his own hands: resumes still waiting after a load, a skip or a
    // synchronisation are dropped rather than undo what he did.
    void cancelPendingResumes();
    bool hasPendingResume() const;
    // A start that waits for something other than time (the A–B loop's, for its panes' seeks to land), of
    // the panes given: counted as about to play, and dropped with the resumes.
    void setWaitingStart(const std::array<bool, PaneCount>& panes) { waitingStart_ = panes; }
    const std::array<bool, PaneCount>& waitingStart() const { return waitingStart_; }
    bool hasWaitingStart() const;
    // Each pane that plays, or that a resume still waiting would start: what a move of all panes started
    // before that resume ran plays on.
    std::array<bool, PaneCount> playingOrAboutToPlay() const;
    // Any playable pane plays, or a resume still waiting would start one.
    bool anyPlayingOrAboutToPlay() const;
    bool hasPendingLoad() const;
    bool isLoading() const; // a load's panes are still opening their files
    // The load under way starts the panes once their files are in (as when they played as it began).
    void playWhenLoaded();

    // Button refreshes, passed on to the windows with buttons.
    void changeAllControlButtonState();
    void changeFrameButtonImage() { Q_EMIT frameButtonImageNeedsRefresh(); }
    void changePlayButtonImage() { Q_EMIT playButtonImageNeedsRefresh(); }
    void changePlayButtonEnabled();
    void changeFrameSetButtonImage() { Q_EMIT frameSetButtonImageNeedsRefresh(); }
    void changeControllerButtonState() { Q_EMIT controllerButtonStateNeedsRefresh(); }
    void changeScaleButtonState() { Q_EMIT scaleButtonStateNeedsRefresh(); }
    void changeSoundButtonState() { Q_EMIT soundButtonStateNeedsRefresh(); }

    bool anyMovieIsAvailable() const { return queries_.anyMovieIsAvailable(); }
    bool anyMovieIsPlayable() const { return queries_.anyMovieIsPlayable(); }
    bool anyMovieIsPlaying() const { return queries_.anyMovieIsPlaying(); }
    bool anyMovieIsController() const { return queries_.anyMovieIsController(); }
    bool anyMovieIsKeepAspect() const { return queries_.anyMovieIsKeepAspect(); }
    bool anyMovieIsScaleToFit() const { return queries_.anyMovieIsScaleToFit(); }
    bool anyMovieIsSound() const { return queries_.anyMovieIsSound(); }
    // The only displayed pane; 0 when none or several are displayed.
    int displayedViewNo() const { return queries_.displayedViewNo(); }
    // -1 no playable pane, n exactly one (pane n), 0 two or more.
    int playableViewNo() const { return queries_.playableViewNo(); }
    bool canSyncMovieTime() const { return queries_.canSyncMovieTime(); }

    // Every playable pane one frame on (forward) or back, all panes stopped: for comparing frame by frame.
    void stepAllMovieFrame(bool forward);

    // Offsets between the panes (PaneOffsets): the pane's offset in milliseconds on the current playlist's
    // entry for it; 0 when it has none.
    qint64 movieOffsetMs(int viewNo) const;
    PaneOffsets& offsets() { return *offsets_; }
    const PaneOffsets& offsets() const { return *offsets_; }
    // The detail zoom of the panes.
    PaneZoom& zoom() { return *zoom_; }

Q_SIGNALS:
    void uniqueIdChanged(const QString& uniqueId);
    // The titles follow the current playlist: its title, "[ title ]" for a folder, or the windows' own
    // names when there is none.
    void mainWindowTitleChanged(const QString& title);
    void controlWindowTitleChanged(const QString& title);
    // What the control window and the playlist window refresh, each when those buttons may have changed.
    void frameButtonImageNeedsRefresh();
    void playButtonImageNeedsRefresh();
    void playButtonEnabledNeedsRefresh();
    void frameSetButtonImageNeedsRefresh();
    void syncButtonEnabledNeedsRefresh();
    void controllerButtonStateNeedsRefresh();
    void scaleButtonStateNeedsRefresh();
    void soundButtonStateNeedsRefresh();
    void moveButtonEnabledNeedsRefresh();
    // The main window shows pane viewNo alone, or restores all panes for 0 or the pane already alone.
    void maximizeSplitViewFrameRequested(int viewNo);
    // The main window moves its dividers to the current playlist's frame set in this slot.
    void loadSplitViewFrameRequested(int slot);
    // A pane needs a playlist selected and offers to open the playlist window.
    void openPlaylistWindowRequested();
    // The load delay ran out and the panes were loaded from the current playlist: each pane has its movie,
    // or was refused it.
    void allMovieViewsChanged();
    // Several panes were started in one go; startClocks[n - 1] is where pane n's clock stood just before its
    // start, or none for a pane that did not start.
    void startedTogether(const std::array<std::optional<double>, PaneCount>& startClocks);
    // Several playing panes were stopped in one go; stopped[n - 1] for pane n.
    void stoppedTogether(const std::array<bool, PaneCount>& stopped);

private:
    std::array<bool, PaneCount> paneIsPlaying() const { return queries_.paneIsPlaying(); }
    void setWindowTitles(const QString& uniqueId);
    // Each pane n returns to isPlay[n - 1] after the delay, unless the user or a newer load comes first.
    void scheduleResume(std::chrono::milliseconds delay, const std::array<bool, PaneCount>& isPlay);
    // One of the load's panes answered; the last ends the load.
    void paneLoaded(quint64 load);

    Scheduler& scheduler_;
    SettingsDomain& settings_;
    TBArrayController* tbArrayController_ = nullptr;
    MovieEngine* movieEngine_ = nullptr;
    PlaylistTreeController* playlistTreeController_ = nullptr;
    std::array<QTMovieSubView*, PaneCount> qtViews_{};
    PaneQueries queries_{qtViews_};
    int currentViewNo_ = 0;
    QString uniqueId_;
    bool observingUniqueId_ = false;
    Scheduler::TaskId changeTimer_ = Scheduler::NoTask;
    // The latest load, the answers it still waits for, and whether it starts the panes when they are in.
    quint64 lastLoad_ = 0;
    int opensPending_ = 0;
    bool resumeAfterLoad_ = false;
    std::unique_ptr<PendingResumes> pendingResumes_;
    std::array<bool, PaneCount> waitingStart_{};
    QMetaObject::Connection selectionConnection_;
    std::unique_ptr<PaneOffsets> offsets_;
    std::unique_ptr<PaneEntryFollower> entryFollower_;
    std::unique_ptr<PaneZoom> zoom_;
    // The current playlist's title as the windows show it; null for none.
    QString shownTitle_;
};

} // namespace tetrapan
