#pragma once

#include "platform/AtomicFileWriter.h"
#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/StoreError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

namespace tetrapan {

// The library file: one XML element per record and one per many-to-many link, written atomically.
// A file that fails any check is reported as damaged and left exactly as it is.
class XmlStore {
public:
    static constexpr int FormatVersion = 1;
    // A library read with a larger id is numbered afresh from 1: a context goes on from its highest id.
    static constexpr ObjectId HighestKeptId = ObjectId(1) << 62;

    XmlStore(const QString& filePath, const ObjectModel& model,
             const FileWriteCalls& calls = FileWriteCalls::system());

    // Dates are written in UTC with a four-digit year: one outside the years 1 to 9999 there has no form in
    // the file, and written anyway it would make the whole library unreadable at the next start.
    static bool canHoldDate(const QDateTime& date);

    QString filePath() const { return filePath_; }

    // A missing file is an empty library. Fills `records` only on success.
    bool load(RecordMap& records, StoreError& error) const;
    // Writes a new file beside the old one and renames it over it (AtomicFileWriter); on failure the old file
    // stays byte for byte as it was and the error says why in the system's words. (Only a folder that could
    // not be synced after the rename fails with the new file in place, which the error says.)
    bool save(const RecordMap& records, StoreError& error) const;

    bool read(QIODevice& device, RecordMap& records, StoreError& error) const;
    // How much of the file is made before it goes to the disk.
    static constexpr qsizetype SavePiece = 256 * 1024;
    // The file's bytes handed to `sink` a buffer at a time, the last piece too; false as soon as the sink
    // refuses one, and nothing is made after that.
    using Sink = AtomicFileWriter::Sink;
    bool serialize(const RecordMap& records, const Sink& sink) const;
    // The whole file at once.
    QByteArray serialize(const RecordMap& records) const;
    bool write(QIODevice& device, const RecordMap& records, StoreError& error) const;

private:
    QString filePath_;
    const ObjectModel& model_;
    AtomicFileWriter writer_;
};

} // namespace tetrapan
