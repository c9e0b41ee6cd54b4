#include "shell/MovieFilesOpener.h"

#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "library/dialogExtension.h"
#include "library/fileAttributeExtension.h"
#include "panes/MovController.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/UndoStep.h"

#include <QFileInfo>

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
    TBArrayController* library = movController_.tbArrayController();
    if (!library)
        return;
    if (!library->isPlaylistSelected() && !playlistTree_) {
        // without the tree to make a playlist in, the panes' alert says what is missing
        if (QTMovieSubView* first = movController_.qtView(1))
            first->playlistForPlacing();
        return;
    }
    ObjectContext& context = *library->getManagedObjectContext(LibrarySchema::Playlist);
    QStringList problems;
    {
        // Opening, the new playlist it may need and its entries are one step for Edit > Undo.
        UndoStep step(context, QStringLiteral("Open Movies"));
        if (!library->isPlaylistSelected()) {
            playlistTree_->addPlaylistNamed(playlistTitleFor(paths));
            // the new playlist is empty: its load empties the panes now, not after the files are in
            movController_.loadPendingPlaylist();
        }
        const QList<ObjectId> chosen = library->getSelectedObjects(LibrarySchema::Playlist);
        if (!chosen.isEmpty())
            problems = placeInPanes(paths, context.value(chosen.front(), LibrarySchema::UniqueId).toString());
    }
    if (!problems.isEmpty())
        dialogExtension::displayMessage(dialogs_, dialogExtension::CanNotCreateMovie,
                                        problems.join(QLatin1Char('\n')));
}

QStringList MovieFilesOpener::placeInPanes(const QStringList& paths, const QString& uniqueId)
{
    QStringList problems;
    for (int viewNo = 1; viewNo <= paths.size(); ++viewNo) {
        QTMovieSubView* pane = movController_.qtView(viewNo);
        const QString given = paths.at(viewNo - 1);
        const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(given);
        const QString path = resolved.isNull() ? given : resolved;
        // as with a drop, a pane that already shows the file keeps it as it is
        if (!pane || (!path.isEmpty() && path == pane->filePath()))
            continue;
        const QString problem = pane->placeMovieFile(path, uniqueId);
        if (problem.isEmpty())
            continue;
        // what the pane showed before is not what was asked for
        problems.append(problem);
        movController_.tbArrayController()->removeFilelist(viewNo, uniqueId);
        pane->clearMovieView();
    }
    return problems;
}

QStringList MovieFilesOpener::movieMimeTypes()
{
    return {
        QStringLiteral("video/mp4"),       QStringLiteral("video/x-matroska"),
        QStringLiteral("video/webm"),      QStringLiteral("video/quicktime"),
        QStringLiteral("video/x-msvideo"), QStringLiteral("video/mpeg"),
        QStringLiteral("video/ogg"),       QStringLiteral("video/x-ogm+ogg"),
        QStringLiteral("video/x-flv"),     QStringLiteral("video/3gpp"),
        QStringLiteral("video/3gpp2"),     QStringLiteral("video/mp2t"),
        QStringLiteral("video/x-ms-wmv"),  QStringLiteral("application/vnd.ms-asf"),
        QStringLiteral("video/dv"),        QStringLiteral("video/x-theora+ogg"),
    };
}

QString MovieFilesOpener::playlistTitleFor(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).completeBaseName();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("New Playlist");
}

} // namespace tetrapan
