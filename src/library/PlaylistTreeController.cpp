#include "library/PlaylistTreeController.h"

#include "library/LibrarySchema.h"
#include "library/playlistTitles.h"
#include "platform/ObjectContext.h"

#include <QMimeData>

#include <algorithm>

namespace tetrapan {

namespace {

using namespace LibrarySchema;

} // namespace

PlaylistTreeController::PlaylistTreeController(ObjectContext& context, QObject* parent)
    : QAbstractItemModel(parent), context_(context), selection_(this)
{
    nodes_ = computeNodes();
    connect(&context_, &ObjectContext::objectInserted, this, &PlaylistTreeController::onObjectInserted);
    connect(&context_, &ObjectContext::objectAboutToBeRemoved, this,
            &PlaylistTreeController::onObjectAboutToBeRemoved);
    connect(&context_, &ObjectContext::valueChanged, this, &PlaylistTreeController::onValueChanged);
}

PlaylistTreeController::~PlaylistTreeController() = default;

// Siblings with the same index keep the order they were made in, so a tree always shows the same way.
bool PlaylistTreeController::sortsBefore(ObjectId a, ObjectId b) const
{
    const int ia = context_.value(a, Index).toInt();
    const int ib = context_.value(b, Index).toInt();
    return ia != ib ? ia < ib : a < b;
}

// Only nodes that can be reached from the top level are shown: a parent chain that loops never reaches it.
QHash<ObjectId, PlaylistTreeController::Node> PlaylistTreeController::computeNodes() const
{
    QHash<ObjectId, QList<ObjectId>> byParent;
    for (ObjectId id : context_.fetch(LibrarySchema::Playlist))
        byParent[context_.relatedObject(id, Parent)].append(id);
    QHash<ObjectId, Node> nodes;
    QList<ObjectId> pending{NoObject};
    nodes.insert(NoObject, Node{});
    while (!pending.isEmpty()) {
        const ObjectId parent = pending.takeLast();
        QList<ObjectId> children = byParent.value(parent);
        std::sort(children.begin(), children.end(),
                  [this](ObjectId a, ObjectId b) { return sortsBefore(a, b); });
        nodes[parent].children = children;
        for (ObjectId child : children) {
            nodes.insert(child, Node{parent, {}});
            pending.append(child);
        }
    }
    return nodes;
}

void PlaylistTreeController::rebuild()
{
    beginResetModel();
    nodes_ = computeNodes();
    endResetModel();
    Q_EMIT arrangedObjectsChanged();
}

void PlaylistTreeController::rearrangeObjects()
{
    if (computeNodes() == nodes_)
        return;
    for (ObjectId id : arrangedObjects()) {
        if (!relocate(id))
            break;
    }
    if (computeNodes() != nodes_)
        rebuild();
}

int PlaylistTreeController::rowOf(ObjectId id) const
{
    const auto it = nodes_.constFind(id);
    if (it == nodes_.constEnd() || id == NoObject)
        return -1;
    return static_cast<int>(nodes_.value(it->parent).children.indexOf(id));
}

bool PlaylistTreeController::isDescendantOrSelf(ObjectId candidate, ObjectId ancestor) const
{
    for (ObjectId walk = candidate; walk != NoObject; walk = nodes_.value(walk).parent) {
        if (walk == ancestor)
            return true;
        if (!nodes_.contains(walk))
            return false;
    }
    return ancestor == NoObject;
}

bool PlaylistTreeController::relocate(ObjectId id)
{
    if (!nodes_.contains(id) || id == NoObject)
        return false;
    const ObjectId wanted = context_.relatedObject(id, Parent);
    if (wanted != NoObject && (!nodes_.contains(wanted) || isDescendantOrSelf(wanted, id)))
        return false;
    const ObjectId old = nodes_.value(id).parent;
    const int oldRow = rowOf(id);
    int destination = 0;
    for (ObjectId sibling : nodes_.value(wanted).children) {
        if (sibling != id && sortsBefore(sibling, id))
            ++destination;
    }
    if (old == wanted && destination == oldRow)
        return true;
    const int destinationChild = (old == wanted && destination > oldRow) ? destination + 1 : destination;
    if (!beginMoveRows(indexOfObject(old), oldRow, oldRow, indexOfObject(wanted), destinationChild))
        return false;
    nodes_[old].children.removeAt(oldRow);
    nodes_[wanted].children.insert(destination, id);
    nodes_[id].parent = wanted;
    endMoveRows();
    Q_EMIT arrangedObjectsChanged();
    return true;
}

void PlaylistTreeController::onObjectInserted(ObjectId id, const QString& entityName)
{
    if (entityName != LibrarySchema::Playlist)
        return;
    const ObjectId parent = context_.relatedObject(id, Parent);
    // a record that comes back already linked (none does today) is simplest to show by reading everything
    if (nodes_.contains(id) || (parent != NoObject && !nodes_.contains(parent)) ||
        !context_.relatedObjects(id, Children).isEmpty()) {
        rebuild();
        return;
    }
    int destination = 0;
    for (ObjectId sibling : nodes_.value(parent).children) {
        if (sortsBefore(sibling, id))
            ++destination;
    }
    beginInsertRows(indexOfObject(parent), destination, destination);
    nodes_.insert(id, Node{parent, {}});
    nodes_[parent].children.insert(destination, id);
    endInsertRows();
    Q_EMIT arrangedObjectsChanged();
}

void PlaylistTreeController::onObjectAboutToBeRemoved(ObjectId id, const QString& entityName)
{
    if (entityName != LibrarySchema::Playlist || !nodes_.contains(id))
        return;
    const ObjectId parent = nodes_.value(id).parent;
    const int row = rowOf(id);
    beginRemoveRows(indexOfObject(parent), row, row);
    QList<ObjectId> subtree;
    appendSubtree(id, subtree);
    for (ObjectId gone : subtree)
        nodes_.remove(gone);
    nodes_[parent].children.removeAt(row);
    endRemoveRows();
    Q_EMIT arrangedObjectsChanged();
}

void PlaylistTreeController::onValueChanged(ObjectId id, const QString& key)
{
    if (context_.entityName(id) != LibrarySchema::Playlist)
        return;
    // a move signals the moved node's parent as well as the folders' children; the former is enough
    if (key == Children || key == QLatin1String("rlt_filelist"))
        return;
    if (key == Parent) {
        if (!relocate(id))
            rebuild();
        return;
    }
    if (!nodes_.contains(id))
        return;
    if (key == Index && !relocate(id)) {
        rebuild();
        return;
    }
    const QModelIndex changed = indexOfObject(id);
    Q_EMIT dataChanged(changed, changed);
}

void PlaylistTreeController::appendSubtree(ObjectId id, QList<ObjectId>& out) const
{
    out.append(id);
    for (ObjectId child : nodes_.value(id).children)
        appendSubtree(child, out);
}

QList<ObjectId> PlaylistTreeController::arrangedObjects() const
{
    QList<ObjectId> out;
    for (ObjectId top : nodes_.value(NoObject).children)
        appendSubtree(top, out);
    return out;
}

QList<ObjectId> PlaylistTreeController::childObjects(ObjectId parent) const
{
    return nodes_.value(parent).children;
}

ObjectId PlaylistTreeController::objectAtIndex(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this ? static_cast<ObjectId>(index.internalId()) : NoObject;
}

QModelIndex PlaylistTreeController::indexOfObject(ObjectId id) const
{
    const int row = rowOf(id);
    return row < 0 ? QModelIndex() : createIndex(row, 0, static_cast<quintptr>(id));
}

QList<ObjectId> PlaylistTreeController::selectedObjects() const
{
    QList<ObjectId> selected;
    for (const QModelIndex& index : selection_.selectedIndexes()) {
        if (index.column() == 0)
            selected.append(objectAtIndex(index));
    }
    if (selected.size() > 1) {
        const QList<ObjectId> order = arrangedObjects();
        std::sort(selected.begin(), selected.end(),
                  [&order](ObjectId a, ObjectId b) { return order.indexOf(a) < order.indexOf(b); });
    }
    return selected;
}

bool PlaylistTreeController::setSelectedObject(ObjectId id)
{
    const QModelIndex index = indexOfObject(id);
    if (!index.isValid()) {
        selection_.clear();
        return false;
    }
    selection_.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

QModelIndex PlaylistTreeController::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || (parent.isValid() && parent.column() != 0))
        return {};
    const QList<ObjectId>& children = nodes_.value(objectAtIndex(parent)).children;
    if (row >= children.size())
        return {};
    return createIndex(row, 0, static_cast<quintptr>(children[row]));
}

