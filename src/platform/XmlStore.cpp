#include "platform/XmlStore.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamReader>

namespace tetrapan {

namespace {

const QString RootElement = QStringLiteral("tetrapan-library");
const QString LinkElement = QStringLiteral("link");

struct Position {
    qint64 line = 0;
    qint64 column = 0;
};

QString formatValue(const QVariant& value, AttributeType type)
{
    switch (type) {
    case AttributeType::String:
        return value.toString();
    case AttributeType::Integer32:
    case AttributeType::Integer64:
        return QString::number(value.toLongLong());
    case AttributeType::Boolean:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case AttributeType::Date:
        return value.toDateTime().toUTC().toString(Qt::ISODateWithMs);
    }
    return {};
}

std::optional<QVariant> parseValue(QStringView text, AttributeType type)
{
    bool ok = false;
    switch (type) {
    case AttributeType::String:
        return QVariant(text.toString());
    case AttributeType::Integer32: {
        const int v = text.toInt(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case AttributeType::Integer64: {
        const qint64 v = text.toLongLong(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case AttributeType::Boolean:
        if (text == QLatin1String("true"))
            return QVariant(true);
        if (text == QLatin1String("false"))
            return QVariant(false);
        return std::nullopt;
    case AttributeType::Date: {
        const QDateTime d = QDateTime::fromString(text.toString(), Qt::ISODateWithMs);
        return d.isValid() ? std::optional<QVariant>(d.toUTC()) : std::nullopt;
    }
    }
    return std::nullopt;
}

// The many-to-many relationship of `entity` that `<link>` elements stand for, if any.
const RelationshipDescription* linkRelationship(const ObjectModel& model, const EntityDescription& entity,
                                                const QString& otherEntity)
{
    for (const RelationshipDescription& r : entity.relationships) {
        if (!r.toMany || r.destination != otherEntity)
            continue;
        const EntityDescription* destination = model.entity(r.destination);
        const RelationshipDescription* inverse = destination ? destination->relationship(r.inverse) : nullptr;
        if (inverse && inverse->toMany)
            return &r;
    }
    return nullptr;
}

void insertSorted(QList<ObjectId>& list, ObjectId id)
{
    const auto it = std::lower_bound(list.begin(), list.end(), id);
    if (it == list.end() || *it != id)
        list.insert(it, id);
}

class Reader {
public:
    Reader(const ObjectModel& model, QIODevice& device, StoreError& error)
        : model_(model), xml_(&device), error_(error)
    {
    }

    bool run(RecordMap& out)
    {
        if (!readRoot())
            return false;
        while (xml_.readNextStartElement()) {
            const QString name = xml_.name().toString();
            const bool ok = name == LinkElement ? readLink() : readRecord(name);
            if (!ok)
                return false;
        }
        if (xml_.hasError())
            return failHere(xml_.errorString());
        // anything after the root element must still be well-formed
        while (!xml_.atEnd())
            xml_.readNext();
        if (xml_.hasError())
            return failHere(xml_.errorString());
        if (!resolveReferences())
            return false;
        out = std::move(records_);
        return true;
    }

private:
    bool failHere(const QString& reason) { return failAt({xml_.lineNumber(), xml_.columnNumber()}, reason); }

    bool failAt(Position where, const QString& reason)
    {
        error_.line = where.line;
        error_.column = where.column;
        error_.reason = reason;
        return false;
    }

    bool readRoot()
    {
        if (!xml_.readNextStartElement())
            return failHere(xml_.hasError() ? xml_.errorString() : QStringLiteral("the file holds no element"));
        if (xml_.name() != RootElement)
            return failHere(QStringLiteral("the root element is <%1>, not <%2>").arg(xml_.name(), RootElement));
        const QStringView versionText = xml_.attributes().value(QLatin1String("version"));
        bool ok = false;
        const int version = versionText.toInt(&ok);
        if (!ok || version < 1)
            return failHere(QStringLiteral("the library has no valid version"));
        if (version > XmlStore::FormatVersion) {
            return failHere(QStringLiteral("the library is of version %1; this program reads version %2")
                                .arg(version)
                                .arg(XmlStore::FormatVersion));
        }
        return true;
    }

    // Record and link elements are empty; any content is a sign of a file we do not understand.
    bool expectEmptyElement()
    {
        while (xml_.readNext() != QXmlStreamReader::EndElement) {
            if (xml_.hasError())
                return failHere(xml_.errorString());
            if (xml_.isStartElement() || (xml_.isCharacters() && !xml_.isWhitespace()))
                return failHere(QStringLiteral("unexpected content inside <%1>").arg(xml_.name()));
        }
        return true;
    }

    std::optional<ObjectId> readId(QStringView text)
    {
        bool ok = false;
        const qulonglong id = text.toULongLong(&ok);
        if (!ok || id == 0)
            return std::nullopt;
        return id;
    }

    bool readRecord(const QString& entityName)
    {
        const Position where{xml_.lineNumber(), xml_.columnNumber()};
        const EntityDescription* entity = model_.entity(entityName);
        if (!entity)
            return failHere(QStringLiteral("unknown element <%1>").arg(entityName));
        Record record = Record::make(entity);
        ObjectId id = NoObject;
        const QXmlStreamAttributes attributes = xml_.attributes();
        for (const QXmlStreamAttribute& a : attributes) {
            const QStringView key = a.name();
            if (key == QLatin1String("id")) {
                const auto parsed = readId(a.value());
                if (!parsed)
                    return failHere(QStringLiteral("<%1> has an invalid id \"%2\"").arg(entityName, a.value()));
                id = *parsed;
            } else if (const qsizetype ai = entity->attributeIndex(key); ai >= 0) {
                const auto value = parseValue(a.value(), entity->attributes[ai].type);
                if (!value) {
                    return failHere(QStringLiteral("attribute %1 of <%2> has an invalid value \"%3\"")
                                        .arg(key, entityName, a.value()));
                }
                record.attributes[ai] = *value;
            } else if (const qsizetype ri = entity->relationshipIndex(key);
                       ri >= 0 && !entity->relationships[ri].toMany) {
                const auto target = readId(a.value());
                if (!target)
                    return failHere(QStringLiteral("<%1> has an invalid %2 \"%3\"").arg(entityName, key, a.value()));
                record.relations[ri] = {*target};
            } else {
                return failHere(QStringLiteral("unknown attribute %1 on <%2>").arg(key, entityName));
            }
        }
        if (id == NoObject)
            return failHere(QStringLiteral("<%1> has no id").arg(entityName));
        if (records_.contains(id))
            return failHere(QStringLiteral("duplicate id %1").arg(id));
        // ids are usually written in rising order, so the end is the right place to start looking
        records_.insert(records_.cend(), id, std::move(record));
        positions_.insert(id, where);
        return expectEmptyElement();
    }

    bool readLink()
    {
        const Position where{xml_.lineNumber(), xml_.columnNumber()};
        const QXmlStreamAttributes attributes = xml_.attributes();
        if (attributes.size() != 2)
            return failHere(QStringLiteral("<link> must name exactly two records"));
        links_.append({attributes[0].name().toString(), attributes[0].value().toString(),
                       attributes[1].name().toString(), attributes[1].value().toString(), where});
        return expectEmptyElement();
    }

    // A reference is good when it names an existing record of the relationship's destination entity.
    bool checkTarget(ObjectId target, const QString& destination, Position where, const QString& what)
    {
        const auto it = records_.constFind(target);
        if (it == records_.constEnd())
            return failAt(where, QStringLiteral("%1 refers to id %2, which does not exist").arg(what).arg(target));
        if (it->entity->name != destination) {
            return failAt(where, QStringLiteral("%1 refers to id %2, which is a %3, not a %4")
                                     .arg(what)
                                     .arg(target)
                                     .arg(it->entity->name, destination));
        }
        return true;
    }

    // Calls f(record id, relationship index, target id) for every to-one reference.
    template <typename F>
    bool forEachToOne(F f)
    {
        for (auto it = records_.begin(); it != records_.end(); ++it) {
            const QList<RelationshipDescription>& relationships = it->entity->relationships;
            for (qsizetype ri = 0; ri < relationships.size(); ++ri) {
                if (relationships[ri].toMany || it->relations[ri].isEmpty())
                    continue;
                if (!f(it.key(), ri, it->relations[ri].front()))
                    return false;
            }
        }
        return true;
    }

    bool resolveReferences()
    {
        const bool targetsExist = forEachToOne([this](ObjectId id, qsizetype ri, ObjectId target) {
            const RelationshipDescription& r = records_[id].entity->relationships[ri];
            return checkTarget(target, r.destination, positions_.value(id), r.name);
        });
        if (!targetsExist || !checkLoops())
            return false;
        // the inverse side of each to-one reference is not written; it follows from the reference
        forEachToOne([this](ObjectId id, qsizetype ri, ObjectId target) {
            const RelationshipDescription& r = records_[id].entity->relationships[ri];
            Record& other = records_[target];
            const qsizetype inverse = other.entity->relationshipIndex(r.inverse);
            if (other.entity->relationships[inverse].toMany)
                insertSorted(other.relations[inverse], id);
            else
                other.relations[inverse] = {id};
            return true;
        });
        for (const Link& link : links_) {
            if (!addLink(link))
                return false;
        }
        return true;
    }

    bool checkLoops()
    {
        return forEachToOne([this](ObjectId id, qsizetype ri, ObjectId target) {
            // follow the same relationship upwards; more steps than records means a cycle
            ObjectId current = target;
            qsizetype steps = 0;
            while (current != NoObject && steps <= records_.size()) {
                if (current == id) {
                    const QString& name = records_[id].entity->relationships[ri].name;
                    return failAt(positions_.value(id),
                                  QStringLiteral("the %1 chain of id %2 loops").arg(name).arg(id));
                }
                const Record& next = records_[current];
                current = next.entity == records_[id].entity ? next.toOne(ri) : NoObject;
                ++steps;
            }
            return true;
        });
    }

    struct Link {
        QString firstEntity;
        QString firstId;
        QString secondEntity;
        QString secondId;
        Position where;
    };

    bool addLink(const Link& link)
    {
        const EntityDescription* first = model_.entity(link.firstEntity);
        const RelationshipDescription* forward =
            first ? linkRelationship(model_, *first, link.secondEntity) : nullptr;
        if (!forward) {
            return failAt(link.where, QStringLiteral("<link> between %1 and %2 is not a known relationship")
                                          .arg(link.firstEntity, link.secondEntity));
        }
        const auto a = readId(link.firstId);
        const auto b = readId(link.secondId);
        if (!a || !b)
            return failAt(link.where, QStringLiteral("<link> has an invalid id"));
        if (!checkTarget(*a, link.firstEntity, link.where, QStringLiteral("<link>")) ||
            !checkTarget(*b, link.secondEntity, link.where, QStringLiteral("<link>")))
            return false;
        Record& ra = records_[*a];
        Record& rb = records_[*b];
        insertSorted(ra.relations[ra.entity->relationshipIndex(forward->name)], *b);
        insertSorted(rb.relations[rb.entity->relationshipIndex(forward->inverse)], *a);
        return true;
    }

    const ObjectModel& model_;
    QXmlStreamReader xml_;
    StoreError& error_;
    RecordMap records_;
    QHash<ObjectId, Position> positions_;
    QList<Link> links_;
};

} // namespace

XmlStore::XmlStore(const QString& filePath, const ObjectModel& model) : filePath_(filePath), model_(model) {}

bool XmlStore::load(RecordMap& records, StoreError& error) const
{
    error = StoreError{filePath_, 0, 0, {}};
    QFile file(filePath_);
    if (!file.exists()) {
        records.clear();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error.reason = file.errorString();
        return false;
    }
    return read(file, records, error);
}

bool XmlStore::read(QIODevice& device, RecordMap& records, StoreError& error) const
{
    RecordMap loaded;
    Reader reader(model_, device, error);
    if (!reader.run(loaded))
        return false;
    records = std::move(loaded);
    return true;
}

namespace {

// Attribute text escaped for a double-quoted XML attribute; line breaks and tabs as character references
// so they survive the reader's attribute-value normalisation.
void appendEscaped(QString& out, const QString& text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\n': out += QLatin1String("&#10;"); break;
        case '\r': out += QLatin1String("&#13;"); break;
        case '\t': out += QLatin1String("&#9;"); break;
        default:
            // other control characters cannot appear in XML 1.0 at all
            if (c.unicode() >= 0x20 || c.unicode() == 0)
                out += c.unicode() == 0 ? QChar(0xFFFD) : c;
            else
                out += QChar(0xFFFD);
        }
    }
}

void appendAttribute(QString& out, const QString& name, const QString& value)
{
    out += QLatin1Char(' ');
    out += name;
    out += QLatin1String("=\"");
    appendEscaped(out, value);
    out += QLatin1Char('"');
}

} // namespace

QByteArray XmlStore::serialize(const RecordMap& records) const
{
    const QList<EntityDescription>& entities = model_.entities();
    // one pass to group by kind; each group stays in id order
    QList<QList<RecordMap::const_iterator>> byEntity(entities.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        byEntity[it->entity - entities.constData()].append(it);

    QString out;
    out.reserve(records.size() * 200);
    out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<");
    out += RootElement;
    appendAttribute(out, QStringLiteral("version"), QString::number(FormatVersion));
    out += QLatin1String(">\n");

    for (qsizetype e = 0; e < entities.size(); ++e) {
        const EntityDescription& entity = entities[e];
        for (const RecordMap::const_iterator& it : byEntity[e]) {
            out += QLatin1String("  <");
            out += entity.name;
            appendAttribute(out, QStringLiteral("id"), QString::number(it.key()));
            for (qsizetype ri = 0; ri < entity.relationships.size(); ++ri) {
                if (!entity.relationships[ri].toMany && it->toOne(ri) != NoObject)
                    appendAttribute(out, entity.relationships[ri].name, QString::number(it->toOne(ri)));
            }
            for (qsizetype ai = 0; ai < entity.attributes.size(); ++ai) {
                const QVariant& value = it->attributes[ai];
                if (value.isValid())
                    appendAttribute(out, entity.attributes[ai].name, formatValue(value, entity.attributes[ai].type));
            }
            out += QLatin1String("/>\n");
        }
    }

    // each many-to-many pair once, from the side of the entity that comes first in the model
    for (qsizetype e = 0; e < entities.size(); ++e) {
        const EntityDescription& entity = entities[e];
        for (qsizetype ri = 0; ri < entity.relationships.size(); ++ri) {
            const RelationshipDescription& r = entity.relationships[ri];
            if (linkRelationship(model_, entity, r.destination) != &r)
                continue;
            if (model_.entity(r.destination) - entities.constData() < e)
                continue;
            for (const RecordMap::const_iterator& it : byEntity[e]) {
                for (ObjectId other : it->relations[ri]) {
                    out += QLatin1String("  <");
                    out += LinkElement;
                    appendAttribute(out, entity.name, QString::number(it.key()));
                    appendAttribute(out, r.destination, QString::number(other));
                    out += QLatin1String("/>\n");
                }
            }
        }
    }
    out += QLatin1String("</");
    out += RootElement;
    out += QLatin1String(">\n");
    return out.toUtf8();
}

bool XmlStore::write(QIODevice& device, const RecordMap& records, StoreError& error) const
{
    const QByteArray bytes = serialize(records);
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            error.reason = QStringLiteral("could not write the library: %1").arg(device.errorString());
            return false;
        }
        written += n;
    }
    return true;
}

bool XmlStore::save(const RecordMap& records, StoreError& error) const
{
    error = StoreError{filePath_, 0, 0, {}};
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        error.reason = QStringLiteral("could not create the file: %1").arg(file.errorString());
        return false;
    }
    if (!write(file, records, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.flush() || !file.commit()) {
        error.reason = QStringLiteral("could not write the file: %1").arg(file.errorString());
        return false;
    }
    return true;
}

} // namespace tetrapan
