#pragma once

#include "platform/Record.h"
#include "platform/StoreError.h"

#include <QString>

#include <future>

namespace tetrapan {

class ObjectModel;

// Reads a library file on a worker thread while the program builds its windows: a large library then costs
// the start-up only what its reading takes beyond that work. The model must outlive the prefetch.
class XmlStorePrefetch {
public:
    XmlStorePrefetch(const QString& filePath, const ObjectModel& model);
    // Waits for a reading still under way; nothing is ever left running.
    ~XmlStorePrefetch();
    XmlStorePrefetch(const XmlStorePrefetch&) = delete;
    XmlStorePrefetch& operator=(const XmlStorePrefetch&) = delete;

    QString filePath() const { return filePath_; }
    // Whether the reading has not been taken yet.
    bool isPending() const { return reading_.valid(); }
    // Waits for the reading and hands over what XmlStore::load gives for the file. Once only.
    bool take(RecordMap& records, StoreError& error);

private:
    struct Result {
        bool ok = false;
        RecordMap records;
        StoreError error;
    };

    QString filePath_;
    std::future<Result> reading_;
};

} // namespace tetrapan
