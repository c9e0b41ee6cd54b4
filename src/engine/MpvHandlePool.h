#pragma once

#include "engine/MpvMovie.h"

#include <memory>

namespace tetrapan {

// Started mpv cores kept ready, so opening a file skips mpv's start-up, which is most of an open.
// Switching a playlist opens four files at once; with ready cores that is four loads, not four starts.
// Cores are started on the engine's workers. The owner refills the pool: starting cores takes the machine
// away from the files just loaded on the cores taken, so it waits until their first frames are out.
class MpvHandlePool {
public:
    MpvHandlePool(const MpvMovie::Options& options, int size);
    ~MpvHandlePool();
    MpvHandlePool(const MpvHandlePool&) = delete;
    MpvHandlePool& operator=(const MpvHandlePool&) = delete;

    // A ready core, or null when none is ready yet (the caller then starts its own).
    MpvCorePtr take();
    // Starts as many cores as are missing; called once at creation.
    void refill();
    int readyCount() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    MpvMovie::Options options_;
    int size_;
};

} // namespace tetrapan
