#include "panes/PendingResumes.h"

#include <memory>

namespace tetrapan {

void PendingResumes::schedule(std::chrono::milliseconds delay, const Panes& plays,
                              std::function<void()> resume)
{
    auto id = std::make_shared<Scheduler::TaskId>(Scheduler::NoTask);
    *id = scheduler_.scheduleAfter(delay, [this, id, resume = std::move(resume)] {
        waiting_.remove(*id);
        resume();
    });
    waiting_.insert(*id, plays);
}

PendingResumes::Panes PendingResumes::plays() const
{
    Panes any{};
    for (const Panes& panes : waiting_) {
        for (std::size_t n = 0; n < any.size(); ++n)
            any[n] = any[n] || panes[n];
    }
    return any;
}

void PendingResumes::cancelAll()
{
    for (auto it = waiting_.cbegin(); it != waiting_.cend(); ++it)
        scheduler_.cancel(it.key());
    waiting_.clear();
}

} // namespace tetrapan
