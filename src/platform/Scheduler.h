#pragma once

#include <QHash>
#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace tetrapan {

// Every delay the application waits for goes through this seam: the application runs on QTimer, tests
// drive a fake clock by hand.
class Scheduler {
public:
    using TaskId = quint64;
    static constexpr TaskId NoTask = 0;

    virtual ~Scheduler() = default;

    // Runs task once, delay from now. The returned id is never NoTask.
    virtual TaskId scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task) = 0;
    // Runs task every interval until cancelled.
    virtual TaskId scheduleRepeating(std::chrono::milliseconds interval, std::function<void()> task) = 0;
    // Cancelling an id that already ran, was cancelled or is NoTask does nothing.
    virtual void cancel(TaskId id) = 0;
    virtual bool isPending(TaskId id) const = 0;
};

class QtScheduler final : public QObject, public Scheduler {
    Q_OBJECT
public:
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    TaskId scheduleAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
    TaskId scheduleRepeating(std::chrono::milliseconds interval, std::function<void()> task) override;
    void cancel(TaskId id) override;
    bool isPending(TaskId id) const override;

private:
    TaskId start(std::chrono::milliseconds delay, bool repeating, std::function<void()> task);

    TaskId nextId_ = 1;
    QHash<TaskId, QTimer*> timers_;
};

} // namespace tetrapan
