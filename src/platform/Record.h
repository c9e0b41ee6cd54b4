#pragma once

#include "platform/ObjectModel.h"

#include <QList>
#include <QMap>
#include <QVariant>

namespace tetrapan {

// One record as the context keeps it and the store reads and writes it. Values sit at the position of
// their attribute or relationship in the entity description, which keeps a large library compact. An
// attribute with no value is an invalid QVariant; a to-one relationship holds at most one id; to-many
// members are kept sorted by id so saves and fetches are repeatable.
struct Record {
    const EntityDescription* entity = nullptr;
    QList<QVariant> attributes;
    QList<QList<ObjectId>> relations;

    static Record make(const EntityDescription* entity)
    {
        // made at their size rather than grown to it: a large library makes one per record
        return Record{entity, QList<QVariant>(entity->attributes.size()),
                      QList<QList<ObjectId>>(entity->relationships.size())};
    }

    ObjectId toOne(qsizetype relationIndex) const
    {
        const QList<ObjectId>& ids = relations.at(relationIndex);
        return ids.isEmpty() ? NoObject : ids.front();
    }
};

using RecordMap = QMap<ObjectId, Record>;

} // namespace tetrapan
