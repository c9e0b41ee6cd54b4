#pragma once

#include <QList>
#include <QString>

namespace tetrapan {

// The store's own identity of a record; 0 names no record. Stable for the life of a context and kept
// across save and load, so undo commands and views can hold it.
using ObjectId = quint64;
constexpr ObjectId NoObject = 0;

// PositiveReal: a finite number above 0 (a ratio such as a rate); anything else is no value.
enum class AttributeType { String, Integer32, Integer64, Boolean, Date, PositiveReal };

struct AttributeDescription {
    QString name;
    AttributeType type = AttributeType::String;
    // A stored value that does not read as this kind is dropped, so the attribute reads as absent, instead
    // of making the whole file unreadable: for attributes added later whose loss costs little.
    bool unreadableReadsAsAbsent = false;
};

struct RelationshipDescription {
    QString name;
    QString destination;
    bool toMany = false;
    QString inverse;
};

struct EntityDescription {
    QString name;
    QList<AttributeDescription> attributes;
    QList<RelationshipDescription> relationships;

    const AttributeDescription* attribute(const QString& key) const;
    const RelationshipDescription* relationship(const QString& key) const;
    // Positions in the lists above; -1 when there is no such name.
    qsizetype attributeIndex(QStringView key) const;
    qsizetype relationshipIndex(QStringView key) const;
};

// The entities a context holds. Every relationship must name an inverse of the destination entity.
class ObjectModel {
public:
    ObjectModel() = default;
    // indexedKey: the attribute records are most often fetched by (see RecordIndex)
    explicit ObjectModel(QList<EntityDescription> entities, QString indexedKey = {});

    const EntityDescription* entity(QStringView name) const;
    const QList<EntityDescription>& entities() const { return entities_; }
    const QString& indexedKey() const { return indexedKey_; }

private:
    QList<EntityDescription> entities_;
    QString indexedKey_;
};

} // namespace tetrapan
