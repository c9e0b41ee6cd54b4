#include "panes/QTMovieSubView.h"

#include "engine/MovieEngine.h"
#include "engine/MovieView.h"
#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/MovieControllerBar.h"
#include "panes/MoviePaneInput.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneOpening.h"
#include "panes/PanePlacing.h"
#include "panes/PlaybackSpeed.h"
#include "panes/RecordingGapNotice.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QVBoxLayout>

namespace tetrapan {

QTMovieSubView::QTMovieSubView(const PaneServices& services, QWidget* parent)
    : QWidget(parent), engine_(services.engine), settings_(services.settings),
      movieView_(services.engine.createMovieView(this)),
      controllerBar_(new MovieControllerBar(services.settings, this)),
      input_(new MoviePaneInput(*this, services.scheduler, services.dialogs)),
      opening_(std::make_unique<PaneOpening>(*movieView_, services.engine, services.scheduler)),
      placing_(std::make_unique<PanePlacing>(*this, services.dialogs, services.fileViewer)),
      gapNotice_(new RecordingGapNotice(movieView_))
{
    // Only the picture area is black; the bar is drawn in the theme's colours (see MovieControllerBar).
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(movieView_, 1);
    layout->addWidget(controllerBar_);
    // A pane may be squeezed to nothing by the split views; nothing in it may hold it open.
    setMinimumSize(0, 0);
    movieView_->setMinimumSize(0, 0);
    controllerBar_->setMinimumSize(0, 0);
    controllerBar_->hide();
    connect(controllerBar_, &MovieControllerBar::playPauseClicked, this, [this] { changeMoviePlay(); });
}

QTMovieSubView::~QTMovieSubView()
{
    // The view and the bar go after this body; neither may be left pointing at a movie that is gone.
    opening_.reset();
    controllerBar_->setMovie(nullptr);
    movieView_->setMovie(nullptr);
    movie_.reset();
}

void QTMovieSubView::awakeFromNib()
{
    clearMovieView();
    mouseDownPoint_ = QPointF(0, 0);
    mouseUpPoint_ = QPointF(0, 0);
    isClickedController_ = false;

    dictProperty_.emplace();
    for (const char* key : {IsAvailableKey, IsControllerKey, IsKeepAspectKey, IsMutedKey})
        setDictProperty(false, QLatin1String(key));

    if (!subscribed_) {
        // Every movie's notifications, not only this pane's: a pane that loops restarts its own movie
        // whichever movie ended.
        connect(&engine_, &MovieEngine::movieDidEnd, this, &QTMovieSubView::movieDidEnd);
        connect(&engine_, &MovieEngine::movieRateDidChange, this, &QTMovieSubView::movieRateDidChanged);
        connect(&settings_, &SettingsDomain::valueChanged, this, [this](const QString& key) {
            if (key == QLatin1String(OptPlayVolume))
                observeValueForKeyPath(key);
        });
        installEventFilter(input_);
        subscribed_ = true;
    }
    observingDictProperty_ = true;
    // Clicking a pane gives it the keys, which act on all panes whichever has them.
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
}

// Actions

void QTMovieSubView::playMovie(QObject*)
{
    setMoviePlay(true);
}

void QTMovieSubView::stopMovie(QObject*)
{
    setMoviePlay(false);
}

void QTMovieSubView::replayMovie(QObject*)
{
    if (!isAvailable())
        return;
    if (movie_)
        movie_->gotoBeginning();
    setMoviePlay(true);
}

void QTMovieSubView::changeMoviePlay(QObject*)
{
    // The user's own play or stop must not be undone by a group resume still waiting.
    if (movController_)
        movController_->cancelPendingResumes();
    setMoviePlay(!isPlaying());
}

void QTMovieSubView::changeMovieController(QObject*)
{
    if (!isAvailable())
        return;
    setMovieController(!isController());
    MovieControllerBar::keepShownChoice(settings_, movController_ ? movController_->anyMovieIsController()
                                                                  : isController());
}

void QTMovieSubView::changeMovieAspect(QObject*)
{
    setMovieAspect(!isKeepAspect());
}

void QTMovieSubView::changeMovieMuted(QObject*)
{
    setMovieMuted(!(movie_ && movie_->muted()));
}

void QTMovieSubView::changeMovieFrame(QObject*)
{
    if (movController_)
        movController_->changeMovieViewFrame(viewNo_);
}

void QTMovieSubView::skipForwardMovieTime(QObject*)
{
    skipMovieTime(0, userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(OptSkipTime)));
}

