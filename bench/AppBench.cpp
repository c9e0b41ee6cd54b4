// tetrapan-bench app: the built program as a user starts it, on a playlist of four copies of one clip with
// its windows as at a first start (playlist window and palette open, main window 1280x720), against four
// plain mpv players of 640x360 in the same X server. Both sides are measured from outside in the same way:
// over the same stretch of steady playing that starts a while after the first frames showed (for the program,
// after Space pressed through the X server), with the X server's work counted on each side, in rounds run
// alternately; the figures are medians over the rounds. The program's GUI thread is measured on its own, and
// the program tells the frames it dropped in a debug line each time a movie stops. Like is compared with
// like: panes silent (volume 0, no sound decoded) against plain players that leave the sound (--aid=no), and
// panes heard (volume 0.5) against plain players that decode it into the same sound outputs (the null one on
// a machine without a sound server or device).
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "PlainPlayers.h"
#include "ProgramProcess.h"
#include "TestHome.h"
#include "VirtualDisplay.h"
#include "XServer.h"
#include "engine/soundOutputs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tetrapan::bench {

namespace {

constexpr int DefaultRounds = 3;
constexpr int DefaultSeconds = 9;
// Playing settles (caches fill, the players' clocks lock, the program's start hold ends) before the
// measured stretch starts.
constexpr int SettleMs = 1000;
constexpr int ShowTimeoutMs = 30000;
constexpr int StopTimeoutMs = 10000;
const QSize MainWindowSize(1280, 720);
const QString Title = QStringLiteral("Four Clips");

// The panes' volume (optPlayVolume) and what the plain players do with the sound to match it.
struct SoundMode {
    const char* name;
    double volume; // a first start's is 0.0, and silent panes decode no sound
    PlainSound plain;
};
const SoundMode Silent{"silent", 0.0, PlainSound::None};
const SoundMode Heard{"heard", 0.5, PlainSound::DecodedIntoOutput};

struct Options {
    int rounds = DefaultRounds;
    int seconds = DefaultSeconds;
    std::vector<SoundMode> modes{Silent, Heard};
    bool play720p = true;
    bool play1080p = true;
    bool syncLock = false; // a first start's
    int measureMs() const { return seconds * 1000; }
};

// What one side used over the measured stretch.
struct Usage {
    double cpuSeconds = 0;       // the players' own, all threads
    double xServerSeconds = 0;   // the X server's, drawing for them
    double guiThreadSeconds = 0; // the program's main thread (the program only)
    qint64 dropped = -1;         // from the start to the stop (program) or the quit (mpv); -1 when not told
    double peakRssMb = 0;        // the program's; the four players' together
    bool played = false;         // every player showed its first frame and played
    double firstFramesMs = 0;    // the program's, from its start until its four panes showed their pictures
    std::map<QString, double> threadsBefore, threadsAfter; // by thread name, at the stretch's ends
    double total() const { return cpuSeconds + xServerSeconds; }
};

bool parseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--rounds") == 0 && hasValue)
            options->rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--seconds") == 0 && hasValue)
            options->seconds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--sound") == 0 && hasValue) {
            const char* which = argv[++i];
            if (std::strcmp(which, "silent") == 0)
                options->modes = {Silent};
            else if (std::strcmp(which, "heard") == 0)
                options->modes = {Heard};
            else if (std::strcmp(which, "both") != 0)
                return false;
        } else if (std::strcmp(argv[i], "--sync-lock") == 0)
            options->syncLock = true;
        else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            const char* which = argv[++i];
            options->play720p = std::strcmp(which, "1080p") != 0;
            options->play1080p = std::strcmp(which, "720p") != 0;
            if (!options->play720p && !options->play1080p)
                return false;
        } else
            return false;
    }
    return true;
}

// testsrc2 with sound, encoded as make-test-clips.sh encodes its benchmark clips, long enough that neither
// side reaches the end within the stretch; made once per length and kept with the other clips.
QString makeClip(const QString& folder, const char* label, QSize size, int seconds)
{
    const QString path =
        QDir(folder).filePath(QStringLiteral("app-%1-%2s.mp4").arg(QLatin1String(label)).arg(seconds));
    if (QFileInfo(path).size() > 0)
        return path;
    QDir().mkpath(folder);
    const QString partial = QDir(folder).filePath(QStringLiteral(".partial-") + QFileInfo(path).fileName());
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start(
        QStringLiteral("ffmpeg"),
        {"-hide_banner",
         "-loglevel",
         "error",
         "-nostdin",
         "-y",
         "-f",
         "lavfi",
         "-i",
         QStringLiteral("testsrc2=s=%1x%2:r=30:d=%3").arg(size.width()).arg(size.height()).arg(seconds),
         "-f",
         "lavfi",
         "-i",
         QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(seconds),
         "-c:v",
         "libx264",
         "-preset",
         "veryfast",
         "-pix_fmt",
         "yuv420p",
         "-g",
         "60",
         "-c:a",
         "aac",
         "-b:a",
         "128k",
         "-shortest",
         "-f",
         "mp4",
         partial});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0 || !QFile::rename(partial, path))
        return {};
    return path;
}

