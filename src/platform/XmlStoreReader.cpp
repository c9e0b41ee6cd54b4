#include "platform/XmlStoreReader.h"

#include "platform/XmlStore.h"
#include "platform/XmlStoreParsers.h"
#include "platform/XmlStoreReferences.h"
#include "platform/XmlStoreValues.h"
#include "platform/fileNames.h"

#include <QBuffer>
#include <QDateTime>
#include <QHash>
#include <QIODevice>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace tetrapan {

namespace xmlStoreForm {

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

} // namespace xmlStoreForm

namespace {

using namespace xmlStoreForm;

using Position = XmlStoreEvents::Position;

class Reader final : public XmlStoreEvents {
public:
    // A quiet reader says nothing in `error`: what else is wrong once the reading failed is not the user's
    // news, nor is what a parser tried before another has the last word.
    // decodedUtf8: for a parser that hands over text it decoded from UTF-8, which holds no half of a pair
    Reader(const ObjectModel& model, StoreError& error, bool quiet, bool decodedUtf8 = false)
        : model_(model), error_(error), quiet_(quiet), mayHoldHalfPairs_(!decodedUtf8)
    {
    }

    // What another reader read of the file's second half, added to this one's of the first; false when a
    // record is in both.
    bool take(Reader&& second)
    {
        if (!second.rootSeen_)
            return false;
        // the records move over as they are, without being made again; ids usually rise through a file, so
        // the second half's go after the first's
        std::map<ObjectId, Record> mine = std::move(records_).toStdMap();
        std::map<ObjectId, Record> theirs = std::move(second.records_).toStdMap();
        const bool after = mine.empty() || theirs.empty() || theirs.begin()->first > mine.rbegin()->first;
        while (!theirs.empty()) {
            auto record = theirs.extract(theirs.begin());
            if (after)
                mine.insert(mine.end(), std::move(record));
            else if (!mine.insert(std::move(record)).inserted)
                return false;
        }
        records_ = RecordMap(std::move(mine));
        refs_.append(second.refs_);
        links_.append(second.links_);
        return true;
    }

    // Once a parser has gone through the whole file: the checks that need every record.
    bool finish(RecordMap& out)
    {
        if (!rootSeen_)
            return failAt({}, QStringLiteral("the file holds no element"));
        if (const auto fault = References(model_, records_).resolve(refs_, links_))
            return failAt(fault->where, fault->reason);
        renumberNearTheTop(records_);
        out = std::move(records_);
        return true;
    }

    bool startElement(const QString& name, const Attributes& own, Position where) override
    {
        switch (depth_++) {
        case 0:
            rootSeen_ = true;
            return readRoot(name, own, where);
        case 1:
            element_ = name;
            return name == LinkElement ? readLink(own, where) : readRecord(name, own, where);
        default:
            // record and link elements are empty; any content is a sign of a file we do not understand
            return failAt(where, QStringLiteral("unexpected content inside <%1>").arg(element_));
        }
    }

    bool text(bool whitespace, Position where) override
    {
        // Only line breaks and indents stand between records: other text there is a record whose "<" was
        // damaged, and the file taken without it would be saved without it.
        if (depth_ == 1 && !whitespace)
            return failAt(where, QStringLiteral("unexpected text between records"));
        if (depth_ >= 2 && !whitespace)
            return failAt(where, QStringLiteral("unexpected content inside <%1>").arg(element_));
        return true;
    }

    bool endElement() override
    {
        if (--depth_ != 1)
            return true;
        // kept only once read to its end: a record cut off by damage is not one the file holds whole
        if (link_) {
            links_.append(*std::exchange(link_, std::nullopt));
        } else if (record_) {
            // ids are usually written in rising order, so the end is the right place to start looking
            records_.insert(records_.cend(), recordId_, std::move(*record_));
            record_.reset();
            for (ToOneReference& ref : pendingRefs_) {
                ref.id = recordId_;
                refs_.append(ref);
            }
        }
        return true;
    }

