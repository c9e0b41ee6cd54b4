#include "engine/MpvHandlePool.h"

#include "engine/MpvWorkers.h"

#include <deque>
#include <mutex>

namespace tetrapan {

// Shared with the worker tasks, which may finish after the pool is gone.
struct MpvHandlePool::State {
    // a standard mutex: ThreadSanitizer sees its locking, which Qt's own mutex hides in a library it cannot see
    mutable std::mutex mutex;
    std::deque<MpvCorePtr> ready;
    int starting = 0;
    bool closed = false;
};

MpvHandlePool::MpvHandlePool(const MpvMovie::Options& options, int size)
    : state_(std::make_shared<State>()), options_(options), size_(size)
{
    if (!options_.workers)
        options_.workers = MpvWorkers::create();
    refill();
}

MpvHandlePool::~MpvHandlePool()
{
    std::deque<MpvCorePtr> unused;
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        unused.swap(state_->ready);
    }
}

MpvCorePtr MpvHandlePool::take()
{
    MpvCorePtr core;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->ready.empty()) {
            core = std::move(state_->ready.front());
            state_->ready.pop_front();
        }
    }
    return core;
}

void MpvHandlePool::refill()
{
    int missing = 0;
    {
        std::lock_guard lock(state_->mutex);
        missing = size_ - static_cast<int>(state_->ready.size()) - state_->starting;
        state_->starting += std::max(missing, 0);
    }
    for (int i = 0; i < missing; ++i) {
        auto start = [state = state_, options = options_] {
            QString error;
            MpvCorePtr core = MpvCore::start(options, &error);
            std::lock_guard lock(state->mutex);
            --state->starting;
            // a failed start (the locale was not "C" at that moment) leaves the open to start its own
            if (core && !state->closed)
                state->ready.push_back(std::move(core));
        };
        options_.workers->run(std::move(start));
    }
}

int MpvHandlePool::readyCount() const
{
    std::lock_guard lock(state_->mutex);
    return static_cast<int>(state_->ready.size());
}

} // namespace tetrapan
