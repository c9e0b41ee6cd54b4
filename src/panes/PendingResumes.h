#pragma once

#include "platform/Scheduler.h"

#include <QHash>

#include <array>
#include <chrono>
#include <functional>

namespace tetrapan {

// The coordinator's resumes waiting to run after a load, a skip or a synchronisation, each with the panes it
// would start, so the user or a newer load can drop them or take their intent over.
class PendingResumes {
public:
    // pane n's at [n - 1]
    using Panes = std::array<bool, 4>;

    explicit PendingResumes(Scheduler& scheduler) : scheduler_(scheduler) {}
    // Whatever is still waiting would reach a coordinator that is gone.
    ~PendingResumes() { cancelAll(); }
    PendingResumes(const PendingResumes&) = delete;
    PendingResumes& operator=(const PendingResumes&) = delete;

    // resume runs after the delay unless cancelled first; plays: the panes it would start.
    void schedule(std::chrono::milliseconds delay, const Panes& plays, std::function<void()> resume);
    void cancelAll();
    bool isEmpty() const { return waiting_.isEmpty(); }
    // The panes any resume still waiting would start.
    Panes plays() const;

private:
    Scheduler& scheduler_;
    QHash<Scheduler::TaskId, Panes> waiting_;
};

} // namespace tetrapan