void QTMovieSubView::skipBackwardMovieTime(QObject*)
{
    skipMovieTime(1, userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(OptSkipTime)));
}

void QTMovieSubView::skipStartMovieTime(QObject*)
{
    if (movie_)
        movie_->gotoBeginning();
}

void QTMovieSubView::skipEndMovieTime(QObject*)
{
    stopMovie();
    if (movie_)
        movie_->gotoEnd();
}

void QTMovieSubView::syncMovieTime(QObject*)
{
    if (movController_)
        movController_->syncMovieTime(viewNo_, 0);
}

void QTMovieSubView::changeMovieOffset(QObject*)
{
    if (movController_)
        movController_->offsets().changeOffset(viewNo_);
}

void QTMovieSubView::clearMovieOffset(QObject*)
{
    if (movController_)
        movController_->offsets().clearOffset(viewNo_);
}

bool QTMovieSubView::canChangeMovieOffset() const
{
    return movController_ && movController_->offsets().canChangeOffset(viewNo_);
}

bool QTMovieSubView::hasMovieOffset() const
{
    return movController_ && movController_->movieOffsetMs(viewNo_) != 0;
}

// Loading and emptying

void QTMovieSubView::setMovie(std::unique_ptr<Movie> movie)
{
    // The view and the bar let go of the old movie before it is destroyed.
    movieView_->setMovie(movie.get());
    controllerBar_->setMovie(movie.get());
    gapNotice_->setMovie(movie.get());
    movie_ = std::move(movie);
}

void QTMovieSubView::createMovieView(const QString& path, Opened done)
{
    opening_->open(path, [this, path, done = std::move(done)](MovieOpenResult opened, bool cancelled) {
        OpenOutcome outcome = OpenOutcome::Opened;
        QString problem;
        if (cancelled) {
            outcome = OpenOutcome::Cancelled;
            problem = QStringLiteral("opening cancelled");
        } else if (!opened.movie) {
            outcome = OpenOutcome::Refused;
            problem = openError_ = opened.error;
        } else {
            problem = opened.error; // what a recording left out
            // how the user leaves the movie it replaces, for a reload to go on from
            replacedPlaying_ = isPlaying();
            replacedMuted_ = isMuted();
            showOpenedMovie(path, std::move(opened.movie));
        }
        if (done)
            done(outcome, problem);
    });
}

void QTMovieSubView::showOpenedMovie(const QString& path, std::unique_ptr<Movie> movie)
{
    setMovie(std::move(movie));
    movie_->gotoBeginning();
    // The panes decide when a movie starts again; the engine never loops by itself.
    movie_->setLoops(false);
    movie_->setLoopsBackAndForth(false);
    setMovieVolume(userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(OptPlayVolume)));
    // the rate is the entry's of this file: the path first, as the entry is found by the file the pane shows
    setFilePath(path);
    rateOpenedAt_ = PlaybackSpeed::rateOf(this);
    if (const double speed = PlaybackSpeed::storedSpeed(settings_) * rateOpenedAt_; speed != 1.0)
        movie_->setSpeed(speed);
    update();
    setIsAvailable(true);
    setIsLoop(false);
}

void QTMovieSubView::updateMovieView(const QString& path, Opened done)
{
    // the movie replaced goes on as the user leaves it when the new one is in, not as it was when asked
    createMovieView(path, [this, done = std::move(done)](OpenOutcome outcome, const QString& problem) {
        if (outcome == OpenOutcome::Refused) {
            clearMovieView();
        } else if (outcome == OpenOutcome::Opened) {
            setMoviePlay(replacedPlaying_);
            setMovieMuted(replacedMuted_);
        }
        if (done)
            done(outcome, problem);
    });
}

bool QTMovieSubView::isOpening() const
{
    return opening_->isOpening();
}

void QTMovieSubView::cancelOpening()
{
    opening_->cancel();
}

void QTMovieSubView::clearMovieView()
{
    opening_->cancel();
    stopMovie();
    setMovie(nullptr);
    setFilePath(QString());
    setIsAvailable(false);
    setIsLoop(false);
    setMovieController(false);
    setMovieAspect(true);
    setMovieMuted(false);
    update();
}

// State changes

void QTMovieSubView::setMoviePlay(bool play)
{
    if (play) {
        if (!isPlayable())
            return;
        movie_->play();
        isLoop_ = true;
    } else {
        if (movie_)
            movie_->stop();
        isLoop_ = false;
    }
}

void QTMovieSubView::setMovieController(bool show)
{
    controllerBar_->setVisible(show);
    movieView_->setPreservesAspectRatio(isKeepAspect());
    setDictProperty(show, QLatin1String(IsControllerKey));
}

