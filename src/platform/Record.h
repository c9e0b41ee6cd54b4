#pragma once

#include "platform/ObjectModel.h"

#include <QList>
#include <QMap>
#include <QVariant>

#include <bit>

namespace tetrapan {

// The values of a record's attributes, by the attribute's position in its entity description. Only the
// attributes that have a value take room: most of a library's entries leave half of theirs unset, and a
// large library makes one of these per record. An attribute with no value reads as an invalid QVariant.
class AttributeValues {
public:
    // The most attributes an entity may have.
    static constexpr qsizetype MaxCount = 64;

    const QVariant& operator[](qsizetype index) const
    {
        static const QVariant absent;
        return has(index) ? values_.at(slot(index)) : absent;
    }

    // An invalid value takes the attribute's value away.
    void set(qsizetype index, QVariant value)
    {
        Q_ASSERT(index >= 0 && index < MaxCount);
        const quint64 bit = quint64(1) << index;
        const qsizetype at = slot(index);
        if (!value.isValid()) {
            if (present_ & bit)
                values_.removeAt(at);
            present_ &= ~bit;
        } else if (present_ & bit) {
            values_[at] = std::move(value);
        } else {
            // a record is read in the order of its attributes, so this is usually an append
            values_.insert(at, std::move(value));
            present_ |= bit;
        }
    }

    // Room for `count` values, for a reader that knows how many are coming.
    void reserve(qsizetype count) { values_.reserve(count); }

private:
    bool has(qsizetype index) const { return index >= 0 && index < MaxCount && (present_ >> index) & 1; }
    // where the value of attribute `index` is, or would go, among those present
    qsizetype slot(qsizetype index) const { return std::popcount(present_ & ((quint64(1) << index) - 1)); }

    quint64 present_ = 0;
    QList<QVariant> values_;
};

// One record as the context keeps it and the store reads and writes it. Relationships sit at the position
// of theirs in the entity description: a to-one relationship holds at most one id; to-many members are kept
// sorted by id so saves and fetches are repeatable.
struct Record {
    const EntityDescription* entity = nullptr;
    AttributeValues attributes;
    QList<QList<ObjectId>> relations;

    static Record make(const EntityDescription* entity)
    {
        return Record{entity, {}, QList<QList<ObjectId>>(entity->relationships.size())};
    }

    ObjectId toOne(qsizetype relationIndex) const
    {
        const QList<ObjectId>& ids = relations.at(relationIndex);
        return ids.isEmpty() ? NoObject : ids.front();
    }
};

using RecordMap = QMap<ObjectId, Record>;

} // namespace tetrapan
