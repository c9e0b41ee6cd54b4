#include "playlist/PlaylistTreeLastState.h"

#include "library/LibrarySchema.h"
#include "library/PlaylistTreeController.h"
#include "platform/ObjectContext.h"
#include "platform/userDefaultsExtension.h"
#include "playlist/PlaylistOutlineView.h"

#include <functional>

namespace tetrapan {

void PlaylistTreeLastState::store()
{
    if (!view_.playlistTreeController)
        return;
    for (const QModelIndex& row : view_.rows_.visibleRows()) {
        const ObjectId node = view_.playlistTreeController->objectAtIndex(row);
        if (!view_.isFolder(node))
            continue;
        const bool expanded = view_.isExpanded(row);
        if (view_.context().value(node, LibrarySchema::IsExpand).toBool() != expanded)
            view_.context().setValue(node, LibrarySchema::IsExpand, expanded);
    }
    userDefaultsExtension::setDefaultIntValue(settings_, view_.selectedRow(),
                                              PlaylistOutlineView::LastSelectedIndexKey);
}

void PlaylistTreeLastState::restore()
{
    // Row by row from the top: a folder opened here adds its children right after it, so they are looked at
    // next, and a folder inside a closed one has no row and stays closed. One walk, however large the
    // library.
    std::function<void(const QModelIndex&)> openLevel = [&](const QModelIndex& parent) {
        for (int r = 0; r < view_.model()->rowCount(parent); ++r) {
            const QModelIndex child = view_.model()->index(r, 0, parent);
            const ObjectId node = view_.playlistTreeController->objectAtIndex(child);
            if (view_.isFolder(node) && view_.context().value(node, LibrarySchema::IsExpand).toBool()) {
                view_.expand(child);
                openLevel(child);
            }
        }
    };
    if (view_.model())
        openLevel(view_.rootIndex());
    const int row =
        userDefaultsExtension::defaultIntValue(settings_, PlaylistOutlineView::LastSelectedIndexKey);
    const QModelIndex last = row >= 0 ? view_.rows_.indexOfRow(row) : QModelIndex();
    if (last.isValid()) {
        view_.selectIndex(last);
        view_.setFilelistPredicateWithPlaylist(false);
    }
}

} // namespace tetrapan
