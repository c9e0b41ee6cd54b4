#pragma once

#include "platform/ObjectModel.h"

namespace tetrapan {

class ObjectContext;

// The rules a move of a tree node keeps, apart from any view: where a dragged node may go, and how the
// level it lands in is numbered.
namespace PlaylistTreeRules {

// Whether parent is child itself or one of child's ancestors; false when either is NoObject.
bool checkParentOfChild(const ObjectContext& context, ObjectId parent, ObjectId child);

// Whether the dragged node (which sat in draggedParent when the drag began) may go onto the target
// (childIndex -1) or into the gap childIndex among the target's children; NoObject is the top level.
bool mayDrop(const ObjectContext& context, ObjectId dragged, ObjectId draggedParent, ObjectId target,
             int childIndex);

// Numbers the moved node's level 0, 1, 2, ... with the node at the gap it was dropped into. insIndex counts
// the level as it was before the move; parentItem and targetItem are the node's old and new parents.
void resetItemIndex(ObjectContext& context, ObjectId item, ObjectId parentItem, ObjectId targetItem,
                    int insIndex);

} // namespace PlaylistTreeRules
} // namespace tetrapan
