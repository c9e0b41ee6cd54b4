#include "recording/RecordingScan.h"

#include "recording/RecordingLister.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

namespace tetrapan {

struct RecordingScan::Run {
    std::atomic<bool> cancelled{false};
    QMutex mutex;
    QElapsedTimer sinceReport;
};

namespace {

// well below the GUI thread's 0: on a busy machine the window answers first
constexpr int ListingNice = 10;

// Linux gives each thread a nice value of its own, while Qt's thread priorities do nothing under its default
// scheduler. Only the scan's own pools' threads are lowered, each once.
void lowerThisThread()
{
    static thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), ListingNice);
    }
}

} // namespace

RecordingScan::RecordingScan(QObject* parent) : QObject(parent) {}

RecordingScan::~RecordingScan()
{
    cancel();
    // their reports name this object
    for (QFuture<Recording>& left : leftRunning_)
        left.waitForFinished();
}

void RecordingScan::start(const Recording& source, const QTimeZone& zone)
{
    cancel();
    leftRunning_.removeIf([](const QFuture<Recording>& left) { return left.isFinished(); });
    // a cancelled listing stuck on a disk that hangs keeps its thread: this one gets a thread of its own
    pool_.setMaxThreadCount(std::max(QThread::idealThreadCount(), int(leftRunning_.size()) + 1));
    auto run = std::make_shared<Run>();
    run->sinceReport.start();
    run_ = run;
    running_ = true;
    // A report per file would flood the GUI thread's queue with ten thousand events; one each 50 ms tells
    // the user as much.
    auto report = [this, run](int done, int total) {
        lowerThisThread();
        {
            const QMutexLocker lock(&run->mutex);
            if (done < total && run->sinceReport.elapsed() < 50)
                return;
            run->sinceReport.restart();
        }
        QMetaObject::invokeMethod(
            this,
            [this, run, done, total] {
                if (run == run_ && !run->cancelled)
                    Q_EMIT progress(done, total);
            },
            Qt::QueuedConnection);
    };
    watcher_ = std::make_unique<QFutureWatcher<Recording>>();
    QFutureWatcher<Recording>* watcher = watcher_.get();
    connect(watcher, &QFutureWatcher<Recording>::finished, this, [this, run, watcher] {
        if (run != run_ || run->cancelled)
            return;
        running_ = false;
        const Recording recording = watcher->result();
        Q_EMIT finished(recording);
    });
    watcher->setFuture(QtConcurrent::run(&pool_, [this, source, zone, report, run] {
        lowerThisThread();
        return RecordingLister::list(source, zone, report, &run->cancelled, &readers_);
    }));
}

void RecordingScan::cancel()
{
    if (run_)
        run_->cancelled = true;
    running_ = false;
    if (watcher_) {
        // the listing stops after the files at hand, not waited for: a file on a hanging disk would hold the
        // window up
        watcher_->disconnect(this);
        leftRunning_.append(watcher_->future());
        watcher_.reset();
    }
    run_.reset();
}

} // namespace tetrapan
