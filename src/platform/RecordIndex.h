#pragma once

#include "platform/Predicate.h"
#include "platform/Record.h"

#include <QHash>

#include <optional>
#include <utility>

namespace tetrapan {

// The records of each entity by the text of one attribute (a playlist's and its entries' uniqueId): loading
// a playlist asks for its few entries among tens of thousands, and the context then looks at those alone.
// Only text values are kept, since a term asking for text matches text only (Predicate::valueMatches).
// It is made at the first question, not with the records: reading a library is not held up for it.
class RecordIndex {
public:
    // records: the context's, which outlive the index
    RecordIndex(QString key, const RecordMap& records) : key_(std::move(key)), records_(records) {}

    void add(ObjectId id, const Record& record);
    void remove(ObjectId id, const Record& record);
    // Sets the record's attribute, keeping the index in step.
    void setAttribute(ObjectId id, Record& record, const QString& key, const QVariant& value);
    // The records of the entity, in id order, that could match: every record that matches is among them.
    // None when the predicate asks nothing of the key in text, and every record of the entity is a candidate.
    std::optional<QList<ObjectId>> candidates(const EntityDescription* entity,
                                              const Predicate& predicate) const;

private:
    using Key = std::pair<const EntityDescription*, QString>;
    std::optional<QString> textOf(const Record& record) const;
    void build() const;

    QString key_;
    const RecordMap& records_;
    mutable bool built_ = false;
    mutable QHash<Key, QList<ObjectId>> ids_; // each list sorted
};

} // namespace tetrapan
