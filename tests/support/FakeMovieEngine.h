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

    bool canInitWithFile(const QString& path) const override;
    MovieOpenResult movieWithFile(const QString& path) override;
    MovieView* createMovieView(QWidget* parent) override;

    // Every movie opened so far that still exists, oldest first.
    QList<FakeMovie*> openedMovies() const;
    FakeMovie* lastOpened() const;

    static constexpr MovieTime DefaultDuration{60 * 600, 600, MovieTime::NoFlags};

private:
    QList<QPointer<FakeMovie>> opened_;
};

} // namespace tetrapan::test
