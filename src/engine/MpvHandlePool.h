#pragma once

#include "engine/MpvMovie.h"

#include <memory>

namespace tetrapan {

// Started mpv instances kept ready, so opening a file skips mpv's start-up, which is most of an open.
// Switching a playlist opens four files at once; with ready handles that is four loads, not four starts.
// Handles are started on a worker thread and refilled after each take.
class MpvHandlePool {
public:
    MpvHandlePool(const MpvMovie::Options& options, int size);
    ~MpvHandlePool();
    MpvHandlePool(const MpvHandlePool&) = delete;
    MpvHandlePool& operator=(const MpvHandlePool&) = delete;

    // A ready handle, or null when none is ready yet (the caller then starts its own).
    MpvHandlePtr take();
    // Starts as many handles as are missing; called by take() and once at creation.
    void refill();
    int readyCount() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    MpvMovie::Options options_;
    int size_;
};

} // namespace tetrapan
