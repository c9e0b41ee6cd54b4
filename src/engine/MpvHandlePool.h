#pragma once

#include "engine/MpvMovie.h"

#include <memory>

namespace tetrapan {

// Started mpv cores kept ready, so opening a file skips mpv's start-up, which is most of an open.
// Switching a playlist opens four files at once; with ready cores that is four loads, not four starts.
// Cores are started on the engine's workers and refilled after each take.
class MpvHandlePool {
public:
    MpvHandlePool(const MpvMovie::Options& options, int size);
    ~MpvHandlePool();
    MpvHandlePool(const MpvHandlePool&) = delete;
    MpvHandlePool& operator=(const MpvHandlePool&) = delete;

    // A ready core, or null when none is ready yet (the caller then starts its own).
    MpvCorePtr take();
    // Starts as many cores as are missing; called by take() and once at creation.
    void refill();
    int readyCount() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    MpvMovie::Options options_;
    int size_;
};

} // namespace tetrapan
