#pragma once

#include "platform/LatestWrite.h"
#include "platform/ObjectModel.h"
#include "platform/RecordIndex.h"
#include "platform/StoreError.h"

#include <QObject>
#include <QUndoStack>

#include <functional>
#include <optional>
#include <utility>

namespace tetrapan {

class StoreCoordinator;

// The one place library records live while the program runs. Records are read and written by attribute
// name; relationships keep their inverse in step. Every change is recorded on the undo stack, and all
// changes made in one turn of the event loop (one user action) undo as one step.
class ObjectContext : public QObject {
    Q_OBJECT
public:
    // Undo steps kept: a long session's oldest steps are forgotten rather than held without bound.
    static constexpr int UndoLimit = 1000;

    explicit ObjectContext(StoreCoordinator& coordinator, QObject* parent = nullptr);
    ~ObjectContext() override;

    const ObjectModel& model() const;
    StoreCoordinator& coordinator() { return coordinator_; }

    ObjectId insertNewObject(const QString& entityName);
    // Unlinks the record from every relationship, then removes it. Nothing cascades.
    void deleteObject(ObjectId id);
    bool contains(ObjectId id) const { return records_.contains(id); }
    QString entityName(ObjectId id) const;

    // Attributes. An attribute with no value reads as an invalid QVariant; setting an invalid QVariant
    // clears it. Values are converted to the attribute's kind.
    QVariant value(ObjectId id, const QString& key) const;
    void setValue(ObjectId id, const QString& key, const QVariant& value);
    // The same for what the program keeps by itself (where a playlist's panes stood): saved like any
    // change, but no step of the user's to undo.
    void setValueUnrecorded(ObjectId id, const QString& key, const QVariant& value);

    ObjectId relatedObject(ObjectId id, const QString& key) const;
    void setRelatedObject(ObjectId id, const QString& key, ObjectId target);
    QList<ObjectId> relatedObjects(ObjectId id, const QString& key) const;
    void addRelatedObject(ObjectId id, const QString& key, ObjectId member);
    void removeRelatedObject(ObjectId id, const QString& key, ObjectId member);

    // Records of an entity that match, in id order; unsaved inserts included, deleted records not.
    QList<ObjectId> fetch(const QString& entityName, const Predicate& predicate = {}) const;
    // The same records with one attribute's value each, read in the same pass: asking value() for each of
    // tens of thousands of records looks every one of them up again.
    QList<std::pair<ObjectId, QVariant>> fetchValues(const QString& entityName, const QString& key,
                                                     const Predicate& predicate = {}) const;

    bool hasChanges() const { return changeCount_ != savedChangeCount_; }
    // Changes other than those set unrecorded, which are the program's notes rather than the user's work.
    bool hasUsersChanges() const { return usersChangeCount_ > savedChangeCount_; }
    // Editors in progress (a tree row being renamed) register here so a save can finish them first.
    int addEditingCommitter(std::function<bool()> commit);
    void removeEditingCommitter(int handle);
    bool commitEditing();
    // Writes the library now, after a save under way, and says whether it could.
    bool save(StoreError& error);
    // Writes the library on a thread of its own and returns at once: the window never waits on the disk.
    // Told through saved() or saveFailed(). Changes made meanwhile stay changes, for the next save.
    void saveInBackground();
    // Waits for the saves in the background, telling what they found before it returns.
    void finishSaving() { writes_.finish(); }

    QUndoStack* undoManager() { return &undoStack_; }
    // Names and bounds one undo step explicitly; groups nest.
    void beginUndoGroup(const QString& name);
    void endUndoGroup();
    // Closes the step of the current event-loop turn; called by the event loop, and by tests.
    void processPendingChanges();
    // What the user had chosen (the tree's selection) is kept with each step: taken as the step opens and
    // as it closes, given back by undo (the first) and redo (the second) once the stack has finished, so
    // the user sees what he takes back, whatever made the step.
    void setStepChoice(std::function<QVariant()> take, std::function<void(const QVariant&)> giveBack);

    // The whole content, for the store and for benchmarks.
    const RecordMap& records() const { return records_; }

Q_SIGNALS:
    void objectInserted(tetrapan::ObjectId id, const QString& entityName);
    void objectAboutToBeRemoved(tetrapan::ObjectId id, const QString& entityName);
    void objectRemoved(tetrapan::ObjectId id, const QString& entityName);
    // An attribute or a relationship of the record changed.
    void valueChanged(tetrapan::ObjectId id, const QString& key);
    // Any change at all, including those made by undo and redo.
    void changed();
    void saved();
    void saveFailed(const tetrapan::StoreError& error);

private:
    template <typename Take>
    void forEachMatching(const QString& entityName, const Predicate& predicate, Take take) const;
    friend class ContextCommand;
    friend class ChoiceCommand;

    const Record& record(ObjectId id) const;
    const RelationshipDescription& relationship(ObjectId id, const QString& key) const;
    void perform(std::function<void()> redo, std::function<void()> undo);
    void noteChange();
    void openStep();
    void closeStep();

    void rawInsert(ObjectId id, const Record& record);
    void rawRemove(ObjectId id);
    void rawSetAttribute(ObjectId id, const QString& key, const QVariant& value);
    void rawLink(ObjectId id, const QString& key, ObjectId target);
    void rawUnlink(ObjectId id, const QString& key, ObjectId target);
    void link(ObjectId id, const QString& key, ObjectId target);
    void unlink(ObjectId id, const QString& key, ObjectId target);

    StoreCoordinator& coordinator_;
    RecordMap records_;
    RecordIndex index_;
    ObjectId nextId_ = 1;
    quint64 changeCount_ = 0;
    quint64 savedChangeCount_ = 0;
    quint64 usersChangeCount_ = 0;
    bool noting_ = false;
    QUndoStack undoStack_;
    bool autoGroupOpen_ = false;
    bool groupCloseQueued_ = false;
    int explicitGroupDepth_ = 0;
    bool replaying_ = false;
    int nextCommitterHandle_ = 1;
    QList<std::pair<int, std::function<bool()>>> committers_;
    std::function<QVariant()> takeChoice_;
    std::function<void(const QVariant&)> giveBackChoice_;
    std::optional<QVariant> choiceToGiveBack_;
    // last, so that it goes first: a save under way still reads the coordinator
    LatestWrite writes_;
};

} // namespace tetrapan
