#include "engine/soundOutputs.h"

#include "engine/MpvNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tetrapan::soundOutputs {

namespace {

// A server answers when its socket takes a connection. Not blocking: a hung server with a full backlog
// would otherwise hold up the start.
bool socketAnswers(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

bool pipewireAnswers(const Places& places)
{
    const QString remote =
        places.pipewireRemote.isEmpty() ? QStringLiteral("pipewire-0") : places.pipewireRemote;
    if (QDir::isAbsolutePath(remote))
        return socketAnswers(remote);
    const QString dir = places.pipewireRuntimeDir.isEmpty() ? places.runtimeDir : places.pipewireRuntimeDir;
    return !dir.isEmpty() && socketAnswers(QDir(dir).filePath(remote));
}

bool pulseAnswers(const Places& places)
{
    if (places.pulseServer.isEmpty())
        return !places.runtimeDir.isEmpty() &&
               socketAnswers(QDir(places.runtimeDir).filePath("pulse/native"));
    static const QRegularExpression machinePrefix(QStringLiteral("^\\{[^}]*\\}"));
    for (QString server : places.pulseServer.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        server.remove(machinePrefix);
        if (server.startsWith(QLatin1String("unix:")))
            server.remove(0, 5);
        // A network server the user named is taken at their word: trying one that does not answer costs a
        // timeout at each start.
        if (!server.startsWith(QLatin1Char('/')) || socketAnswers(server))
            return true;
    }
    return false;
}

bool playbackDeviceAnswers(const Places& places)
{
    static const QRegularExpression playback(QStringLiteral("^pcmC\\d+D\\d+p$"));
    const QFileInfoList devices = QDir(places.deviceDir).entryInfoList(QDir::System | QDir::Files);
    return std::any_of(devices.begin(), devices.end(), [](const QFileInfo& device) {
        return playback.match(device.fileName()).hasMatch() && device.isWritable();
    });
}

} // namespace

Places fromEnvironment()
{
    const auto variable = [](const char* name) { return QFile::decodeName(qgetenv(name)); };
    return {variable("XDG_RUNTIME_DIR"), variable("PULSE_SERVER"), variable("PIPEWIRE_REMOTE"),
            variable("PIPEWIRE_RUNTIME_DIR"), QStringLiteral("/dev/snd")};
}

QByteArray answering(const Places& places)
{
    QByteArrayList outputs;
    if (pipewireAnswers(places))
        outputs << mpvname::AoPipeWire;
    if (pulseAnswers(places))
        outputs << mpvname::AoPulse;
    if (playbackDeviceAnswers(places))
        outputs << mpvname::AoAlsa;
    outputs << mpvname::AoNull;
    return outputs.join(',');
}

QByteArray ofThisMachine()
{
    static const QByteArray outputs = answering(fromEnvironment());
    return outputs;
}

} // namespace tetrapan::soundOutputs
