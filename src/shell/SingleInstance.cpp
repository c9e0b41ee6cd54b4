#include "shell/SingleInstance.h"

#include "platform/fileNames.h"
#include "platform/safeFiles.h"
#include "shell/ApplicationAdaptor.h"
#include "shell/commandLine.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

#include <utility>

namespace tetrapan {

namespace {

// what a launcher hands over so the window it shows may take the focus
const QString ActivationToken = QStringLiteral("activation-token");
const QString StartupId = QStringLiteral("desktop-startup-id");

// QLockFile removes its file when it goes. A lock lost to another program must not take that program's file
// with it: it is kept, unreleased, until the process ends.
void keepUntilExit(std::unique_ptr<QLockFile> lock)
{
    static auto* kept = new QList<QLockFile*>;
    kept->append(lock.release());
}

} // namespace

const QString SingleInstance::ObjectPath = QStringLiteral("/org/tetrapan/Tetrapan");
const QString SingleInstance::Interface = QStringLiteral("org.freedesktop.Application");

QString SingleInstance::serviceName()
{
    return QStringLiteral(TETRAPAN_APP_ID);
}

SingleInstance::SingleInstance(const QString& libraryFolder, const QDBusConnection& bus)
    : lockFilePath_(QDir(libraryFolder).filePath(lockFileName())),
      lock_(std::make_unique<QLockFile>(lockFilePath_)), bus_(bus)
{
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (offered_) {
        bus_.unregisterService(serviceName());
        bus_.unregisterObject(ObjectPath);
    }
    if (lock_->isLocked() && QFileInfo::exists(lockFilePath_) && !lockLostReason().isEmpty())
        keepUntilExit(std::move(lock_));
}

QString SingleInstance::lockHolder() const
{
    qint64 holder = 0;
    QString host;
    QString application;
    if (!lock_->getLockInfo(&holder, &host, &application))
        return {};
    return host.isEmpty() ? QStringLiteral("process %1").arg(holder)
                          : QStringLiteral("process %1 on the computer \"%2\"").arg(holder).arg(host);
}

QString SingleInstance::lockLostReason() const
{
    if (!lock_->isLocked())
        return {};
    const QString file = QDir::toNativeSeparators(lockFilePath_);
    if (!QFileInfo::exists(lockFilePath_))
        return QStringLiteral("its lock file %1 was deleted while this Tetrapan ran").arg(file);
    qint64 holder = 0;
    QString host;
    QString application;
    if (!lock_->getLockInfo(&holder, &host, &application))
        return QStringLiteral("its lock file %1 was changed and can no longer be read").arg(file);
    if (holder != QCoreApplication::applicationPid() ||
        (!host.isEmpty() && host != QSysInfo::machineHostName())) {
        return QStringLiteral("its lock file %1 now belongs to another Tetrapan (%2)").arg(file, lockHolder());
    }
    return {};
}

SingleInstance::Role SingleInstance::start(const QStringList& files)
{
    // QLockFile reads a lock file it finds, and reading a FIFO waits for a writer that never comes
    unusableReason_ = safeFiles::notRegularFile(lockFilePath_);
    if (!unusableReason_.isEmpty())
        return Role::Unusable;
    QDir().mkpath(QFileInfo(lockFilePath_).absolutePath());
    if (lock_->tryLock(0)) {
        offerOnBus();
        return Role::First;
    }
    // A folder where no lock can be made is one where no library can be saved either: this program runs,
    // and any save it tries reports why it failed.
    if (lock_->error() != QLockFile::LockFailedError)
        return Role::First;
    return handOver(files) ? Role::HandedOver : Role::Refused;
}

void SingleInstance::offerOnBus()
{
    if (!bus_.isConnected())
        return;
    new ApplicationAdaptor(this);
    // Another Tetrapan on this bus with a library of its own keeps the name; this one then takes no
    // hand-overs, and a second launch for its library is refused instead of going to the wrong program.
    offered_ = bus_.registerObject(ObjectPath, this);
    if (offered_ && !bus_.registerService(serviceName())) {
        bus_.unregisterObject(ObjectPath);
        offered_ = false;
    }
}

bool SingleInstance::handOver(const QStringList& files)
{
    if (!bus_.isConnected() || !bus_.interface())
        return false;
    qint64 holder = 0;
    QString host;
    QString application;
    if (!lock_->getLockInfo(&holder, &host, &application))
        return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return false;
    // only the program that holds this library's lock may take its files
    const QDBusReply<uint> owner = bus_.interface()->servicePid(serviceName());
    if (!owner.isValid() || qint64(owner.value()) != holder)
        return false;

    QDBusMessage call;
    if (files.isEmpty()) {
        call =
            QDBusMessage::createMethodCall(serviceName(), ObjectPath, Interface, QStringLiteral("Activate"));
        call << platformData();
    } else {
        QStringList uris;
        for (const QString& path : files)
            uris << (path.isEmpty() ? QString() : fileNames::toFileUrl(path).toString(QUrl::FullyEncoded));
        call = QDBusMessage::createMethodCall(serviceName(), ObjectPath, Interface, QStringLiteral("Open"));
        call << uris << platformData();
    }
    const QDBusMessage reply = bus_.call(call, QDBus::Block, int(HandOverTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}

QVariantMap SingleInstance::platformData()
{
    QVariantMap data;
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(ActivationToken, token);
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(StartupId, id);
    return data;
}

void SingleInstance::activate(const QVariantMap& platformData)
{
    // the window that comes forward takes the focus with the launcher's token (Wayland's activation)
    if (const QString token = platformData.value(ActivationToken).toString(); !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    if (listening_)
        Q_EMIT activateRequested();
}

void SingleInstance::open(const QStringList& uris, const QVariantMap& platformData)
{
    QStringList paths;
    for (const QString& uri : uris)
        paths << commandLine::localPath(uri, QDir::rootPath());
    activate(platformData);
    if (listening_)
        Q_EMIT openRequested(paths);
    else
        waiting_.append(paths);
}

void SingleInstance::listen()
{
    listening_ = true;
    for (const QStringList& paths : std::exchange(waiting_, {}))
        Q_EMIT openRequested(paths);
}

} // namespace tetrapan
