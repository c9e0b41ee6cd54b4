#pragma once

#include "library/Movie.h"
#include "library/Recording.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

namespace tetrapan {

class MovieView;

struct MovieOpenResult {
    std::unique_ptr<Movie> movie; // null when the file was refused
    QString error;                // why, when refused
    bool isFolder = false;        // refused as a folder, which may hold a recording
};

// Hears how an open ended, on the engine's thread.
using MovieOpened = std::function<void(MovieOpenResult)>;

// Opens movies and makes the views they are drawn on. It also relays every movie's end and rate changes, so
// a subscriber hears of all movies of the application, whichever view shows them.
class MovieEngine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~MovieEngine() override = default;

    // A cheap look at the path: false for what can never be a movie (missing, a folder, empty, unreadable).
    virtual bool canInitWithFile(const QString& path) const = 0;
    // Opens the file without waiting for it: done hears the movie, or why the file was refused, once it is
    // open or refused. An engine may answer before this returns (a fake does), so the caller is ready first.
    // Answers a number for cancelOpening.
    virtual quint64 openMovie(const QString& path, MovieOpened done) = 0;
    // The open's answer is not wanted any more: done is not called, and what it opened is let go of.
    virtual void cancelOpening(quint64 opening) { Q_UNUSED(opening); }
    // Opens a recording (its files already listed and placed) as one movie whose time 0 is the recording's
    // start on the wall clock, its gaps included; answered as openMovie is. An engine that cannot play
    // recordings refuses them.
    virtual quint64 openRecording(const Recording& recording, MovieOpened done);
    virtual MovieView* createMovieView(QWidget* parent) = 0;

    // Starts loading files that are about to be opened one after another (the four panes of a playlist),
    // so their loads overlap; openMovie then picks a prepared file up. What is not picked up is let go
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
