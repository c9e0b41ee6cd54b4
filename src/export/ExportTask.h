#pragma once

#include "export/ExportJob.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>

namespace tetrapan {

// Runs one export on a thread of its own and reports on the thread that started it: progress at most every
// ProgressInterval, then `finished` once. Destroying the task cancels the export and waits for its thread,
// which notices the cancel before its next frame.
class ExportTask : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 ProgressIntervalMs = 100;
    // The export's threads run as batch threads this much nicer than the thread that starts them.
    static constexpr int NicerThanWindow = 5;

    explicit ExportTask(QObject* parent = nullptr);
    ~ExportTask() override;

    void start(const ExportJob& job);
    void cancel();
    bool isRunning() const { return running_; }
    const ExportJob& job() const { return job_; }

signals:
    void progressed(const tetrapan::ExportProgress& progress);
    void finished(const tetrapan::ExportResult& result);

private:
    ExportJob job_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
};

} // namespace tetrapan
