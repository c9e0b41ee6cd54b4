// tetrapan-bench export [--rounds N] [--seconds S] [--place-only]: File > Export Video of four 720p barcode
// panes with offsets, through the built program as a user starts and drives it (a home of its own, the
// playlist and its offsets written before the start, on a session bus of the bench's own): the loop A–B set
// by the media controls' position and the Loop A–B command, File > Export Video by `tetrapan --action`, its
// options taken as they come and the name typed into the save panel through the X server; the file the user
// gets read back frame by frame with the FFmpeg libraries. Figures: the panes that show the leader's frame
// plus their offset in every output frame; the export's speed against real time; the output's length against
// the range; the GUI thread's longest stall while it runs (the media controls' answers) and its longest sleep
// on a lock then; the files a click on Cancel at half way leaves under the chosen name; the test card's
// places in the output against its pictures on the screen, the dividers off the middle; and `tetrapan
// --export` of the same playlist, without a display, against the window's export of it, in alternate rounds.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "OutsideProgram.h"
#include "TestClips.h"
#include "VirtualDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>
#include <tuple>

#include <sys/syscall.h>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr int ExportTimeoutMs = 600000;
constexpr int Fps = 30;
constexpr std::array<int, 4> OffsetFrames{0, 25, -10, 50};
constexpr double RangeFrom = 1.0; // the range's end: `--seconds S` after it, 30 s without
const QString Title = QStringLiteral("720p");
const QString DialogTitle = QStringLiteral("Export Video");
const QRect Window(0, 0, 1280, 720);
// the export's bar, as it paints its background over the panes
const QColor BarColour(0x30, 0x30, 0x30);

qint64 offsetMs(int frames)
{
    return std::llround(frames * 1000.0 / Fps);
}

struct Run {
    bool written = false;
    double seconds = 0;
    double cpuSeconds = 0;
    double longestStallMs = 0;
    double longestLockWaitMs = 0;
};

