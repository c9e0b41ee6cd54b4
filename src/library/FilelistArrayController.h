#pragma once

#include "platform/ObjectModel.h"
#include "platform/Predicate.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>

#include <functional>

namespace tetrapan {

class ObjectContext;

// The file entries the file table shows: the `filelist` records that match the filter predicate, sorted
// by viewNo, with the table's selection. It follows the object context as records are inserted, changed
// and deleted (undo and redo included), so it is always arranged; rearrangeObjects re-reads everything.
// One column per attribute key; cells carry the attribute's stored value, formatting is the view's.
class FilelistArrayController : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { ObjectIdRole = Qt::UserRole + 1, AttributeKeyRole };

    struct Column {
        QString key;
        QString title;
    };

    explicit FilelistArrayController(ObjectContext& context, QObject* parent = nullptr);
    ~FilelistArrayController() override;

    ObjectContext& managedObjectContext() const { return context_; }
    QItemSelectionModel* selectionModel() { return &selection_; }

    // The table's columns: viewNo (the pane), filePath, playTime, fileSize, fileDate and uniqueId.
    int columnOfKey(const QString& key) const;

    // An empty predicate shows every entry.
    const Predicate& filterPredicate() const { return filter_; }
    void setFilterPredicate(const Predicate& predicate);
    void rearrangeObjects();

    const QList<ObjectId>& arrangedObjects() const { return arranged_; }
    ObjectId objectAtRow(int row) const;
    int rowOfObject(ObjectId id) const;

    // Selected entries in arranged order.
    QList<ObjectId> selectedObjects() const;
    QList<int> selectionIndexes() const;
    // The first selected row; -1 with no selection.
    int selectionIndex() const;
    // Selects that row alone (and makes it current); false, selecting nothing, for a row out of range.
    bool setSelectionIndex(int row);
    void setSelectedObjects(const QList<ObjectId>& ids);
    bool canSelectPrevious() const;
    bool canSelectNext() const;
    void selectPrevious();
    void selectNext();

    // Text colour of an entry (an invalid value keeps the view's own); the playlist window installs its
    // transformer here.
    void setForegroundProvider(std::function<QVariant(ObjectId)> provider);
    // The provider's answers have changed: every row asks it again.
    void refreshForeground();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // The arranged entries changed: one was added, removed or moved, or the filter changed.
    void arrangedObjectsChanged();

private:
    bool isCell(const QModelIndex& index) const;
    bool belongs(ObjectId id) const;
    bool sortsBefore(ObjectId a, ObjectId b) const;
    QList<ObjectId> computeArrangement() const;
    // Places one record where the filter and sort now want it: inserts, removes or moves its row.
    void refreshObject(ObjectId id);
    void removeRow(int row);
    void onObjectInserted(ObjectId id, const QString& entityName);
    void onObjectAboutToBeRemoved(ObjectId id, const QString& entityName);
    void onValueChanged(ObjectId id, const QString& key);

    ObjectContext& context_;
    QItemSelectionModel selection_;
    QList<Column> columns_;
    Predicate filter_;
    QList<ObjectId> arranged_;
    std::function<QVariant(ObjectId)> foreground_;
};

} // namespace tetrapan
