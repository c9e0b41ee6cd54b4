// tetrapan-bench recordings: the built program as a user starts it (a child process on a home of its own,
// its library written before it starts, on a session bus of the bench's own), watched and driven from
// outside: four cameras' recordings of 60 one-minute barcode files each, the first camera with two gaps of 30
// s, one camera folder in each pane of a playlist; every frame read off the X server's screen, where the
// barcodes number the frames on the wall clock, so panes in step show the same number. Figures: choosing that
// playlist (the media controls' Next, as a media key does) until four first frames show; boundaries crossed
// while playing with the sync lock on, every pane's frames consecutive, none repeated or skipped; jumps by a
// real click on the time line until four panes show the clicked time's frame; the gap shown as "No recording"
// and left on the right frame; and a recording of 10,000 files handed over by a second launch: the longest
// wait for the program's answers to a steady stream of property reads of its media controls (answered on its
// GUI thread), and the time until its first frame shows.
#include "BenchCommands.h"

#include "BenchSupport.h"
#include "OutsideProgram.h"
#include "ProgramProcess.h"
#include "RecordingClips.h"
#include "RecordingScreen.h"
#include "ScreenProbe.h"
#include "TestClips.h"
#include "TestHome.h"
#include "VirtualDisplay.h"

#include "panes/SyncLock.h"
#include "panes/TimelineBar.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QThread>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 30000;
constexpr int Fps = 10;
constexpr int OpenRounds = 5;
constexpr int Boundaries = 10;
constexpr int Jumps = 20;
constexpr int ShotIntervalMs = 30;
// A frame on show longer than this is a stall or a repeat.
constexpr int LongestHoldMs = 250;
constexpr int HugeFiles = 10000;
constexpr int AskEveryMs = 5;
// The first camera's gaps: the second halves of its files 20 and 40.
const QSet<int> HalfFiles{20, 40};
const QString Plain = QStringLiteral("plain clips");
const QString Cameras = QStringLiteral("cameras");
// pane 2's lane on the time line, as the bar paints it: that camera has no gap, its strip spans the recording
const QColor SecondLane(0x6c, 0xc0, 0x5a);

// One pane's frames while playing: consecutive, none held longer than LongestHoldMs, `through` among them.
struct Watch {
    std::vector<std::pair<qint64, int>> shown; // when it changed, to what
    bool consecutive(int through) const
    {
        bool crossed = false;
        for (size_t i = 0; i < shown.size(); ++i) {
            crossed = crossed || shown[i].second == through;
            if (i == 0)
                continue;
            if (shown[i].second != shown[i - 1].second + 1)
                return false;
            // the first and last holds are cut by the watch
            if (i >= 2 && shown[i].first - shown[i - 1].first > LongestHoldMs)
                return false;
        }
        return crossed;
    }
};

bool writeHome(const test::TestHome& home, const test::TestClips& plain, const QStringList& cameraFolders)
{
    if (!test::writeLibrary(
            home, {{Plain, {plain.red, plain.green, plain.blue, plain.yellow}}, {Cameras, cameraFolders}},
            false))
        return false;
    // the time line shown and the lock on before it starts, as the user left them
    QJsonObject settings = QJsonDocument::fromJson(test::readAll(home.settingsFile())).object();
    settings.insert(QLatin1String(TimelineBar::OptShowSeekBar), true);
    settings.insert(QLatin1String(SyncLock::OptSyncLock), true);
    return test::writeAll(home.settingsFile(), QJsonDocument(settings).toJson());
}

QString makeHugeFolder(const test::RecordingClips& clips)
{
    const QString huge = QDir(clips.folder).filePath(QStringLiteral("huge"));
    QDir().mkpath(huge);
    const QString source = clips.recordings[1].pieces.first().path;
    for (int i = 0; i < HugeFiles; ++i) {
        const QString name =
            QDateTime::fromMSecsSinceEpoch(test::RecordingClips::startMs() + i * 60000LL, QTimeZone::utc())
                .toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) +
            QStringLiteral("huge.mp4");
        const QString path = QDir(huge).filePath(name);
        if (!QFile::exists(path) && !QFile::link(source, path))
            return {};
    }
    return huge;
}

} // namespace