void QTMovieSubView::setMovieAspect(bool keep)
{
    movieView_->setPreservesAspectRatio(keep);
    setDictProperty(keep, QLatin1String(IsKeepAspectKey));
}

void QTMovieSubView::setMovieMuted(bool muted)
{
    if (movie_)
        movie_->setMuted(muted);
    setMovieVolume(userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(OptPlayVolume)));
    setDictProperty(muted, QLatin1String(IsMutedKey));
}

void QTMovieSubView::setMovieVolume(float volume)
{
    if (!movie_)
        return;
    movie_->setVolume(movie_->muted() ? 0.0f : volume);
}

void QTMovieSubView::skipMovieTime(int direction, float seconds)
{
    if (!movie_)
        return;
    const MovieTime current = movie_->currentTime();
    // Whole seconds first: skipping moves between whole-second marks. A time without a scale is at 0.
    const float wholeSeconds = current.scale != 0 ? static_cast<float>(current.value / current.scale) : 0.0f;
    const float target = direction == 0 ? wholeSeconds + seconds : wholeSeconds - seconds;

    const MovieTime duration = movie_->duration();
    qint64 value = static_cast<qint64>(target * static_cast<float>(duration.scale));
    if (value > duration.value)
        value = duration.value;
    if (value < 0)
        value = 0;
    movie_->setCurrentTime(MovieTime{value, duration.scale, current.flags});
}

void QTMovieSubView::setDictProperty(const QVariant& value, const QString& key)
{
    if (!dictProperty_)
        return;
    dictProperty_->insert(key, value);
    if (observingDictProperty_)
        observeValueForKeyPath(key);
}

QVariant QTMovieSubView::dictProperty(const QString& key) const
{
    return dictProperty_ ? dictProperty_->value(key) : QVariant();
}

void QTMovieSubView::setIsAvailable(bool available)
{
    // a pane that gets a movie shows it as the user last chose to see the panes, also in a new run
    if (available && !isAvailable_)
        setMovieController(MovieControllerBar::shownChoice(settings_));
    isAvailable_ = available;
    setDictProperty(available, QLatin1String(IsAvailableKey));
}

// Queries

bool QTMovieSubView::isDisplay() const
{
    return width() > 0 && height() > 0;
}

bool QTMovieSubView::isPlayable() const
{
    return isAvailable() && isDisplay();
}

bool QTMovieSubView::isPlaying() const
{
    return movie_ && movie_->rate() != 0.0f;
}

bool QTMovieSubView::isController() const
{
    return !controllerBar_->isHidden();
}

bool QTMovieSubView::isKeepAspect() const
{
    return movieView_->preservesAspectRatio();
}

bool QTMovieSubView::isMuted() const
{
    return movie_ && movie_->muted();
}

bool QTMovieSubView::isEndFrame() const
{
    if (!movie_)
        return true;
    return compareMovieTime(movie_->currentTime(), movie_->duration()) == 0;
}

bool QTMovieSubView::isMaximized() const
{
    return movController_ && viewNo_ == movController_->displayedViewNo();
}

bool QTMovieSubView::canSyncMovieTime() const
{
    return movController_ && movController_->canSyncMovieTime();
}

QRect QTMovieSubView::movieControllerBounds() const
{
    return controllerBar_->isHidden() ? QRect() : controllerBar_->geometry();
}

// Notification handlers

void QTMovieSubView::movieDidEnd(Movie*)
{
    if (isLoop_)
        playMovie();
}

void QTMovieSubView::movieRateDidChanged(Movie*)
{
    if (movController_)
        movController_->changePlayButtonImage();
}

void QTMovieSubView::observeValueForKeyPath(const QString& keyPath)
{
    if (keyPath == QLatin1String(OptPlayVolume)) {
        setMovieVolume(userDefaultsExtension::defaultFloatValue(settings_, QLatin1String(OptPlayVolume)));
        return;
    }
    if (!movController_)
        return;
    if (keyPath == QLatin1String(IsAvailableKey))
        movController_->changeAllControlButtonState();
    else if (keyPath == QLatin1String(IsControllerKey))
        movController_->changeControllerButtonState();
    else if (keyPath == QLatin1String(IsKeepAspectKey))
        movController_->changeScaleButtonState();
    else if (keyPath == QLatin1String(IsMutedKey))
        movController_->changeSoundButtonState();
}

void QTMovieSubView::viewDidEndLiveResize()
{
    if (!isDisplay())
        stopMovie();
    if (movController_)
        movController_->changeAllControlButtonState();
}

} // namespace tetrapan
