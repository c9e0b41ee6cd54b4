#include "shell/ExitWatchdog.h"

#include <cstdio>
#include <cstdlib>

namespace tetrapan {

void ExitWatchdog::arm(std::chrono::milliseconds allowed, int exitStatus)
{
    if (thread_.joinable())
        return;
    thread_ = std::thread([this, allowed, exitStatus] {
        std::unique_lock lock(mutex_);
        if (disarmed_.wait_for(lock, allowed, [this] { return done_; }))
            return;
        std::fprintf(stderr, "Tetrapan: quitting took too long, leaving now\n");
        std::fflush(nullptr);
        // No destructors and no atexit handlers: they are what hangs.
        std::_Exit(exitStatus);
    });
}

ExitWatchdog::~ExitWatchdog()
{
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    disarmed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

} // namespace tetrapan
