// Which sound outputs the cores get, on a made-up machine: sockets that answer, sockets left behind by a
// server that is gone, and sound devices.
#include "engine/soundOutputs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tetrapan;

namespace {

// A server's socket at path; once closed, the file stays and nobody answers, as after a crashed server.
int listenAt(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestSoundOutputs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyWhatAnswersIsTried_data()
    {
        QTest::addColumn<QStringList>("answering"); // sockets in the runtime folder
        QTest::addColumn<QStringList>("gone");      // sockets whose server has gone
        QTest::addColumn<QString>("pulseServer");   // %1: the runtime folder
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QByteArray>("outputs");
        const QStringList none;
        const QString pipewire = QStringLiteral("pipewire-0");
        const QString pulse = QStringLiteral("pulse/native");
        const QString named = QStringLiteral("elsewhere/native");
        QTest::newRow("no sound at all") << none << none << "" << none << QByteArray("null");
        QTest::newRow("PipeWire") << QStringList{pipewire} << none << "" << none
                                  << QByteArray("pipewire,null");
        QTest::newRow("PulseAudio") << QStringList{pulse} << none << "" << none << QByteArray("pulse,null");
        QTest::newRow("PipeWire serving PulseAudio clients too")
            << QStringList{pipewire, pulse} << none << "" << none << QByteArray("pipewire,pulse,null");
        QTest::newRow("servers gone, sockets left")
            << none << QStringList{pipewire, pulse} << "" << none << QByteArray("null");
        QTest::newRow("PULSE_SERVER named") << QStringList{named} << none << "{abc}unix:%1/elsewhere/native"
                                            << none << QByteArray("pulse,null");
        QTest::newRow("PULSE_SERVER named, gone") << QStringList{pulse} << QStringList{named}
                                                  << "%1/elsewhere/native" << none << QByteArray("null");
        QTest::newRow("a network server named")
            << none << none << "tcp:sound.example:4713" << none << QByteArray("pulse,null");
        QTest::newRow("a sound card")
            << none << none << "" << QStringList{"controlC0", "pcmC0D0c", "pcmC0D0p"}
            << QByteArray("alsa,null");
        QTest::newRow("a microphone only")
            << none << none << "" << QStringList{"controlC0", "pcmC0D0c"} << QByteArray("null");
    }

    void onlyWhatAnswersIsTried()
    {
        QFETCH(QStringList, answering);
        QFETCH(QStringList, gone);
        QFETCH(QString, pulseServer);
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, outputs);
        QTemporaryDir runtime, dev;
        std::vector<int> servers;
        for (const QString& socket : answering) {
            servers.push_back(listenAt(runtime.filePath(socket)));
            QVERIFY(servers.back() >= 0);
        }
        for (const QString& socket : gone) {
            const int fd = listenAt(runtime.filePath(socket));
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        for (const QString& device : devices)
            QVERIFY(QFile(dev.filePath(device)).open(QIODevice::WriteOnly));
        soundOutputs::Places places;
        places.runtimeDir = runtime.path();
        places.pulseServer =
            pulseServer.contains(QLatin1String("%1")) ? pulseServer.arg(runtime.path()) : pulseServer;
        places.deviceDir = dev.path();
        QCOMPARE(soundOutputs::answering(places), outputs);
        for (int fd : servers)
            ::close(fd);
    }
};

QTEST_GUILESS_MAIN(TestSoundOutputs)
#include "tst_soundoutputs.moc"
