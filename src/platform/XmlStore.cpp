#include "platform/XmlStore.h"

#include "platform/XmlStoreReader.h"
#include "platform/fileNames.h"
#include "platform/safeFiles.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <charconv>

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
// The text between two escaped characters goes in as one piece: a large library is mostly such text.
void appendEscaped(QByteArray& out, QByteArrayView utf8)
{
    const char* run = utf8.data();
    const char* const end = run + utf8.size();
    for (const char* p = run; p != end; ++p) {
        const char* reference = nullptr;
        switch (*p) {
        case '&': reference = "&amp;"; break;
        case '<': reference = "&lt;"; break;
        case '>': reference = "&gt;"; break;
        case '"': reference = "&quot;"; break;
        case '\n': reference = "&#10;"; break;
        case '\r': reference = "&#13;"; break;
        case '\t': reference = "&#9;"; break;
        default: continue;
        }
        out.append(run, p - run);
        out += reference;
        run = p + 1;
    }
    out.append(run, end - run);
}

void appendAttribute(QByteArray& out, QByteArrayView name, QByteArrayView utf8Value)
{
    out += ' ';
    out += name;
    out += "=\"";
    appendEscaped(out, utf8Value);
    out += '"';
}

void appendNumberAttribute(QByteArray& out, QByteArrayView name, unsigned long long number)
{
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    out += ' ';
    out += name;
    out += "=\"";
    out.append(digits, end - digits);
    out += '"';
}

// The names of an entity's relationships and attributes as the file spells them, made once per save rather
// than once per record.
struct EntityNames {
    QByteArray element;
    QList<QByteArray> relationships;
    QList<QByteArray> attributes;
    QList<QByteArray> base64Attributes;

    explicit EntityNames(const EntityDescription& entity) : element(entity.name.toLatin1())
    {
        for (const RelationshipDescription& r : entity.relationships)
            relationships.append(r.name.toLatin1());
        for (const AttributeDescription& a : entity.attributes) {
            attributes.append(a.name.toLatin1());
            base64Attributes.append((a.name + Base64Suffix).toLatin1());
        }
    }
};

// XML 1.0 has no form, not even a character reference, for the other control characters below a space,
// nor for U+FFFE and U+FFFF.
bool xmlCanHold(const QString& text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        // the last: bytes of a file name that are not UTF-8 (fileNames), or half of a rare pair; both are
        // kept exactly in the base64 form
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF ||
               (u >= 0xDC80 && u <= 0xDCFF);
    });
}

// Dates are kept in UTC; written by hand because this runs for every entry of a large library.
QByteArray formatDate(const QDateTime& value)
{
    const QDateTime utc = value.timeSpec() == Qt::UTC ? value : value.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    // "yyyy-MM-ddTHH:mm:ss.zzzZ"; years outside 1 to 9999 are never kept (canHoldDate)
    char text[] = "0000-00-00T00:00:00.000Z";
    const auto put = [&text](int at, int width, int value) {
        for (int i = at + width - 1; i >= at; --i, value /= 10)
            text[i] = char('0' + value % 10);
    };
    put(0, 4, d.year());
    put(5, 2, d.month());
    put(8, 2, d.day());
    put(11, 2, t.hour());
    put(14, 2, t.minute());
    put(17, 2, t.second());
    put(20, 3, t.msec());
    return QByteArray(text, sizeof text - 1);
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
    case AttributeType::PositiveReal:
        // the shortest text that reads back as the same number
        return QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
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
    appendNumberAttribute(out, "version", FormatVersion);
    out += ">\n";

    QList<EntityNames> names;
    for (const EntityDescription& entity : entities)
        names.append(EntityNames(entity));
    for (qsizetype e = 0; e < entities.size(); ++e) {
        const EntityDescription& entity = entities[e];
        const EntityNames& name = names[e];
        for (const RecordMap::const_iterator& it : byEntity[e]) {
            out += "  <";
            out += name.element;
            appendNumberAttribute(out, "id", it.key());
            for (qsizetype ri = 0; ri < entity.relationships.size(); ++ri) {
                if (!entity.relationships[ri].toMany && it->toOne(ri) != NoObject)
                    appendNumberAttribute(out, name.relationships[ri], it->toOne(ri));
            }
            for (qsizetype ai = 0; ai < entity.attributes.size(); ++ai) {
                const QVariant& value = it->attributes[ai];
                if (!value.isValid())
                    continue;
                const AttributeDescription& attribute = entity.attributes[ai];
                if (attribute.type == AttributeType::String && !xmlCanHold(value.toString()))
                    appendAttribute(out, name.base64Attributes[ai], fileNames::toBytes(value.toString()).toBase64());
                else
                    appendAttribute(out, name.attributes[ai], formatValueUtf8(value, attribute.type));
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
            const QByteArray destination = r.destination.toLatin1();
            for (const RecordMap::const_iterator& it : byEntity[e]) {
                for (ObjectId other : it->relations[ri]) {
                    out += "  <";
                    out += LinkElement.toLatin1();
                    appendNumberAttribute(out, names[e].element, it.key());
                    appendNumberAttribute(out, destination, other);
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
