#pragma once

#include "platform/Scheduler.h"

#include <QHash>
#include <QList>

#include <chrono>
#include <functional>

namespace tetrapan {

// The coordinator's resumes waiting to run after a load, a skip or a synchronisation, each with whether it
// would start any pane, so the user or a newer load can drop them or take their intent over.
class PendingResumes {
public:
    explicit PendingResumes(Scheduler& scheduler) : scheduler_(scheduler) {}
    // Whatever is still waiting would reach a coordinator that is gone.
    ~PendingResumes() { cancelAll(); }
    PendingResumes(const PendingResumes&) = delete;
    PendingResumes& operator=(const PendingResumes&) = delete;

    // resume runs after the delay unless cancelled first; willPlay: it would start any pane.
    void schedule(std::chrono::milliseconds delay, bool willPlay, std::function<void()> resume);
    void cancelAll();
    bool isEmpty() const { return waiting_.isEmpty(); }
    // Whether each resume still waiting would start any pane.
    QList<bool> intents() const { return waiting_.values(); }

private:
    Scheduler& scheduler_;
    QHash<Scheduler::TaskId, bool> waiting_;
};

} // namespace tetrapan
