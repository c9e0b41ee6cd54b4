#include "panes/PanePositions.h"

#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/RecordingSource.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Predicate.h"

#include <cmath>

namespace tetrapan {

static_assert(MovController::PaneCount == 4);

PanePositions::PanePositions(MovController& panes) : panes_(panes)
{
    // the panes still show the playlist left until the new one loads; one chosen again reloads to where its
    // panes stand now
    connect(&panes_, &MovController::uniqueIdChanged, this, [this] { keep(shown_); });
    connect(&panes_, &MovController::allMovieViewsChanged, this, &PanePositions::loaded);
}

void PanePositions::storeLastState()
{
    keep(shown_);
}

QVariant PanePositions::positionToKeep(const Movie& movie)
{
    const qint64 ms = std::llround(movie.positionSeconds() * 1000);
    const qint64 durationMs = std::llround(movie.duration().seconds() * 1000);
    if (ms <= 0 || ms >= durationMs)
        return {};
    return ms;
}

ObjectId PanePositions::shownEntry(const QString& uniqueId, int viewNo) const
{
    TBArrayController* library = panes_.tbArrayController();
    const QTMovieSubView* pane = panes_.qtView(viewNo);
    if (!library || uniqueId.isEmpty() || !pane || !pane->movie())
        return NoObject;
    // while another playlist loads, a movie its load did not give the pane may be that playlist's copy
    if (pane->movie() != shownMovies_[viewNo - 1] && panes_.isLoading())
        return NoObject;
    // the first in id order, as the panes are loaded
    const QList<ObjectId> entries = library->getObjectsWithPred(
        LibrarySchema::Filelist,
        Predicate::equals(LibrarySchema::UniqueId, uniqueId).andEquals(LibrarySchema::ViewNo, viewNo));
    if (entries.isEmpty())
        return NoObject;
    const ObjectContext* context = library->getManagedObjectContext(LibrarySchema::Filelist);
    return RecordingSource::ofEntry(*context, entries.front()) == pane->filePath()
               ? entries.front()
               : NoObject;
}

void PanePositions::keep(const QString& uniqueId)
{
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        const ObjectId entry = shownEntry(uniqueId, n);
        if (entry != NoObject)
            panes_.tbArrayController()
                ->getManagedObjectContext(LibrarySchema::Filelist)
                ->setValueUnrecorded(entry, LibrarySchema::Position,
                                     positionToKeep(*panes_.qtView(n)->movie()));
    }
}

void PanePositions::loaded()
{
    shown_ = panes_.uniqueId();
    for (int n = 1; n <= MovController::PaneCount; ++n)
        shownMovies_[n - 1] = panes_.qtView(n) ? panes_.qtView(n)->movie() : nullptr;
    bool placed = false;
    for (int n = 1; n <= MovController::PaneCount; ++n) {
        const ObjectId entry = shownEntry(shown_, n);
        if (entry == NoObject)
            continue;
        const qint64 ms = panes_.tbArrayController()
                              ->getManagedObjectContext(LibrarySchema::Filelist)
                              ->value(entry, LibrarySchema::Position)
                              .toLongLong();
        Movie& movie = *panes_.qtView(n)->movie();
        // a file changed since may be shorter now: it starts from the beginning
        if (ms <= 0 || ms >= std::llround(movie.duration().seconds() * 1000))
            continue;
        movie.setCurrentTime(MovieTime::fromSeconds(double(ms) / 1000));
        placed = true;
    }
    // they were left standing, and are found standing
    if (placed)
        panes_.cancelPendingResumes();
}

} // namespace tetrapan
