#include "playlist/PlaylistTreeRules.h"

#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"

#include <algorithm>

namespace tetrapan::PlaylistTreeRules {

namespace {

bool isFolder(const ObjectContext& context, ObjectId node)
{
    return node != NoObject && context.value(node, LibrarySchema::IsFolder).toBool();
}

} // namespace

bool checkParentOfChild(const ObjectContext& context, ObjectId parent, ObjectId child)
{
    if (parent == NoObject || child == NoObject)
        return false;
    QList<ObjectId> seen;
    for (ObjectId walk = child; walk != NoObject && !seen.contains(walk);
         walk = context.relatedObject(walk, LibrarySchema::Parent)) {
        if (walk == parent)
            return true;
        seen.append(walk);
    }
    return false;
}

bool mayDrop(const ObjectContext& context, ObjectId dragged, ObjectId draggedParent, ObjectId target,
             int childIndex)
{
    // a node that has gone since the drag began has nothing to move, nor has a target that has gone
    if (dragged == NoObject || !context.contains(dragged) ||
        (target != NoObject && !context.contains(target)))
        return false;
    if (childIndex == -1) {
        if (!isFolder(context, target) || checkParentOfChild(context, dragged, target) ||
            (draggedParent != NoObject && target == draggedParent))
            return false;
    }
    return !(isFolder(context, dragged) && checkParentOfChild(context, dragged, target));
}

void resetItemIndex(ObjectContext& context, ObjectId item, ObjectId parentItem, ObjectId targetItem,
                    int insIndex)
{
    QList<ObjectId> siblings =
        LibraryRules::childNodes(context, context.relatedObject(item, LibrarySchema::Parent));
    // the order the tree shows: by index, ties in the order the nodes were made
    std::sort(siblings.begin(), siblings.end(), [&context](ObjectId a, ObjectId b) {
        const int ia = context.value(a, LibrarySchema::Index).toInt();
        const int ib = context.value(b, LibrarySchema::Index).toInt();
        return ia != ib ? ia < ib : a < b;
    });
    int position = insIndex;
    // Within one level the proposed gap counts the node's own old place, which closes up first. Its place
    // is its row in the level: the index attribute equals it only in a level numbered 0, 1, 2, ... and
    // levels built by adding are numbered from 1.
    if (parentItem == targetItem && position > siblings.indexOf(item))
        --position;
    int counter = -1;
    for (ObjectId node : siblings) {
        int index = position;
        if (node != item) {
            ++counter;
            if (counter == position)
                ++counter;
            index = counter;
        }
        const QVariant current = context.value(node, LibrarySchema::Index);
        if (!current.isValid() || current.toInt() != index)
            context.setValue(node, LibrarySchema::Index, index);
    }
}

} // namespace tetrapan::PlaylistTreeRules