// Until every area shows a picture; false when one did not within the time.
// Types a key the way a keyboard does (XTEST), into the window that has the keyboard.
bool pressKey(test::XServer& x, const test::XServer::Window& window, const char* key)
{
    x.focus(window);
    runEventsFor(100);
    return test::usePointer({QStringLiteral("key"), QLatin1String(key)});
}

// The sum of the dropped frames in the movies' stop lines written after the first bytes, once all four have
// come; -1 when they did not.
qint64 droppedAtStop(test::ProgramProcess& program, qsizetype before)
{
    static const QRegularExpression line(QStringLiteral("stopped .*: dropped (\\d+)"));
    qint64 dropped = -1;
    runEventsUntil(
        [&] {
            const QString said = QString::fromUtf8(program.errors().mid(before));
            int lines = 0;
            qint64 sum = 0;
            for (auto match = line.globalMatch(said); match.hasNext(); ++lines)
                sum += match.next().captured(1).toLongLong();
            if (lines >= 4)
                dropped = sum;
            return lines >= 4;
        },
        StopTimeoutMs);
    return dropped;
}

Usage playProgram(test::XServer& x, qint64 xServer, const QString& clip, const Options& options,
                  const SoundMode& mode)
{
    Usage usage;
    test::TestHome home;
    const QString settings =
        QStringLiteral("{\"optLastSelectedIndexForPlaylist\": 0, \"optPlayVolume\": %3, "
                       "\"optSyncLock\": %4, \"rectWindowMain\": \"{{0, 0}, {%1, %2}}\"}")
            .arg(MainWindowSize.width())
            .arg(MainWindowSize.height())
            .arg(mode.volume)
            .arg(options.syncLock ? "true" : "false");
    if (!test::writeOnePlaylistHome(home, Title, {clip, clip, clip, clip}) ||
        !test::writeAll(home.settingsFile(), settings.toUtf8()))
        return usage;
    test::ProgramProcess program(QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan"),
                                 home, test::ProgramProcess::NoBus);
    program.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                               QStringLiteral("tetrapan.engine.frames.debug=true"));
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (!program.start()) {
        std::fprintf(stderr, "app: the program did not start\n");
        return usage;
    }
    const test::XServer::Window main = program.window(Title, ShowTimeoutMs);
    const test::XServer::Window playlists = program.window(QStringLiteral("Playlist"), ShowTimeoutMs);
    if (main.id == XCB_WINDOW_NONE || playlists.id == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "app: the program's windows never showed\n%s", program.errors().constData());
        return usage;
    }
    std::vector<QRect> spots;
    for (int viewNo = 1; viewNo <= 4; ++viewNo)
        spots.push_back(QRect(paneSpotOnScreen(main.geometry, viewNo) - QPoint(16, 16), QSize(32, 32)));
    if (!waitUntilShown(x, spots, ShowTimeoutMs)) {
        std::fprintf(stderr, "app: the program's four panes never showed their first frames\n");
        return usage;
    }
    usage.firstFramesMs = sinceStart.nsecsElapsed() / 1e6;
    if (!pressKey(x, playlists, "space")) {
        std::fprintf(stderr, "app: xdotool could not press Space\n");
        return usage;
    }
    runEventsFor(SettleMs);
    const qint64 pid = program.pid();
    const double cpu = cpuSecondsOf(pid);
    const double server = cpuSecondsOf(xServer);
    const double gui = threadCpuSecondsOf(pid, pid);
    usage.threadsBefore = threadCpuSecondsByName(pid);
    runEventsFor(options.measureMs());
    usage.threadsAfter = threadCpuSecondsByName(pid);
    usage.cpuSeconds = cpuSecondsOf(pid) - cpu;
    usage.xServerSeconds = cpuSecondsOf(xServer) - server;
    usage.guiThreadSeconds = threadCpuSecondsOf(pid, pid) - gui;
    usage.peakRssMb = peakRssMbOf(pid);
    // Space again stops all four; only a movie that played tells on stopping.
    const qsizetype said = program.errors().size();
    if (pressKey(x, playlists, "space"))
        usage.dropped = droppedAtStop(program, said);
    usage.played = usage.dropped >= 0;
    if (!usage.played)
        std::fprintf(stderr, "app: the program's panes did not tell of stopping; it wrote:\n%s\n",
                     program.errors().right(2000).constData());
    if (!program.quit())
        std::fprintf(stderr, "app: the program did not quit cleanly\n");
    return usage;
}

