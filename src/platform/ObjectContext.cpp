#include "platform/ObjectContext.h"

#include "platform/StoreCoordinator.h"
#include "platform/XmlStore.h"

#include <QDateTime>
#include <QUndoCommand>
#include <QVarLengthArray>

#include <cmath>

namespace tetrapan {

// One recorded change. The first redo happens when it is pushed; later undo and redo calls are replays,
// during which the context applies changes without recording them again.
class ContextCommand : public QUndoCommand {
public:
    ContextCommand(ObjectContext& context, std::function<void()> redo, std::function<void()> undo)
        : context_(context), redo_(std::move(redo)), undo_(std::move(undo))
    {
    }

    void redo() override { replay(redo_, !std::exchange(first_, false)); }
    void undo() override { replay(undo_, true); }

private:
    void replay(const std::function<void()>& f, bool isReplay)
    {
        const bool was = context_.replaying_;
        context_.replaying_ = context_.replaying_ || isReplay;
        f();
        context_.replaying_ = was;
    }

    ObjectContext& context_;
    std::function<void()> redo_;
    std::function<void()> undo_;
    bool first_ = true;
};

// The user's choice when a step opened (given back by undo: the first child, undone last) or when it closed
// (given back by redo: the last child, redone last). It only notes it: the choice is given back once the
// stack has finished, since choosing may change the library, which must not happen in the middle of a replay.
class ChoiceCommand : public QUndoCommand {
public:
    ChoiceCommand(ObjectContext& context, QVariant choice, bool opening)
        : context_(context), choice_(std::move(choice)), opening_(opening)
    {
    }

    void undo() override
    {
        if (opening_)
            context_.choiceToGiveBack_ = choice_;
    }
    void redo() override
    {
        if (!opening_ && !std::exchange(first_, false))
            context_.choiceToGiveBack_ = choice_;
    }

private:
    ObjectContext& context_;
    QVariant choice_;
    bool opening_;
    bool first_ = true;
};

namespace {

QVariant coerce(const QVariant& value, AttributeType type)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (type) {
    case AttributeType::String:
        return value.toString();
    case AttributeType::Integer32:
        return value.toInt();
    case AttributeType::Integer64:
        return value.toLongLong();
    case AttributeType::Boolean:
        return value.toBool();
    case AttributeType::Date: {
        // a movie file dated in the year 10000 must not make the library unreadable: such a date is not kept
        const QDateTime d = value.toDateTime().toUTC();
        return XmlStore::canHoldDate(d) ? QVariant(d) : QVariant();
    }
    case AttributeType::PositiveReal: {
        const double v = value.toDouble();
        return std::isfinite(v) && v > 0.0 ? QVariant(v) : QVariant();
    }
    }
    return {};
}

void insertSorted(QList<ObjectId>& list, ObjectId id)
{
    const auto it = std::lower_bound(list.begin(), list.end(), id);
    if (it == list.end() || *it != id)
        list.insert(it, id);
}

} // namespace

ObjectContext::ObjectContext(StoreCoordinator& coordinator, QObject* parent)
    : QObject(parent), coordinator_(coordinator), records_(coordinator.takeLoadedRecords()),
      index_(coordinator.model().indexedKey(), records_)
{
    // the stack takes a limit only while it is empty; each step is one macro, which counts once
    undoStack_.setUndoLimit(UndoLimit);
    if (!records_.isEmpty())
        nextId_ = records_.lastKey() + 1;
    connect(&undoStack_, &QUndoStack::indexChanged, this, [this] {
        if (choiceToGiveBack_ && giveBackChoice_)
            giveBackChoice_(*std::exchange(choiceToGiveBack_, std::nullopt));
        choiceToGiveBack_.reset();
    });
}

ObjectContext::~ObjectContext()
{
    // the stack's own teardown clears it and tells of its index: not to members already gone by then
    disconnect(&undoStack_, nullptr, this, nullptr);
    undoStack_.clear();
}

const ObjectModel& ObjectContext::model() const
{
    return coordinator_.model();
}

const Record& ObjectContext::record(ObjectId id) const
{
    const auto it = records_.constFind(id);
    Q_ASSERT_X(it != records_.constEnd(), "ObjectContext", "no such record");
    return *it;
}

const RelationshipDescription& ObjectContext::relationship(ObjectId id, const QString& key) const
{
    const RelationshipDescription* r = record(id).entity->relationship(key);
    Q_ASSERT_X(r, "ObjectContext", "no such relationship");
    return *r;
}

