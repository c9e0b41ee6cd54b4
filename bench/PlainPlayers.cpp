#include "PlainPlayers.h"

#include "BenchSupport.h"
#include "XServer.h"

#include <QProcess>
#include <QRect>
#include <QRegularExpression>

#include <cstdio>
#include <memory>
#include <vector>

namespace tetrapan::bench {

namespace {
const QSize PlayerSize(640, 360);
constexpr int ShowTimeoutMs = 30000;
} // namespace

PlainPlayersUsage playFourPlainPlayers(test::XServer& x, qint64 xServer, const QString& clip, int settleMs,
                                       int measureMs)
{
    PlainPlayersUsage usage;
    std::vector<std::unique_ptr<QProcess>> players;
    std::vector<QRect> middles;
    for (int n = 0; n < 4; ++n) {
        const QRect frame(QPoint((n / 2) * PlayerSize.width(), (n % 2) * PlayerSize.height()), PlayerSize);
        auto player = std::make_unique<QProcess>();
        player->setStandardOutputFile(QProcess::nullDevice());
        // nothing on stderr but a status line of its dropped frames
        player->start(QStringLiteral("mpv"),
                      {"--no-config", "--msg-level=all=no,statusline=status",
                       "--term-status-msg=dropped ${frame-drop-count} ${decoder-frame-drop-count}",
                       "--ao=null", "--vo=x11", "--no-border",
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
    const double cpu = sum(cpuSecondsOf);
    const double server = cpuSecondsOf(xServer);
    runEventsFor(measureMs);
    usage.cpuSeconds = sum(cpuSecondsOf) - cpu;
    usage.xServerSeconds = cpuSecondsOf(xServer) - server;
    usage.peakRssMb = sum(peakRssMbOf);
    static const QRegularExpression status(QStringLiteral("dropped (\\d+) (\\d+)"));
    for (auto& player : players) {
        // one that ended before the stretch did played less than the other side
        usage.played = usage.played && player->state() == QProcess::Running;
        player->terminate();
        if (!player->waitForFinished(5000))
            player->kill();
        QRegularExpressionMatch last;
        for (auto match = status.globalMatch(QString::fromUtf8(player->readAllStandardError()));
             match.hasNext();)
            last = match.next();
        usage.dropped += last.hasMatch() ? last.captured(1).toLongLong() + last.captured(2).toLongLong() : 0;
    }
    return usage;
}

} // namespace tetrapan::bench
