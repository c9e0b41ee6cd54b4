// action: a command sent by name to the running program, as a script or a launcher sends it: how long from
// `tetrapan --action play-or-stop-all` until the four panes play (or stop), as the desktop's media controls
// report it, and how much CPU the sending process itself takes.
#include "BenchCommands.h"

#include "BenchSupport.h"
#include "ProgramProcess.h"
#include "TestClips.h"
#include "TestHome.h"
#include "VirtualDisplay.h"

#include "shell/MediaControls.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

namespace tetrapan::bench {

namespace {
constexpr int Rounds = 10;
constexpr int RoundTimeoutMs = 10000;
const QString Title = QStringLiteral("Angles");
} // namespace

int runAction(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "action: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const test::TestClips clips = test::TestClips::makeForTests();
    test::SessionBus bus;
    test::TestHome home;
    if (!clips.ok() || bus.address().isEmpty() ||
        !test::writeLibrary(home, Title, {clips.red, clips.green, clips.blue, clips.yellow}, false)) {
        std::fprintf(stderr, "action: no clips, session bus or library (%s)\n", qPrintable(clips.error));
        return 1;
    }
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan");
    test::ProgramProcess running(program, home, bus.address());
    if (!running.start() || running.window(Title).id == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "action: the program did not start\n");
        return 1;
    }
    // asked afresh each time: the program offers its media controls a moment after its window shows
    const QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), QStringLiteral("bench"));
    const auto property = [&connection](const QString& name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            MediaControls::ServiceName, MediaControls::ObjectPath,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << MediaControls::PlayerInterface << name;
        const QDBusMessage reply = connection.call(get);
        return reply.arguments().isEmpty() ? QVariant()
                                           : reply.arguments().constFirst().value<QDBusVariant>().variant();
    };
    const auto status = [&property] { return property(QStringLiteral("PlaybackStatus")).toString(); };
    if (!runEventsUntil([&] { return status() == QLatin1String("Paused"); }, RoundTimeoutMs)) {
        std::fprintf(stderr, "action: the program did not start on its playlist\n");
        return 1;
    }
    // the panes are loaded: their first load ends before the status reads
    runEventsFor(1000);

    std::vector<double> carriedOut;
    std::vector<double> senderCpu;
    for (int round = 0; round < Rounds; ++round) {
        const QString expected =
            status() == QLatin1String("Playing") ? QStringLiteral("Paused") : QStringLiteral("Playing");
        test::ProgramProcess command(program, home, bus.address());
        QElapsedTimer clock;
        clock.start();
        command.start({QStringLiteral("--action"), QStringLiteral("play-or-stop-all")});
        if (!runEventsUntil([&] { return status() == expected; }, RoundTimeoutMs)) {
            std::fprintf(stderr, "action: round %d was not carried out\n", round + 1);
            return 1;
        }
        carriedOut.push_back(clock.nsecsElapsed() / 1e6);
        const qint64 pid = command.pid();
        double cpu = 0;
        runEventsUntil(
            [&] {
                cpu = std::max(cpu, cpuSecondsOf(pid));
                return command.pid() == 0;
            },
            RoundTimeoutMs);
        senderCpu.push_back(cpu * 1000.0);
        if (command.finished() != 0) {
            std::fprintf(stderr, "action: the command's process ended with a fault\n");
            return 1;
        }
        // a play has its movies start before the next stop
        runEventsFor(300);
    }
    print("action_carried_out_median", median(carriedOut), "ms", 1);
    print("action_carried_out_max", *std::max_element(carriedOut.cbegin(), carriedOut.cend()), "ms", 1);
    print("action_sender_cpu_median", median(senderCpu), "ms", 1);
    running.quit();
    return 0;
}

} // namespace tetrapan::bench
