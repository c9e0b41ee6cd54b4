#pragma once

#include "library/Recording.h"

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QTimeZone>

#include <atomic>
#include <memory>

namespace tetrapan {

// Lists a recording off the GUI thread (RecordingLister), telling how far it is and letting it be cancelled:
// a folder of ten thousand files takes seconds to read, and the window answers all the while. One listing
// at a time: a new start cancels the one before.
class RecordingScan final : public QObject {
    Q_OBJECT
public:
    explicit RecordingScan(QObject* parent = nullptr);
    // Listings under way are cancelled, and their reading of the files at hand is waited for.
    ~RecordingScan() override;

    // zone: where the times in the files' names are read (WallClockName::startIn).
    void start(const Recording& source, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // finished is not emitted for a cancelled listing.
    void cancel();
    bool isRunning() const { return running_; }

Q_SIGNALS:
    // At most every few hundredths of a second, on the GUI thread.
    void progress(int done, int total);
    void finished(const tetrapan::Recording& recording);

private:
    struct Run;
    // The listings' threads, and the ones they read headers on: two pools, as a listing waits for its reads.
    // Both run below the GUI thread's priority, so a window on a busy machine still answers while they read.
    QThreadPool pool_;
    QThreadPool readers_;
    std::shared_ptr<Run> run_;
    std::unique_ptr<QFutureWatcher<Recording>> watcher_;
    QList<QFuture<Recording>> leftRunning_; // cancelled, still reading the files they had at hand
    bool running_ = false;
};

} // namespace tetrapan