    void notWellFormed(Position where, const QString& reason) override { failAt(where, reason); }

private:
    bool failAt(Position where, const QString& reason)
    {
        if (quiet_)
            return false;
        error_.line = where.line;
        error_.column = where.column;
        error_.reason = reason;
        return false;
    }

    static QStringView valueOf(const Attributes& own, QLatin1StringView name)
    {
        for (const Attribute& a : own) {
            if (a.name == name)
                return a.value;
        }
        return {};
    }

    bool readRoot(const QString& name, const Attributes& own, Position where)
    {
        if (name != RootElement)
            return failAt(where, QStringLiteral("the root element is <%1>, not <%2>").arg(name, RootElement));
        bool ok = false;
        const int version = valueOf(own, QLatin1StringView("version")).toInt(&ok);
        if (!ok || version < 1)
            return failAt(where, QStringLiteral("the library has no valid version"));
        if (version > XmlStore::FormatVersion) {
            return failAt(where, QStringLiteral("the library is of version %1; this program reads version %2")
                                     .arg(version)
                                     .arg(XmlStore::FormatVersion));
        }
        return true;
    }

    // The text of an attribute written in its base64 form, its bytes as a file name's (fileNames); nothing
    // when it is not base64.
    static std::optional<QVariant> decodeBase64Text(QStringView encoded)
    {
        const auto decoded = QByteArray::fromBase64Encoding(encoded.toLatin1(),
                                                           QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return QVariant(fileNames::fromBytes(*decoded));
    }

    // The attribute of `entity` that `key` names in its base64 form, or -1.
    static qsizetype base64AttributeIndex(const EntityDescription& entity, QStringView key)
    {
        if (!key.endsWith(Base64Suffix))
            return -1;
        const qsizetype ai = entity.attributeIndex(key.chopped(Base64Suffix.size()));
        return ai >= 0 && entity.attributes[ai].type == AttributeType::String ? ai : -1;
    }

    // What an attribute of a record element stands for, worked out once for each kind of record and name.
    struct KeyRole {
        enum Kind { Id, Base64Text, Value, ToOne, Unknown } kind;
        qsizetype index;
    };

    static KeyRole findRole(const EntityDescription& entity, QStringView key)
    {
        if (key == QLatin1String("id"))
            return {KeyRole::Id, -1};
        if (const qsizetype bi = base64AttributeIndex(entity, key); bi >= 0)
            return {KeyRole::Base64Text, bi};
        if (const qsizetype ai = entity.attributeIndex(key); ai >= 0)
            return {KeyRole::Value, ai};
        if (const qsizetype ri = entity.relationshipIndex(key); ri >= 0 && !entity.relationships[ri].toMany)
            return {KeyRole::ToOne, ri};
        return {KeyRole::Unknown, -1};
    }

    // The last few texts a key had, which the next records share rather than each holding a copy: the
    // entries of a playlist carry its identifier, and libraries of camera angles name the same few titles
    // over and over.
    class RecentTexts {
    public:
        const QString* find(QStringView text) const
        {
            for (const QString& kept : texts_) {
                if (!kept.isEmpty() && QStringView(kept) == text)
                    return &kept;
            }
            return nullptr;
        }
        void remember(QString text)
        {
            if (text.isEmpty())
                return;
            texts_[next_] = std::move(text);
            next_ = (next_ + 1) % texts_.size();
        }

    private:
        std::array<QString, 4> texts_;
        size_t next_ = 0;
    };

    struct KnownKey {
        const EntityDescription* entity;
        QString name;
        KeyRole role;
        RecentTexts recent = {};
    };

    // Records of a kind name their attributes in the same order, so the look-up starts after the last hit.
    // Null for a name the kind does not have.
    KnownKey* roleOf(const EntityDescription& entity, QStringView key)
    {
        const size_t count = knownKeys_.size();
        size_t at = lastKey_;
        for (size_t i = 0; i < count; ++i) {
            if (++at >= count)
                at = 0;
            KnownKey& known = knownKeys_[at];
            if (known.entity == &entity && QStringView(known.name) == key) {
                lastKey_ = at;
                return &known;
            }
        }
        const KeyRole role = findRole(entity, key);
        // an unknown name ends the reading, so the list holds at most the model's names
        if (role.kind == KeyRole::Unknown)
            return nullptr;
        knownKeys_.push_back({&entity, key.toString(), role});
        lastKey_ = knownKeys_.size() - 1;
        return &knownKeys_.back();
    }

    const EntityDescription* entityNamed(const QString& name)
    {
        if (!lastEntity_ || lastEntity_->name != name)
            lastEntity_ = model_.entity(name);
        return lastEntity_;
    }

    bool readRecord(const QString& entityName, const Attributes& own, Position where)
    {
        const EntityDescription* entity = entityNamed(entityName);
        if (!entity)
            return failAt(where, QStringLiteral("unknown element <%1>").arg(entityName));
        Record record = Record::make(entity);
        // all but the id are usually values
        record.attributes.reserve(std::max<qsizetype>(own.size() - 1, 0));
        ObjectId id = NoObject;
        pendingRefs_.clear();
        for (const Attribute& a : own) {
            const QStringView key = a.name;
            KnownKey* const known = roleOf(*entity, key);
            const KeyRole role = known ? known->role : KeyRole{KeyRole::Unknown, -1};
            switch (role.kind) {
            case KeyRole::Id: {
                const auto parsed = readId(a.value);
                if (!parsed)
                    return failAt(where, QStringLiteral("<%1> has an invalid id \"%2\"").arg(entityName, a.value));
                id = *parsed;
                break;
            }
            case KeyRole::Base64Text: {
                auto value = decodeBase64Text(a.value);
                if (!value)
                    return failAt(where, QStringLiteral("attribute %1 of <%2> is not base64").arg(key, entityName));
                record.attributes.set(role.index, std::move(*value));
                break;
            }
            case KeyRole::Value: {
                const AttributeDescription& attribute = entity->attributes[role.index];
                const bool text = attribute.type == AttributeType::String;
                if (const QString* same = text ? known->recent.find(a.value) : nullptr) {
                    record.attributes.set(role.index, *same);
                    break;
                }
                auto value = xmlStoreValues::parseValue(a.value, attribute.type, mayHoldHalfPairs_);
                if (!value && attribute.unreadableReadsAsAbsent)
                    break;
                if (!value) {
                    return failAt(where, QStringLiteral("attribute %1 of <%2> has an invalid value \"%3\"")
                                             .arg(key, entityName, a.value));
                }
                if (text)
                    known->recent.remember(value->toString());
                record.attributes.set(role.index, std::move(*value));
                break;
            }
            case KeyRole::ToOne: {
                const auto target = readId(a.value);
                if (!target)
                    return failAt(where, QStringLiteral("<%1> has an invalid %2 \"%3\"").arg(entityName, key, a.value));
                record.relations[role.index] = {*target};
                pendingRefs_.append({NoObject, role.index, *target, where});
                break;
            }
            case KeyRole::Unknown:
                return failAt(where, QStringLiteral("unknown attribute %1 on <%2>").arg(key, entityName));
            }
        }
        if (id == NoObject)
            return failAt(where, QStringLiteral("<%1> has no id").arg(entityName));
        if (records_.contains(id))
            return failAt(where, QStringLiteral("duplicate id %1").arg(id));
        recordId_ = id;
        record_ = std::move(record);
        return true;
    }

    // A kind of record as a link names it: the model's own name where it is one, which costs no copy.
    QString entityName(QStringView name) const
    {
        const EntityDescription* known = model_.entity(name);
        return known ? known->name : name.toString();
    }

    bool readLink(const Attributes& own, Position where)
    {
        if (own.size() != 2)
            return failAt(where, QStringLiteral("<link> must name exactly two records"));
        link_ = LinkReference{entityName(own[0].name), readId(own[0].value), entityName(own[1].name),
                              readId(own[1].value), where};
        return true;
    }

public:
    // What a file that failed to read held whole before the damage: every record read to its end, with
    // references to records never reached, of another kind or in a loop dropped, and the links between
    // records it has. The error stays the one that stopped the reading.
    RecordMap readablePart()
    {
        References(model_, records_).keepReadable(refs_, links_);
        renumberNearTheTop(records_);
        return std::exchange(records_, {});
    }

private:
    const ObjectModel& model_;
    StoreError& error_;
    bool quiet_ = false;
    bool mayHoldHalfPairs_ = true;
    int depth_ = 0;
    bool rootSeen_ = false;
    // the record or link element being read, taken once it ends
    QString element_;
    std::optional<Record> record_;
    ObjectId recordId_ = NoObject;
    QList<ToOneReference> pendingRefs_;
    std::optional<LinkReference> link_;
    RecordMap records_;
    QList<ToOneReference> refs_;
    QList<LinkReference> links_;
    const EntityDescription* lastEntity_ = nullptr;
    std::vector<KnownKey> knownKeys_;
    size_t lastKey_ = 0;
};

} // namespace

namespace xmlStoreForm {

// A file is read by expat, many times faster than Qt's reader. Should expat refuse the file, Qt's reader has
// the last word, so a file reads as
// it always did (one in an encoding only Qt knows) and a damaged one is reported where and as it always was.
namespace {

template <typename Make> bool readFast(QIODevice& device, RecordMap& records, const Make& makeReader)
{
    const qint64 start = device.pos();
    {
        Reader first = makeReader();
        Reader second = makeReader();
        if (xmlStoreParsers::parseInHalvesWithExpat(device, first, second) && first.take(std::move(second)) &&
            first.finish(records))
            return true;
    }
    if (device.pos() != start && !device.seek(start))
        return false;
    Reader fast = makeReader();
    return xmlStoreParsers::parseWithExpat(device, fast) && fast.finish(records);
}

// The file again from where its reading started, whole, for Qt's reader.
QByteArray againFrom(QIODevice& device, qint64 start)
{
    return device.seek(start) ? device.readAll() : QByteArray();
}

// expat reads a file as it comes; Qt's reader, should it be needed, goes back to the start. A device that
// cannot go back is read whole first.
template <typename Read> auto fromStart(QIODevice& device, const Read& read)
{
    if (!device.isSequential())
        return read(device);
    QBuffer whole;
    whole.setData(device.readAll());
    whole.open(QIODevice::ReadOnly);
    return read(whole);
}

} // namespace

bool read(const ObjectModel& model, QIODevice& device, RecordMap& records, StoreError& error)
{
    RecordMap loaded;
    const bool read = fromStart(device, [&](QIODevice& file) {
        const qint64 start = file.pos();
        if (readFast(file, loaded, [&] { return Reader(model, error, true, true); }))
            return true;
        Reader full(model, error, false);
        return xmlStoreParsers::parseWithQt(againFrom(file, start), full) && full.finish(loaded);
    });
    if (read)
        records = std::move(loaded);
    return read;
}

bool readWithQtAlone(const ObjectModel& model, QIODevice& device, RecordMap& records, StoreError& error)
{
    RecordMap loaded;
    Reader full(model, error, false);
    if (!xmlStoreParsers::parseWithQt(device.readAll(), full) || !full.finish(loaded))
        return false;
    records = std::move(loaded);
    return true;
}

RecordMap readablePart(const ObjectModel& model, QIODevice& device)
{
    return fromStart(device, [&](QIODevice& file) {
        const qint64 start = file.pos();
        StoreError error;
        RecordMap loaded;
        if (readFast(file, loaded, [&] { return Reader(model, error, true, true); }))
            return loaded;
        Reader full(model, error, true);
        if (xmlStoreParsers::parseWithQt(againFrom(file, start), full) && full.finish(loaded))
            return loaded;
        return full.readablePart();
    });
}

} // namespace xmlStoreForm
} // namespace tetrapan