// The longest time a process's main (GUI) thread sleeps on a lock another thread holds (a FUTEX_WAIT, as
// /proc shows its system call, looked at every 2 ms) while this lives: the part of a stall the program makes
// itself, apart from the waits for a processor that a busy machine gives every thread.
class LockWaits {
public:
    explicit LockWaits(qint64 pid)
        : path_(QStringLiteral("/proc/%1/task/%1/syscall").arg(pid)), thread_([this] { watch(); })
    {
    }
    ~LockWaits()
    {
        stop_ = true;
        thread_.join();
    }
    double longestMs() const { return longestMs_; }

private:
    bool sleepsOnLock() const
    {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QList<QByteArray> fields = file.readAll().split(' ');
        constexpr qint64 FutexCommand = 0x7f, FutexWait = 0;
        return fields.size() > 2 && fields[0].toLong() == SYS_futex &&
               (fields[2].toLongLong(nullptr, 0) & FutexCommand) == FutexWait;
    }
    void watch()
    {
        QElapsedTimer clock;
        clock.start();
        qint64 since = -1;
        while (!stop_) {
            const qint64 now = clock.nsecsElapsed();
            if (!sleepsOnLock())
                since = -1;
            else if (since < 0)
                since = now;
            else
                longestMs_ = std::max(longestMs_.load(), (now - since) / 1e6);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    QString path_;
    std::atomic<bool> stop_{false};
    std::atomic<double> longestMs_{0};
    std::thread thread_;
};

// File > Export Video in the running program, as a user goes through it.
class WindowExport {
public:
    WindowExport(Outside& program, test::XServer& x) : program_(program), x_(x), controls_(program.bus) {}

    PlayerControls& controls() { return controls_; }

    // The loop's points where the leader stands at `from` and at `to`.
    bool setLoop(double from, double to)
    {
        for (double at : {from, to}) {
            controls_.moveTo(at);
            runEventsFor(800);
            if (!action(program_, "loop-a-b"))
                return false;
        }
        return true;
    }

    // Exports into `output` from the command until the file is there; `cancelAt` is called as it runs, with
    // the seconds since the name was given, and answers true once it cancelled it (then this waits until the
    // bar has said how it ended and gone).
    Run exportTo(const QString& output, const std::function<bool(double)>& cancelAt = {})
    {
        Run run;
        if (!giveName(output))
            return run;
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = cpuSecondsOf(program_.pid());
        std::optional<LockWaits> lockWaits(std::in_place, program_.pid());
        bool cancelSent = false;
        run.longestStallMs = controls_.longestGuiWait(
            [&] {
                if (cancelAt && !cancelSent)
                    cancelSent = cancelAt(clock.elapsed() / 1000.0);
                return QFileInfo::exists(output) || (cancelSent && !barShown());
            },
            ExportTimeoutMs, 20);
        run.seconds = clock.elapsed() / 1000.0;
        run.longestLockWaitMs = lockWaits->longestMs();
        lockWaits.reset();
        std::fprintf(stderr, "export: %s: %.1f s, the longest stall %.0f ms at %.1f s, on a lock %.0f ms\n",
                     qPrintable(QFileInfo(output).fileName()), run.seconds, run.longestStallMs,
                     controls_.longestWaitAtMs() / 1000.0, run.longestLockWaitMs);
        run.cpuSeconds = cpuSecondsOf(program_.pid()) - cpuBefore;
        run.written = QFileInfo::exists(output);
        runEventsFor(500);
        return run;
    }

    // The bar's place on the screen: its dark box over the panes; none when it is not shown.
    QRect bar()
    {
        const QImage shot = x_.grab(program_.main.geometry);
        QRect box;
        for (int y = shot.height() / 3; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                if (std::abs(qRed(p) - BarColour.red()) <= 2 &&
                    std::abs(qGreen(p) - BarColour.green()) <= 2 &&
                    std::abs(qBlue(p) - BarColour.blue()) <= 2)
                    box |= QRect(x, y, 1, 1);
            }
        }
        return box.width() > 100 ? box.translated(program_.main.geometry.topLeft()) : QRect();
    }
    bool barShown() { return bar().isValid(); }

    // A click on the bar's Cancel, its right end.
    bool clickCancel()
    {
        const QRect box = bar();
        if (!box.isValid())
            return false;
        const QPoint button(box.right() - 40, box.center().y());
        return test::usePointer({QStringLiteral("mousemove"), QString::number(button.x()),
                                 QString::number(button.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

private:
    // The command, its options as they come (Return) and the name typed into the save panel.
    bool giveName(const QString& output)
    {
        if (!action(program_, "export-video"))
            return false;
        const test::XServer::Window options = program_.process->window(DialogTitle, TimeoutMs);
        if (options.id == XCB_WINDOW_NONE)
            return false;
        x_.focus(options);
        runEventsFor(300);
        pressKeys({QStringLiteral("Return")});
        test::XServer::Window panel;
        runEventsUntil(
            [&] {
                panel = x_.find(DialogTitle, program_.pid());
                return panel.id != XCB_WINDOW_NONE && panel.id != options.id;
            },
            TimeoutMs);
        if (panel.id == XCB_WINDOW_NONE || panel.id == options.id) {
            std::fprintf(stderr, "export: the save panel never showed\n");
            return false;
        }
        x_.focus(panel);
        runEventsFor(300);
        pressKeys({QStringLiteral("ctrl+a")});
        typeText(output);
        runEventsFor(200);
        return pressKeys({QStringLiteral("Return")});
    }

    Outside& program_;
    test::XServer& x_;
    PlayerControls controls_;
};

bool grey(QRgb p)
{
    return std::max({qRed(p), qGreen(p), qBlue(p)}) - std::min({qRed(p), qGreen(p), qBlue(p)}) < 30;
}

bool black(QRgb p)
{
    return std::max({qRed(p), qGreen(p), qBlue(p)}) < 24;
}

// The bounding box of what is not black inside an area of a picture.
QRect pictureEdges(const QImage& image, const QRect& area)
{
    QRect box;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (!black(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// From a point of the test card on the screen, its picture (no cell of it is grey: the picture ends at the
// black bars or a divider) and its pane's view (the picture and the black bars beside it).
std::pair<QRect, QRect> cardAndView(const QImage& shot, QPoint seed)
{
    const auto reach = [&](QPoint from, QPoint step, const std::function<bool(QRgb)>& keep) {
        QPoint at = from;
        while (shot.rect().contains(at + step) && keep(shot.pixel(at + step)))
            at += step;
        return at;
    };
    const auto picture = [](QRgb p) { return !grey(p); };
    const QRect card(QPoint(reach(seed, {-1, 0}, picture).x(), reach(seed, {0, -1}, picture).y()),
                     QPoint(reach(seed, {1, 0}, picture).x(), reach(seed, {0, 1}, picture).y()));
    const QPoint middle = card.center();
    const QRect view(QPoint(reach({card.left(), middle.y()}, {-1, 0}, black).x(),
                            reach({middle.x(), card.top()}, {0, -1}, black).y()),
                     QPoint(reach({card.right(), middle.y()}, {1, 0}, black).x(),
                            reach({middle.x(), card.bottom()}, {0, 1}, black).y()));
    return {card, view};
}

// The test card in four panes whose dividers stand off the middle (57 %, 40 %, written into the settings),
// exported at 1280x720: the worst distance of a picture's edge in the output from where the screen puts
// it, the panes' views scaled to the output and the picture fitted between them again; -1 when it could not
// be measured.
double placeError(const QString& bus, const QString& card, test::XServer& x, const QString& folder)
{
    const int top = 690 * 2 / 5;
    const QVariantMap dividers{
        {QStringLiteral("rectSplitViewMain"),
         QStringList{QStringLiteral("{{0, 0}, {730, 690}}"), QStringLiteral("{{734, 0}, {546, 690}}")}},
        {QStringLiteral("rectSplitViewLeft"),
         QStringList{QStringLiteral("{{0, 0}, {730, %1}}").arg(top),
                     QStringLiteral("{{0, %1}, {730, %2}}").arg(top + 4).arg(686 - top)}},
        {QStringLiteral("rectSplitViewRight"),
         QStringList{QStringLiteral("{{0, 0}, {546, %1}}").arg(top),
                     QStringLiteral("{{0, %1}, {546, %2}}").arg(top + 4).arg(686 - top)}}};
    Outside program;
    if (!startOutside(program, bus, QStringLiteral("Test card"), {card, card, card, card}, Window, dividers))
        return -1;
    const QRect window = program.main.geometry;
    // inside each pane's picture, whatever the menu bar's height: the views' middles, dividers at 57 %, 40 %
    const std::array<QPoint, 4> seeds{QPoint(window.width() * 28 / 100, window.height() * 22 / 100),
                                      QPoint(window.width() * 28 / 100, window.height() * 72 / 100),
                                      QPoint(window.width() * 78 / 100, window.height() * 22 / 100),
                                      QPoint(window.width() * 78 / 100, window.height() * 72 / 100)};
    std::vector<QRect> spots;
    for (const QPoint& seed : seeds)
        spots.push_back(QRect(seed + window.topLeft() - QPoint(8, 8), QSize(16, 16)));
    if (!waitUntilShown(x, spots, TimeoutMs))
        return -1;
    runEventsFor(1500);
    const QImage shot = x.grab(window);
    std::array<QRect, 4> cards, views;
    QRect area;
    for (size_t i = 0; i < 4; ++i) {
        std::tie(cards[i], views[i]) = cardAndView(shot, seeds[i]);
        area |= views[i];
    }
    WindowExport exporter(program, x);
    const QString output = QDir(folder).filePath(QStringLiteral("card.mp4"));
    if (!exporter.exportTo(output).written)
        return -1;
    QImage out;
    test::readMovieBack(output, [&](const QImage& picture, int) {
        out = picture;
        return false;
    });
    if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS")) {
        shot.save(QStringLiteral("/tmp/export-card-screen.png"));
        out.save(QStringLiteral("/tmp/export-card-out.png"));
    }
    const double sx = double(out.width()) / area.width(), sy = double(out.height()) / area.height();
    double worst = 0;
    for (size_t i = 0; i < 4; ++i) {
        const QRect onScreen = views[i].translated(-area.topLeft());
        const QRectF paneOut(onScreen.x() * sx, onScreen.y() * sy, onScreen.width() * sx,
                             onScreen.height() * sy);
        const double aspect = double(cards[i].width()) / cards[i].height();
        QSizeF fitted = paneOut.size();
        if (paneOut.width() / paneOut.height() > aspect)
            fitted.setWidth(paneOut.height() * aspect);
        else
            fitted.setHeight(paneOut.width() / aspect);
        QRectF expected(QPointF(), fitted);
        expected.moveCenter(paneOut.center());
        const QRect found = pictureEdges(out, paneOut.toAlignedRect().adjusted(-3, -3, 3, 3));
        const double edges[] = {
            std::abs(expected.left() - found.left()), std::abs(expected.right() - (found.right() + 1)),
            std::abs(expected.top() - found.top()), std::abs(expected.bottom() - (found.bottom() + 1))};
        worst = std::max(worst, *std::max_element(std::begin(edges), std::end(edges)));
        std::fprintf(
            stderr,
            "export: pane %zu picture on screen %d,%d %dx%d in a view of %dx%d, expected in the output "
            "%.1f,%.1f %.1fx%.1f, found %d,%d %dx%d\n",
            i + 1, cards[i].x(), cards[i].y(), cards[i].width(), cards[i].height(), views[i].width(),
            views[i].height(), expected.x(), expected.y(), expected.width(), expected.height(), found.x(),
            found.y(), found.width(), found.height());
    }
    program.process->quit();
    return worst;
}

struct CommandLineRun {
    bool ok = false;
    double seconds = 0;
    QString said; // the last line it wrote
};

// `tetrapan --export` as a script runs it, without a display, on the program's home: from its start until
// it ended.
CommandLineRun exportFromCommandLine(const Outside& program, const QStringList& arguments)
{
    test::ProgramProcess exporting(programPath(), program.home, test::ProgramProcess::NoBus);
    exporting.environment.remove(QStringLiteral("DISPLAY"));
    exporting.environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QElapsedTimer clock;
    clock.start();
    CommandLineRun run;
    run.ok = exporting.start(arguments) && exporting.finished(ExportTimeoutMs) == 0;
    run.seconds = clock.elapsed() / 1000.0;
    run.said = QString::fromLocal8Bit(exporting.errors().trimmed()).section(QLatin1Char('\n'), -1);
    return run;
}

// The value of `--NAME N`, or `otherwise`.
double optionValue(int argc, char** argv, const char* name, double otherwise)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atof(argv[i + 1]);
    }
    return otherwise;
}

// The same 30 s of the four panes exported from the command line and through the window, in turn, the
// first of each round alternating: the times of each (medians) and the median of the rounds' ratios.
bool compareWithCommandLine(Outside& program, WindowExport& window, const QString& folder, int rounds,
                            double rangeTo)
{
    const auto timeText = [](double seconds) { return QString::number(seconds, 'f', 3); };
    std::vector<double> commandLine, windowed, ratios;
    QString lastLine;
    for (int round = 0; round < rounds; ++round) {
        double lineSeconds = 0, windowSeconds = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0) {
                lastLine = QDir(folder).filePath(QStringLiteral("command-line-%1.mp4").arg(round));
                // the leader (pane 1) has no offset: its time line is the common one
                const CommandLineRun run = exportFromCommandLine(
                    program, {QStringLiteral("--export"), lastLine, QStringLiteral("--playlist"), Title,
                              QStringLiteral("--size"), QStringLiteral("1280x720"), QStringLiteral("--range"),
                              timeText(RangeFrom) + QLatin1Char('-') + timeText(rangeTo)});
                if (!run.ok) {
                    std::fprintf(stderr, "export: tetrapan --export failed: %s\n", qPrintable(run.said));
                    return false;
                }
                lineSeconds = run.seconds;
            } else {
                const Run run =
                    window.exportTo(QDir(folder).filePath(QStringLiteral("window-%1.mp4").arg(round)));
                if (!run.written)
                    return false;
                windowSeconds = run.seconds;
            }
        }
        std::fprintf(stderr, "export: round %d: command line %.1f s, window %.1f s\n", round + 1, lineSeconds,
                     windowSeconds);
        commandLine.push_back(lineSeconds);
        windowed.push_back(windowSeconds);
        ratios.push_back(lineSeconds / windowSeconds);
    }
    const test::ReadBack back = test::readMovieBack(lastLine);
    print("export.command_line_frames_read_back", back.ok() ? back.pictures : 0, "frames", 0);
    print("export.command_line_seconds", median(commandLine), "s (median, process start to exit, no display)",
          1);
    print("export.window_seconds", median(windowed), "s (median, name given until the file is there)", 1);
    print("export.command_line_to_window_ratio", median(ratios), "x (median of the rounds)", 2);
    return true;
}

} // namespace

int runExport(int argc, char** argv)
{
    const int rounds = std::max(1, int(optionValue(argc, argv, "--rounds", 3)));
    const double rangeTo = RangeFrom + std::clamp(optionValue(argc, argv, "--seconds", 30), 1.0, 38.0);
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "export: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const test::TestClips clips =
        test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    test::SessionBus bus;
    if (!clips.ok() || bus.address().isEmpty()) {
        std::fprintf(stderr, "export: no clips or session bus (%s)\n", qPrintable(clips.error));
        return 1;
    }
    test::XServer x;
    QTemporaryDir folder;
    if (argc > 1 && std::strcmp(argv[1], "--place-only") == 0) {
        print("export.place_error_px", placeError(bus.address(), clips.benchTestCard, x, folder.path()),
              "px (worst edge; -1 not measured)", 1);
        return 0;
    }
    std::map<int, QString> offsets;
    for (int n = 2; n <= 4; ++n)
        offsets[n] = QStringLiteral("offset=\"%1\"").arg(offsetMs(OffsetFrames[size_t(n - 1)]));
    const QString clip = clips.benchBarcode;
    Outside program;
    if (!startOutside(program, bus.address(), Title, {clip, clip, clip, clip}, Window, {}, offsets)) {
        std::fprintf(stderr, "export: the program did not start\n");
        return 1;
    }
    WindowExport window(program, x);
    std::vector<QRect> spots;
    for (int n = 1; n <= 4; ++n)
        spots.push_back(QRect(paneSpotOnScreen(program.main.geometry, n) - QPoint(8, 8), QSize(16, 16)));
    if (!waitUntilShown(x, spots, TimeoutMs) || !window.setLoop(RangeFrom, rangeTo)) {
        std::fprintf(stderr, "export: the panes never showed, or the loop was not set\n");
        return 1;
    }
    std::fprintf(stderr, "export: load average %.2f\n", loadAverage());

    // 30 s of four 720p barcode panes with offsets, the range an A–B loop's
    const QString output = folder.filePath(QStringLiteral("four.mp4"));
    const Run full = window.exportTo(output);
    if (!full.written) {
        std::fprintf(stderr, "export: the export never wrote %s\n%s", qPrintable(output),
                     program.process->errors().constData());
        return 1;
    }
    // the output's panes: the window's dividers in the middle, each picture filling its quarter
    const int firstLeaderFrame = int(std::llround(RangeFrom * Fps));
    int panesRight = 0, framesRight = 0;
    const test::ReadBack back = test::readMovieBack(output, [&](const QImage& picture, int n) {
        int right = 0;
        for (size_t i = 0; i < 4; ++i) {
            const QRect quarter(int(i / 2) * picture.width() / 2, int(i % 2) * picture.height() / 2,
                                picture.width() / 2, picture.height() / 2);
            const std::optional<int> frame = test::FrameBarcode::readView(picture, quarter, 16.0 / 9.0);
            const int expected = firstLeaderFrame + n + OffsetFrames[i];
            if (frame == expected)
                ++right;
            else if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS"))
                std::fprintf(stderr, "export: frame %d pane %zu shows %d, not %d\n", n, i + 1,
                             frame.value_or(-1), expected);
        }
        panesRight += right;
        framesRight += right == 4 ? 1 : 0;
        return true;
    });
    const int rangeFrames = int(std::llround((rangeTo - RangeFrom) * Fps));
    print("export.frames_all_panes_right", framesRight, "frames", 0);
    print("export.frames_read_back", back.pictures, "frames", 0);
    print("export.pane_frames_right", panesRight, "pane frames", 0);
    print("export.pane_frames_total", back.pictures * 4, "pane frames", 0);
    print("export.seconds", full.seconds, "s", 1);
    print("export.speed_vs_real_time", (rangeFrames / double(Fps)) / full.seconds, "x", 2);
    print("export.cpu_seconds", full.cpuSeconds, "s (the program's, all threads)", 1);
    print("export.length_error_frames", std::abs(back.pictures - rangeFrames), "frames (pictures)", 0);
    print("export.duration_error_frames", std::abs(back.seconds - rangeFrames / double(Fps)) * Fps,
          "frames (container's length)", 2);
    std::fprintf(stderr, "export: load average %.2f\n", loadAverage());
    print("export.gui_longest_stall_ms", full.longestStallMs, "ms", 0);
    print("export.gui_longest_lock_wait_ms", full.longestLockWaitMs,
          "ms (asleep on a lock, within the stalls)", 0);
    // the same stalls with nothing exported, for the measure of a busy machine: over as long as the export
    // took (at most a minute), since the longest of more reads is longer on a machine that is busy anyway
    const int quietMs = std::clamp(int(full.seconds * 1000), 5000, 60000);
    print("export.gui_longest_stall_without_export_ms",
          window.controls().longestGuiWait([] { return false; }, quietMs),
          qPrintable(QStringLiteral("ms (%1 s, panes paused)").arg(quietMs / 1000)), 0);
    std::fprintf(stderr, "export: load average %.2f\n", loadAverage());

    if (!compareWithCommandLine(program, window, folder.path(), rounds, rangeTo))
        return 1;

    // cancelled at half way, by a click on the bar's Cancel
    bool clicked = false;
    const Run cancelled =
        window.exportTo(folder.filePath(QStringLiteral("cancelled.mp4")), [&](double seconds) {
            clicked = seconds >= full.seconds / 2 && window.clickCancel();
            return clicked;
        });
    runEventsFor(1000);
    const QStringList left =
        QDir(folder.path()).entryList({QStringLiteral("*cancelled*")}, QDir::Files | QDir::Hidden);
    std::fprintf(stderr, "export: cancel %s at half of %.1f s, the bar gone after %.1f s; files: %s\n",
                 clicked ? "clicked" : "never clicked", full.seconds, cancelled.seconds,
                 qPrintable(left.join(' ')));
    print("export.cancelled_files_left", clicked ? left.size() : -1, "files (-1: Cancel never clicked)", 0);
    program.process->quit();
    print("export.place_error_px", placeError(bus.address(), clips.benchTestCard, x, folder.path()),
          "px (worst edge; -1 not measured)", 1);
    std::fprintf(stderr, "export: load average %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
