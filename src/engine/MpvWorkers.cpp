#include "engine/MpvWorkers.h"

#include <thread>

namespace tetrapan {

std::shared_ptr<MpvWorkers> MpvWorkers::create()
{
    return std::shared_ptr<MpvWorkers>(new MpvWorkers);
}

void MpvWorkers::run(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    // Detached: a task that never returns must not hold up whoever waits with a deadline.
    std::thread([self = shared_from_this(), task = std::move(task)] {
        task();
        std::lock_guard lock(self->mutex_);
        if (--self->running_ == 0)
            self->done_.notify_all();
    }).detach();
}

bool MpvWorkers::waitForDone(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

int MpvWorkers::runningCount() const
{
    std::lock_guard lock(mutex_);
    return running_;
}

} // namespace tetrapan
