#include "platform/XmlStore.h"

#include "platform/XmlStoreReader.h"
#include "platform/fileNames.h"
#include "platform/safeFiles.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

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

// The file as it is written: bytes are appended straight into a buffer (QByteArray::append, a general
// insertion, made a third of the saving of a large library), which goes to the sink each time it is full. So
// a save needs a buffer's worth of memory, not the whole file's, and its pages are touched only once. A piece
// larger than the buffer goes to the sink as it is. Once the sink refuses a piece, nothing more is sent.
class Output {
public:
    static constexpr qsizetype Capacity = XmlStore::SavePiece;

    explicit Output(const XmlStore::Sink& sink) : sink_(sink) { bytes_.resize(Capacity); }

    void put(QByteArrayView text)
    {
        if (text.size() >= Capacity) {
            flush();
            send(text);
            return;
        }
        std::memcpy(room(text.size()), text.data(), size_t(text.size()));
        size_ += text.size();
    }
    void put(char c) { put(QByteArrayView(&c, 1)); }

    void putNumber(unsigned long long number)
    {
        char* const at = room(24);
        size_ += std::to_chars(at, at + 24, number).ptr - at;
    }
    void putNumber(long long number)
    {
        char* const at = room(24);
        size_ += std::to_chars(at, at + 24, number).ptr - at;
    }

    // Attribute text escaped for a double-quoted XML attribute; line breaks and tabs as character references
    // so they survive the reader's attribute-value normalisation. Works on UTF-8, whose multi-byte sequences
    // never contain these ASCII bytes. The text between two escaped characters goes in as one piece: a large
    // library is mostly such text.
    void putEscaped(QByteArrayView utf8)
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
            put(QByteArrayView(run, p));
            put(QByteArrayView(reference));
            run = p + 1;
        }
        put(QByteArrayView(run, end));
    }

    // False once the sink has refused a piece: what follows would go nowhere.
    bool ok() const { return ok_; }
    // Sends what is left; whether the sink took every piece.
    bool finish()
    {
        flush();
        return ok_;
    }

private:
    // Room for `n` more bytes, fewer than the buffer holds, written at the pointer returned.
    char* room(qsizetype n)
    {
        if (size_ + n > bytes_.size())
            flush();
        return bytes_.data() + size_;
    }
    void flush()
    {
        send(QByteArrayView(bytes_.constData(), size_));
        size_ = 0;
    }
    void send(QByteArrayView piece)
    {
        if (ok_ && !piece.isEmpty())
            ok_ = sink_(piece);
    }

    const XmlStore::Sink& sink_;
    QByteArray bytes_;
    qsizetype size_ = 0;
    bool ok_ = true;
};

void appendAttribute(Output& out, QByteArrayView name, QByteArrayView utf8Value)
{
    out.put(' ');
    out.put(name);
    out.put("=\"");
    out.putEscaped(utf8Value);
    out.put('"');
}

