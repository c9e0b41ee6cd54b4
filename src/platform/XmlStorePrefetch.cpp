#include "platform/XmlStorePrefetch.h"

#include "platform/XmlStore.h"

namespace tetrapan {

XmlStorePrefetch::XmlStorePrefetch(const QString& filePath, const ObjectModel& model) : filePath_(filePath)
{
    // the worker shares nothing with the program but the model, which nobody changes
    reading_ = std::async(std::launch::async, [path = filePath, &model] {
        Result result;
        result.ok = XmlStore(path, model).load(result.records, result.error);
        return result;
    });
}

XmlStorePrefetch::~XmlStorePrefetch()
{
    if (reading_.valid())
        reading_.wait();
}

bool XmlStorePrefetch::take(RecordMap& records, StoreError& error)
{
    Result result = reading_.get();
    error = result.error;
    if (result.ok)
        records = std::move(result.records);
    return result.ok;
}

} // namespace tetrapan
