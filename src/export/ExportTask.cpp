#include "export/ExportTask.h"

#include "export/VideoExport.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tetrapan {

namespace {

constexpr int MaxNiceness = 19;

// The calling thread, and every thread it starts from now on (FFmpeg's decoding and encoding threads inherit
// both), gives way to the window and the panes: batch threads never preempt another when they wake, and the
// niceness leaves each a third of the share of a thread of the window or of a playing pane. No nicer than
// that: every thread of the program takes its memory from the same few allocation arenas, and an export
// thread preempted while it holds an arena's lock holds up the window until it runs again: on a busy machine
// over a second at niceness 19, over 100 ms at 10.
void giveWayToTheWindow()
{
    const sched_param unused{};
    sched_setscheduler(0, SCHED_BATCH, &unused);
    // relative to the window's, which the thread inherited: a program started nicer keeps its order
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int window = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, std::min(window + ExportTask::NicerThanWindow, MaxNiceness));
}

} // namespace

ExportTask::ExportTask(QObject* parent) : QObject(parent) {}

ExportTask::~ExportTask()
{
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ExportTask::start(const ExportJob& job)
{
    if (running_)
        return;
    if (thread_.joinable())
        thread_.join(); // the last export's thread has already reported its end
    job_ = job;
    cancel_ = false;
    running_ = true;
    const QPointer<ExportTask> self(this);
    thread_ = std::thread([this, self, job] {
        giveWayToTheWindow();
        QElapsedTimer sinceReport;
        sinceReport.start();
        const auto report = [&](const ExportProgress& progress) {
            // the window needs no more than a few reports a second
            if (sinceReport.elapsed() < ProgressIntervalMs && progress.framesDone < progress.framesTotal)
                return;
            sinceReport.restart();
            QMetaObject::invokeMethod(
                this,
                [self, progress] {
                    if (self)
                        emit self->progressed(progress);
                },
                Qt::QueuedConnection);
        };
        const ExportResult result = runVideoExport(job, cancel_, report);
        QMetaObject::invokeMethod(
            this,
            [self, result] {
                if (!self)
                    return;
                self->running_ = false;
                emit self->finished(result);
            },
            Qt::QueuedConnection);
    });
}

void ExportTask::cancel()
{
    cancel_ = true;
}

} // namespace tetrapan
