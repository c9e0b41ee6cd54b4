#include "panes/PaneEntryFollower.h"

#include "library/LibrarySchema.h"
#include "library/Movie.h"
#include "library/RecordingSource.h"
#include "library/MovieTime.h"
#include "library/TBArrayController.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"

#include <algorithm>

namespace tetrapan {

PaneEntryFollower::PaneEntryFollower(MovController& coordinator, Scheduler& scheduler)
    : coordinator_(coordinator), scheduler_(scheduler)
{
}

PaneEntryFollower::~PaneEntryFollower()
{
    QObject::disconnect(connection_);
    scheduler_.cancel(task_);
}

void PaneEntryFollower::follow(ObjectContext* context)
{
    QObject::disconnect(connection_);
    if (context)
        connection_ = QObject::connect(context, &ObjectContext::changed, [this] { libraryChanged(); });
}

PaneEntryFollower::Paths PaneEntryFollower::entryPaths(TBArrayController* controller)
{
    Paths paths;
    if (!controller)
        return paths;
    const QList<ObjectId> entries = controller->getArrangedObjects(LibrarySchema::Filelist);
    const ObjectContext* context = controller->getManagedObjectContext(LibrarySchema::Filelist);
    for (int n = 1; n <= PaneCount; ++n) {
        const auto entry = std::find_if(entries.cbegin(), entries.cend(), [&](ObjectId id) {
            return context->value(id, LibrarySchema::ViewNo).toInt() == n;
        });
        if (entry != entries.cend())
            paths[n - 1] = RecordingSource::ofEntry(*context, *entry);
    }
    return paths;
}

void PaneEntryFollower::libraryChanged()
{
    if (scheduler_.isPending(task_))
        return;
    // The first change of a turn comes before the command that made it acts on its pane (Remove deletes the
    // entry, then empties the pane), so this is still the moment the user saw.
    for (int n = 1; n <= PaneCount; ++n) {
        const QTMovieSubView* pane = coordinator_.qtView(n);
        const Movie* movie = pane ? pane->movie() : nullptr;
        before_[n - 1] = movie ? Shown{pane->filePath(), movie->positionSeconds()} : Shown{};
    }
    task_ = scheduler_.scheduleAfter(std::chrono::milliseconds{0}, [this] {
        task_ = Scheduler::NoTask;
        followEntries();
    });
}

void PaneEntryFollower::followEntries()
{
    coordinator_.refreshWindowTitles();
    // a playlist about to load brings every pane up to date itself
    if (!loaded_ || coordinator_.hasPendingLoad())
        return;
    const Paths wanted = entryPaths(coordinator_.tbArrayController());
    for (int n = 1; n <= PaneCount; ++n) {
        QTMovieSubView* pane = coordinator_.qtView(n);
        const QString& path = wanted[n - 1];
        if (!pane || path == applied_[n - 1])
            continue;
        applied_[n - 1] = path;
        const Shown& before = before_[n - 1];
        if (!before.path.isEmpty() && before.path != path)
            letGo_[n - 1] = before;
        // a pane that placed the file itself already shows it
        if (path == pane->filePath())
            continue;
        if (path.isEmpty()) {
            pane->clearMovieView();
            continue;
        }
        const Shown earlier = letGo_[n - 1];
        pane->updateMovieView(path, [pane, earlier, path](QTMovieSubView::OpenOutcome outcome, const QString&) {
            if (outcome == QTMovieSubView::OpenOutcome::Opened && pane->movie() && earlier.path == path &&
                earlier.seconds > 0)
                pane->movie()->setCurrentTime(MovieTime::fromSeconds(earlier.seconds));
        });
    }
}

} // namespace tetrapan
