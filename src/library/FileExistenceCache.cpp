#include "library/FileExistenceCache.h"

#include "library/fileAttributeExtension.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace tetrapan {

FileExistenceCache::FileExistenceCache(Scheduler& scheduler, Check check, QObject* parent)
    : QObject(parent), scheduler_(scheduler), check_(std::move(check))
{
    if (!check_)
        check_ = [](const QString& path) { return fileAttributeExtension::checkFileExists(path) > 0; };
}

FileExistenceCache::~FileExistenceCache()
{
    // an answer still on its way is dropped with this object (its continuation has it as context)
    for (const Known& known : std::as_const(known_))
        scheduler_.cancel(known.forget);
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

void FileExistenceCache::ask(const QString& path, Known& known)
{
    known.asking = true;
    QtConcurrent::run(check_, path).then(this, [this, path](bool present) {
        // An answer found before this continuation was attached would come at once, inside the repaint
        // that asked: a view must not hear of a change while it is reading.
        QMetaObject::invokeMethod(
            this, [this, path, present] { answer(path, present); }, Qt::QueuedConnection);
    });
}

void FileExistenceCache::answer(const QString& path, bool present)
{
    Known& known = known_[path];
    const bool changed = known.present != present;
    known.present = present;
    known.asking = false;
    known.fresh = true;
    scheduler_.cancel(known.forget);
    known.forget = scheduler_.scheduleAfter(RememberFor, [this, path] {
        Known& stale = known_[path];
        stale.fresh = false;
        stale.forget = Scheduler::NoTask;
    });
    if (changed)
        Q_EMIT presenceChanged(path);
}

} // namespace tetrapan
