#pragma once

#include "platform/Scheduler.h"

#include <map>

namespace tetrapan::test {

// A scheduler on a clock that moves only when a test calls advance(). Tasks due at the same moment run in
// the order they were scheduled.
class FakeScheduler final : public Scheduler {
public:
    TaskId scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
    TaskId scheduleRepeating(std::chrono::milliseconds interval, std::function<void()> task) override;
    void cancel(TaskId id) override;
    bool isPending(TaskId id) const override;

    // Moves the clock forward by the given time, running every task that falls due on the way at its own
    // moment (a task may schedule or cancel others; new ones due within the span run too).
    void advance(std::chrono::milliseconds span);
    std::chrono::milliseconds now() const { return now_; }
    int pendingCount() const { return static_cast<int>(tasks_.size()); }
    // When the next task falls due; -1 ms when none is pending.
    std::chrono::milliseconds nextDue() const;

private:
    struct Task {
        std::chrono::milliseconds due;
        std::chrono::milliseconds interval; // 0 for a one-shot task
        std::function<void()> run;
    };

    TaskId add(std::chrono::milliseconds delay, std::chrono::milliseconds interval, std::function<void()> task);

    std::chrono::milliseconds now_{0};
    TaskId nextId_ = 1;
    // Ids grow with scheduling order, so ordering by (due, id) keeps equal-time tasks first come, first run.
    std::map<TaskId, Task> tasks_;
};

} // namespace tetrapan::test
