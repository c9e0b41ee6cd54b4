// Which sound outputs the cores get on a made-up machine: sockets that answer or not, sound devices.
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

// A server's socket; once closed, the file stays and nobody answers, as after a crash.
int listenAt(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path) - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                   ::listen(fd, 4) == 0
               ? fd
               : -1;
}

} // namespace

class TestSoundOutputs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onlyWhatAnswersIsTried_data()
    {
        QTest::addColumn<QStringList>("answering"); // sockets in the runtime folder
        QTest::addColumn<QStringList>("gone");
        QTest::addColumn<QString>("pulseServer"); // %1: the runtime folder
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QByteArray>("outputs");
        const QStringList none, both{"pipewire-0", "pulse/native"}, named{"elsewhere/native"};
        QTest::newRow("no sound at all") << none << none << "" << none << QByteArray("null");
        QTest::newRow("PipeWire, serving PulseAudio clients too")
            << both << none << "" << none << QByteArray("pipewire,pulse,null");
        QTest::newRow("servers gone, sockets left") << none << both << "" << none << QByteArray("null");
        QTest::newRow("PULSE_SERVER")
            << named << none << "{id}unix:%1/elsewhere/native" << none << QByteArray("pulse,null");
        QTest::newRow("PULSE_SERVER gone")
            << QStringList{"pulse/native"} << named << "%1/elsewhere/native" << none << QByteArray("null");
        const QStringList microphone{"controlC0", "pcmC0D0c"};
        QTest::newRow("a sound card")
            << none << none << "" << microphone + QStringList{"pcmC0D0p"} << QByteArray("alsa,null");
        QTest::newRow("a microphone only") << none << none << "" << microphone << QByteArray("null");
    }

    void onlyWhatAnswersIsTried()
    {
        QFETCH(QStringList, answering);
        QFETCH(QStringList, gone);
        QFETCH(QString, pulseServer);
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, outputs);
        const QTemporaryDir runtime, dev;
        std::vector<int> servers;
        for (const QString& socket : answering + gone) {
            servers.push_back(listenAt(runtime.filePath(socket)));
            QVERIFY(servers.back() >= 0);
            if (gone.contains(socket))
                ::close(servers.back());
        }
        for (const QString& device : devices)
            QVERIFY(QFile(dev.filePath(device)).open(QIODevice::WriteOnly));
        const QString server =
            pulseServer.contains(QLatin1String("%1")) ? pulseServer.arg(runtime.path()) : pulseServer;
        QCOMPARE(soundOutputs::answering({runtime.path(), server, {}, {}, dev.path()}), outputs);
        for (qsizetype i = 0; i < answering.size(); ++i)
            ::close(servers[i]);
    }
};

QTEST_GUILESS_MAIN(TestSoundOutputs)
#include "tst_soundoutputs.moc"
