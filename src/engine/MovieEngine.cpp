#include "engine/MovieEngine.h"

#include "library/Movie.h"

namespace tetrapan {

void MovieEngine::relayNotifications(Movie* movie)
{
    connect(movie, &Movie::didEnd, this, &MovieEngine::movieDidEnd);
    connect(movie, &Movie::rateDidChange, this, &MovieEngine::movieRateDidChange);
}

} // namespace tetrapan
