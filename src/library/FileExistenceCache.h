#pragma once

#include "platform/Scheduler.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

namespace tetrapan {

// Whether movie files exist, for views that ask on every repaint. The file system is asked on a worker
// thread, so a movie on a stalled network mount never freezes a window, and each answer is kept a few
// seconds. A path not yet answered counts as present.
class FileExistenceCache : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds RememberFor{3000};
    // Runs on a worker thread.
    using Check = std::function<bool(const QString& path)>;

    // Without a check, the file system is asked.
    explicit FileExistenceCache(Scheduler& scheduler, Check check = {}, QObject* parent = nullptr);
    ~FileExistenceCache() override;

    // Never waits: the last answer, or true before the first. A path never answered, or answered longer
    // than RememberFor ago, is asked again. An empty path is missing.
    bool isPresent(const QString& path);

Q_SIGNALS:
    // An answer changed what isPresent says for the path.
    void presenceChanged(const QString& path);

private:
    struct Known {
        bool present = true;
        bool fresh = false;
        bool asking = false;
        Scheduler::TaskId forget = Scheduler::NoTask;
    };

    void ask(const QString& path, Known& known);
    void answer(const QString& path, bool present);

    Scheduler& scheduler_;
    Check check_;
    QHash<QString, Known> known_;
};

} // namespace tetrapan
