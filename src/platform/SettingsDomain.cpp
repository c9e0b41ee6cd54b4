#include "platform/SettingsDomain.h"

#include "platform/AtomicFileWriter.h"
#include "platform/JsonSettingsFormat.h"
#include "platform/safeFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace tetrapan {

SettingsDomain::SettingsDomain(const QString& filePath, QObject* parent, const FileWriteCalls& calls)
    : QObject(parent), filePath_(filePath), calls_(calls)
{
    load();
    if (!damagedNote_.isEmpty())
        qWarning("%s", qPrintable(damagedNote_));
}

SettingsDomain::~SettingsDomain()
{
    flush();
}

// A file that exists but cannot be used is set aside, never overwritten: the user may want it back.
void SettingsDomain::load()
{
    QFile file;
    QString reason;
    const safeFiles::Opening opening = safeFiles::openForReading(file, filePath_, &reason);
    if (opening == safeFiles::Opening::Missing)
        return;
    if (opening == safeFiles::Opening::Opened) {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            reason = file.errorString();
        else if (jsonSettingsFormat::parse(bytes, stored_, &reason))
            return;
        stored_.clear();
    }
    QString why;
    const QString keptAs = safeFiles::setAside(filePath_, QDateTime::currentDateTime(), &why);
    damagedNote_ =
        keptAs.isEmpty()
            ? QStringLiteral("The settings file %1 cannot be used (%2) and %3; defaults are used and no "
                             "setting is saved until it is mended or removed.")
                  .arg(filePath_, reason, why)
            : QStringLiteral(
                  "The settings file %1 could not be used (%2); it was kept as %3 and defaults are "
                  "used.")
                  .arg(filePath_, reason, keptAs);
    // a file left in place is never written over; the note has said so
    leftInPlace_ = keptAs.isEmpty();
}

QString SettingsDomain::standardFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Tetrapan/Tetrapan.json"));
}

bool SettingsDomain::copyStandardFile(const QString& copy, QString* why)
{
    QFile original;
    const safeFiles::Opening opened = safeFiles::openForReading(original, standardFilePath(), why);
    if (opened == safeFiles::Opening::Missing)
        return true;
    if (opened == safeFiles::Opening::Refused)
        return false;
    QFile into(copy);
    const QByteArray bytes = original.readAll();
    if (into.open(QIODevice::WriteOnly) && into.write(bytes) == bytes.size() && into.flush())
        return true;
    *why = into.errorString();
    return false;
}

void SettingsDomain::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        registered_.insert(it.key(), it.value());
}

QVariant SettingsDomain::objectForKey(const QString& key) const
{
    const auto it = stored_.constFind(key);
    if (it != stored_.constEnd() && it->isValid())
        return *it;
    return registered_.value(key);
}

bool SettingsDomain::hasStoredValue(const QString& key) const
{
    return stored_.contains(key);
}

void SettingsDomain::setObject(const QVariant& value, const QString& key)
{
    if (!value.isValid()) {
        removeObject(key);
        return;
    }
    stored_.insert(key, value);
    changed(key);
}

void SettingsDomain::removeObject(const QString& key)
{
    if (stored_.remove(key) == 0)
        return;
    changed(key);
}

void SettingsDomain::changed(const QString& key)
{
    dirty_ = true;
    unwritten_.insert(key, stored_.value(key));
    // a writer that does not synchronize (a control bound to a setting) still reaches the file soon
    if (!syncQueued_) {
        syncQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                syncQueued_ = false;
                synchronize();
            },
            Qt::QueuedConnection);
    }
    Q_EMIT valueChanged(key);
}

void SettingsDomain::synchronize()
{
    if (leftInPlace_ || !dirty_)
        return;
    dirty_ = false;
    writes_.post(
        [this, path = filePath_, all = stored_, changes = unwritten_, calls = calls_]() -> LatestWrite::Told {
            const Written written = write(path, all, changes, calls);
            return [this, written, changes] { takeWritten(written, changes); };
        });
}

void SettingsDomain::forgetWritten(const Changes& changes)
{
    // a key set again since keeps its newer value to be written
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        if (const auto now = unwritten_.constFind(it.key()); now != unwritten_.cend() && *now == *it)
            unwritten_.erase(now);
    }
}

SettingsDomain::Written SettingsDomain::write(const QString& filePath, const QMap<QString, QVariant>& all,
                                              const Changes& changes, const FileWriteCalls& calls)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    // Two programs on one settings file (one user, two libraries) each read the file and write it back: one
    // at a time, or the later takes back what the earlier has just put in. A lock held past the wait (a
    // program stopped in a debugger) does not keep this program's values from the file.
    QLockFile lock(filePath + QStringLiteral(".lock"));
    lock.tryLock(LockWaitMs);
    QMap<QString, QVariant> values = all;
    QFile file;
    QString unread;
    QSettings::SettingsMap onDisk;
    if (safeFiles::openForReading(file, filePath, &unread) == safeFiles::Opening::Opened &&
        jsonSettingsFormat::parse(file.readAll(), onDisk)) {
        values = onDisk;
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (it->isValid())
                values.insert(it.key(), *it);
            else
                values.remove(it.key());
        }
    }
    file.close();
    Written written;
    written.ok =
        AtomicFileWriter(calls).write(filePath, jsonSettingsFormat::serialize(values), &written.reason);
    return written;
}

void SettingsDomain::takeWritten(const Written& written, const Changes& changes)
{
    if (written.ok) {
        forgetWritten(changes);
        failing_ = false;
        return;
    }
    // what could not be written stays to be written, unless newer values are on their way
    if (!writes_.hasWaiting())
        dirty_ = true;
    tellFailure(written.reason);
}

bool SettingsDomain::flush()
{
    // values waiting for their turn are written now
    if (writes_.dropWaiting())
        dirty_ = true;
    writes_.finish();
    if (leftInPlace_)
        return false;
    if (!dirty_)
        return true;
    const Changes changes = unwritten_;
    const Written written = write(filePath_, stored_, changes, calls_);
    if (written.ok) {
        forgetWritten(changes);
        dirty_ = false;
        failing_ = false;
        return true;
    }
    tellFailure(written.reason);
    return false;
}

// Every setter writes: told once, until a write succeeds again.
void SettingsDomain::tellFailure(const QString& reason)
{
    if (failing_)
        return;
    failing_ = true;
    qWarning("The settings could not be saved in %s: %s", qPrintable(filePath_), qPrintable(reason));
    Q_EMIT writeFailed(filePath_, reason);
}

} // namespace tetrapan
