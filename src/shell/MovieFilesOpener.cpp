#include "shell/MovieFilesOpener.h"

#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"

namespace tetrapan {

MovieFilesOpener::MovieFilesOpener(MovController& coordinator, Scheduler& scheduler, DialogPresenter& dialogs)
    : movController_(coordinator), scheduler_(scheduler), dialogs_(dialogs)
{
    static_assert(MaxFiles == MovController::PaneCount);
    connect(&movController_, &MovController::allMovieViewsChanged, this, [this] {
        if (hasPendingFiles())
            schedulePlacing();
    });
}

MovieFilesOpener::~MovieFilesOpener()
{
    scheduler_.cancel(placeTask_);
}

void MovieFilesOpener::openFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    pending_.append(paths);
    schedulePlacing();
}

void MovieFilesOpener::schedulePlacing()
{
    if (scheduler_.isPending(placeTask_))
        return;
    placeTask_ = scheduler_.scheduleAfter(PlaceDelay, [this] {
        placeTask_ = Scheduler::NoTask;
        placePendingFiles();
    });
}

void MovieFilesOpener::placePendingFiles()
{
    // the coordinator's load ends in allMovieViewsChanged, which brings the files back here
    // One request at a time: while an alert of one waits for the user, the next may arrive; it waits its
    // turn in the list this loop works through.
    if (placing_ || movController_.hasPendingLoad())
        return;
    placing_ = true;
    while (!pending_.isEmpty() && !movController_.hasPendingLoad()) {
        const QStringList paths = pending_.takeFirst();
        place(paths);
        Q_EMIT filesOpened(paths);
    }
    placing_ = false;
}

void MovieFilesOpener::place(const QStringList& paths)
{
    if (paths.size() > MaxFiles) {
        dialogExtension::displayMessage(dialogs_, dialogExtension::FiveOrMoreFilesAdded);
        return;
    }
    QTMovieSubView* first = movController_.qtView(1);
    if (!first || !first->playlistForPlacing())
        return;
    for (int viewNo = 1; viewNo <= paths.size(); ++viewNo) {
        QTMovieSubView* pane = movController_.qtView(viewNo);
        const QString given = paths.at(viewNo - 1);
        const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(given);
        const QString path = resolved.isNull() ? given : resolved;
        // as with a drop, a pane that already shows the file keeps it as it is
        if (!pane || (!path.isEmpty() && path == pane->filePath()))
            continue;
        pane->createMovieFrame(path);
    }
}

} // namespace tetrapan
