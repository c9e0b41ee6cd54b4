#include "shell/PaneFolderDrops.h"

#include "library/LibrarySchema.h"
#include "library/TBArrayController.h"
#include "panes/MoviePaneInput.h"
#include "panes/PanePlacing.h"
#include "panes/QTMovieSubView.h"
#include "panes/fileDrag.h"
#include "platform/fileLooks.h"
#include "shell/cameraChoice.h"

#include <QDropEvent>
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
    // several files or a remote one: the pane's own input answers as it always has
    if (!data || !data->hasFormat(QLatin1String(fileDrag::FileNamesType)) || data->urls().size() != 1)
        return false;
    const QStringList local = fileDrag::localFiles(*data);
    if (local.isEmpty())
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    // as a dropped file is placed: once the drag is over, so no menu or alert opens inside it
    const QPoint at = pane->mapToGlobal(drop->position().toPoint());
    auto id = std::make_shared<Scheduler::TaskId>(Scheduler::NoTask);
    *id = scheduler_.scheduleAfter(
        MoviePaneInput::PlaceDroppedFileDelay,
        [this, id, pane = QPointer<QTMovieSubView>(pane), dropped = local.front(), at] {
            pending_.removeOne(*id);
            lookAt(pane, dropped, at);
        });
    pending_.append(*id);
    return true;
}

void PaneFolderDrops::lookAt(QTMovieSubView* pane, const QString& dropped, QPoint at)
{
    if (!pane)
        return;
    // A look on a slow share may take a while: what was dropped on a playlist left meanwhile is not placed
    // in the playlist chosen since, where other movies now play.
    const ObjectId playlist = playlistOf(*pane);
    auto* looking = new QFutureWatcher<cameraChoice::Looked>(this);
    connect(looking, &QFutureWatcherBase::finished, this,
            [this, looking, pane = QPointer(pane), at, playlist] {
                looking->deleteLater();
                if (!pane || playlistOf(*pane) != playlist)
                    return;
                const cameraChoice::Looked looked = looking->result();
                // a pane that already shows it keeps it as it is
                if (looked.path == pane->filePath())
                    return;
                // a file, or a folder of one camera or none: nothing to choose; one without movies is refused
                // as it always was
                if (looked.cameras.size() < 2)
                    return pane->placing().createMovieFrame(looked.path);
                // a pane with no playlist to take the camera says so before anything is asked
                if (!pane->placing().playlistForPlacing())
                    return;
                const cameraChoice::Answer answer =
                    cameraChoice::ask(looked.path, looked.cameras, pane->viewNo(), at, pane);
                // the menu's loop may have seen the pane go
                if (!pane)
                    return;
                if (answer.cameraFolderDialog)
                    cameraChoice::openInPanes(opener_, looked.path, looked.cameras, pane->window());
                else if (!answer.locator.isEmpty() && answer.locator != pane->filePath())
                    pane->placing().createMovieFrame(answer.locator);
            });
    looking->setFuture(
        QtConcurrent::run(&fileLooks::pool(), [dropped] { return cameraChoice::look(dropped); }));
}

} // namespace tetrapan
