#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// the signals' Movie* is a type Qt knows (for queued connections and signal spies) only where Movie is
// complete
Q_MOC_INCLUDE("library/Movie.h")

class QWidget;

namespace tetrapan {

class Movie;
class MovieView;

struct MovieOpenResult {
    std::unique_ptr<Movie> movie; // null when the file was refused
    QString error;                // why, when refused
};

// Opens movies and makes the views they are drawn on. It also relays every movie's end and rate changes, so
// a subscriber hears of all movies of the application, whichever view shows them.
class MovieEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~MovieEngine() override = default;

    // A cheap look at the path: false for what can never be a movie (missing, a folder, empty, unreadable).
    virtual bool canInitWithFile(const QString& path) const = 0;
    // Blocks until the file is open or refused.
    virtual MovieOpenResult movieWithFile(const QString& path) = 0;
    virtual MovieView* createMovieView(QWidget* parent) = 0;

    // Starts loading files that are about to be opened one after another (the four panes of a playlist),
    // so their loads overlap; movieWithFile then picks a prepared file up. What is not picked up is let go
    // by discardPreparedMovies. An engine may prepare nothing.
    virtual void prepareMovies(const QStringList& paths) { Q_UNUSED(paths); }
    virtual void discardPreparedMovies() {}

Q_SIGNALS:
    void movieDidEnd(tetrapan::Movie* movie);
    void movieRateDidChange(tetrapan::Movie* movie);

protected:
    // Every movie an engine hands out goes through here, so its notifications reach the engine's subscribers.
    void relayNotifications(Movie* movie);
};

} // namespace tetrapan
