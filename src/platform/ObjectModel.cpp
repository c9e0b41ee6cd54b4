#include "platform/ObjectModel.h"
#include "platform/Record.h"

namespace tetrapan {

qsizetype EntityDescription::attributeIndex(QStringView key) const
{
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        if (attributes[i].name == key)
            return i;
    }
    return -1;
}

qsizetype EntityDescription::relationshipIndex(QStringView key) const
{
    for (qsizetype i = 0; i < relationships.size(); ++i) {
        if (relationships[i].name == key)
            return i;
    }
    return -1;
}

const AttributeDescription* EntityDescription::attribute(const QString& key) const
{
    const qsizetype i = attributeIndex(key);
    return i < 0 ? nullptr : &attributes[i];
}

const RelationshipDescription* EntityDescription::relationship(const QString& key) const
{
    const qsizetype i = relationshipIndex(key);
    return i < 0 ? nullptr : &relationships[i];
}

ObjectModel::ObjectModel(QList<EntityDescription> entities, QString indexedKey)
    : entities_(std::move(entities)), indexedKey_(std::move(indexedKey))
{
    for (const EntityDescription& e : entities_) {
        Q_ASSERT_X(e.attributes.size() <= AttributeValues::MaxCount, "ObjectModel", "too many attributes");
        for (const RelationshipDescription& r : e.relationships) {
            const EntityDescription* destination = entity(r.destination);
            Q_ASSERT_X(destination && destination->relationship(r.inverse), "ObjectModel",
                       "every relationship needs an inverse");
            Q_UNUSED(destination);
        }
    }
}

const EntityDescription* ObjectModel::entity(QStringView name) const
{
    for (const EntityDescription& e : entities_) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

} // namespace tetrapan
