#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/StoreError.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace tetrapan {

// The library file: one XML element per record and one per many-to-many link, written atomically.
// A file that fails any check is reported as damaged and left exactly as it is.
class XmlStore {
public:
    static constexpr int FormatVersion = 1;

    XmlStore(const QString& filePath, const ObjectModel& model);

    QString filePath() const { return filePath_; }

    // A missing file is an empty library. Fills `records` only on success.
    bool load(RecordMap& records, StoreError& error) const;
    // Writes a new file beside the old one and renames it over it; the old file stays whole on failure.
    bool save(const RecordMap& records, StoreError& error) const;

    bool read(QIODevice& device, RecordMap& records, StoreError& error) const;
    QByteArray serialize(const RecordMap& records) const;
    bool write(QIODevice& device, const RecordMap& records, StoreError& error) const;

private:
    QString filePath_;
    const ObjectModel& model_;
};

} // namespace tetrapan
