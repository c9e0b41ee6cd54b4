#pragma once

#include "platform/Scheduler.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace tetrapan {

// Whether movie files exist, for views that ask on every repaint. The file system is asked on threads of the
// cache's own, so a movie on a stalled network mount never freezes a window, and each answer is kept a few
// seconds. A path not yet answered counts as present.
//
// A check may hang for good (a dead network mount): it then holds its thread, and only that one. Every check
// that finds no idle thread gets a new one, up to MaxCheckThreads and one more for each check past
// UnknownAfter (at most MaxHungThreads more), so other paths never queue behind hung ones however many rows
// of a dead share are shown; a check not answered within UnknownAfter keeps the path's last answer (present
// before any), and its path is not asked again until it answers. Nothing waits for these threads: the cache
// goes at once, and so does the program, however many checks still hang; an answer that comes after the cache
// is gone reaches nothing.
class FileExistenceCache : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds RememberFor{3000};
    static constexpr std::chrono::milliseconds UnknownAfter{3000};
    static constexpr int MaxCheckThreads = 16;
    static constexpr int MaxHungThreads = 48;
    // Runs on a worker thread, on several at once.
    using Check = std::function<bool(const QString& path)>;

    // Without a check, the file system is asked.
    explicit FileExistenceCache(Scheduler& scheduler, Check check = {}, QObject* parent = nullptr);
    // Never waits for a check.
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
        bool hung = false; // asking for longer than UnknownAfter
        Scheduler::TaskId forget = Scheduler::NoTask;
        Scheduler::TaskId giveUp = Scheduler::NoTask;
    };
    struct Workers;

    static void work(std::shared_ptr<Workers> workers);
    void ask(const QString& path, Known& known);
    // A thread for every waiting check that no idle thread will take, within the limit.
    void startThreads();
    void answer(const QString& path, bool present);
    void setPresent(const QString& path, Known& known, bool present);

    Scheduler& scheduler_;
    QHash<QString, Known> known_;
    int hung_ = 0; // checks asking for longer than UnknownAfter
    // shared with the threads, which may outlive the cache
    std::shared_ptr<Workers> workers_;
};

} // namespace tetrapan
