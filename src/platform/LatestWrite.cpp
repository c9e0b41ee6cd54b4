#include "platform/LatestWrite.h"

#include <chrono>
#include <utility>

namespace tetrapan {

LatestWrite::~LatestWrite()
{
    if (thread_.valid())
        thread_.wait();
}

void LatestWrite::post(Write write)
{
    waiting_ = std::move(write);
    start();
}

bool LatestWrite::dropWaiting()
{
    return bool(std::exchange(waiting_, nullptr));
}

void LatestWrite::finish()
{
    while (running_.valid()) {
        tell();
        start();
    }
}

void LatestWrite::start()
{
    if (running_.valid()) {
        // the write under way starts the next as it ends
        if (running_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return;
        tell();
        // what was told may have started the next one already
        if (running_.valid())
            return;
    }
    if (!waiting_)
        return;
    std::promise<Told> found;
    running_ = found.get_future();
    // The thread of the write before has done its work and ends at once, if it has not yet.
    thread_ = std::async(std::launch::async, [this, found = std::move(found),
                                              write = std::exchange(waiting_, nullptr)]() mutable {
        Told told = write();
        write = nullptr;
        // Ready first: a start() that found the write still under way would start nothing, and nothing
        // would start the waiting write after it.
        found.set_value(std::move(told));
        // dropped, with its news, if this goes first
        QMetaObject::invokeMethod(
            this, [this] { start(); }, Qt::QueuedConnection);
    });
}

void LatestWrite::tell()
{
    if (const Told told = running_.get())
        told();
}

} // namespace tetrapan
