#pragma once

#include <QPointF>
#include <QRect>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace tetrapan {

class DialogPresenter;
class FileViewer;
class MovController;
class Movie;
class MovieControllerBar;
class MovieEngine;
class MoviePaneInput;
class MovieView;
class PaneOpening;
class PanePlacing;
class RecordingGapNotice;
class Scheduler;
class SettingsDomain;
class TBArrayController;

// What a pane needs from outside: the movie engine, the settings, the clock for its delayed placing, the
// user's answers and the desktop's file manager.
struct PaneServices {
    MovieEngine& engine;
    SettingsDomain& settings;
    Scheduler& scheduler;
    DialogPresenter& dialogs;
    FileViewer& fileViewer;
};

// One of the four movie panes: it holds at most one movie and plays, stops, loops, mutes, scales and skips
// it, and tells the pane coordinator when its state changes. It places files into the selected playlist
// for its view number, and takes keys, clicks and dropped files (MoviePaneInput). Actions take the sender
// and ignore it unless said.
class QTMovieSubView : public QWidget {
    Q_OBJECT
public:
    // The setting keys a pane reads.
    static constexpr const char* OptPlayVolume = "optPlayVolume";
    static constexpr const char* OptSkipTime = "optSkipTime";
    // Property bag keys.
    static constexpr const char* IsAvailableKey = "isAvailable";
    static constexpr const char* IsControllerKey = "isController";
    static constexpr const char* IsKeepAspectKey = "isKeepAspect";
    static constexpr const char* IsMutedKey = "isMuted";

    QTMovieSubView(const PaneServices& services, QWidget* parent = nullptr);
    ~QTMovieSubView() override;

    // Outlets.
    void setMovController(MovController* controller) { movController_ = controller; }
    MovController* movController() const { return movController_; }
    void setTbArrayController(TBArrayController* controller) { tbArrayController_ = controller; }
    TBArrayController* tbArrayController() const { return tbArrayController_; }
    void setCmMovieView(QMenu* menu) { cmMovieView_ = menu; }
    QMenu* cmMovieView() const { return cmMovieView_; }

    // Set-up once the outlets are connected: empties the pane, starts listening to the engine's
    // notifications, the volume setting and the own property bag, and takes keys, clicks and drops.
    void awakeFromNib();

    // Actions.
    void playMovie(QObject* sender = nullptr);
    void stopMovie(QObject* sender = nullptr);
    void replayMovie(QObject* sender = nullptr);
    void changeMoviePlay(QObject* sender = nullptr);
    void changeMovieController(QObject* sender = nullptr);
    void changeMovieAspect(QObject* sender = nullptr);
    void changeMovieMuted(QObject* sender = nullptr);
    void changeMovieFrame(QObject* sender = nullptr);
    void skipForwardMovieTime(QObject* sender = nullptr);
    void skipBackwardMovieTime(QObject* sender = nullptr);
    void skipStartMovieTime(QObject* sender = nullptr);
    void skipEndMovieTime(QObject* sender = nullptr);
    void syncMovieTime(QObject* sender = nullptr);

    // Offsets against the leading pane, kept by the coordinator.
    void changeMovieOffset(QObject* sender = nullptr);
    void clearMovieOffset(QObject* sender = nullptr);
    bool canChangeMovieOffset() const;
    bool hasMovieOffset() const;

    // How an open of a file into the pane ended: the movie is in the pane (a recording's problem names the
    // files it left out); it was refused, and the pane is as it was (problem says why); or a newer open,
    // emptying the pane or the user cancelled it.
    enum class OpenOutcome { Opened, Refused, Cancelled };
    using Opened = std::function<void(OpenOutcome outcome, const QString& problem)>;

    // Placing files within the selected playlist.
    PanePlacing& placing() { return *placing_; }

