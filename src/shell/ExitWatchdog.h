#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tetrapan {

// Ends the process with a given status if tearing down after the event loop takes longer than allowed.
// By then the library is saved and every setting written, so nothing is lost; a movie core stuck in a sound
// server or on a network file, or a driver stuck in its teardown, cannot keep the program from quitting.
class ExitWatchdog {
public:
    ExitWatchdog() = default;
    // Disarms; must be the last thing to go.
    ~ExitWatchdog();
    ExitWatchdog(const ExitWatchdog&) = delete;
    ExitWatchdog& operator=(const ExitWatchdog&) = delete;

    // From now on the process has `allowed` to finish; once only.
    void arm(std::chrono::milliseconds allowed, int exitStatus);

private:
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace tetrapan
