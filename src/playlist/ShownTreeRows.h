#pragma once

#include <QModelIndexList>

class QTreeView;

namespace tetrapan {

// The rows of a tree as shown: the top level and the children of every open folder, in order. A node inside
// a closed folder has no row.
class ShownTreeRows {
public:
    explicit ShownTreeRows(const QTreeView& tree) : tree_(tree) {}

    QModelIndexList visibleRows() const;
    QModelIndex indexOfRow(int row) const;
    QModelIndex selectedIndex() const;
    // direction 0: the row above the selected one (the last row with none selected); any other: the row
    // below (row 0).
    QModelIndex targetIndex(int direction) const;
    // Every folder above the row is open.
    bool isShown(const QModelIndex& index) const;
    QModelIndex lastShownDescendant(QModelIndex index) const;
    QModelIndex rowAbove(const QModelIndex& index) const;
    QModelIndex rowBelow(const QModelIndex& index) const;

private:
    const QTreeView& tree_;
};

} // namespace tetrapan