// Four plain mpv players side by side where the program's panes were, each drawing with X11.
Usage playFourMpv(test::XServer& x, qint64 xServer, const QString& clip, const Options& options,
                  const SoundMode& mode)
{
    const PlainPlayersUsage players =
        playFourPlainPlayers(x, xServer, clip, SettleMs, options.measureMs(), mode.plain);
    Usage usage;
    usage.cpuSeconds = players.cpuSeconds;
    usage.xServerSeconds = players.xServerSeconds;
    usage.peakRssMb = players.peakRssMb;
    usage.dropped = players.dropped;
    usage.played = players.played;
    usage.threadsBefore = players.threadsBefore;
    usage.threadsAfter = players.threadsAfter;
    return usage;
}

void printFigures(const QString& size, const std::vector<Usage>& ours, const std::vector<Usage>& theirs,
                  const Options& options)
{
    std::vector<double> ratios, ourCpu, ourServer, theirCpu, theirServer, gui, theirRss, firstFrames;
    double dropped = 0;
    double theirDropped = 0;
    double peakRss = 0;
    const double seconds = options.measureMs() / 1000.0;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const Usage& us = ours[i];
        const Usage& them = theirs[i];
        if (!us.played || !them.played || them.total() <= 0)
            continue;
        ratios.push_back(us.total() / them.total());
        ourCpu.push_back(us.cpuSeconds);
        ourServer.push_back(us.xServerSeconds);
        theirCpu.push_back(them.cpuSeconds);
        theirServer.push_back(them.xServerSeconds);
        gui.push_back(us.guiThreadSeconds / seconds);
        theirRss.push_back(them.peakRssMb);
        firstFrames.push_back(us.firstFramesMs);
        dropped = std::max(dropped, static_cast<double>(us.dropped));
        theirDropped = std::max(theirDropped, static_cast<double>(them.dropped));
        peakRss = std::max(peakRss, us.peakRssMb);
    }
    const auto name = [size](const char* figure) {
        return QStringLiteral("app.%1.%2").arg(size, QLatin1String(figure)).toUtf8();
    };
    print(name("rounds").constData(), static_cast<double>(ratios.size()), "rounds", 0);
    print(name("cpu_ratio").constData(), median(ratios), "x", 2);
    print(name("program_cpu_s").constData(), median(ourCpu), "CPU-s", 2);
    print(name("program_x_server_cpu_s").constData(), median(ourServer), "CPU-s", 2);
    print(name("mpv_cpu_s").constData(), median(theirCpu), "CPU-s", 2);
    print(name("mpv_x_server_cpu_s").constData(), median(theirServer), "CPU-s", 2);
    print(name("gui_thread_core").constData(), median(gui), "core", 2);
    // the most of any round: none may drop a frame
    print(name("dropped_frames").constData(), dropped, "frames", 0);
    print(name("mpv_dropped_frames").constData(), theirDropped, "frames", 0);
    print(name("peak_rss_mb").constData(), peakRss, "MB", 0);
    print(name("first_frames_ms").constData(), median(firstFrames), "ms (start until four pictures show)", 0);
    print(name("mpv_peak_rss_mb").constData(), median(theirRss), "MB", 0);
}

// What hearing the sound adds to each side's CPU time (its own and the X server's), the median of the rounds'
// differences heard less silent; rounds where either side did not play are left out.
void printSoundCost(const QString& size, const std::vector<Usage>& ourSilent,
                    const std::vector<Usage>& ourHeard, const std::vector<Usage>& theirSilent,
                    const std::vector<Usage>& theirHeard)
{
    std::vector<double> ours, theirs;
    for (std::size_t i = 0; i < ourSilent.size(); ++i) {
        if (!ourSilent[i].played || !ourHeard[i].played || !theirSilent[i].played || !theirHeard[i].played)
            continue;
        ours.push_back(ourHeard[i].total() - ourSilent[i].total());
        theirs.push_back(theirHeard[i].total() - theirSilent[i].total());
    }
    print(QStringLiteral("app.%1.sound_program_cpu_s").arg(size).toUtf8().constData(), median(ours), "CPU-s",
          2);
    print(QStringLiteral("app.%1.sound_mpv_cpu_s").arg(size).toUtf8().constData(), median(theirs), "CPU-s",
          2);
}

} // namespace