void appendNumberAttribute(Output& out, QByteArrayView name, unsigned long long number)
{
    out.put(' ');
    out.put(name);
    out.put("=\"");
    out.putNumber(number);
    out.put('"');
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
// "yyyy-MM-ddTHH:mm:ss.zzzZ"; years outside 1 to 9999 are never kept (canHoldDate)
using DateText = std::array<char, 24>;
DateText formatDate(const QDateTime& value)
{
    const QDateTime utc = value.timeSpec() == Qt::UTC ? value : value.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    DateText text{'0', '0', '0', '0', '-', '0', '0', '-', '0', '0', 'T', '0',
                  '0', ':', '0', '0', ':', '0', '0', '.', '0', '0', '0', 'Z'};
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
    return text;
}

// One attribute's value, as ` name="value"`.
void appendValue(Output& out, QByteArrayView name, const QVariant& value, AttributeType type, QByteArray& scratch)
{
    out.put(' ');
    out.put(name);
    out.put("=\"");
    switch (type) {
    case AttributeType::String: {
        const QString text = value.toString();
        // Half a pair is written as toUtf8 writes it (a '?' at the end, where the encoder writes U+FFFD): the
        // same bytes as always.
        if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); })) {
            out.putEscaped(text.toUtf8());
            break;
        }
        // encoded into a buffer kept from value to value, then escaped into the file
        QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        if (scratch.size() < encoder.requiredSpace(text.size()))
            scratch.resize(encoder.requiredSpace(text.size()));
        const char* const end = encoder.appendToBuffer(scratch.data(), text);
        out.putEscaped(QByteArrayView(scratch.constData(), end));
        break;
    }
    case AttributeType::Integer32:
    case AttributeType::Integer64:
        out.putNumber(value.toLongLong());
        break;
    case AttributeType::Boolean:
        out.put(value.toBool() ? QByteArrayView("true") : QByteArrayView("false"));
        break;
    case AttributeType::Date: {
        const DateText text = formatDate(value.toDateTime());
        out.put(QByteArrayView(text.data(), qsizetype(text.size())));
        break;
    }
    case AttributeType::PositiveReal:
        // the shortest text that reads back as the same number
        out.putEscaped(QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        break;
    }
    out.put('"');
}

} // namespace

bool XmlStore::serialize(const RecordMap& records, const Sink& sink) const
{
    const QList<EntityDescription>& entities = model_.entities();
    // one pass to group by kind; each group stays in id order
    QList<QList<RecordMap::const_iterator>> byEntity(entities.size());
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        byEntity[it->entity - entities.constData()].append(it);

    Output out(sink);
    QByteArray scratch;
    out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<");
    out.put(RootElement.toLatin1());
    appendNumberAttribute(out, "version", FormatVersion);
    out.put(">\n");

    QList<EntityNames> names;
    for (const EntityDescription& entity : entities)
        names.append(EntityNames(entity));
    for (qsizetype e = 0; e < entities.size(); ++e) {
        const EntityDescription& entity = entities[e];
        const EntityNames& name = names[e];
        for (const RecordMap::const_iterator& it : byEntity[e]) {
            if (!out.ok())
                return false;
            out.put("  <");
            out.put(name.element);
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
                    appendValue(out, name.attributes[ai], value, attribute.type, scratch);
            }
            out.put("/>\n");
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
            const QByteArray link = LinkElement.toLatin1();
            for (const RecordMap::const_iterator& it : byEntity[e]) {
                if (!out.ok())
                    return false;
                for (ObjectId other : it->relations[ri]) {
                    out.put("  <");
                    out.put(link);
                    appendNumberAttribute(out, names[e].element, it.key());
                    appendNumberAttribute(out, destination, other);
                    out.put("/>\n");
                }
            }
        }
    }
    out.put("</");
    out.put(RootElement.toLatin1());
    out.put(">\n");
    return out.finish();
}

QByteArray XmlStore::serialize(const RecordMap& records) const
{
    QByteArray bytes;
    serialize(records, [&bytes](QByteArrayView piece) {
        bytes.append(piece);
        return true;
    });
    return bytes;
}

bool XmlStore::write(QIODevice& device, const RecordMap& records, StoreError& error) const
{
    return serialize(records, [&](QByteArrayView piece) {
        while (!piece.isEmpty()) {
            const qint64 n = device.write(piece.data(), piece.size());
            if (n <= 0) {
                error.reason = QStringLiteral("could not write the library: %1").arg(device.errorString());
                return false;
            }
            piece = piece.sliced(n);
        }
        return true;
    });
}

bool XmlStore::save(const RecordMap& records, StoreError& error) const
{
    error = StoreError{filePath_, 0, 0, {}};
    // written into the new file as it is made, a buffer at a time
    return writer_.write(
        filePath_, [&](const AtomicFileWriter::Sink& sink) { return serialize(records, sink); },
        &error.reason);
}

} // namespace tetrapan
