#pragma once

#include "FakeMovie.h"

#include "engine/MovieEngine.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>

namespace tetrapan::test {

// Opens any path as a FakeMovie of one minute (scale 600) unless told otherwise.
class FakeMovieEngine final : public MovieEngine {
    Q_OBJECT
public:
    using MovieEngine::MovieEngine;

    // Paths canInitWithFile refuses, and paths it accepts but opening then fails for.
    QSet<QString> refusedPaths;
    QSet<QString> failingPaths;
    QHash<QString, MovieTime> durations;
    QHash<QString, QString> titles;

    // While set, opens wait until finishOpens; otherwise they are answered before openMovie returns.
    bool holdOpens = false;

    bool canInitWithFile(const QString& path) const override;
    quint64 openMovie(const QString& path, MovieOpened done) override;
    // A recording opens as a FakeMovie of its length on the wall clock, named by its folder (or first chosen
    // file), at once.
    quint64 openRecording(const Recording& recording, MovieOpened done) override;
    QList<Recording> openedRecordings;
    void cancelOpening(quint64 opening) override;
    MovieView* createMovieView(QWidget* parent) override;
    // Answers the held opens (of this path only, when given), oldest first.
    void finishOpens(const QString& path = {});
    // The paths of the held opens not answered nor cancelled yet.
    QStringList heldPaths() const;

    // Every movie opened so far that still exists, oldest first.
    QList<FakeMovie*> openedMovies() const;
    FakeMovie* lastOpened() const;

    static constexpr MovieTime DefaultDuration{60 * 600, 600, MovieTime::NoFlags};

private:
    MovieOpenResult open(const QString& path);

    struct Held {
        quint64 id;
        QString path;
        MovieOpened done;
    };
    QList<QPointer<FakeMovie>> opened_;
    QList<Held> held_;
    quint64 lastOpening_ = 0;
};

} // namespace tetrapan::test
