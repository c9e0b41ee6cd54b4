#include "engine/MpvPositionReports.h"

#include "engine/MpvNames.h"
#include "engine/MpvProperties.h"

#include <mpv/client.h>

#include <algorithm>

namespace tetrapan {

MpvPositionReports::Report MpvPositionReports::reading(int format, const void* data) const
{
    if (format == MPV_FORMAT_NONE)
        return {.unavailable = true};
    if (format != MPV_FORMAT_DOUBLE)
        return {};
    return {*static_cast<const double*>(data), reportClock_.nsecsElapsed(), true};
}

void MpvPositionReports::forget()
{
    // mpv reports a property again only when it changes: one it said is unavailable stays so
    timePos_ = {.unavailable = timePos_.unavailable};
    audioPts_ = {.unavailable = audioPts_.unavailable};
}

double MpvPositionReports::timePosSeconds(mpv_handle* handle) const
{
    if (timePos_.known)
        return timePos_.seconds;
    return doubleProperty(handle, mpvname::TimePos).value_or(0.0);
}

std::optional<double> MpvPositionReports::carriedAudioSeconds(double speed) const
{
    if (!audioPts_.known)
        return std::nullopt;
    constexpr qint64 MaxCarryNs = 100'000'000;
    const qint64 since = std::min(reportClock_.nsecsElapsed() - audioPts_.atNs, MaxCarryNs);
    return audioPts_.seconds + since / 1e9 * speed;
}

} // namespace tetrapan