    // Starts loading the file off the GUI thread (PaneOpening); done hears how it ended, at the earliest
    // before this returns. A refused file leaves the pane as it was, and openError() says why.
    void createMovieView(const QString& path, Opened done = {});
    QString openError() const { return openError_; }
    // Loads the file keeping the playing and mute state, or empties the pane when it cannot be loaded.
    void updateMovieView(const QString& path, Opened done = {});
    // Also cancels an open under way.
    void clearMovieView();
    bool isOpening() const;
    void cancelOpening();
    PaneOpening& opening() const { return *opening_; }

    void setMoviePlay(bool play);
    void setMovieController(bool show);
    void setMovieAspect(bool keep);
    void setMovieMuted(bool muted);
    void setMovieVolume(float volume);
    // direction 0 forward, any other value backward.
    void skipMovieTime(int direction, float seconds);

    // Every write, also of the value already there, is a change the coordinator hears of.
    void setDictProperty(const QVariant& value, const QString& key);
    QVariant dictProperty(const QString& key) const;

    void setViewNo(int viewNo) { viewNo_ = viewNo; }
    int viewNo() const { return viewNo_; }
    void setFilePath(const QString& path) { filePath_ = path; }
    QString filePath() const { return filePath_; }
    // The pane's rate its movie was given as it opened (PlaybackSpeed): the entry's rate then, which a file
    // placed since may have cleared.
    double rateOpenedAt() const { return rateOpenedAt_; }
    void setIsLoop(bool loop) { isLoop_ = loop; }
    bool isLoop() const { return isLoop_; }
    void setIsAvailable(bool available);
    bool isAvailable() const { return isAvailable_; }

    void setMouseDownPoint(QPointF point) { mouseDownPoint_ = point; }
    QPointF mouseDownPoint() const { return mouseDownPoint_; }
    void setMouseUpPoint(QPointF point) { mouseUpPoint_ = point; }
    QPointF mouseUpPoint() const { return mouseUpPoint_; }
    void setIsClickedController(bool clicked) { isClickedController_ = clicked; }
    bool isClickedController() const { return isClickedController_; }

    bool isDisplay() const;
    bool isPlayable() const;
    bool isPlaying() const;
    bool isController() const;
    bool isKeepAspect() const;
    bool isMuted() const;
    bool isEndFrame() const;
    bool isMaximized() const;
    bool canSyncMovieTime() const;

    Movie* movie() const { return movie_.get(); }
    MovieView* movieView() const { return movieView_; }
    // The controller bar's rectangle in pane coordinates while it is shown; empty otherwise.
    QRect movieControllerBounds() const;

    // Notification handlers.
    void movieDidEnd(Movie* movie);
    void movieRateDidChanged(Movie* movie);
    void observeValueForKeyPath(const QString& keyPath);
    // The user finished resizing the panes.
    void viewDidEndLiveResize();

private:
    void setMovie(std::unique_ptr<Movie> movie);
    // The opened movie goes into the pane, stopped at its beginning.
    void showOpenedMovie(const QString& path, std::unique_ptr<Movie> movie);

    MovieEngine& engine_;
    SettingsDomain& settings_;

    TBArrayController* tbArrayController_ = nullptr;
    MovController* movController_ = nullptr;
    QMenu* cmMovieView_ = nullptr;
    int viewNo_ = 0;
    QString filePath_;
    QString openError_;
    bool isAvailable_ = false;
    bool isLoop_ = false;
    // Absent until set-up creates it; writes before then go nowhere.
    std::optional<QVariantMap> dictProperty_;
    QPointF mouseDownPoint_;
    QPointF mouseUpPoint_;
    bool isClickedController_ = false;

    std::unique_ptr<Movie> movie_;
    double rateOpenedAt_ = 1.0;
    // Whether the movie the last open replaced played, and was muted, as it was replaced.
    bool replacedPlaying_ = false;
    bool replacedMuted_ = false;
    MovieView* movieView_;
    MovieControllerBar* controllerBar_;
    MoviePaneInput* input_;
    std::unique_ptr<PaneOpening> opening_;
    std::unique_ptr<PanePlacing> placing_;
    RecordingGapNotice* gapNotice_;
    bool observingDictProperty_ = false;
    bool subscribed_ = false;
};

} // namespace tetrapan
