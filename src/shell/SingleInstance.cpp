#include "shell/SingleInstance.h"

#include "platform/fileNames.h"
#include "platform/safeFiles.h"
#include "shell/ApplicationAdaptor.h"
#include "shell/commandLine.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

#include <utility>

#include <sys/stat.h>
#include <time.h>

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

// The answer of a program that left the bus between the look and the call: it is quitting.
bool leftBus(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    const QDBusError::ErrorType error = QDBusError(reply).type();
    return error == QDBusError::ServiceUnknown || error == QDBusError::UnknownObject ||
           error == QDBusError::Disconnected;
}

} // namespace

const QString SingleInstance::ObjectPath = QStringLiteral("/org/tetrapan/Tetrapan");
const QString SingleInstance::Interface = QStringLiteral("org.freedesktop.Application");
const QString SingleInstance::RefusedError = QStringLiteral("org.tetrapan.Tetrapan.Error.CommandRefused");
const QString SingleInstance::PlaylistEntry = QStringLiteral("org.tetrapan.playlist");

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
    if (holder != QCoreApplication::applicationPid() || !lockMadeHere(host)) {
        return QStringLiteral("its lock file %1 now belongs to another Tetrapan (%2)").arg(file, lockHolder());
    }
    return {};
}

bool SingleInstance::lockMadeHere(const QString& host) const
{
    QFile file;
    QString why;
    if (safeFiles::openForReading(file, lockFilePath_, &why) == safeFiles::Opening::Opened) {
        // its lines: the process, the program, the host, the machine's id, the boot's id
        const QByteArray machine = file.read(4096).split('\n').value(3).trimmed();
        if (!machine.isEmpty())
            return machine == QSysInfo::machineUniqueId();
    }
    return host.isEmpty() || host == QSysInfo::machineHostName();
}

bool SingleInstance::lockLeftBeforeBoot() const
{
    qint64 holder = 0;
    QString host;
    QString application;
    timespec up{};
    if (lock_->getLockInfo(&holder, &host, &application) || clock_gettime(CLOCK_BOOTTIME, &up) != 0)
        return false;
    struct stat made {};
    return stat(fileNames::toBytes(lockFilePath_).constData(), &made) == 0 &&
           made.st_mtime < QDateTime::currentSecsSinceEpoch() - up.tv_sec;
}

SingleInstance::Role SingleInstance::startFor(const commandLine::Request& request)
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
    if (lockLeftBeforeBoot() && lock_->removeStaleLockFile() && lock_->tryLock(0)) {
        offerOnBus();
        return Role::First;
    }
    const QDeadlineTimer deadline(QuittingWait);
    while (!handOver(request)) {
        // A program quitting still holds the lock after it left the bus: this launch starts once it ended.
        if (!holderLeftBus_ || deadline.hasExpired())
            return Role::Refused;
        if (lock_->tryLock(int(QuittingLook.count()))) {
            offerOnBus();
            return Role::First;
        }
    }
    return Role::HandedOver;
}

void SingleInstance::stopTakingFiles()
{
    if (!offered_)
        return;
    bus_.unregisterService(serviceName());
    bus_.unregisterObject(ObjectPath);
    offered_ = false;
}

void SingleInstance::offerOnBus()
{
    if (!bus_.isConnected())
        return;
    new ApplicationAdaptor(this, bus_);
    // Another Tetrapan on this bus with a library of its own keeps the name; this one then takes no
    // hand-overs, and a second launch for its library is refused instead of going to the wrong program.
    offered_ = bus_.registerObject(ObjectPath, this);
    if (offered_ && !bus_.registerService(serviceName())) {
        bus_.unregisterObject(ObjectPath);
        offered_ = false;
    }
}

bool SingleInstance::handOver(const commandLine::Request& request)
{
    holderLeftBus_ = false;
    if (!bus_.isConnected() || !bus_.interface())
        return false;
    qint64 holder = 0;
    QString host;
    QString application;
    if (!lock_->getLockInfo(&holder, &host, &application))
        return false;
    if (!lockMadeHere(host))
        return false;
    // only the program that holds this library's lock may take its files
    const QDBusReply<uint> owner = bus_.interface()->servicePid(serviceName());
    if (!owner.isValid() || qint64(owner.value()) != holder) {
        holderLeftBus_ = !owner.isValid();
        return false;
    }

    const QVariantMap data = platformData();
    const auto call = [this](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(serviceName(), ObjectPath, Interface, method);
        message.setArguments(arguments);
        return bus_.call(message, QDBus::Block, int(HandOverTimeout.count()));
    };
    // A command by name answers when it was carried out, or with why not; the program does the same for a
    // playlist named by an action of no name.
    const auto activateAction = [&](const QString& name, int viewNo, const QVariantMap& with) {
        QVariantList parameter;
        if (viewNo != 0)
            parameter << QVariant::fromValue(QDBusVariant(viewNo));
        const QDBusMessage reply =
            call(QStringLiteral("ActivateAction"), {name, QVariant::fromValue(parameter), with});
        if (leftBus(reply)) {
            holderLeftBus_ = true;
            return false;
        }
        // the program that holds the library was reached: whatever went wrong is its answer, not a reason to
        // say that it cannot be reached
        if (reply.type() == QDBusMessage::ErrorMessage)
            refusal_ =
                reply.errorName() == RefusedError
                    ? reply.errorMessage()
                    : QStringLiteral("Tetrapan did not carry the command out: %1").arg(reply.errorMessage());
        return reply.type() == QDBusMessage::ReplyMessage;
    };
    // the playlist first, so that the files go into it and the command acts on it
    if (!request.playlist.isEmpty()) {
        QVariantMap with = data;
        with.insert(PlaylistEntry, request.playlist);
        if (!activateAction(QString(), 0, with))
            return !refusal_.isEmpty();
    }
    if (!request.files.isEmpty()) {
        QStringList uris;
        for (const QString& path : request.files)
            uris << (path.isEmpty() ? QString() : fileNames::toFileUrl(path).toString(QUrl::FullyEncoded));
        const QDBusMessage reply = call(QStringLiteral("Open"), {uris, data});
        holderLeftBus_ = leftBus(reply);
        if (reply.type() != QDBusMessage::ReplyMessage)
            return false;
    }
    if (!request.action.isEmpty())
        return activateAction(request.action, request.viewNo, data) || !refusal_.isEmpty();
    if (request.files.isEmpty() && request.playlist.isEmpty()) {
        const QDBusMessage reply = call(QStringLiteral("Activate"), {data});
        holderLeftBus_ = leftBus(reply);
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    return true;
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

void SingleInstance::activateAction(const QString& name, const QVariantList& parameter,
                                    const QVariantMap& platformData, const Answer& answer)
{
    if (!listening_ || !commandHandler_) {
        answer(QStringLiteral("Tetrapan is still starting; ask again in a moment."));
        return;
    }
    commandLine::Request request;
    request.action = name;
    request.playlist = platformData.value(PlaylistEntry).toString();
    if (!parameter.isEmpty()) {
        QVariant pane = parameter.front();
        if (pane.canConvert<QDBusVariant>())
            pane = pane.value<QDBusVariant>().variant();
        bool ok = false;
        request.viewNo = pane.toInt(&ok);
        if (!ok || request.viewNo < 1) {
            answer(QStringLiteral("The parameter of \"%1\" is a pane's number, from 1.").arg(name));
            return;
        }
    }
    // the window comes forward as for any launch; the command then acts on it
    if (const QString token = platformData.value(ActivationToken).toString(); !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    commandHandler_(request, answer);
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
