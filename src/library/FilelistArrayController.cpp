#include "library/FilelistArrayController.h"

#include "library/LibrarySchema.h"
#include "platform/ObjectContext.h"

#include <QSet>

#include <algorithm>
#include <vector>

namespace tetrapan {

namespace {

using namespace LibrarySchema;

} // namespace

FilelistArrayController::FilelistArrayController(ObjectContext& context, QObject* parent)
    : QAbstractTableModel(parent), context_(context),
      selection_(this), columns_{{QStringLiteral("viewNo"), QStringLiteral("Pane")},
                                 {QStringLiteral("filePath"), QStringLiteral("Path")},
                                 {QStringLiteral("playTime"), QStringLiteral("Time")},
                                 {QStringLiteral("fileSize"), QStringLiteral("Size")},
                                 {QStringLiteral("fileDate"), QStringLiteral("Date")},
                                 {RecordingStart, QStringLiteral("Start")},
                                 {RecordingEnd, QStringLiteral("End")},
                                 {FileCount, QStringLiteral("Files")},
                                 {QStringLiteral("uniqueId"), QStringLiteral("uniqueId")}}
{
    arranged_ = computeArrangement();
    connect(&context_, &ObjectContext::objectInserted, this, &FilelistArrayController::onObjectInserted);
    connect(&context_, &ObjectContext::objectAboutToBeRemoved, this,
            &FilelistArrayController::onObjectAboutToBeRemoved);
    connect(&context_, &ObjectContext::valueChanged, this, &FilelistArrayController::onValueChanged);
}

FilelistArrayController::~FilelistArrayController() = default;

int FilelistArrayController::columnOfKey(const QString& key) const
{
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

bool FilelistArrayController::belongs(ObjectId id) const
{
    if (context_.entityName(id) != LibrarySchema::Filelist)
        return false;
    for (const Predicate::Term& term : filter_.terms()) {
        if (!Predicate::valueMatches(context_.value(id, term.key), term.value))
            return false;
    }
    return true;
}

// Entries of one pane keep the order they were made in, so the same library always shows the same way.
bool FilelistArrayController::sortsBefore(ObjectId a, ObjectId b) const
{
    const int va = context_.value(a, ViewNo).toInt();
    const int vb = context_.value(b, ViewNo).toInt();
    return va != vb ? va < vb : a < b;
}

QList<ObjectId> FilelistArrayController::computeArrangement() const
{
    const QList<std::pair<ObjectId, QVariant>> ids =
        context_.fetchValues(LibrarySchema::Filelist, ViewNo, filter_);
    // each entry's pane read once, not once per comparison: a whole library is tens of thousands of entries
    std::vector<std::pair<int, ObjectId>> keyed;
    keyed.reserve(ids.size());
    for (const auto& [id, viewNo] : ids)
        keyed.emplace_back(viewNo.toInt(), id);
    std::sort(keyed.begin(), keyed.end());
    QList<ObjectId> arranged;
    arranged.reserve(ids.size());
    for (const auto& [viewNo, id] : keyed)
        arranged.append(id);
    return arranged;
}

void FilelistArrayController::setFilterPredicate(const Predicate& predicate)
{
    filter_ = predicate;
    rearrangeObjects();
}

void FilelistArrayController::rearrangeObjects()
{
    const QList<ObjectId> wanted = computeArrangement();
    if (wanted == arranged_)
        return;
    const QSet<ObjectId> wantedSet(wanted.cbegin(), wanted.cend());
    for (int row = static_cast<int>(arranged_.size()) - 1; row >= 0; --row) {
        if (wantedSet.contains(arranged_[row]))
            continue;
        const int last = row;
        while (row > 0 && !wantedSet.contains(arranged_[row - 1]))
            --row;
        beginRemoveRows({}, row, last);
        arranged_.remove(row, last - row + 1);
        endRemoveRows();
    }
    const QSet<ObjectId> kept(arranged_.cbegin(), arranged_.cend());
    QList<ObjectId> added;
    for (ObjectId id : wanted) {
        if (!kept.contains(id))
            added.append(id);
    }
    if (!added.isEmpty()) {
        const int first = static_cast<int>(arranged_.size());
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        arranged_.append(added);
        endInsertRows();
    }
    if (arranged_ != wanted) {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        QHash<ObjectId, int> newRows;
        for (qsizetype i = 0; i < wanted.size(); ++i)
            newRows.insert(wanted[i], static_cast<int>(i));
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& index : from)
            to.append(createIndex(newRows.value(arranged_[index.row()]), index.column()));
        arranged_ = wanted;
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    Q_EMIT arrangedObjectsChanged();
}

void FilelistArrayController::refreshObject(ObjectId id)
{
    const int row = rowOfObject(id);
    if (!belongs(id)) {
        if (row >= 0)
            removeRow(row);
        return;
    }
    // every other row is in order, so the record's place is after the rows that sort before it
    int destination = 0;
    for (qsizetype i = 0; i < arranged_.size(); ++i) {
        if (arranged_[i] != id && sortsBefore(arranged_[i], id))
            ++destination;
    }
    if (row < 0) {
        beginInsertRows({}, destination, destination);
        arranged_.insert(destination, id);
        endInsertRows();
    } else if (destination != row) {
        beginMoveRows({}, row, row, {}, destination > row ? destination + 1 : destination);
        arranged_.move(row, destination);
        endMoveRows();
    } else {
        return;
    }
    Q_EMIT arrangedObjectsChanged();
}

void FilelistArrayController::removeRow(int row)
{
    const QList<int> selected = selectionIndexes();
    const bool wasLastSelected = selected.size() == 1 && selected.front() == row;
    beginRemoveRows({}, row, row);
    arranged_.removeAt(row);
    endRemoveRows();
    // the entry that took the removed one's place (or the new last one) is selected, as a table the user
    // is working through expects
    if (wasLastSelected && !arranged_.isEmpty() && !selection_.hasSelection())
        setSelectionIndex(std::min(row, static_cast<int>(arranged_.size()) - 1));
    Q_EMIT arrangedObjectsChanged();
}

void FilelistArrayController::onObjectInserted(ObjectId id, const QString& entityName)
{
    if (entityName == LibrarySchema::Filelist)
        refreshObject(id);
}

void FilelistArrayController::onObjectAboutToBeRemoved(ObjectId id, const QString& entityName)
{
    if (entityName != LibrarySchema::Filelist)
        return;
    if (const int row = rowOfObject(id); row >= 0)
        removeRow(row);
}

void FilelistArrayController::onValueChanged(ObjectId id, const QString& key)
{
    if (context_.entityName(id) != LibrarySchema::Filelist)
        return;
    const bool arranges =
        key == ViewNo || std::any_of(filter_.terms().cbegin(), filter_.terms().cend(),
                                     [&key](const Predicate::Term& t) { return t.key == key; });
    if (arranges)
        refreshObject(id);
    const int row = rowOfObject(id);
    const int column = columnOfKey(key);
    if (row >= 0 && column >= 0)
        Q_EMIT dataChanged(index(row, column), index(row, column));
}

// Views ask about invalid indexes too (a click beside the rows); such a question gets no answer, not a
// warning.
bool FilelistArrayController::isCell(const QModelIndex& index) const
{
    return index.isValid() && index.model() == this && index.row() < arranged_.size() &&
           index.column() < columns_.size();
}

ObjectId FilelistArrayController::objectAtRow(int row) const
{
    return row >= 0 && row < arranged_.size() ? arranged_[row] : NoObject;
}

int FilelistArrayController::rowOfObject(ObjectId id) const
{
    return static_cast<int>(arranged_.indexOf(id));
}

QList<int> FilelistArrayController::selectionIndexes() const
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selection_.selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!rows.contains(row))
                rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QList<ObjectId> FilelistArrayController::selectedObjects() const
{
    QList<ObjectId> ids;
    for (int row : selectionIndexes())
        ids.append(objectAtRow(row));
    return ids;
}

int FilelistArrayController::selectionIndex() const
{
    const QList<int> rows = selectionIndexes();
    return rows.isEmpty() ? -1 : rows.front();
}

bool FilelistArrayController::setSelectionIndex(int row)
{
    if (row < 0 || row >= arranged_.size()) {
        selection_.clear();
        return false;
    }
    selection_.setCurrentIndex(index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return true;
}

void FilelistArrayController::setSelectedObjects(const QList<ObjectId>& ids)
{
    QItemSelection rows;
    QModelIndex first;
    for (ObjectId id : ids) {
        const int row = rowOfObject(id);
        if (row < 0)
            continue;
        rows.select(index(row, 0), index(row, 0));
        if (!first.isValid())
            first = index(row, 0);
    }
    selection_.select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid())
        selection_.setCurrentIndex(first, QItemSelectionModel::NoUpdate);
}

bool FilelistArrayController::canSelectPrevious() const
{
    return selectionIndex() > 0;
}

bool FilelistArrayController::canSelectNext() const
{
    const int row = selectionIndex();
    return row >= 0 && row < arranged_.size() - 1;
}

void FilelistArrayController::selectPrevious()
{
    if (canSelectPrevious())
        setSelectionIndex(selectionIndex() - 1);
}

void FilelistArrayController::selectNext()
{
    if (canSelectNext())
        setSelectionIndex(selectionIndex() + 1);
}

void FilelistArrayController::setForegroundProvider(std::function<QVariant(ObjectId)> provider)
{
    foreground_ = std::move(provider);
    refreshForeground();
}

void FilelistArrayController::refreshForeground()
{
    if (!arranged_.isEmpty() && !columns_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::ForegroundRole});
}

int FilelistArrayController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(arranged_.size());
}

int FilelistArrayController::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant FilelistArrayController::data(const QModelIndex& index, int role) const
{
    if (!isCell(index))
        return {};
    const ObjectId id = arranged_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return context_.value(id, columns_[index.column()].key);
    case Qt::ForegroundRole:
        return foreground_ ? foreground_(id) : QVariant();
    case ObjectIdRole:
        return QVariant::fromValue(id);
    case AttributeKeyRole:
        return columns_[index.column()].key;
    default:
        return {};
    }
}

QVariant FilelistArrayController::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_[section].title.isEmpty() ? columns_[section].key : columns_[section].title;
    if (role == AttributeKeyRole)
        return columns_[section].key;
    return {};
}

Qt::ItemFlags FilelistArrayController::flags(const QModelIndex& index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    // a row's file may be dragged out to a file manager or onto a pane
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

} // namespace tetrapan
