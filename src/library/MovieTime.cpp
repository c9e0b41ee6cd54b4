#include "library/MovieTime.h"

#include <cmath>

namespace tetrapan {

MovieTime MovieTime::fromSeconds(double seconds, qint32 scale)
{
    if (scale <= 0 || !std::isfinite(seconds))
        return MovieTime{0, scale, NoFlags};
    return MovieTime{static_cast<qint64>(std::llround(seconds * scale)), scale, NoFlags};
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
