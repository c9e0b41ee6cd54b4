#include "platform/Scheduler.h"

#include <QTimer>

namespace tetrapan {

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {}

QtScheduler::~QtScheduler()
{
    qDeleteAll(timers_);
}

Scheduler::TaskId QtScheduler::scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task)
{
    return start(delay, false, std::move(task));
}

Scheduler::TaskId QtScheduler::scheduleRepeating(std::chrono::milliseconds interval,
                                                 std::function<void()> task)
{
    return start(interval, true, std::move(task));
}

Scheduler::TaskId QtScheduler::start(std::chrono::milliseconds delay, bool repeating,
                                     std::function<void()> task)
{
    const TaskId id = nextId_++;
    auto* timer = new QTimer;
    timer->setSingleShot(!repeating);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(delay);
    connect(timer, &QTimer::timeout, this, [this, id, repeating, task = std::move(task)] {
        if (!repeating) {
            // forget the timer before running, so the task may schedule or cancel freely
            if (QTimer* done = timers_.take(id))
                done->deleteLater();
        }
        task();
    });
    timers_.insert(id, timer);
    timer->start();
    return id;
}

void QtScheduler::cancel(TaskId id)
{
    if (QTimer* timer = timers_.take(id)) {
        timer->stop();
        timer->deleteLater();
    }
}

bool QtScheduler::isPending(TaskId id) const
{
    return timers_.contains(id);
}

} // namespace tetrapan
