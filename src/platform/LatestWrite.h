#pragma once

#include <QObject>

#include <functional>
#include <future>

namespace tetrapan {

// Writes to the disk on a thread of their own, so that whoever asks for one never waits on the disk. One
// runs at a time: a write asked for meanwhile waits its turn, and of those waiting only the latest is done,
// as it holds all that the others would have written. What a write found is told on the asking thread, by
// the closure the write returns, in the order the writes ran.
class LatestWrite : public QObject {
public:
    using Told = std::function<void()>;
    // Runs on the writing thread; what it captures is let go of there.
    using Write = std::function<Told()>;

    using QObject::QObject;
    // Waits for the write under way, whose news is not told any more; a waiting one is not done.
    ~LatestWrite() override;

    void post(Write write);
    // Forgets the write waiting, if any; true when there was one.
    bool dropWaiting();
    bool hasWaiting() const { return bool(waiting_); }
    // Waits for the write under way and then does the one waiting, telling what each found before it
    // returns.
    void finish();

private:
    void start();
    void tell();

    // What the write under way finds, ready before the write's thread asks this thread to go on: its thread
    // may still be ending then, and is waited for when the next write starts or this goes.
    std::future<Told> running_;
    std::future<void> thread_;
    Write waiting_;
};

} // namespace tetrapan
