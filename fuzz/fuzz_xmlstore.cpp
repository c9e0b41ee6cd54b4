// The library file reader. Whatever it accepts must be a library the program can keep: saved, it reads
// back as the same records, and saving those gives the same bytes again. A library that reads but cannot be
// read after its next save is lost at the next start.
#include "FuzzCheck.h"

#include "library/LibrarySchema.h"
#include "platform/XmlStore.h"
#include "platform/XmlStoreReader.h"

#include <QBuffer>

using namespace tetrapan;

namespace {

const ObjectModel& model()
{
    static const ObjectModel m = LibrarySchema::model();
    return m;
}

bool readFrom(const XmlStore& store, const QByteArray& bytes, RecordMap& records, StoreError& error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return store.read(buffer, records, error);
}

// What save writes, through the same device path.
QByteArray written(const XmlStore& store, const RecordMap& records)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    StoreError error;
    FUZZ_CHECK(store.write(buffer, records, error));
    return buffer.data();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    return a.isValid() == b.isValid() && (!a.isValid() || (a.metaType() == b.metaType() && a == b));
}

bool sameRecords(const RecordMap& a, const RecordMap& b)
{
    if (a.keys() != b.keys())
        return false;
    for (auto it = a.cbegin(), other = b.cbegin(); it != a.cend(); ++it, ++other) {
        if (it->entity != other->entity || it->relations != other->relations)
            return false;
        for (qsizetype i = 0; i < it->entity->attributes.size(); ++i) {
            if (!sameValue(it->attributes[i], other->attributes[i]))
                return false;
        }
    }
    return true;
}

// Every relationship is kept from both ends, and to-one holds at most one record of the right kind.
void checkInverses(const RecordMap& records)
{
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        const EntityDescription& entity = *it->entity;
        FUZZ_CHECK(it->relations.size() == entity.relationships.size());
        for (qsizetype ri = 0; ri < entity.relationships.size(); ++ri) {
            const RelationshipDescription& r = entity.relationships[ri];
            const QList<ObjectId>& members = it->relations[ri];
            FUZZ_CHECK(r.toMany || members.size() <= 1);
            FUZZ_CHECK(std::is_sorted(members.cbegin(), members.cend()));
            for (ObjectId member : members) {
                const auto target = records.constFind(member);
                FUZZ_CHECK(target != records.cend());
                FUZZ_CHECK(target->entity->name == r.destination);
                const qsizetype inverse = target->entity->relationshipIndex(r.inverse);
                FUZZ_CHECK(inverse >= 0 && target->relations[inverse].contains(it.key()));
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const XmlStore store(QString(), model());
    RecordMap records;
    StoreError error;
    if (!readFrom(store, fuzz::bytes(data, size), records, error)) {
        // a refused file is always told with a reason, so the user learns what is wrong with it
        FUZZ_CHECK(error.isSet());
        return 0;
    }
    checkInverses(records);
    // expat reads what Qt's general reader reads, where that reads the file at all
    {
        QBuffer buffer;
        buffer.setData(fuzz::bytes(data, size));
        buffer.open(QIODevice::ReadOnly);
        RecordMap general;
        StoreError generalError;
        if (xmlStoreForm::readWithQtAlone(model(), buffer, general, generalError))
            FUZZ_CHECK(sameRecords(records, general));
    }
    // a context numbers its new records on from the highest id, which must leave it room to
    FUZZ_CHECK(records.isEmpty() || records.lastKey() <= XmlStore::HighestKeptId);

    const QByteArray saved = written(store, records);
    FUZZ_CHECK(saved == store.serialize(records));
    RecordMap reread;
    StoreError rereadError;
    const bool rereads = readFrom(store, saved, reread, rereadError);
    if (!rereads)
        std::fprintf(stderr, "%s\n%s\n", qPrintable(rereadError.text()), saved.constData());
    FUZZ_CHECK(rereads);
    FUZZ_CHECK(sameRecords(records, reread));
    FUZZ_CHECK(written(store, reread) == saved);
    return 0;
}
