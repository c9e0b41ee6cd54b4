#include "engine/MpvHandlePool.h"

#include <QMutex>
#include <QThreadPool>

#include <deque>

namespace tetrapan {

// Shared with the worker tasks, which may finish after the pool is gone.
struct MpvHandlePool::State {
    mutable QMutex mutex;
    std::deque<MpvHandlePtr> ready;
    int starting = 0;
    bool closed = false;
};

MpvHandlePool::MpvHandlePool(const MpvMovie::Options& options, int size)
    : state_(std::make_shared<State>()), options_(options), size_(size)
{
    refill();
}

MpvHandlePool::~MpvHandlePool()
{
    std::deque<MpvHandlePtr> unused;
    {
        QMutexLocker lock(&state_->mutex);
        state_->closed = true;
        unused.swap(state_->ready);
    }
}

MpvHandlePtr MpvHandlePool::take()
{
    MpvHandlePtr handle;
    {
        QMutexLocker lock(&state_->mutex);
        if (!state_->ready.empty()) {
            handle = std::move(state_->ready.front());
            state_->ready.pop_front();
        }
    }
    refill();
    return handle;
}

void MpvHandlePool::refill()
{
    int missing = 0;
    {
        QMutexLocker lock(&state_->mutex);
        missing = size_ - static_cast<int>(state_->ready.size()) - state_->starting;
        state_->starting += std::max(missing, 0);
    }
    for (int i = 0; i < missing; ++i) {
        QThreadPool::globalInstance()->start([state = state_, options = options_] {
            QString error;
            MpvHandlePtr handle = MpvMovie::createHandle(options, &error);
            QMutexLocker lock(&state->mutex);
            --state->starting;
            // a failed start (the locale was not "C" at that moment) leaves the open to start its own
            if (handle && !state->closed)
                state->ready.push_back(std::move(handle));
        });
    }
}

int MpvHandlePool::readyCount() const
{
    QMutexLocker lock(&state_->mutex);
    return static_cast<int>(state_->ready.size());
}

} // namespace tetrapan
