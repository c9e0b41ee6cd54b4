#include "library/FileExistenceCache.h"

#include "library/fileAttributeExtension.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace tetrapan {

// What the cache and its threads share. The cache clears `owner` when it goes, under the mutex, so a thread
// either posts its answer before that (and the posted call goes with the cache) or finds no one to tell.
struct FileExistenceCache::Workers {
    Check check;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QString> waiting;
    int threads = 0;
    int idle = 0;
    bool closing = false;
    FileExistenceCache* owner = nullptr;
};

FileExistenceCache::FileExistenceCache(Scheduler& scheduler, Check check, QObject* parent)
    : QObject(parent), scheduler_(scheduler), workers_(std::make_shared<Workers>())
{
    workers_->check = check ? std::move(check) : [](const QString& path) {
        return fileAttributeExtension::checkFileExists(path) > 0;
    };
    workers_->owner = this;
}

FileExistenceCache::~FileExistenceCache()
{
    {
        std::lock_guard lock(workers_->mutex);
        workers_->owner = nullptr;
        workers_->closing = true;
        workers_->waiting.clear();
    }
    // idle threads end now, hung ones when their check returns, if ever
    workers_->wake.notify_all();
    for (const Known& known : std::as_const(known_)) {
        scheduler_.cancel(known.forget);
        scheduler_.cancel(known.giveUp);
    }
}

bool FileExistenceCache::isPresent(const QString& path)
{
    if (path.isEmpty())
        return false;
    Known& known = known_[path];
    if (!known.fresh && !known.asking)
        ask(path, known);
    return known.present;
}

void FileExistenceCache::work(std::shared_ptr<Workers> workers)
{
    std::unique_lock lock(workers->mutex);
    for (;;) {
        ++workers->idle;
        workers->wake.wait(lock, [&] { return workers->closing || !workers->waiting.empty(); });
        --workers->idle;
        if (workers->closing)
            break;
        const QString path = workers->waiting.front();
        workers->waiting.pop_front();
        lock.unlock();
        const bool present = workers->check(path);
        lock.lock();
        // Posted, never called here: an answer must not come inside the repaint that asked, and a view
        // must not hear of a change while it is reading.
        if (FileExistenceCache* owner = workers->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, path, present] { owner->answer(path, present); }, Qt::QueuedConnection);
        }
    }
    --workers->threads;
}

void FileExistenceCache::ask(const QString& path, Known& known)
{
    known.asking = true;
    known.giveUp = scheduler_.scheduleAfter(UnknownAfter, [this, path] {
        Known& hung = known_[path];
        hung.giveUp = Scheduler::NoTask;
        // still asking: the path keeps its last answer and is not asked again while its check hangs, which
        // would take another thread; the thread it holds is made up for
        hung.hung = true;
        ++hung_;
        startThreads();
    });
    {
        std::lock_guard lock(workers_->mutex);
        workers_->waiting.push_back(path);
    }
    startThreads();
}

void FileExistenceCache::startThreads()
{
    std::lock_guard lock(workers_->mutex);
    const int limit = MaxCheckThreads + std::min(hung_, MaxHungThreads);
    // an idle thread for every waiting check, or a new thread; past the limit they wait their turn
    for (int spare = workers_->idle;
         workers_->waiting.size() > std::size_t(spare) && workers_->threads < limit; ++spare) {
        ++workers_->threads;
        std::thread(work, workers_).detach();
    }
    workers_->wake.notify_all();
}

void FileExistenceCache::answer(const QString& path, bool present)
{
    Known& known = known_[path];
    known.asking = false;
    known.fresh = true;
    if (std::exchange(known.hung, false))
        --hung_;
    scheduler_.cancel(known.giveUp);
    known.giveUp = Scheduler::NoTask;
    scheduler_.cancel(known.forget);
    known.forget = scheduler_.scheduleAfter(RememberFor, [this, path] {
        Known& stale = known_[path];
        stale.fresh = false;
        stale.forget = Scheduler::NoTask;
    });
    setPresent(path, known, present);
}

void FileExistenceCache::setPresent(const QString& path, Known& known, bool present)
{
    const bool changed = known.present != present;
    known.present = present;
    if (changed)
        Q_EMIT presenceChanged(path);
}

} // namespace tetrapan
