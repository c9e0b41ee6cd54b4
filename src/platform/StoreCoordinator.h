#pragma once

#include "platform/ObjectModel.h"
#include "platform/Record.h"
#include "platform/StoreError.h"

#include <QString>

class QDateTime;

#include <functional>
#include <memory>

namespace tetrapan {

class XmlStore;
class XmlStorePrefetch;

// Connects the object model with the one library file. Without a store (the file could not be read) it
// still serves a context, whose saves then fail instead of writing over the unread file.
class StoreCoordinator {
public:
    explicit StoreCoordinator(ObjectModel model);
    ~StoreCoordinator();
    StoreCoordinator(const StoreCoordinator&) = delete;
    StoreCoordinator& operator=(const StoreCoordinator&) = delete;

    const ObjectModel& model() const { return model_; }

    // Reads the file (a missing file is an empty library). On failure no store is attached and the
    // error is kept for later saves to report.
    bool addXmlStore(const QString& filePath, StoreError& error);
    // Starts reading the file on a worker thread; addXmlStore of the same file then takes that reading.
    void prefetchXmlStore(const QString& filePath);
    // For a file addXmlStore could not read: keeps it, never changed, beside it as
    // "<file>.damaged-<yyyyMMdd-HHmmss>" ("-2", "-3", ... after that when the name is taken) and attaches a
    // new, empty library at its path. Returns the name it is kept under; empty, with the error, when it could
    // not be moved, and then it stays where it is and no store is attached.
    QString setAsideDamagedStore(const QString& filePath, const QDateTime& now, StoreError& error);
    // What a file addXmlStore could not read holds whole before its damage (see xmlStoreForm::readablePart).
    RecordMap readablePartOf(const QString& filePath) const;
    // Makes the records the attached store's content: written to its file at once, and handed to the
    // context as if read. False, with the error, when they could not be written: the context has them all the
    // same, and the next save writes them.
    bool startWith(const RecordMap& records, StoreError& error);
    bool hasStore() const { return store_ != nullptr; }
    QString storePath() const;

    // The records read by addXmlStore, handed over once to the context.
    RecordMap takeLoadedRecords();
    // Refused, the file untouched, while the save guard gives a reason.
    bool save(const RecordMap& records, StoreError& error) const;
    // Asked before every save of the store's own file: empty when the file may be written, else why not
    // (another program may be using the library).
    void setSaveGuard(std::function<QString()> whyNot) { saveGuard_ = std::move(whyNot); }
    // Writes the records as a whole library file at another path; the store's own file is left alone.
    bool saveCopy(const RecordMap& records, const QString& filePath, StoreError& error) const;

private:
    ObjectModel model_;
    std::unique_ptr<XmlStore> store_;
    RecordMap loaded_;
    StoreError openError_;
    std::function<QString()> saveGuard_;
    std::unique_ptr<XmlStorePrefetch> prefetch_; // reads with model_, so it goes first
};

} // namespace tetrapan