QModelIndex PlaylistTreeController::parent(const QModelIndex& child) const
{
    const ObjectId id = objectAtIndex(child);
    if (id == NoObject)
        return {};
    return indexOfObject(nodes_.value(id).parent);
}

int PlaylistTreeController::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(nodes_.value(objectAtIndex(parent)).children.size());
}

int PlaylistTreeController::columnCount(const QModelIndex&) const
{
    return 1;
}

bool PlaylistTreeController::hasChildren(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return false;
    const ObjectId id = objectAtIndex(parent);
    if (!nodes_.value(id).children.isEmpty())
        return true;
    return id != NoObject && context_.value(id, IsFolder).toBool();
}

QVariant PlaylistTreeController::data(const QModelIndex& index, int role) const
{
    const ObjectId id = objectAtIndex(index);
    if (id == NoObject)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return playlistTitles::shown(context_.value(id, Title).toString());
    case Qt::EditRole:
        return context_.value(id, Title);
    case ObjectIdRole:
        return QVariant::fromValue(id);
    case IsFolderRole:
        return context_.value(id, IsFolder).toBool();
    default:
        return {};
    }
}

bool PlaylistTreeController::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const ObjectId id = objectAtIndex(index);
    // a nameless row could not be told from its neighbours: the old name stays
    if (id == NoObject || role != Qt::EditRole || value.toString().trimmed().isEmpty())
        return false;
    context_.setValue(id, Title, value.toString());
    return true;
}

Qt::ItemFlags PlaylistTreeController::flags(const QModelIndex& index) const
{
    const ObjectId id = objectAtIndex(index);
    if (id == NoObject)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled;
    if (context_.value(id, IsFolder).toBool())
        f |= Qt::ItemIsDropEnabled;
    return f;
}

QStringList PlaylistTreeController::mimeTypes() const
{
    return {PlistPboardType};
}

QMimeData* PlaylistTreeController::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(PlistPboardType, QByteArray::number(objectAtIndex(indexes.front())));
    return data;
}

Qt::DropActions PlaylistTreeController::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions PlaylistTreeController::supportedDragActions() const
{
    return Qt::MoveAction;
}

} // namespace tetrapan
