#pragma once

#include "platform/ObjectModel.h"

#include <QModelIndexList>

class QMimeData;
class QPoint;

namespace tetrapan {

class ObjectContext;
class PlaylistOutlineView;

// Moving a folder or playlist of the playlist tree by dragging its row within the tree. The drag carries no
// node of its own: the node dragged, its folder and the selection are remembered when the drag begins, and a
// drop the tree's rules allow moves that node as one undo step.
class PlaylistRowDrag {
public:
    struct DropProposal {
        ObjectId target = NoObject; // the folder dropped into; NoObject for the top level
        int childIndex = -1;        // the gap among the target's children; -1 for onto the target
    };

    explicit PlaylistRowDrag(PlaylistOutlineView& view) : view_(view) {}

    // Forgets any drag begun before.
    void reset();
    bool writeItems(const QModelIndexList& items);
    Qt::DropAction validateDrop(const QMimeData* data, ObjectId target, int childIndex) const;
    bool acceptDrop(const QMimeData* data, ObjectId target, int childIndex);
    DropProposal proposedDrop(const QPoint& position) const;

private:
    ObjectContext& context() const;

    PlaylistOutlineView& view_;
    ObjectId dragOutItem_ = NoObject;
    ObjectId dragOutParentItem_ = NoObject;
    ObjectId dragOutSelectedItem_ = NoObject;
    bool dragOutSelected_ = false;
};

} // namespace tetrapan