QString ObjectContext::entityName(ObjectId id) const
{
    const auto it = records_.constFind(id);
    return it == records_.constEnd() ? QString() : it->entity->name;
}

void ObjectContext::perform(std::function<void()> redo, std::function<void()> undo)
{
    if (replaying_) {
        // a change made while undo or redo replays (an observer reacting) is part of that replay
        redo();
        return;
    }
    if (explicitGroupDepth_ == 0 && !autoGroupOpen_) {
        undoStack_.beginMacro(QString());
        autoGroupOpen_ = true;
        openStep();
    }
    if (autoGroupOpen_ && !groupCloseQueued_) {
        groupCloseQueued_ = true;
        QMetaObject::invokeMethod(this, &ObjectContext::processPendingChanges, Qt::QueuedConnection);
    }
    undoStack_.push(new ContextCommand(*this, std::move(redo), std::move(undo)));
}

void ObjectContext::processPendingChanges()
{
    groupCloseQueued_ = false;
    if (autoGroupOpen_) {
        autoGroupOpen_ = false;
        closeStep();
        undoStack_.endMacro();
    }
}

void ObjectContext::setStepChoice(std::function<QVariant()> take,
                                  std::function<void(const QVariant&)> giveBack)
{
    takeChoice_ = std::move(take);
    giveBackChoice_ = std::move(giveBack);
}

void ObjectContext::openStep()
{
    if (takeChoice_)
        undoStack_.push(new ChoiceCommand(*this, takeChoice_(), true));
}

void ObjectContext::closeStep()
{
    if (takeChoice_)
        undoStack_.push(new ChoiceCommand(*this, takeChoice_(), false));
}

void ObjectContext::beginUndoGroup(const QString& name)
{
    if (explicitGroupDepth_ == 0)
        processPendingChanges();
    undoStack_.beginMacro(name);
    if (explicitGroupDepth_++ == 0)
        openStep();
}

void ObjectContext::endUndoGroup()
{
    Q_ASSERT(explicitGroupDepth_ > 0);
    if (explicitGroupDepth_ == 0)
        return;
    if (--explicitGroupDepth_ == 0)
        closeStep();
    undoStack_.endMacro();
}

void ObjectContext::noteChange()
{
    ++changeCount_;
    if (!noting_)
        usersChangeCount_ = changeCount_;
    Q_EMIT changed();
}

ObjectId ObjectContext::insertNewObject(const QString& entityName)
{
    const EntityDescription* entity = model().entity(entityName);
    Q_ASSERT_X(entity, "ObjectContext::insertNewObject", "unknown entity");
    if (!entity)
        return NoObject;
    const ObjectId id = nextId_++;
    const Record fresh = Record::make(entity);
    perform([this, id, fresh] { rawInsert(id, fresh); }, [this, id] { rawRemove(id); });
    return id;
}

void ObjectContext::deleteObject(ObjectId id)
{
    if (!records_.contains(id))
        return;
    const EntityDescription* entity = record(id).entity;
    for (qsizetype ri = 0; ri < entity->relationships.size(); ++ri) {
        const QList<ObjectId> members = record(id).relations[ri];
        for (ObjectId member : members)
            unlink(id, entity->relationships[ri].name, member);
    }
    const Record snapshot = record(id);
    perform([this, id] { rawRemove(id); }, [this, id, snapshot] { rawInsert(id, snapshot); });
}

QVariant ObjectContext::value(ObjectId id, const QString& key) const
{
    const auto it = records_.constFind(id);
    if (it == records_.constEnd())
        return {};
    const qsizetype ai = it->entity->attributeIndex(key);
    return ai < 0 ? QVariant() : it->attributes[ai];
}

void ObjectContext::setValue(ObjectId id, const QString& key, const QVariant& value)
{
    if (!records_.contains(id))
        return;
    const AttributeDescription* attribute = record(id).entity->attribute(key);
    Q_ASSERT_X(attribute, "ObjectContext::setValue", "unknown attribute");
    if (!attribute)
        return;
    const QVariant newValue = coerce(value, attribute->type);
    const QVariant oldValue = this->value(id, key);
    if (newValue == oldValue && newValue.isValid() == oldValue.isValid())
        return;
    perform([this, id, key, newValue] { rawSetAttribute(id, key, newValue); },
            [this, id, key, oldValue] { rawSetAttribute(id, key, oldValue); });
}

