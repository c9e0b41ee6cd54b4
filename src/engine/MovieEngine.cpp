#include "engine/MovieEngine.h"

#include "library/Movie.h"

namespace tetrapan {

quint64 MovieEngine::openRecording(const Recording& recording, MovieOpened done)
{
    Q_UNUSED(recording);
    done(MovieOpenResult{nullptr, tr("This movie engine cannot play recordings made of several files.")});
    return 0;
}

void MovieEngine::relayNotifications(Movie* movie)
{
    connect(movie, &Movie::didEnd, this, &MovieEngine::movieDidEnd);
    connect(movie, &Movie::rateDidChange, this, &MovieEngine::movieRateDidChange);
}

} // namespace tetrapan
