#pragma once

#include <QtGlobal>

namespace tetrapan {

// A point or span on a movie's time line: value / scale seconds. Times of different scales compare by the
// instant they stand for. A scale of 0 (or below) carries no unit, so such a time stands for no instant and
// is never divided by.
struct MovieTime {
    enum Flag : quint32 { NoFlags = 0, Indefinite = 1 };

    qint64 value = 0;
    qint32 scale = 0;
    quint32 flags = NoFlags;

    // Seconds rounded to the nearest tick of the given scale.
    static MovieTime fromSeconds(double seconds, qint32 scale = DefaultScale);
    static MovieTime zero(qint32 scale = DefaultScale) { return MovieTime{0, scale, NoFlags}; }

    bool isValid() const { return scale > 0 && !(flags & Indefinite); }
    // 0.0 for a time that is not valid.
    double seconds() const;

    // 90 kHz: the common frame rates (24, 25, 30, 50, 60 and 30000/1001) fall on whole ticks.
    static constexpr qint32 DefaultScale = 90000;
};

// -1, 0 or 1 like strcmp. An indefinite time is later than every definite one; a time without a scale counts
// as the instant 0, whatever its value.
int compareMovieTime(const MovieTime& a, const MovieTime& b);

inline bool operator==(const MovieTime& a, const MovieTime& b) { return compareMovieTime(a, b) == 0; }
inline bool operator<(const MovieTime& a, const MovieTime& b) { return compareMovieTime(a, b) < 0; }
inline bool operator>(const MovieTime& a, const MovieTime& b) { return compareMovieTime(a, b) > 0; }
inline bool operator<=(const MovieTime& a, const MovieTime& b) { return compareMovieTime(a, b) <= 0; }
inline bool operator>=(const MovieTime& a, const MovieTime& b) { return compareMovieTime(a, b) >= 0; }

} // namespace tetrapan