void ObjectContext::setValueUnrecorded(ObjectId id, const QString& key, const QVariant& value)
{
    const AttributeDescription* attribute = records_.contains(id) ? record(id).entity->attribute(key) : nullptr;
    if (!attribute)
        return;
    const QVariant newValue = coerce(value, attribute->type);
    const QVariant oldValue = this->value(id, key);
    if (newValue != oldValue || newValue.isValid() != oldValue.isValid()) {
        noting_ = true;
        rawSetAttribute(id, key, newValue);
        noting_ = false;
    }
}

ObjectId ObjectContext::relatedObject(ObjectId id, const QString& key) const
{
    const auto it = records_.constFind(id);
    const qsizetype ri = it == records_.constEnd() ? -1 : it->entity->relationshipIndex(key);
    return ri < 0 ? NoObject : it->toOne(ri);
}

QList<ObjectId> ObjectContext::relatedObjects(ObjectId id, const QString& key) const
{
    const auto it = records_.constFind(id);
    const qsizetype ri = it == records_.constEnd() ? -1 : it->entity->relationshipIndex(key);
    return ri < 0 ? QList<ObjectId>() : it->relations[ri];
}

void ObjectContext::setRelatedObject(ObjectId id, const QString& key, ObjectId target)
{
    if (!records_.contains(id) || (target != NoObject && !records_.contains(target)))
        return;
    Q_ASSERT(!relationship(id, key).toMany);
    const ObjectId old = relatedObject(id, key);
    if (old == target)
        return;
    if (old != NoObject)
        unlink(id, key, old);
    if (target != NoObject)
        link(id, key, target);
}

void ObjectContext::addRelatedObject(ObjectId id, const QString& key, ObjectId member)
{
    if (!records_.contains(id) || !records_.contains(member))
        return;
    Q_ASSERT(relationship(id, key).toMany);
    if (!relatedObjects(id, key).contains(member))
        link(id, key, member);
}

void ObjectContext::removeRelatedObject(ObjectId id, const QString& key, ObjectId member)
{
    if (!records_.contains(id) || !records_.contains(member))
        return;
    if (relatedObjects(id, key).contains(member))
        unlink(id, key, member);
}

// Linking through one side may first have to free the other side's to-one slot (moving a node to a new
// parent takes it out of the old parent's children); each step is recorded on its own.
void ObjectContext::link(ObjectId id, const QString& key, ObjectId target)
{
    const RelationshipDescription& rel = relationship(id, key);
    if (!rel.toMany) {
        if (const ObjectId old = relatedObject(id, key); old != NoObject)
            unlink(id, key, old);
    }
    const RelationshipDescription& inverse = relationship(target, rel.inverse);
    if (!inverse.toMany) {
        if (const ObjectId old = relatedObject(target, rel.inverse); old != NoObject)
            unlink(target, rel.inverse, old);
    }
    perform([this, id, key, target] { rawLink(id, key, target); },
            [this, id, key, target] { rawUnlink(id, key, target); });
}

void ObjectContext::unlink(ObjectId id, const QString& key, ObjectId target)
{
    perform([this, id, key, target] { rawUnlink(id, key, target); },
            [this, id, key, target] { rawLink(id, key, target); });
}

void ObjectContext::rawInsert(ObjectId id, const Record& fresh)
{
    records_.insert(id, fresh);
    index_.add(id, fresh);
    nextId_ = std::max(nextId_, id + 1);
    noteChange();
    Q_EMIT objectInserted(id, fresh.entity->name);
}

void ObjectContext::rawRemove(ObjectId id)
{
    const QString entity = entityName(id);
    Q_EMIT objectAboutToBeRemoved(id, entity);
    index_.remove(id, record(id));
    records_.remove(id);
    noteChange();
    Q_EMIT objectRemoved(id, entity);
}

void ObjectContext::rawSetAttribute(ObjectId id, const QString& key, const QVariant& value)
{
    Record& r = records_[id];
    index_.setAttribute(id, r, key, value);
    noteChange();
    Q_EMIT valueChanged(id, key);
}

