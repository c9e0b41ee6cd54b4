#include "panes/MovieControllerBar.h"

#include "library/Movie.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <cmath>

namespace tetrapan {

namespace {
// Slider steps per second of movie: fine enough to reach every frame of a 25 fps movie by keyboard.
constexpr int SliderStepsPerSecond = 100;

QString minutesSeconds(double seconds)
{
    const qint64 whole = std::max<qint64>(0, static_cast<qint64>(std::floor(seconds)));
    return QString::asprintf("%lld:%02lld", whole / 60, whole % 60);
}

// A left click puts the position where it lands, as in media players, instead of paging towards it.
class JumpToClickStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton | Qt::MiddleButton;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

MovieControllerBar::MovieControllerBar(QWidget* parent)
    : QWidget(parent), playButton_(new QToolButton(this)), slider_(new QSlider(Qt::Horizontal, this)),
      timeLabel_(new QLabel(this))
{
    // The pane behind it paints its window colour black, which the bar would take over; the button colour
    // is the theme's own and keeps the bar's text and icons readable in light and dark themes.
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(playButton_);
    layout->addWidget(slider_, 1);
    layout->addWidget(timeLabel_);
    playButton_->setAutoRaise(true);
    playButton_->setAccessibleName(tr("Play or Pause"));
    slider_->setAccessibleName(tr("Position"));
    slider_->setToolTip(tr("Click or drag to move through the movie"));
    playButton_->setFocusPolicy(Qt::NoFocus);
    slider_->setFocusPolicy(Qt::NoFocus);
    // a style of the application's kind of its own: a proxy owns its base style
    auto* jumpStyle = new JumpToClickStyle(slider_->style()->name());
    jumpStyle->setParent(slider_);
    slider_->setStyle(jumpStyle);
    connect(playButton_, &QToolButton::clicked, this, &MovieControllerBar::playPauseClicked);
    // the press has already put the handle under the pointer; moving on from there drags it
    connect(slider_, &QSlider::sliderPressed, this, [this] { seekToSlider(slider_->sliderPosition()); });
    connect(slider_, &QSlider::sliderMoved, this, &MovieControllerBar::seekToSlider);
    connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
        // Paging and stepping seek too; the press and the drag are handled above.
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            seekToSlider(slider_->sliderPosition());
    });
    refreshPlayState();
    refreshPosition();
}

bool MovieControllerBar::shownChoice(const SettingsDomain& settings)
{
    return userDefaultsExtension::defaultBoolValue(settings, QLatin1String(OptShown));
}

void MovieControllerBar::keepShownChoice(SettingsDomain& settings, bool anyShown)
{
    userDefaultsExtension::setDefaultBoolValue(settings, anyShown, QLatin1String(OptShown));
}

QString MovieControllerBar::timeText(double currentSeconds, double durationSeconds)
{
    return minutesSeconds(currentSeconds) + QStringLiteral(" / ") + minutesSeconds(durationSeconds);
}

void MovieControllerBar::setMovie(Movie* movie)
{
    disconnect(timeConnection_);
    disconnect(rateConnection_);
    movie_ = movie;
    if (movie) {
        timeConnection_ = connect(movie, &Movie::timeDidChange, this, [this] { refreshPosition(); });
        rateConnection_ = connect(movie, &Movie::rateDidChange, this, [this] { refreshPlayState(); });
    }
    refreshPlayState();
    refreshPosition();
}

void MovieControllerBar::refreshPosition()
{
    const double duration = movie_ ? movie_->duration().seconds() : 0.0;
    const double current = movie_ ? movie_->currentTime().seconds() : 0.0;
    timeLabel_->setText(timeText(current, duration));
    slider_->setEnabled(movie_ != nullptr);
    if (slider_->isSliderDown())
        return;
    const QSignalBlocker quiet(slider_);
    slider_->setRange(0, static_cast<int>(std::lround(duration * SliderStepsPerSecond)));
    slider_->setValue(static_cast<int>(std::lround(current * SliderStepsPerSecond)));
}

void MovieControllerBar::refreshPlayState()
{
    const bool playing = movie_ && movie_->rate() != 0.0f;
    playButton_->setEnabled(movie_ != nullptr);
    playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playButton_->setToolTip(playing ? tr("Pause") : tr("Play"));
}

void MovieControllerBar::seekToSlider(int position)
{
    if (!movie_)
        return;
    movie_->setCurrentTime(MovieTime{position, SliderStepsPerSecond, MovieTime::NoFlags});
}

} // namespace tetrapan
