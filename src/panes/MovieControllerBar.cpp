#include "panes/MovieControllerBar.h"

#include "library/Movie.h"
#include "panes/TimeForm.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tetrapan {

namespace {
// Slider steps per second of movie: fine enough to reach every frame of a 25 fps movie by keyboard.
constexpr int SliderStepsPerSecond = 100;
// with the margins and spacing of the bar's layout
constexpr int MinimumSliderWidth = 80;

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

MovieControllerBar::MovieControllerBar(SettingsDomain& settings, QWidget* parent)
    : QWidget(parent), settings_(settings), playButton_(new QToolButton(this)),
      slider_(new QSlider(Qt::Horizontal, this)), timeLabel_(new QLabel(this))
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
    timeLabel_->setToolTip(tr("Click to show times or frame numbers"));
    timeLabel_->installEventFilter(this);
    connect(&settings_, &SettingsDomain::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(TimeForm::OptShowsFrames))
            refreshPosition();
    });
    refreshPlayState();
    refreshPosition();
}

bool MovieControllerBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == timeLabel_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        TimeForm::switchForm(settings_);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MovieControllerBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    refreshPosition();
}

QString MovieControllerBar::timeText() const
{
    return timeLabel_->text();
}

bool MovieControllerBar::shownChoice(const SettingsDomain& settings)
{
    return userDefaultsExtension::defaultBoolValue(settings, QLatin1String(OptShown));
}

void MovieControllerBar::keepShownChoice(SettingsDomain& settings, bool anyShown)
{
    userDefaultsExtension::setDefaultBoolValue(settings, anyShown, QLatin1String(OptShown));
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

void MovieControllerBar::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (visible)
        refreshPosition();
}

void MovieControllerBar::refreshPosition()
{
    // A hidden bar is not kept up: the position changes with every picture of four panes, and measuring the
    // text's width for the room it has cost a tenth of the GUI thread's time while the bars were hidden.
    // Showing it brings it up to date (setVisible).
    if (isHidden() && testAttribute(Qt::WA_WState_ExplicitShowHide))
        return;
    const double duration = movie_ ? movie_->duration().seconds() : 0.0;
    const double current = movie_ ? movie_->currentTime().seconds() : 0.0;
    const QString text = TimeForm::text(current, duration, movie_ ? movie_->framesPerSecond() : 0.0,
                                        TimeForm::showsFrames(settings_));
    // a narrow pane keeps room for the position: the movie's length is left out of the text
    const int room = width() - playButton_->sizeHint().width() - MinimumSliderWidth;
    timeLabel_->setText(timeLabel_->fontMetrics().horizontalAdvance(text) <= room
                            ? text
                            : text.section(QStringLiteral(" / "), 0, 0));
    slider_->setEnabled(movie_ != nullptr);
    if (slider_->isSliderDown())
        return;
    const QSignalBlocker quiet(slider_);
    // The slider counts in an int: a movie too long for hundredths of a second (a camera folder of months)
    // is counted in seconds, and one past even that to its int's end.
    constexpr double Most = std::numeric_limits<int>::max();
    stepsPerSecond_ = duration * SliderStepsPerSecond < Most ? SliderStepsPerSecond : 1;
    const auto steps = [this, Most](double seconds) {
        return static_cast<int>(std::clamp(std::round(seconds * stepsPerSecond_), 0.0, Most));
    };
    slider_->setRange(0, steps(duration));
    slider_->setValue(steps(current));
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
    movie_->setCurrentTime(MovieTime{position, stepsPerSecond_, MovieTime::NoFlags});
}

} // namespace tetrapan
