#include "export/ExportTask.h"

#include "export/VideoExport.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>

#include <sys/resource.h>
#include <unistd.h>

namespace tetrapan {

namespace {

constexpr int ExportNiceness = 19;

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
        // The export gives way to the window and the panes playing: the threads FFmpeg starts from here
        // inherit the lower priority.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), ExportNiceness);
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