void ObjectContext::rawLink(ObjectId id, const QString& key, ObjectId target)
{
    const RelationshipDescription& rel = relationship(id, key);
    const RelationshipDescription& inverse = relationship(target, rel.inverse);
    Record& a = records_[id];
    Record& b = records_[target];
    QList<ObjectId>& forward = a.relations[a.entity->relationshipIndex(key)];
    QList<ObjectId>& backward = b.relations[b.entity->relationshipIndex(rel.inverse)];
    if (rel.toMany)
        insertSorted(forward, target);
    else
        forward = {target};
    if (inverse.toMany)
        insertSorted(backward, id);
    else
        backward = {id};
    noteChange();
    Q_EMIT valueChanged(id, key);
    Q_EMIT valueChanged(target, rel.inverse);
}

void ObjectContext::rawUnlink(ObjectId id, const QString& key, ObjectId target)
{
    const RelationshipDescription& rel = relationship(id, key);
    Record& a = records_[id];
    Record& b = records_[target];
    a.relations[a.entity->relationshipIndex(key)].removeOne(target);
    b.relations[b.entity->relationshipIndex(rel.inverse)].removeOne(id);
    noteChange();
    Q_EMIT valueChanged(id, key);
    Q_EMIT valueChanged(target, rel.inverse);
}

template <typename Take>
void ObjectContext::forEachMatching(const QString& entityName, const Predicate& predicate, Take take) const
{
    const EntityDescription* entity = model().entity(entityName);
    if (!entity)
        return;
    QVarLengthArray<qsizetype, 4> termIndexes;
    for (const Predicate::Term& term : predicate.terms())
        termIndexes.append(entity->attributeIndex(term.key));
    const auto match = [&](RecordMap::const_iterator it) {
        if (it->entity != entity)
            return;
        for (qsizetype t = 0; t < termIndexes.size(); ++t) {
            static const QVariant absent;
            const QVariant& stored = termIndexes[t] < 0 ? absent : it->attributes[termIndexes[t]];
            if (!Predicate::valueMatches(stored, predicate.terms()[t].value))
                return;
        }
        take(it);
    };
    // the few records the index names, or else all of them
    if (const auto ids = index_.candidates(entity, predicate)) {
        for (ObjectId id : *ids)
            match(records_.constFind(id));
        return;
    }
    for (auto it = records_.cbegin(); it != records_.cend(); ++it)
        match(it);
}

QList<ObjectId> ObjectContext::fetch(const QString& entityName, const Predicate& predicate) const
{
    QList<ObjectId> result;
    forEachMatching(entityName, predicate,
                    [&result](RecordMap::const_iterator it) { result.append(it.key()); });
    return result;
}

QList<std::pair<ObjectId, QVariant>> ObjectContext::fetchValues(const QString& entityName, const QString& key,
                                                                const Predicate& predicate) const
{
    QList<std::pair<ObjectId, QVariant>> result;
    const EntityDescription* entity = model().entity(entityName);
    const qsizetype ai = entity ? entity->attributeIndex(key) : -1;
    forEachMatching(entityName, predicate, [&result, ai](RecordMap::const_iterator it) {
        result.append({it.key(), ai < 0 ? QVariant() : it->attributes[ai]});
    });
    return result;
}

int ObjectContext::addEditingCommitter(std::function<bool()> commit)
{
    const int handle = nextCommitterHandle_++;
    committers_.append({handle, std::move(commit)});
    return handle;
}

void ObjectContext::removeEditingCommitter(int handle)
{
    committers_.removeIf([handle](const auto& entry) { return entry.first == handle; });
}

bool ObjectContext::commitEditing()
{
    for (const auto& [handle, commit] : committers_) {
        if (!commit())
            return false;
    }
    return true;
}

bool ObjectContext::save(StoreError& error)
{
    // this one writes all that a save waiting would have
    writes_.dropWaiting();
    writes_.finish();
    processPendingChanges();
    const quint64 savingAt = changeCount_;
    if (!coordinator_.save(records_, error))
        return false;
    savedChangeCount_ = savingAt;
    Q_EMIT saved();
    return true;
}

void ObjectContext::saveInBackground()
{
    processPendingChanges();
    // The records are shared, not copied, until the next change here copies them.
    writes_.post([this, records = records_, upTo = changeCount_]() -> LatestWrite::Told {
        StoreError error;
        if (!coordinator_.save(records, error))
            return [this, error] { Q_EMIT saveFailed(error); };
        return [this, upTo] {
            savedChangeCount_ = upTo;
            Q_EMIT saved();
        };
    });
}

} // namespace tetrapan
