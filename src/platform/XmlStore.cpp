#include "platform/XmlStore.h"

#include "platform/XmlStoreReader.h"
#include "platform/safeFiles.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace tetrapan {

using namespace xmlStoreForm;

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
    return xmlStoreForm::read(model_, device, records, error);
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

// XML 1.0 has no form, not even a character reference, for the other control characters below a space,
// nor for U+FFFE and U+FFFF.
bool xmlCanHold(const QString& text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
    });
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
                if (!value.isValid())
                    continue;
                const AttributeDescription& attribute = entity.attributes[ai];
                if (attribute.type == AttributeType::String && !xmlCanHold(value.toString()))
                    appendAttribute(out, attribute.name + Base64Suffix, value.toString().toUtf8().toBase64());
                else
                    appendAttribute(out, attribute.name, formatValueUtf8(value, attribute.type));
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
