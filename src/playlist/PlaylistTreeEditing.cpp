#include "playlist/PlaylistTreeEditing.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "library/dialogExtension.h"
#include "platform/DialogPresenter.h"
#include "platform/ObjectContext.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/UndoStep.h"

namespace tetrapan {

PlaylistTreeEditing::~PlaylistTreeEditing()
{
    scheduler_.cancel(selectAfterRemoveTask_);
}

ObjectId PlaylistTreeEditing::addNode(bool folder)
{
    return addNode(folder, QString());
}

ObjectId PlaylistTreeEditing::addNamedPlaylist(const QString& title)
{
    return addNode(false, title);
}

ObjectId PlaylistTreeEditing::addNode(bool folder, const QString& title)
{
    if (!view_.playlistTreeController)
        return NoObject;
    const int row = view_.selectedRow();
    const ObjectId reference = row >= 0 ? view_.itemAtRow(row) : NoObject;
    ObjectId node = NoObject;
    {
        // the new row is chosen within the step, so that its redo chooses it again
        UndoStep step(view_.context(),
                      folder ? QStringLiteral("Add Folder") : QStringLiteral("Add Playlist"));
        node = folder ? view_.createDirectory() : view_.createFile();
        view_.addItemToParent(reference, node, true);
        if (!title.isEmpty()) {
            const ObjectId parent = view_.context().relatedObject(node, LibrarySchema::Parent);
            view_.context().setValue(node, LibrarySchema::Title,
                                     LibraryRules::uniqueTitle(view_.context(), parent, title, node));
        }
        view_.playlistTreeController->rearrangeObjects();
        if (view_.isFolder(reference))
            view_.expandRecursively(view_.indexOfItem(reference));
        view_.selectRowOfItem(node);
    }
    if (title.isEmpty())
        view_.editSelectedRow();
    view_.setFilelistPredicateWithPlaylist(false);
    return node;
}

void PlaylistTreeEditing::removeItem()
{
    const int row = view_.selectedRow();
    if (row < 0 || !view_.playlistTreeController)
        return;
    const ObjectId node = view_.itemAtRow(row);
    const dialogExtension::AlertText& alert =
        view_.isFolder(node) ? dialogExtension::DeleteFolder : dialogExtension::DeletePlaylist;
    const int answer = dialogExtension::displayMessage(dialogs_, alert);
    // whichever button answered the alert, the keys go on moving through the playlists
    view_.setFocus(Qt::OtherFocusReason);
    if (answer != DialogPresenter::FirstButton)
        return;
    {
        UndoStep step(view_.context(), view_.isFolder(node) ? QStringLiteral("Delete Folder")
                                                            : QStringLiteral("Delete Playlist"));
        view_.removeTreeItems(node);
    }
    view_.playlistTreeController->rearrangeObjects();
    scheduler_.cancel(selectAfterRemoveTask_);
    selectAfterRemoveTask_ = scheduler_.scheduleAfter(PlaylistOutlineView::SelectAfterRemoveDelay, [this] {
        selectAfterRemoveTask_ = Scheduler::NoTask;
        view_.selectClickedRow();
    });
}

} // namespace tetrapan
