#pragma once

#include "platform/ObjectModel.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QItemSelectionModel>

namespace tetrapan {

class ObjectContext;

// The playlist tree: the `playlist` nodes without a parent at the top level, each folder's children below
// it, every level in ascending `index`, with the tree's selection. It follows the object context as nodes
// are inserted, moved, renumbered, renamed and deleted (undo and redo included) with row moves rather than
// resets, so a view keeps its expanded folders and its selection. One column: the title, editable in place.
class PlaylistTreeController : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { ObjectIdRole = Qt::UserRole + 1, IsFolderRole };

    // The drag type of tree rows; a drag carries no data, the view remembers the dragged node.
    static inline const QString PlistPboardType = QStringLiteral("PlistPboardType");

    explicit PlaylistTreeController(ObjectContext& context, QObject* parent = nullptr);
    ~PlaylistTreeController() override;

    ObjectContext& managedObjectContext() const { return context_; }
    QItemSelectionModel* selectionModel() { return &selection_; }

    // Every node in the order a fully expanded tree shows them.
    QList<ObjectId> arrangedObjects() const;
    // The shown children of a node; the top level for NoObject.
    QList<ObjectId> childObjects(ObjectId parent) const;
    ObjectId objectAtIndex(const QModelIndex& index) const;
    QModelIndex indexOfObject(ObjectId id) const;

    // The selected nodes in tree order.
    QList<ObjectId> selectedObjects() const;
    // Selects the node alone and makes it current; NoObject (or a node not in the tree) clears the selection.
    bool setSelectedObject(ObjectId id);

    // Re-reads parents and indexes and moves rows to match.
    void rearrangeObjects();

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // A folder can be opened even while it is empty.
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

Q_SIGNALS:
    // Nodes were added, removed or moved, or the whole tree was read again.
    void arrangedObjectsChanged();

private:
    struct Node {
        ObjectId parent = NoObject;
        QList<ObjectId> children;
        friend bool operator==(const Node&, const Node&) = default;
    };

    bool sortsBefore(ObjectId a, ObjectId b) const;
    int rowOf(ObjectId id) const;
    bool isDescendantOrSelf(ObjectId candidate, ObjectId ancestor) const;
    // Moves one node's row to where the context's parent and index now want it. False when the tree can
    // only be brought in step by reading it again.
    bool relocate(ObjectId id);
    QHash<ObjectId, Node> computeNodes() const;
    void rebuild();
    void appendSubtree(ObjectId id, QList<ObjectId>& out) const;
    void onObjectInserted(ObjectId id, const QString& entityName);
    void onObjectAboutToBeRemoved(ObjectId id, const QString& entityName);
    void onValueChanged(ObjectId id, const QString& key);

    ObjectContext& context_;
    QItemSelectionModel selection_;
    // What the views have been told, keyed by node; NoObject is the invisible root.
    QHash<ObjectId, Node> nodes_;
};

} // namespace tetrapan
