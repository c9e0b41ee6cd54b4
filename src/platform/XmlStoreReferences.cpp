#include "platform/XmlStoreReferences.h"

#include "platform/XmlStore.h"
#include "platform/XmlStoreReader.h"
#include "platform/XmlStoreValues.h"

#include <QHash>

#include <algorithm>

namespace tetrapan::xmlStoreForm {

namespace {

using Position = XmlStoreEvents::Position;

void insertSorted(QList<ObjectId>& list, ObjectId id)
{
    const auto it = std::lower_bound(list.begin(), list.end(), id);
    if (it == list.end() || *it != id)
        list.insert(it, id);
}

} // namespace

References::References(const ObjectModel& model, RecordMap& records) : model_(model), records_(records)
{
    if (records_.isEmpty())
        return;
    first_ = records_.firstKey();
    const ObjectId span = records_.lastKey() - first_;
    const auto count = ObjectId(records_.size());
    if (span < 4 * count + 1024) {
        dense_.assign(span + 1, nullptr);
        for (auto it = records_.begin(); it != records_.end(); ++it)
            dense_[it.key() - first_] = &*it;
    } else {
        sorted_.reserve(records_.size());
        for (auto it = records_.begin(); it != records_.end(); ++it)
            sorted_.emplace_back(it.key(), &*it);
    }
}

Record* References::find(ObjectId id) const
{
    if (!dense_.empty())
        return id >= first_ && id - first_ < dense_.size() ? dense_[id - first_] : nullptr;
    const auto it = std::lower_bound(
        sorted_.begin(), sorted_.end(), id,
        [](const std::pair<ObjectId, Record*>& entry, ObjectId key) { return entry.first < key; });
    return it != sorted_.end() && it->first == id ? it->second : nullptr;
}

std::optional<References::Fault> References::resolve(const QList<ToOneReference>& toOne,
                                                     const QList<LinkReference>& links)
{
    for (const ToOneReference& ref : toOne) {
        const RelationshipDescription& r = find(ref.id)->entity->relationships[ref.ri];
        if (auto fault = checkTarget(ref.target, r.destination, ref.where, r.name))
            return fault;
    }
    for (const ToOneReference& ref : toOne) {
        if (loops(ref)) {
            return Fault{ref.where, QStringLiteral("the %1 chain of id %2 loops")
                                        .arg(find(ref.id)->entity->relationships[ref.ri].name)
                                        .arg(ref.id)};
        }
    }
    for (const ToOneReference& ref : toOne)
        addInverse(ref);
    for (const LinkReference& link : links) {
        if (auto fault = addLink(link))
            return fault;
    }
    return std::nullopt;
}

void References::keepReadable(const QList<ToOneReference>& toOne, const QList<LinkReference>& links)
{
    QList<ToOneReference> kept;
    for (const ToOneReference& ref : toOne) {
        Record& record = *find(ref.id);
        const RelationshipDescription& r = record.entity->relationships[ref.ri];
        if (!checkTarget(ref.target, r.destination, ref.where, r.name) && !loops(ref))
            kept.append(ref);
        else
            record.relations[ref.ri].clear();
    }
    for (const ToOneReference& ref : std::as_const(kept))
        addInverse(ref);
    for (const LinkReference& link : links)
        addLink(link);
}

// A reference is good when it names an existing record of the relationship's destination entity.
std::optional<References::Fault> References::checkTarget(ObjectId target, const QString& destination,
                                                         Position where, const QString& what) const
{
    const Record* record = find(target);
    if (!record)
        return Fault{where, QStringLiteral("%1 refers to id %2, which does not exist").arg(what).arg(target)};
    if (record->entity->name != destination) {
        return Fault{where, QStringLiteral("%1 refers to id %2, which is a %3, not a %4")
                                .arg(what)
                                .arg(target)
                                .arg(record->entity->name, destination)};
    }
    return std::nullopt;
}

// Whether following the same relationship upwards from the reference comes back to its record; more steps
// than records means a cycle.
bool References::loops(const ToOneReference& ref) const
{
    const EntityDescription* entity = find(ref.id)->entity;
    ObjectId current = ref.target;
    qsizetype steps = 0;
    while (current != NoObject && steps <= records_.size()) {
        if (current == ref.id)
            return true;
        const Record* next = find(current);
        current = next && next->entity == entity ? next->toOne(ref.ri) : NoObject;
        ++steps;
    }
    return false;
}

// The inverse side of a to-one reference is not written; it follows from the reference.
void References::addInverse(const ToOneReference& ref)
{
    const RelationshipDescription& r = find(ref.id)->entity->relationships[ref.ri];
    Record& other = *find(ref.target);
    const qsizetype inverse = other.entity->relationshipIndex(r.inverse);
    if (other.entity->relationships[inverse].toMany)
        insertSorted(other.relations[inverse], ref.id);
    else
        other.relations[inverse] = {ref.id};
}

std::optional<References::Fault> References::addLink(const LinkReference& link)
{
    const EntityDescription* first = model_.entity(link.firstEntity);
    const RelationshipDescription* forward =
        first ? linkRelationship(model_, *first, link.secondEntity) : nullptr;
    if (!forward) {
        return Fault{link.where, QStringLiteral("<link> between %1 and %2 is not a known relationship")
                                     .arg(link.firstEntity, link.secondEntity)};
    }
    const auto a = link.firstId;
    const auto b = link.secondId;
    if (!a || !b)
        return Fault{link.where, QStringLiteral("<link> has an invalid id")};
    if (auto fault = checkTarget(*a, link.firstEntity, link.where, QStringLiteral("<link>")))
        return fault;
    if (auto fault = checkTarget(*b, link.secondEntity, link.where, QStringLiteral("<link>")))
        return fault;
    Record& ra = *find(*a);
    Record& rb = *find(*b);
    insertSorted(ra.relations[ra.entity->relationshipIndex(forward->name)], *b);
    insertSorted(rb.relations[rb.entity->relationshipIndex(forward->inverse)], *a);
    return std::nullopt;
}

std::optional<ObjectId> readId(QStringView text)
{
    if (const auto plain = xmlStoreValues::plainDigits(text, 19))
        return *plain == NoObject ? std::nullopt : plain;
    bool ok = false;
    const qulonglong id = text.toULongLong(&ok);
    if (!ok || id == NoObject)
        return std::nullopt;
    return id;
}

void renumberNearTheTop(RecordMap& records)
{
    if (records.isEmpty() || records.lastKey() <= XmlStore::HighestKeptId)
        return;
    QHash<ObjectId, ObjectId> renamed;
    ObjectId next = 1;
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        renamed.insert(it.key(), next++);
    RecordMap renumbered;
    for (auto it = records.begin(); it != records.end(); ++it) {
        for (QList<ObjectId>& related : it->relations) {
            for (ObjectId& id : related)
                id = renamed.value(id);
        }
        renumbered.insert(renumbered.cend(), renamed.value(it.key()), std::move(*it));
    }
    records = std::move(renumbered);
}

} // namespace tetrapan::xmlStoreForm
