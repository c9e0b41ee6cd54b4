#include "platform/XmlStore.h"

#include "platform/safeFiles.h"

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QXmlStreamReader>

#include <cstdio>

namespace tetrapan {

namespace {

const QString RootElement = QStringLiteral("tetrapan-library");
const QString LinkElement = QStringLiteral("link");

struct Position {
    qint64 line = 0;
    qint64 column = 0;
};

std::optional<QVariant> parseValue(QStringView text, AttributeType type)
{
    bool ok = false;
    switch (type) {
    case AttributeType::String:
        // A file in another encoding (UTF-7, say) can decode to half a surrogate pair, which no UTF-8 file
        // holds: kept, it would be saved as something else than was read.
        return text.isValidUtf16() ? std::optional<QVariant>(text.toString()) : std::nullopt;
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
        const QDateTime d = QDateTime::fromString(text.toString(), Qt::ISODateWithMs).toUTC();
        return XmlStore::canHoldDate(d) ? std::optional<QVariant>(d) : std::nullopt;
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
        QList<ToOneRef> pendingRefs;
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
                if (!value && entity->attributes[ai].unreadableReadsAsAbsent)
                    continue;
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
                pendingRefs.append({NoObject, ri, *target, where});
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
        for (ToOneRef& ref : pendingRefs) {
            ref.id = id;
            refs_.append(ref);
        }
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

    bool resolveReferences()
    {
        for (const ToOneRef& ref : std::as_const(refs_)) {
            const RelationshipDescription& r = records_[ref.id].entity->relationships[ref.ri];
            if (!checkTarget(ref.target, r.destination, ref.where, r.name))
                return false;
        }
        if (!checkLoops())
            return false;
        // the inverse side of each to-one reference is not written; it follows from the reference
        for (const ToOneRef& ref : std::as_const(refs_)) {
            const RelationshipDescription& r = records_[ref.id].entity->relationships[ref.ri];
            Record& other = records_[ref.target];
            const qsizetype inverse = other.entity->relationshipIndex(r.inverse);
            if (other.entity->relationships[inverse].toMany)
                insertSorted(other.relations[inverse], ref.id);
            else
                other.relations[inverse] = {ref.id};
        }
        for (const Link& link : links_) {
            if (!addLink(link))
                return false;
        }
        return true;
    }

    bool checkLoops()
    {
        for (const ToOneRef& ref : std::as_const(refs_)) {
            // follow the same relationship upwards; more steps than records means a cycle
            const EntityDescription* entity = records_[ref.id].entity;
            ObjectId current = ref.target;
            qsizetype steps = 0;
            while (current != NoObject && steps <= records_.size()) {
                if (current == ref.id) {
                    return failAt(ref.where, QStringLiteral("the %1 chain of id %2 loops")
                                                 .arg(entity->relationships[ref.ri].name)
                                                 .arg(ref.id));
                }
                const Record& next = records_[current];
                current = next.entity == entity ? next.toOne(ref.ri) : NoObject;
                ++steps;
            }
        }
        return true;
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
    // every to-one reference read, with where it was written, checked once all records are known
    struct ToOneRef {
        ObjectId id;
        qsizetype ri;
        ObjectId target;
        Position where;
    };
    QList<ToOneRef> refs_;
    QList<Link> links_;
};

} // namespace

XmlStore::XmlStore(const QString& filePath, const ObjectModel& model, const FileWriteCalls& calls)
    : filePath_(filePath), model_(model), writer_(calls)
{
}

bool XmlStore::canHoldDate(const QDateTime& date)
{
    if (!date.isValid())
        return false;
    const int year = date.toUTC().date().year();
    return year >= 1 && year <= 9999;
}

bool XmlStore::load(RecordMap& records, StoreError& error) const
{
    error = StoreError{filePath_, 0, 0, {}};
    QFile file;
    switch (safeFiles::openForReading(file, filePath_, &error.reason)) {
    case safeFiles::Opening::Missing:
        records.clear();
        return true;
    case safeFiles::Opening::Refused:
        return false;
    case safeFiles::Opening::Opened:
        break;
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
// so they survive the reader's attribute-value normalisation. Works on UTF-8, whose multi-byte sequences
// never contain these ASCII bytes.
void appendEscaped(QByteArray& out, const QByteArray& utf8)
{
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default:
            // other control characters cannot appear in XML 1.0 at all
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
    }
}

void appendAttribute(QByteArray& out, const QString& name, const QByteArray& utf8Value)
{
    out += ' ';
    out += name.toLatin1();
    out += "=\"";
    appendEscaped(out, utf8Value);
    out += '"';
}

// Dates are kept in UTC; written by hand because this runs for every entry of a large library.
QByteArray formatDate(const QDateTime& value)
{
    const QDateTime utc = value.timeSpec() == Qt::UTC ? value : value.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", d.year(), d.month(),
                                d.day(), t.hour(), t.minute(), t.second(), t.msec());
    return QByteArray(text, n);
}

QByteArray formatValueUtf8(const QVariant& value, AttributeType type)
{
    switch (type) {
    case AttributeType::String:
        return value.toString().toUtf8();
    case AttributeType::Integer32:
    case AttributeType::Integer64:
        return QByteArray::number(value.toLongLong());
    case AttributeType::Boolean:
        return value.toBool() ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    case AttributeType::Date:
        return formatDate(value.toDateTime());
    }
    return {};
}

} // namespace

QByteArray XmlStore::serialize(const RecordMap& records) const
{
    const QList<EntityDescription>& entities = model_.entities();
    // one pass to group by kind; each group stays in id order
    QList<QList<RecordMap::const_iterator>> byEntity(entities.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        byEntity[it->entity - entities.constData()].append(it);

    QByteArray out;
    out.reserve(records.size() * 200);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
    out += RootElement.toLatin1();
    appendAttribute(out, QStringLiteral("version"), QByteArray::number(FormatVersion));
    out += ">\n";

    for (qsizetype e = 0; e < entities.size(); ++e) {
        const EntityDescription& entity = entities[e];
        for (const RecordMap::const_iterator& it : byEntity[e]) {
            out += "  <";
            out += entity.name.toLatin1();
            appendAttribute(out, QStringLiteral("id"), QByteArray::number(it.key()));
            for (qsizetype ri = 0; ri < entity.relationships.size(); ++ri) {
                if (!entity.relationships[ri].toMany && it->toOne(ri) != NoObject)
                    appendAttribute(out, entity.relationships[ri].name, QByteArray::number(it->toOne(ri)));
            }
            for (qsizetype ai = 0; ai < entity.attributes.size(); ++ai) {
                const QVariant& value = it->attributes[ai];
                if (value.isValid())
                    appendAttribute(out, entity.attributes[ai].name, formatValueUtf8(value, entity.attributes[ai].type));
            }
            out += "/>\n";
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
                    out += "  <";
                    out += LinkElement.toLatin1();
                    appendAttribute(out, entity.name, QByteArray::number(it.key()));
                    appendAttribute(out, r.destination, QByteArray::number(other));
                    out += "/>\n";
                }
            }
        }
    }
    out += "</";
    out += RootElement.toLatin1();
    out += ">\n";
    return out;
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
    return writer_.write(filePath_, serialize(records), &error.reason);
}

} // namespace tetrapan