int runRecordings(int argc, char** argv)
{
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "recordings: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    std::fprintf(stderr, "recordings: making 240 one-minute files (kept for the next run)...\n");
    const test::RecordingClips clips = test::RecordingClips::makeForTests(
        test::RecordingClips::Layout{.cameras = {"front", "back", "left", "right"},
                                     .files = 60,
                                     .secondsPerFile = 60,
                                     .framesPerSecond = Fps,
                                     .size = {256, 144},
                                     .halfFiles = HalfFiles,
                                     .silentFiles = {}});
    const test::TestClips plain = test::TestClips::makeForTests();
    test::SessionBus bus;
    test::TestHome home;
    if (!clips.ok() || !plain.ok() || bus.address().isEmpty() ||
        !writeHome(home, plain, clips.cameraFolders)) {
        std::fprintf(stderr, "recordings: no clips, session bus or library (%s%s)\n", qPrintable(clips.error),
                     qPrintable(plain.error));
        return 1;
    }
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan");
    test::ProgramProcess running(program, home, bus.address());
    const test::XServer::Window window = running.start() ? running.window(Plain) : test::XServer::Window();
    if (window.id == XCB_WINDOW_NONE) {
        std::fprintf(stderr, "recordings: the program did not start\n");
        return 1;
    }
    PlayerControls controls(bus.address());
    RecordingScreen screen(running.x, window.geometry);
    const auto status = [&] { return controls.property(QStringLiteral("PlaybackStatus")).toString(); };
    if (!runEventsUntil([&] { return status() == QLatin1String("Paused"); }, TimeoutMs)) {
        std::fprintf(stderr, "recordings: the program did not start on its playlist\n");
        return 1;
    }
    std::fprintf(stderr, "recordings: load average %.2f\n", loadAverage());

    // 1. Choosing the playlist of the four recordings until four first frames show, from the playlist of
    // plain clips, as the media controls' Next does; Previous back to the plain clips between rounds.
    std::vector<double> opens;
    // the program's own CPU time for it, all its threads: what a busy machine bends less than the wall clock
    std::vector<double> openCpu;
    for (int round = 0; round < OpenRounds; ++round) {
        runEventsFor(1000);
        const double cpuBefore = cpuSecondsOf(running.pid());
        QElapsedTimer clock;
        clock.start();
        controls.call(QStringLiteral("Next"));
        // a look every 5 ms: grabbing the window without a pause would keep the X server, which the program
        // draws through, busy on one of the two cores
        bool shown = false;
        while (!shown && clock.elapsed() < TimeoutMs) {
            runEventsFor(5);
            const QImage shot = screen.shot();
            shown = (screen.picturesFound() || screen.findPictures(shot)) && allAt(screen.frames(shot), 0);
        }
        if (!shown) {
            std::fprintf(stderr, "recordings: the four recordings never showed (the screen: %s)\n",
                         qPrintable(QDir::temp().filePath(QStringLiteral("recordings-bench.png"))));
            const QImage shot = screen.shot();
            shot.save(QDir::temp().filePath(QStringLiteral("recordings-bench.png")));
            const RecordingScreen::Frames frames = screen.frames(shot);
            for (int n = 1; n <= 4; ++n)
                std::fprintf(stderr, "recordings: pane %d's picture at %d,%d %dx%d reads %d\n", n,
                             screen.picture(n).x(), screen.picture(n).y(), screen.picture(n).width(),
                             screen.picture(n).height(), frames[n - 1].value_or(-1));
            return 1;
        }
        opens.push_back(clock.nsecsElapsed() / 1e6);
        openCpu.push_back((cpuSecondsOf(running.pid()) - cpuBefore) * 1000.0);
        std::fprintf(stderr, "recordings: open round %d: %.0f ms\n", round, opens.back());
        if (round + 1 == OpenRounds)
            break;
        controls.call(QStringLiteral("Previous"));
        const auto plainShown = [&] {
            const QImage shot = screen.shot();
            for (int n = 1; n <= 4; ++n) {
                const QPoint middle = screen.picture(n).center() - window.geometry.topLeft();
                if (!test::ScreenProbe::near(shot.pixelColor(middle), test::TestClips::Colours[n - 1]))
                    return false;
            }
            return true;
        };
        if (!runEventsUntil(plainShown, TimeoutMs)) {
            std::fprintf(stderr, "recordings: the plain clips never showed again\n");
            screen.shot().save(QDir::temp().filePath(QStringLiteral("recordings-bench.png")));
            return 1;
        }
    }
    print("open-four-recordings-240-files-median", median(opens), "ms", 0);
    print("open-four-recordings-240-files-max", *std::max_element(opens.begin(), opens.end()), "ms", 0);
    print("open-four-recordings-240-files-program-cpu-median", median(openCpu), "ms", 0);
    runEventsFor(500);

    const auto moveAndSettle = [&](double seconds) {
        controls.moveTo(seconds);
        const int frame = int(std::floor(seconds * Fps + 1e-6));
        runEventsUntil([&] { return allAt(screen.frames(), frame); }, 5000);
        runEventsFor(300);
    };
    // Plays, reading every pane's frame off the screen, until pane 2 (no gaps) is past the time.
    const auto playWatching = [&](double untilSeconds,
                                  const std::function<void(const RecordingScreen::Frames&, qint64)>& look) {
        controls.call(QStringLiteral("Play"));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < TimeoutMs) {
            const RecordingScreen::Frames frames = screen.frames();
            look(frames, clock.elapsed());
            if (frames[1] && *frames[1] >= untilSeconds * Fps)
                break;
            runEventsFor(ShotIntervalMs);
        }
        controls.call(QStringLiteral("Pause"));
        runEventsFor(300);
    };

    // 2. Boundaries crossed while playing, the lock on: minutes 3, 8, ... 48, away from the gaps.
    int crossed = 0;
    for (int i = 0; i < Boundaries; ++i) {
        const int boundary = (3 + 5 * i) * 60;
        moveAndSettle(boundary - 1.5);
        std::array<Watch, 4> watches;
        playWatching(boundary + 1.5, [&](const RecordingScreen::Frames& frames, qint64 at) {
            for (int n = 0; n < 4; ++n) {
                if (frames[n] && (watches[n].shown.empty() || watches[n].shown.back().second != *frames[n]))
                    watches[n].shown.emplace_back(at, *frames[n]);
            }
        });
        const bool ok = std::all_of(watches.begin(), watches.end(),
                                    [&](const Watch& w) { return w.consecutive(boundary * Fps); });
        crossed += ok ? 1 : 0;
        if (!ok || qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS")) {
            for (int n = 0; n < 4; ++n) {
                QString seen;
                for (const auto& [at, frame] : watches[n].shown)
                    seen += QStringLiteral(" %1@%2").arg(frame).arg(at);
                std::fprintf(stderr, "recordings: boundary %d pane %d:%s\n", boundary, n + 1,
                             qPrintable(seen));
            }
        }
    }
    print("boundaries-crossed-consecutive", crossed, "of 10", 0);

    // 3. Jumps by a click of the pointer on the time line, at random places outside the gaps, panes stopped,
    // timed from the click until all four panes show the frame of the clicked time.
    const RecordingScreen::Track track = screen.findTrack(screen.shot(), SecondLane);
    const RecordingPiece& lastPiece = clips.recordings[1].pieces.last();
    const double lengthSeconds =
        (lastPiece.startMs + lastPiece.lengthMs - test::RecordingClips::startMs()) / 1000.0;
    if (!track.valid()) {
        std::fprintf(stderr, "recordings: the time line's track is nowhere on the screen\n");
        return 1;
    }
    QRandomGenerator random(39);
    std::vector<double> jumps;
    int exact = 0;
    for (int i = 0; i < Jumps; ++i) {
        int x = 0;
        double target = 0;
        do {
            x = track.left + 2 + int(random.bounded(track.right - track.left - 4));
            target = (x - track.left) * lengthSeconds / (track.right - track.left);
        } while ((target > 1225 && target < 1265) || (target > 2425 && target < 2465));
        test::usePointer({QStringLiteral("mousemove"), QString::number(x), QString::number(track.y)});
        runEventsFor(200);
        // An exact seek shows the first frame at or after the time, in a recording as in a single file; the
        // clicked time is known to the bar's rounding of a pixel to a time, so the frame on show at the time
        // counts too. Right when the four panes show the same one of those.
        const int atOrAfter = int(std::ceil(target * Fps - 1e-6));
        const int onShow = int(std::floor(target * Fps + 1e-6));
        const auto landed = [&] {
            const RecordingScreen::Frames frames = screen.frames();
            return allAt(frames, atOrAfter) || allAt(frames, onShow);
        };
        QElapsedTimer clock;
        clock.start();
        QProcess click;
        test::startTool(click, QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
        const bool right = runEventsUntil(landed, 3000);
        jumps.push_back(clock.nsecsElapsed() / 1e6);
        exact += right ? 1 : 0;
        if (!right) {
            const RecordingScreen::Frames frames = screen.frames();
            std::fprintf(stderr, "recordings: jump %d to %.3f s (frame %d) shows %d %d %d %d\n", i, target,
                         atOrAfter, frames[0].value_or(-1), frames[1].value_or(-1), frames[2].value_or(-1),
                         frames[3].value_or(-1));
        }
        click.waitForFinished(5000);
        runEventsFor(400);
    }
    print("jump-to-wall-clock-time-median", median(jumps), "ms", 0);
    print("jump-to-wall-clock-time-max", *std::max_element(jumps.begin(), jumps.end()), "ms", 0);
    print("jumps-exact", exact, "of 20", 0);

    // 4. The gap of the first camera from 20:30 to 21:00: into it, then out of it.
    bool noticeShown = false;
    bool othersPlayed = false;
    moveAndSettle(1227.0);
    playWatching(1233.0, [&](const RecordingScreen::Frames& frames, qint64) {
        if (frames[1].value_or(0) > 12303) {
            const QImage shot = screen.shot();
            // black reads as frame 0, all its stripes black
            noticeShown = frames[0].value_or(0) == 0 && screen.showsGapNotice(shot, 1);
            if (!noticeShown && qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
                shot.save(QDir::temp().filePath(QStringLiteral("recordings-gap.png")));
            othersPlayed = frames[1] && frames[2] && frames[3];
        }
    });
    print("gap-shows-no-recording", noticeShown && othersPlayed ? 1 : 0, "(1 yes)", 0);
    moveAndSettle(1257.0);
    int resumedOff = -1;
    playWatching(1262.0, [&](const RecordingScreen::Frames& frames, qint64) {
        if (frames[1].value_or(0) > 12605 && frames[0])
            resumedOff = std::abs(*frames[0] - *frames[1]);
    });
    print("gap-resumes-frames-off", resumedOff, "frames (0 exact, -1 never)", 0);

    // 5. A recording of 10,000 files (links to one file, named a minute apart) handed to the running program
    // by a second launch; meanwhile the media controls' PlaybackStatus is read every few milliseconds, each
    // read waiting for the program's GUI thread: the longest wait is its longest stall.
    const QString huge = makeHugeFolder(clips);
    if (huge.isEmpty()) {
        std::fprintf(stderr, "recordings: cannot make the folder of 10,000 files\n");
        return 1;
    }
    runEventsFor(1000);
    double longest = 0;
    QElapsedTimer clock;
    clock.start();
    test::ProgramProcess second(program, home, bus.address());
    second.start({huge});
    QElapsedTimer sinceLook;
    sinceLook.start();
    bool opened = false;
    // its pieces are the first file of the second camera: frames 0 to 599; the first camera was far later
    while (!opened && clock.elapsed() < 300000) {
        QElapsedTimer asked;
        asked.start();
        status();
        longest = std::max(longest, asked.nsecsElapsed() / 1e6);
        if (sinceLook.elapsed() >= 50) {
            sinceLook.restart();
            const std::optional<int> frame = screen.frameOf(1);
            opened = frame && *frame < 600;
        }
        QThread::msleep(AskEveryMs);
    }
    print("huge-recording-10000-files-longest-gui-stall", longest, "ms", 0);
    print("huge-recording-10000-files-until-first-frame", opened ? clock.nsecsElapsed() / 1e6 : -1.0, "ms",
          0);
    print("load-average", loadAverage(), "", 2);
    if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
        std::fprintf(stderr, "%s", running.errors().constData());
    running.quit();
    return 0;
}

} // namespace tetrapan::bench
