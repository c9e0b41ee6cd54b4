#include "panes/PlaybackSpeed.h"

#include "library/Movie.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace tetrapan {

PlaybackSpeed::PlaybackSpeed(SettingsDomain& settings, MovController& panes, SyncLock& lock, QObject* parent)
    : QObject(parent), settings_(settings), panes_(panes), lock_(lock), speed_(storedSpeed(settings))
{
    connect(&settings, &SettingsDomain::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String(OptPlaySpeed))
            follow();
    });
}

double PlaybackSpeed::storedSpeed(const SettingsDomain& settings)
{
    return nearestStep(userDefaultsExtension::defaultFloatValue(settings, QLatin1String(OptPlaySpeed)));
}

double PlaybackSpeed::nearestStep(double speed)
{
    if (!(speed > 0.0) || !std::isfinite(speed))
        return 1.0;
    return *std::min_element(Steps.cbegin(), Steps.cend(), [speed](double a, double b) {
        return std::abs(std::log(a / speed)) < std::abs(std::log(b / speed));
    });
}

double PlaybackSpeed::nextStep(double speed, bool faster)
{
    if (faster) {
        const auto next = std::upper_bound(Steps.cbegin(), Steps.cend(), speed);
        return next == Steps.cend() ? Steps.back() : *next;
    }
    const auto next = std::lower_bound(Steps.cbegin(), Steps.cend(), speed);
    return next == Steps.cbegin() ? Steps.front() : *(next - 1);
}

QString PlaybackSpeed::text(double speed)
{
    return speed == 1.0 ? QString() : QString::number(speed, 'g', 3) + QChar(0x00D7);
}

void PlaybackSpeed::slower()
{
    store(nextStep(speed_, false));
}

void PlaybackSpeed::faster()
{
    store(nextStep(speed_, true));
}

void PlaybackSpeed::normal()
{
    store(1.0);
}

void PlaybackSpeed::store(double speed)
{
    userDefaultsExtension::setDefaultFloatValue(settings_, static_cast<float>(speed),
                                                QLatin1String(OptPlaySpeed));
}

void PlaybackSpeed::follow()
{
    const double speed = storedSpeed(settings_);
    if (speed == speed_)
        return;
    speed_ = speed;
    // Each player takes the new speed when its own thread gets round to it, as each starts when told: the
    // panes playing are held to move on together from where they stood, as after a joint start.
    lock_.adoptSpeed();
    std::array<std::optional<double>, MovController::PaneCount> clocks;
    int playing = 0;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        const QTMovieSubView* pane = panes_.qtView(n);
        if (pane && pane->movie() && pane->isPlayable() && pane->isPlaying()) {
            clocks[n - 1] = pane->movie()->clockSeconds();
            ++playing;
        }
    }
    applySpeeds();
    if (!lock_.isEnabled() && playing > 1)
        lock_.holdStart(clocks);
    Q_EMIT speedChanged(speed);
}

double PlaybackSpeed::rateOf(const QTMovieSubView* pane)
{
    return pane->movController() ? pane->movController()->offsets().rate(pane->viewNo()) : 1.0;
}

void PlaybackSpeed::applySpeeds()
{
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        if (const QTMovieSubView* pane = panes_.qtView(n); pane && pane->movie()) {
            ratedMovies_[n - 1] = pane->movie();
            appliedRates_[n - 1] = rateOf(pane);
            pane->movie()->setSpeed(speed_ * appliedRates_[n - 1]);
        }
    }
}

void PlaybackSpeed::followRates()
{
    // A movie loaded since took its rate as it opened: the entry's, which a file placed in the pane clears
    // once it opened. Only a rate changed under a movie changes its speed, which ends the lock's nudges, so
    // the others are left alone.
    bool changed = false;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        const QTMovieSubView* pane = panes_.qtView(n);
        Movie* movie = pane ? pane->movie() : nullptr;
        const double rate = pane ? rateOf(pane) : 1.0;
        const double applied =
            movie && movie != ratedMovies_[n - 1] ? pane->rateOpenedAt() : appliedRates_[n - 1];
        changed = changed || (movie && rate != applied);
        ratedMovies_[n - 1] = movie;
        appliedRates_[n - 1] = rate;
    }
    if (!changed)
        return;
    lock_.adoptSpeed();
    applySpeeds();
}

} // namespace tetrapan
