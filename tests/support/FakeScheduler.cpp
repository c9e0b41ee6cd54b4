#include "FakeScheduler.h"

namespace tetrapan::test {

using std::chrono::milliseconds;

Scheduler::TaskId FakeScheduler::add(milliseconds delay, milliseconds interval, std::function<void()> task)
{
    const TaskId id = nextId_++;
    tasks_.emplace(id, Task{now_ + std::max(delay, milliseconds(0)), interval, std::move(task)});
    return id;
}

Scheduler::TaskId FakeScheduler::scheduleAfter(milliseconds delay, std::function<void()> task)
{
    return add(delay, milliseconds(0), std::move(task));
}

Scheduler::TaskId FakeScheduler::scheduleRepeating(milliseconds interval, std::function<void()> task)
{
    // A zero interval would repeat for ever within one advance().
    return add(interval, std::max(interval, milliseconds(1)), std::move(task));
}

void FakeScheduler::cancel(TaskId id)
{
    tasks_.erase(id);
}

bool FakeScheduler::isPending(TaskId id) const
{
    return tasks_.count(id) > 0;
}

milliseconds FakeScheduler::nextDue() const
{
    milliseconds next(-1);
    for (const auto& [id, task] : tasks_) {
        if (next.count() < 0 || task.due < next)
            next = task.due;
    }
    return next;
}

void FakeScheduler::advance(milliseconds span)
{
    const milliseconds end = now_ + span;
    for (;;) {
        auto earliest = tasks_.end();
        for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
            if (it->second.due <= end && (earliest == tasks_.end() || it->second.due < earliest->second.due))
                earliest = it;
        }
        if (earliest == tasks_.end())
            break;
        now_ = earliest->second.due;
        std::function<void()> run = earliest->second.run;
        if (earliest->second.interval.count() > 0)
            earliest->second.due += earliest->second.interval;
        else
            tasks_.erase(earliest);
        run();
    }
    now_ = end;
}

} // namespace tetrapan::test
