#include "PlainPlayers.h"

#include "BenchSupport.h"
#include "XServer.h"
#include "engine/soundOutputs.h"

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tetrapan::bench {

namespace {
const QSize PlayerSize(640, 360);
constexpr int ShowTimeoutMs = 30000;
constexpr int AnswerTimeoutMs = 2000;

// One property of a player, asked over its IPC socket (mpv's JSON IPC); -1 when it does not answer.
qint64 askPlayer(const QByteArray& socketPath, const char* property)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
    qint64 value = -1;
    const QByteArray request =
        QByteArray(R"({"command":["get_property",")") + property + R"("],"request_id":7})" + "\n";
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::write(fd, request.constData(), request.size()) == request.size()) {
        static const QRegularExpression data(QStringLiteral("\"data\":(\\d+)"));
        QByteArray said;
        pollfd readable{fd, POLLIN, 0};
        char buffer[4096];
        while (value < 0 && ::poll(&readable, 1, AnswerTimeoutMs) > 0) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            said.append(buffer, got);
            // the player's events come on the same socket; the answer is the line with the request's id
            for (const QByteArray& line : said.split('\n'))
                if (const auto match = data.match(QString::fromUtf8(line));
                    line.contains(R"("request_id":7)") && match.hasMatch())
                    value = match.captured(1).toLongLong();
        }
    }
    if (fd >= 0)
        ::close(fd);
    return value;
}

} // namespace

PlainPlayersUsage playFourPlainPlayers(test::XServer& x, qint64 xServer, const QString& clip, int settleMs,
                                       int measureMs, PlainSound sound)
{
    PlainPlayersUsage usage;
    QTemporaryDir sockets;
    std::vector<std::unique_ptr<QProcess>> players;
    std::vector<QRect> middles;
    const QString heardOutputs = QStringLiteral("--ao=") + QString::fromUtf8(soundOutputs::ofThisMachine());
    for (int n = 0; n < 4; ++n) {
        const QRect frame(QPoint((n / 2) * PlayerSize.width(), (n % 2) * PlayerSize.height()), PlayerSize);
        auto player = std::make_unique<QProcess>();
        player->setStandardOutputFile(QProcess::nullDevice());
        player->setStandardErrorFile(QProcess::nullDevice());
        player->start(QStringLiteral("mpv"),
                      {"--no-config", "--really-quiet", "--no-terminal",
                       QStringLiteral("--input-ipc-server=%1").arg(sockets.filePath(QString::number(n))),
                       sound == PlainSound::None ? QStringLiteral("--aid=no") : heardOutputs, "--vo=x11",
                       "--no-border",
                       QStringLiteral("--geometry=%1x%2+%3+%4")
                           .arg(frame.width())
                           .arg(frame.height())
                           .arg(frame.x())
                           .arg(frame.y()),
                       clip});
        middles.push_back(QRect(frame.center() - QPoint(32, 32), QSize(64, 64)));
        players.push_back(std::move(player));
    }
    usage.played = waitUntilShown(x, middles, ShowTimeoutMs);
    if (!usage.played)
        std::fprintf(stderr, "the mpv players never showed their first frames\n");
    runEventsFor(settleMs);
    const auto sum = [&players](double (*of)(qint64)) {
        double total = 0;
        for (const auto& player : players)
            total += of(player->processId());
        return total;
    };
    const auto threads = [&players] {
        std::map<QString, double> total;
        for (const auto& player : players)
            for (const auto& [name, seconds] : threadCpuSecondsByName(player->processId()))
                total[name] += seconds;
        return total;
    };
    usage.threadsBefore = threads();
    const double cpu = sum(cpuSecondsOf);
    const double server = cpuSecondsOf(xServer);
    runEventsFor(measureMs);
    usage.cpuSeconds = sum(cpuSecondsOf) - cpu;
    usage.xServerSeconds = cpuSecondsOf(xServer) - server;
    usage.threadsAfter = threads();
    usage.peakRssMb = sum(peakRssMbOf);
    for (int n = 0; n < 4; ++n) {
        QProcess& player = *players[n];
        // one that ended before the stretch did played less than the other side
        usage.played = usage.played && player.state() == QProcess::Running;
        const QByteArray socket = QFile::encodeName(sockets.filePath(QString::number(n)));
        const qint64 shown = askPlayer(socket, "frame-drop-count");
        const qint64 decoded = askPlayer(socket, "decoder-frame-drop-count");
        usage.played = usage.played && shown >= 0 && decoded >= 0;
        usage.dropped += std::max<qint64>(shown, 0) + std::max<qint64>(decoded, 0);
        player.terminate();
        if (!player.waitForFinished(5000))
            player.kill();
    }
    return usage;
}

} // namespace tetrapan::bench
