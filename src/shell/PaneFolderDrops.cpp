#include "shell/PaneFolderDrops.h"

#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "library/fileAttributeExtension.h"
#include "panes/MoviePaneInput.h"
#include "panes/PanePlacing.h"
#include "panes/QTMovieSubView.h"
#include "panes/fileDrag.h"
#include "recording/RecordingLister.h"
#include "shell/cameraChoice.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMimeData>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace tetrapan {

namespace {

// The playlist the pane's movies are placed in, as the library's selection stands.
ObjectId playlistOf(QTMovieSubView& pane)
{
    TBArrayController* library = pane.tbArrayController();
    return library ? library->getSelectedObject(LibrarySchema::Playlist) : ObjectId{};
}

} // namespace

PaneFolderDrops::PaneFolderDrops(MovieFilesOpener& opener, Scheduler& scheduler)
    : opener_(opener), scheduler_(scheduler)
{
}

PaneFolderDrops::~PaneFolderDrops()
{
    for (Scheduler::TaskId id : std::as_const(pending_))
        scheduler_.cancel(id);
}

void PaneFolderDrops::takeDropsOn(QTMovieSubView& pane)
{
    pane.installEventFilter(this);
}

bool PaneFolderDrops::eventFilter(QObject* watched, QEvent* event)
{
    auto* pane = qobject_cast<QTMovieSubView*>(watched);
    if (!pane || event->type() != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    // several files, a remote one or a movie file: the pane's own input answers as it always has
    if (!data || !data->hasFormat(QLatin1String(fileDrag::FileNamesType)) || data->urls().size() != 1)
        return false;
    const QStringList local = fileDrag::localFiles(*data);
    if (local.isEmpty())
        return false;
    const QString resolved = fileAttributeExtension::resolveAliasFileWithPath(local.front());
    const QString folder = resolved.isNull() ? local.front() : resolved;
    if (!QFileInfo(folder).isDir() || folder == pane->filePath())
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    // as a dropped file is placed: once the drag is over, so no menu or alert opens inside it
    const QPoint at = pane->mapToGlobal(drop->position().toPoint());
    auto id = std::make_shared<Scheduler::TaskId>(Scheduler::NoTask);
    *id = scheduler_.scheduleAfter(MoviePaneInput::PlaceDroppedFileDelay,
                                   [this, id, pane = QPointer<QTMovieSubView>(pane), folder, at] {
                                       pending_.removeOne(*id);
                                       listCameras(pane, folder, at);
                                   });
    pending_.append(*id);
    return true;
}

void PaneFolderDrops::listCameras(QTMovieSubView* pane, const QString& folder, QPoint at)
{
    if (!pane)
        return;
    // A folder on a slow share may take a while to list: one whose playlist was left meanwhile is not placed
    // in the playlist chosen since, where other movies now play.
    const ObjectId playlist = playlistOf(*pane);
    auto* found = new QFutureWatcher<cameraChoice::Cameras>(this);
    connect(found, &QFutureWatcherBase::finished, this,
            [this, found, pane = QPointer(pane), folder, at, playlist] {
                found->deleteLater();
                if (!pane || playlistOf(*pane) != playlist)
                    return;
                const cameraChoice::Cameras cameras = found->result();
                // one camera, or none: nothing to choose, and a folder without movies is refused as it always
                // was
                if (cameras.size() < 2)
                    return pane->placing().createMovieFrame(folder);
                // a pane with no playlist to take the camera says so before anything is asked
                if (!pane->placing().playlistForPlacing())
                    return;
                const cameraChoice::Answer answer =
                    cameraChoice::ask(folder, cameras, pane->viewNo(), at, pane);
                // the menu's loop may have seen the pane go
                if (!pane)
                    return;
                if (answer.cameraFolderDialog)
                    cameraChoice::openInPanes(opener_, folder, cameras, pane->window());
                else if (!answer.locator.isEmpty() && answer.locator != pane->filePath())
                    pane->placing().createMovieFrame(answer.locator);
            });
    found->setFuture(QtConcurrent::run([folder] { return RecordingLister::camerasIn(folder); }));
}

} // namespace tetrapan