int runApp(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        std::fprintf(
            stderr,
            "usage: tetrapan-bench app [--rounds N (%d)] [--seconds S (%d)] [--sound silent|heard|both] "
            "[--size 720p|1080p|both] [--sync-lock]\n",
            DefaultRounds, DefaultSeconds);
        return 2;
    }
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "app: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const qint64 xServer = virtualDisplay.serverPid();
    test::XServer x;
    if (!x.isConnected() || xServer == 0) {
        std::fprintf(stderr, "app: cannot reach the X server or find its process\n");
        return 1;
    }
    for (const char* tool : {"mpv", "xdotool", "ffmpeg"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            std::fprintf(stderr, "app: %s is not installed (make bench installs what benchmarks need)\n",
                         tool);
            return 1;
        }
    }
    const QString clips = QCoreApplication::applicationDirPath() + QStringLiteral("/clips");
    // long enough for the first frames, the settling and the stretch, with time to spare
    const int clipSeconds = options.seconds + SettleMs / 1000 + 10;
    std::fprintf(stderr, "app: %d rounds of %d s%s, sound heard through %s, load average %.2f\n",
                 options.rounds, options.seconds, options.syncLock ? ", the sync lock on" : "",
                 soundOutputs::ofThisMachine().constData(), loadAverage());

    for (const auto& [label, size] :
         {std::pair{"720p", QSize(1280, 720)}, std::pair{"1080p", QSize(1920, 1080)}}) {
        if (!(size.height() == 720 ? options.play720p : options.play1080p))
            continue;
        const QString clip = makeClip(clips, label, size, clipSeconds);
        if (clip.isEmpty()) {
            std::fprintf(stderr, "app: the %s clip could not be made\n", label);
            return 1;
        }
        // The sound modes take turns within each round, so that both meet the machine as it is then.
        std::vector<std::vector<Usage>> ours(options.modes.size()), theirs(options.modes.size());
        for (int round = 0; round < options.rounds; ++round) {
            for (std::size_t k = 0; k < options.modes.size(); ++k) {
                // and the one that goes first changes too
                const std::size_t m = round % 2 == 0 ? k : options.modes.size() - 1 - k;
                const SoundMode& mode = options.modes[m];
                // whichever side goes first meets a different machine; alternate
                Usage us, them;
                if (round % 2 == 0) {
                    us = playProgram(x, xServer, clip, options, mode);
                    them = playFourMpv(x, xServer, clip, options, mode);
                } else {
                    them = playFourMpv(x, xServer, clip, options, mode);
                    us = playProgram(x, xServer, clip, options, mode);
                }
                std::fprintf(stderr,
                             "app: %s %s round %d: program %.2f s CPU + %.2f s X server, GUI thread %.2f s, "
                             "%lld dropped, %.0f MB; mpv %.2f s + %.2f s, %lld dropped, %.0f MB; load %.2f\n",
                             label, mode.name, round + 1, us.cpuSeconds, us.xServerSeconds,
                             us.guiThreadSeconds, static_cast<long long>(us.dropped), us.peakRssMb,
                             them.cpuSeconds, them.xServerSeconds, static_cast<long long>(them.dropped),
                             them.peakRssMb, loadAverage());
                if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_THREADS")) {
                    printThreadCpu("app:   program threads:", us.threadsBefore, us.threadsAfter);
                    printThreadCpu("app:   mpv threads:", them.threadsBefore, them.threadsAfter);
                }
                ours[m].push_back(us);
                theirs[m].push_back(them);
            }
        }
        for (std::size_t m = 0; m < options.modes.size(); ++m)
            printFigures(
                QStringLiteral("%1.%2").arg(QLatin1String(label), QLatin1String(options.modes[m].name)),
                ours[m], theirs[m], options);
        if (options.modes.size() == 2)
            printSoundCost(QLatin1String(label), ours[0], ours[1], theirs[0], theirs[1]);
    }
    std::fprintf(stderr, "app: load average at the end %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
