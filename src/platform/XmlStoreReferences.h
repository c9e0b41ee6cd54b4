#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/XmlStoreParsers.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace tetrapan::xmlStoreForm {

// A record's reference to another as the file writes it: its own to-one relationship (a playlist's parent)...
struct ToOneReference {
    ObjectId id;
    qsizetype ri;
    ObjectId target;
    XmlStoreEvents::Position where;
};
// ... or a <link> element between two records of a many-to-many relationship, as written: the kinds as
// named, the ids as read (nothing for one that is not an id).
struct LinkReference {
    QString firstEntity;
    std::optional<ObjectId> firstId;
    QString secondEntity;
    std::optional<ObjectId> secondId;
    XmlStoreEvents::Position where;
};

// What makes a file's records whole once all of them are read: every reference checked (it names a record of
// the right kind, and following a record's own chain never comes back to it), and the sides no file writes
// added (a parent's children, a link's other end). Records are found by id in a table made once: looking
// each up in the map made this the slowest part of reading a large library.
class References {
public:
    struct Fault {
        XmlStoreEvents::Position where;
        QString reason;
    };

    // No record may be added to or taken from `records` while this lives.
    References(const ObjectModel& model, RecordMap& records);

    // The first fault, if any; the records are whole only when there is none.
    std::optional<Fault> resolve(const QList<ToOneReference>& toOne, const QList<LinkReference>& links);
    // What a damaged file holds whole: references to records it does not hold, of another kind or in a loop
    // dropped, in the order they were written; the rest made whole.
    void keepReadable(const QList<ToOneReference>& toOne, const QList<LinkReference>& links);

private:
    Record* find(ObjectId id) const;
    std::optional<Fault> checkTarget(ObjectId target, const QString& destination,
                                     XmlStoreEvents::Position where, const QString& what) const;
    bool loops(const ToOneReference& ref) const;
    void addInverse(const ToOneReference& ref);
    std::optional<Fault> addLink(const LinkReference& link);

    const ObjectModel& model_;
    RecordMap& records_;
    // by id less the first, where ids are close together (as a program that numbers records on writes them)
    ObjectId first_ = NoObject;
    std::vector<Record*> dense_;
    // by id, otherwise
    std::vector<std::pair<ObjectId, Record*>> sorted_;
};

// A record's id as written; nothing for one that is not a number or is no record's.
std::optional<ObjectId> readId(QStringView text);

// A context numbers new records on from the highest id it read; ids near the top of their range would leave
// it no room to do so without wrapping round onto records there are. Ids mean nothing outside the file, so
// such a library is numbered afresh, in the same order.
void renumberNearTheTop(RecordMap& records);

} // namespace tetrapan::xmlStoreForm
