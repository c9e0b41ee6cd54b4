#include "FakeMovieEngine.h"

#include "FakeMovieView.h"

namespace tetrapan::test {

bool FakeMovieEngine::canInitWithFile(const QString& path) const
{
    return !path.isEmpty() && !refusedPaths.contains(path);
}

MovieOpenResult FakeMovieEngine::movieWithFile(const QString& path)
{
    MovieOpenResult result;
    if (!canInitWithFile(path) || failingPaths.contains(path)) {
        result.error = QStringLiteral("%1: refused").arg(path);
        return result;
    }
    auto movie = std::make_unique<FakeMovie>(path, durations.value(path, DefaultDuration), titles.value(path));
    relayNotifications(movie.get());
    opened_ << movie.get();
    result.movie = std::move(movie);
    return result;
}

MovieView* FakeMovieEngine::createMovieView(QWidget* parent)
{
    return new FakeMovieView(parent);
}

QList<FakeMovie*> FakeMovieEngine::openedMovies() const
{
    QList<FakeMovie*> movies;
    for (const QPointer<FakeMovie>& movie : opened_) {
        if (movie)
            movies << movie.data();
    }
    return movies;
}

FakeMovie* FakeMovieEngine::lastOpened() const
{
    const QList<FakeMovie*> movies = openedMovies();
    return movies.isEmpty() ? nullptr : movies.last();
}

} // namespace tetrapan::test
