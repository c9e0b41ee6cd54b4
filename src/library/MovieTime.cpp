#include "library/MovieTime.h"

#include <cmath>
#include <limits>

namespace tetrapan {

MovieTime MovieTime::fromSeconds(double seconds, qint32 scale)
{
    if (scale <= 0 || !std::isfinite(seconds))
        return MovieTime{0, scale, NoFlags};
    // beyond what the ticks hold, rounding has no result: the nearest end instead
    const double ticks = seconds * scale;
    constexpr double Largest = 9.2e18; // below 2^63, as a double
    if (ticks >= Largest)
        return MovieTime{std::numeric_limits<qint64>::max(), scale, NoFlags};
    if (ticks <= -Largest)
        return MovieTime{std::numeric_limits<qint64>::min(), scale, NoFlags};
    return MovieTime{static_cast<qint64>(std::llround(ticks)), scale, NoFlags};
}

double MovieTime::seconds() const
{
    if (!isValid())
        return 0.0;
    return static_cast<double>(value) / static_cast<double>(scale);
}

int compareMovieTime(const MovieTime& a, const MovieTime& b)
{
    const bool aIndefinite = a.flags & MovieTime::Indefinite;
    const bool bIndefinite = b.flags & MovieTime::Indefinite;
    if (aIndefinite || bIndefinite)
        return aIndefinite == bIndefinite ? 0 : (aIndefinite ? 1 : -1);

    // Cross-multiplying avoids dividing (and rounding) at all; 128 bits hold any 64 x 32 bit product.
    const __int128 aValue = a.scale > 0 ? a.value : 0;
    const __int128 bValue = b.scale > 0 ? b.value : 0;
    const __int128 aScale = a.scale > 0 ? a.scale : 1;
    const __int128 bScale = b.scale > 0 ? b.scale : 1;
    const __int128 left = aValue * bScale;
    const __int128 right = bValue * aScale;
    return left < right ? -1 : (left > right ? 1 : 0);
}

} // namespace tetrapan
