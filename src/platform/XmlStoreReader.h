#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/StoreError.h"

#include <QString>

class QIODevice;

namespace tetrapan {

// The library file's form, as the store reads and writes it.
namespace xmlStoreForm {

inline const QString RootElement = QStringLiteral("tetrapan-library");
inline const QString LinkElement = QStringLiteral("link");
// A text attribute holding characters XML 1.0 has no form for is written as the base64 of its UTF-8 under
// its name with this suffix, so it reads back exactly.
inline const QString Base64Suffix = QStringLiteral(".base64");

// The many-to-many relationship of `entity` that `<link>` elements stand for, if any.
const RelationshipDescription* linkRelationship(const ObjectModel& model, const EntityDescription& entity,
                                                const QString& otherEntity);

// Reads and checks a whole library; fills `records` only when every check passes, otherwise says where
// (line, column) and why in `error`.
bool read(const ObjectModel& model, QIODevice& device, RecordMap& records, StoreError& error);
// The same with Qt's general XML reader alone, against which the faster parsers read is checked (fuzz/).
bool readWithQtAlone(const ObjectModel& model, QIODevice& device, RecordMap& records, StoreError& error);
// What a damaged library holds whole before its damage (all of it, for a library that is not damaged):
// every record read to its end, with references to records it does not hold, or that loop, dropped.
RecordMap readablePart(const ObjectModel& model, QIODevice& device);

} // namespace xmlStoreForm
} // namespace tetrapan
