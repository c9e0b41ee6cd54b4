#include "platform/RecordIndex.h"

#include <algorithm>

namespace tetrapan {

std::optional<QString> RecordIndex::textOf(const Record& record) const
{
    const qsizetype ai = record.entity->attributeIndex(key_);
    if (ai < 0 || record.attributes[ai].metaType().id() != QMetaType::QString)
        return std::nullopt;
    return record.attributes[ai].toString();
}

void RecordIndex::build() const
{
    built_ = true;
    // in id order, so every list is sorted as it grows
    for (auto it = records_.cbegin(); it != records_.cend(); ++it) {
        if (const auto text = textOf(*it))
            ids_[{it->entity, *text}].append(it.key());
    }
}

void RecordIndex::add(ObjectId id, const Record& record)
{
    const auto text = built_ ? textOf(record) : std::nullopt;
    if (!text)
        return;
    QList<ObjectId>& ids = ids_[{record.entity, *text}];
    const auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at == ids.end() || *at != id)
        ids.insert(at, id);
}

void RecordIndex::setAttribute(ObjectId id, Record& record, const QString& key, const QVariant& value)
{
    const bool indexed = key == key_;
    if (indexed)
        remove(id, record);
    record.attributes.set(record.entity->attributeIndex(key), value);
    if (indexed)
        add(id, record);
}

void RecordIndex::remove(ObjectId id, const Record& record)
{
    const auto text = built_ ? textOf(record) : std::nullopt;
    if (!text)
        return;
    const auto found = ids_.find({record.entity, *text});
    if (found == ids_.end())
        return;
    found->removeOne(id);
    if (found->isEmpty())
        ids_.erase(found);
}

std::optional<QList<ObjectId>> RecordIndex::candidates(const EntityDescription* entity,
                                                       const Predicate& predicate) const
{
    for (const Predicate::Term& term : predicate.terms()) {
        if (term.key == key_ && term.value.metaType().id() == QMetaType::QString) {
            if (!built_)
                build();
            return ids_.value({entity, term.value.toString()});
        }
    }
    return std::nullopt;
}

} // namespace tetrapan
