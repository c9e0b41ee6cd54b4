#include "playlist/PlaylistRowDrag.h"

#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "platform/ObjectContext.h"
#include "playlist/PlaylistOutlineView.h"
#include "playlist/PlaylistTreeRules.h"
#include "playlist/UndoStep.h"

#include <QMimeData>

#include <algorithm>

namespace tetrapan {

ObjectContext& PlaylistRowDrag::context() const
{
    return view_.playlistTreeController->managedObjectContext();
}

void PlaylistRowDrag::reset()
{
    dragOutItem_ = dragOutParentItem_ = dragOutSelectedItem_ = NoObject;
    dragOutSelected_ = false;
}

bool PlaylistRowDrag::writeItems(const QModelIndexList& items)
{
    if (items.isEmpty() || !view_.playlistTreeController)
        return false;
    dragOutItem_ = view_.playlistTreeController->objectAtIndex(items.first());
    dragOutParentItem_ = context().relatedObject(dragOutItem_, LibrarySchema::Parent);
    const int row = view_.selectedRow();
    dragOutSelected_ = row >= 0;
    dragOutSelectedItem_ = dragOutSelected_ ? view_.itemAtRow(row) : NoObject;
    return true;
}

Qt::DropAction PlaylistRowDrag::validateDrop(const QMimeData* data, ObjectId target, int childIndex) const
{
    // the drag carries no node of its own: the one remembered when a drag of this tree began is moved
    if (!data || !data->hasFormat(PlaylistTreeController::PlistPboardType) || !view_.playlistTreeController)
        return Qt::IgnoreAction;
    return PlaylistTreeRules::mayDrop(context(), dragOutItem_, dragOutParentItem_, target, childIndex)
               ? Qt::MoveAction
               : Qt::IgnoreAction;
}

bool PlaylistRowDrag::acceptDrop(const QMimeData* data, ObjectId target, int childIndex)
{
    // a refused drop must never land: a folder inside its own subtree would make a loop the store cannot load
    if (validateDrop(data, target, childIndex) != Qt::MoveAction)
        return false;
    // put back into the gap above or below itself: nothing moves, and Edit > Undo offers no step that does
    // nothing
    if (target == dragOutParentItem_ && childIndex != -1) {
        const int row = view_.indexOfItem(dragOutItem_).row();
        if (childIndex == row || childIndex == row + 1)
            return true;
    }
    {
        UndoStep step(context(), QStringLiteral("Move"));
        view_.addItemToParent(target, dragOutItem_, childIndex == -1);
        if (dragOutParentItem_ != NoObject && dragOutParentItem_ != target)
            view_.removeItemfromParent(dragOutParentItem_, dragOutItem_);
        if (childIndex != -1)
            view_.resetItemIndex(dragOutItem_, dragOutParentItem_, target, childIndex);
        // chosen again within the step, which its redo gives back
        view_.playlistTreeController->rearrangeObjects();
        if (childIndex == -1 && view_.isFolder(target))
            view_.expand(view_.indexOfItem(target));
        if (dragOutSelected_)
            view_.selectRowOfItem(dragOutSelectedItem_);
    }
    view_.setFilelistPredicateWithPlaylist(false);
    return true;
}

PlaylistRowDrag::DropProposal PlaylistRowDrag::proposedDrop(const QPoint& position) const
{
    const QModelIndex index = view_.indexAt(position);
    if (!index.isValid() || !view_.playlistTreeController)
        return {};
    // the same bands the drop indicator uses: the top and bottom edges of a row are the gaps beside it
    const QRect rect = view_.visualRect(index);
    const int margin = std::clamp(qRound(rect.height() / 5.5), 2, 12);
    enum { Above, Below, On } where = On;
    if (position.y() - rect.top() < margin)
        where = Above;
    else if (rect.bottom() - position.y() < margin)
        where = Below;
    else if (!(view_.model()->flags(index) & Qt::ItemIsDropEnabled))
        where = position.y() < rect.center().y() ? Above : Below;
    const ObjectId node = view_.playlistTreeController->objectAtIndex(index);
    const ObjectId parent = view_.playlistTreeController->objectAtIndex(index.parent());
    switch (where) {
    case Above:
        return {parent, index.row()};
    case Below:
        return {parent, index.row() + 1};
    case On:
        break;
    }
    return {node, -1};
}

} // namespace tetrapan
