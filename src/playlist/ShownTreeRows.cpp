#include "playlist/ShownTreeRows.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include <functional>

namespace tetrapan {

QModelIndexList ShownTreeRows::visibleRows() const
{
    QModelIndexList rows;
    if (!tree_.model())
        return rows;
    // depth first, children right after their folder
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < tree_.model()->rowCount(parent); ++r) {
            const QModelIndex child = tree_.model()->index(r, 0, parent);
            rows.append(child);
            if (tree_.isExpanded(child))
                walk(child);
        }
    };
    walk(tree_.rootIndex());
    return rows;
}

QModelIndex ShownTreeRows::indexOfRow(int row) const
{
    const QModelIndexList rows = visibleRows();
    return row >= 0 && row < rows.size() ? rows.at(row) : QModelIndex();
}

// The rows below are found from their neighbours, not by listing every row: the move buttons ask after each
// change of selection, and a library may hold thousands of rows.

QModelIndex ShownTreeRows::selectedIndex() const
{
    if (!tree_.selectionModel())
        return {};
    // one row at most is selected; a row inside a closed folder has no place in the tree
    for (const QModelIndex& index : tree_.selectionModel()->selectedRows()) {
        if (isShown(index))
            return index;
    }
    return {};
}

bool ShownTreeRows::isShown(const QModelIndex& index) const
{
    for (QModelIndex parent = index.parent(); parent != tree_.rootIndex(); parent = parent.parent()) {
        if (!parent.isValid() || !tree_.isExpanded(parent))
            return false;
    }
    return index.isValid();
}

QModelIndex ShownTreeRows::lastShownDescendant(QModelIndex index) const
{
    while (tree_.isExpanded(index) && tree_.model()->rowCount(index) > 0)
        index = tree_.model()->index(tree_.model()->rowCount(index) - 1, 0, index);
    return index;
}

QModelIndex ShownTreeRows::rowAbove(const QModelIndex& index) const
{
    if (index.row() > 0)
        return lastShownDescendant(tree_.model()->index(index.row() - 1, 0, index.parent()));
    return index.parent() == tree_.rootIndex() ? QModelIndex() : index.parent();
}

QModelIndex ShownTreeRows::rowBelow(const QModelIndex& index) const
{
    if (tree_.isExpanded(index) && tree_.model()->rowCount(index) > 0)
        return tree_.model()->index(0, 0, index);
    for (QModelIndex at = index; at.isValid() && at != tree_.rootIndex(); at = at.parent()) {
        if (at.row() + 1 < tree_.model()->rowCount(at.parent()))
            return tree_.model()->index(at.row() + 1, 0, at.parent());
    }
    return {};
}

QModelIndex ShownTreeRows::targetIndex(int direction) const
{
    if (!tree_.model())
        return {};
    const QModelIndex selected = selectedIndex();
    if (direction == 0) {
        const int topRows = tree_.model()->rowCount(tree_.rootIndex());
        if (selected.isValid())
            return rowAbove(selected);
        return topRows > 0 ? lastShownDescendant(tree_.model()->index(topRows - 1, 0, tree_.rootIndex()))
                           : QModelIndex();
    }
    return selected.isValid() ? rowBelow(selected) : tree_.model()->index(0, 0, tree_.rootIndex());
}

} // namespace tetrapan
