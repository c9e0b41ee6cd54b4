#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace tetrapan {

// Runs the engine's slow background work (starting and shutting down mpv cores), each task on a thread of
// its own, and tells when all of it is done. A core that hangs in its sound or network code holds up only
// its own thread: nothing waits for these threads without a deadline, so quitting stays bounded.
// Tasks keep the shared state alive, so they may outlive the owner.
class MpvWorkers : public std::enable_shared_from_this<MpvWorkers> {
public:
    static std::shared_ptr<MpvWorkers> create();
    MpvWorkers(const MpvWorkers&) = delete;
    MpvWorkers& operator=(const MpvWorkers&) = delete;

    void run(std::function<void()> task);
    // True when no task is running any more; false when some still run at the deadline.
    bool waitForDone(std::chrono::milliseconds timeout);
    int runningCount() const;

private:
    MpvWorkers() = default;

    mutable std::mutex mutex_;
    std::condition_variable done_;
    int running_ = 0;
};

} // namespace tetrapan
