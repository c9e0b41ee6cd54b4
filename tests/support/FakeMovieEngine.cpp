#include "FakeMovieEngine.h"

#include "FakeMovieView.h"

#include "platform/fileNames.h"

namespace tetrapan::test {

bool FakeMovieEngine::canInitWithFile(const QString& path) const
{
    return !path.isEmpty() && !refusedPaths.contains(path);
}

quint64 FakeMovieEngine::openMovie(const QString& path, MovieOpened done)
{
    const quint64 id = ++lastOpening_;
    // as the real engine: a folder is the pane's to list (answered at once, also while opens are held)
    if (!path.isEmpty() && fileNames::facts(path).isFolder) {
        MovieOpenResult folder;
        folder.error = QStringLiteral("%1: a folder").arg(path);
        folder.isFolder = true;
        done(std::move(folder));
    } else if (holdOpens)
        held_.append({id, path, std::move(done)});
    else
        done(open(path));
    return id;
}

quint64 FakeMovieEngine::openRecording(const Recording& recording, MovieOpened done)
{
    openedRecordings.append(recording);
    const QString name = recording.folder.isEmpty() ? recording.chosenFiles.value(0) : recording.folder;
    durations.insert(name, MovieTime{recording.lengthMs(), 1000, MovieTime::NoFlags});
    MovieOpenResult result = open(name);
    if (auto* movie = static_cast<FakeMovie*>(result.movie.get()))
        movie->playsRecording = recording;
    done(std::move(result));
    return ++lastOpening_;
}

void FakeMovieEngine::cancelOpening(quint64 opening)
{
    held_.removeIf([opening](const Held& held) { return held.id == opening; });
}

void FakeMovieEngine::finishOpens(const QString& path)
{
    for (qsizetype i = 0; i < held_.size();) {
        if (!path.isEmpty() && held_[i].path != path) {
            ++i;
            continue;
        }
        Held held = held_.takeAt(i);
        held.done(open(held.path));
    }
}

QStringList FakeMovieEngine::heldPaths() const
{
    QStringList paths;
    for (const Held& held : held_)
        paths << held.path;
    return paths;
}

MovieOpenResult FakeMovieEngine::open(const QString& path)
{
    MovieOpenResult result;
    if (!canInitWithFile(path) || failingPaths.contains(path)) {
        result.error = QStringLiteral("%1: refused").arg(path);
        return result;
    }
    auto movie =
        std::make_unique<FakeMovie>(path, durations.value(path, DefaultDuration), titles.value(path));
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
