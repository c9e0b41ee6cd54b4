#include "panes/TimeForm.h"

#include <QDateTime>

#include "platform/SettingsDomain.h"
#include "platform/userDefaultsExtension.h"

#include <QRegularExpression>

#include <cmath>

namespace tetrapan {

bool TimeForm::showsFrames(const SettingsDomain& settings)
{
    return userDefaultsExtension::defaultBoolValue(settings, QLatin1String(OptShowsFrames));
}

void TimeForm::switchForm(SettingsDomain& settings)
{
    userDefaultsExtension::setDefaultBoolValue(settings, !showsFrames(settings),
                                               QLatin1String(OptShowsFrames));
}

QString TimeForm::clockText(double seconds)
{
    const qint64 ms = std::isfinite(seconds) && seconds > 0.0 ? std::llround(seconds * 1000.0) : 0;
    return QString::asprintf("%lld:%02lld:%02lld.%03lld", ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60,
                             ms % 1000);
}

std::optional<double> TimeForm::secondsOf(const QString& text)
{
    // hours and minutes are whole, the last field may have a fraction; each field after the first below 60
    static const QRegularExpression form(QStringLiteral("^(?:(?:(\\d+):)?(\\d+):)?(\\d+(?:\\.\\d*)?)$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const double hours = match.captured(1).toDouble();
    const double minutes = match.captured(2).toDouble();
    const double seconds = match.captured(3).toDouble();
    if ((match.hasCaptured(2) && seconds >= 60) || (match.hasCaptured(1) && minutes >= 60))
        return std::nullopt;
    // four hundred digits make infinity, and twenty more than milliseconds can count
    const double total = hours * 3600 + minutes * 60 + seconds;
    return total <= MaxSeconds ? std::optional(total) : std::nullopt;
}

QString TimeForm::text(double currentSeconds, double durationSeconds, double framesPerSecond, bool frames)
{
    if (frames && framesPerSecond > 0.0 && std::isfinite(framesPerSecond)) {
        // a frame's time is its own start, so the nearest frame start is the frame on show
        const auto frame = [framesPerSecond](double seconds) {
            return std::isfinite(seconds) && seconds > 0.0 ? std::llround(seconds * framesPerSecond) : 0LL;
        };
        return QStringLiteral("frame %1 / %2").arg(frame(currentSeconds)).arg(frame(durationSeconds));
    }
    return clockText(currentSeconds) + QStringLiteral(" / ") + clockText(durationSeconds);
}

QString TimeForm::wallClockText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString TimeForm::offsetText(qint64 offsetMs)
{
    const qint64 size = offsetMs < 0 ? -offsetMs : offsetMs;
    return QString::asprintf("%c%lld.%03lld s", offsetMs < 0 ? '-' : '+', size / 1000, size % 1000);
}

} // namespace tetrapan
