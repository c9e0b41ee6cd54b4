// tetrapan-bench export: File > Export Video's work on four 720p barcode panes with offsets, laid out by
// uneven dividers in the program's own window on the real engine, read back frame by frame with the FFmpeg
// libraries. Figures: the panes that show the leader's frame plus their offset in every output frame; the
// export's speed against real time; the panes' places in the output against their pictures on the screen
// (test-card edges); the output's length against the range; the GUI thread's longest stall while it runs;
// the files a cancel at half way leaves under the chosen name; and `tetrapan --export` of the same playlist
// from outside, without a display, against the window's export of it, in alternate rounds.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"
#include "FrameBarcode.h"
#include "MovieReadBack.h"
#include "TestClips.h"
#include "XServer.h"

#include "engine/MovieView.h"
#include "export/VideoExport.h"
#include "layout/ExportProgressBar.h"
#include "layout/SplitSubView.h"
#include "layout/VideoExporter.h"
#include "library/LibraryRules.h"
#include "library/LibrarySchema.h"
#include "panes/MovController.h"
#include "panes/PaneOffsets.h"
#include "panes/PaneTimeline.h"
#include "panes/QTMovieSubView.h"
#include "platform/ObjectContext.h"
#include "platform/Scheduler.h"
#include "platform/StoreError.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/Tetrapan_AppDelegate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace tetrapan::bench {

namespace {

constexpr int TimeoutMs = 20000;
constexpr int ExportTimeoutMs = 600000;
constexpr int Fps = 30;
constexpr std::array<int, 4> OffsetFrames{0, 25, -10, 50};
constexpr double RangeFrom = 1.0, RangeTo = 31.0;

qint64 offsetMs(int frames)
{
    return std::llround(frames * 1000.0 / Fps);
}

// Fills the four panes of a new playlist with one file and waits until they show it.
bool loadFourPanes(BenchProgram& program, const QString& file, const char* title)
{
    MainNib& nib = program.nib();
    chooseFileInFourPanes(nib, program.settings(), file, QString::fromLatin1(title));
    MovController& controller = nib.movController();
    return runEventsUntil(
        [&] {
            if (controller.hasPendingLoad())
                return false;
            for (int n = 1; n <= 4; ++n) {
                if (!nib.qtView(n).movie() || nib.qtView(n).filePath() != file)
                    return false;
            }
            return true;
        },
        TimeoutMs);
}

// The bounding box of what is not black inside an area of a picture.
QRect pictureEdges(const QImage& image, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 48 || qGreen(p) > 48 || qBlue(p) > 48)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

struct Run {
    ExportResult result;
    double seconds = 0;
    double cpuSeconds = 0;
    double longestStallMs = 0;
};

// Runs an export through the window's exporter while a 1 ms timer on the GUI thread measures its stalls;
// `atProgress` may cancel it.
Run exportThroughWindow(VideoExporter& exporter, const ExportJob& job,
                        const std::function<void(int)>& atPercent = {})
{
    Run run;
    bool done = false;
    const QMetaObject::Connection ended =
        QObject::connect(&exporter, &VideoExporter::exportFinished, [&](const ExportResult& result) {
            run.result = result;
            done = true;
        });
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        run.longestStallMs = std::max(run.longestStallMs, double(clock.elapsed() - lastTick));
        lastTick = clock.elapsed();
        if (atPercent)
            atPercent(exporter.progressBar().percent());
    });
    ticks.start(1);
    const double cpuBefore = ownCpuMs();
    exporter.start(job);
    runEventsUntil([&] { return done; }, ExportTimeoutMs);
    run.seconds = clock.elapsed() / 1000.0;
    run.cpuSeconds = (ownCpuMs() - cpuBefore) / 1000.0;
    QObject::disconnect(ended);
    return run;
}

double longestStallOver(int ms)
{
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    double longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, double(clock.elapsed() - lastTick));
        lastTick = clock.elapsed();
    });
    ticks.start(1);
    runEventsFor(ms);
    return longest;
}

// The export alone, with no window, as a command line would run it: the four quarters of 1280x720.
int runEngineOnly(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const test::TestClips clips =
        test::TestClips::make(QCoreApplication::applicationDirPath() + QStringLiteral("/clips"), true);
    if (!clips.ok()) {
        std::fprintf(stderr, "export: %s\n", qPrintable(clips.error));
        return 1;
    }
    QTemporaryDir folder;
    ExportJob job;
    for (int i = 0; i < 4; ++i) {
        job.panes[size_t(i)].filePath = clips.benchBarcode;
        job.panes[size_t(i)].offsetMs = offsetMs(OffsetFrames[size_t(i)]);
        job.panes[size_t(i)].place = QRect(i / 2 * 640, i % 2 * 360, 640, 360);
    }
    job.size = QSize(1280, 720);
    job.startMs = qint64(RangeFrom * 1000);
    job.endMs = qint64(RangeTo * 1000);
    job.outputPath = folder.filePath(QStringLiteral("alone.mp4"));
    std::atomic<bool> cancel{false};
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = ownCpuMs();
    const ExportResult result = runVideoExport(job, cancel, {});
    const double seconds = clock.elapsed() / 1000.0;
    if (!result.ok) {
        std::fprintf(stderr, "export: failed: %s\n", qPrintable(result.message));
        return 1;
    }
    std::fprintf(stderr, "export: load average %.1f\n", loadAverage());
    print("export.engine_only_seconds", seconds, "s", 1);
    print("export.engine_only_speed_vs_real_time", (RangeTo - RangeFrom) / seconds, "x", 2);
    print("export.engine_only_cpu_seconds", (ownCpuMs() - cpuBefore) / 1000.0, "s", 1);
    return 0;
}

struct CommandLineRun {
    bool ok = false;
    double seconds = 0;
    QString said; // the last line it wrote
};

// `tetrapan --export` as a script runs it, without a display, on the library and settings of this process's
// home: from its start until it ended.
CommandLineRun exportFromCommandLine(const QStringList& arguments)
{
    QProcess exporting;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    exporting.setProcessEnvironment(environment);
    exporting.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    exporting.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../tetrapan"), arguments);
    // its events are the window's, which stands meanwhile as it does during the window's export
    runEventsUntil([&] { return exporting.state() == QProcess::NotRunning; }, ExportTimeoutMs);
    CommandLineRun run;
    run.seconds = clock.elapsed() / 1000.0;
    run.ok = exporting.exitStatus() == QProcess::NormalExit && exporting.exitCode() == 0;
    run.said =
        QString::fromLocal8Bit(exporting.readAllStandardError().trimmed()).section(QLatin1Char('\n'), -1);
    return run;
}

// The rounds of the comparison: `--rounds N` among the arguments (taken out), 3 without.
int takeRounds(int& argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) {
            const int rounds = std::max(1, std::atoi(argv[i + 1]));
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            return rounds;
        }
    }
    return 3;
}

// The same 30 s of the four panes exported from the command line and through the window, in turn, the
// first of each round alternating: the times of each (medians) and the median of the rounds' ratios.
bool compareWithCommandLine(BenchProgram& program, VideoExporter& exporter, const ExportJob& job,
                            const QString& title, int rounds)
{
    StoreError error;
    if (!program.nib().appDelegate().managedObjectContext()->save(error)) {
        std::fprintf(stderr, "export: the library was not saved: %s\n", qPrintable(error.text()));
        return false;
    }
    const auto timeText = [](qint64 ms) { return QString::number(ms / 1000.0, 'f', 3); };
    // the leader (pane 1) has no offset: its time line is the common one
    const QStringList arguments{QStringLiteral("--export"),
                                QFileInfo(job.outputPath).dir().filePath(QStringLiteral("command-line.mp4")),
                                QStringLiteral("--playlist"),
                                title,
                                QStringLiteral("--size"),
                                QStringLiteral("1280x720"),
                                QStringLiteral("--range"),
                                timeText(job.startMs) + QLatin1Char('-') + timeText(job.endMs)};
    std::vector<double> commandLine, window, ratios;
    for (int round = 0; round < rounds; ++round) {
        double lineSeconds = 0, windowSeconds = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0) {
                const CommandLineRun run = exportFromCommandLine(arguments);
                if (!run.ok) {
                    std::fprintf(stderr, "export: tetrapan --export failed: %s\n", qPrintable(run.said));
                    return false;
                }
                lineSeconds = run.seconds;
            } else {
                const Run run = exportThroughWindow(exporter, job);
                if (!run.result.ok)
                    return false;
                windowSeconds = run.seconds;
            }
        }
        std::fprintf(stderr, "export: round %d: command line %.1f s, window %.1f s\n", round + 1, lineSeconds,
                     windowSeconds);
        commandLine.push_back(lineSeconds);
        window.push_back(windowSeconds);
        ratios.push_back(lineSeconds / windowSeconds);
    }
    const test::ReadBack back = test::readMovieBack(arguments[1]);
    print("export.command_line_frames_read_back", back.ok() ? back.pictures : 0, "frames", 0);
    print("export.command_line_seconds", median(commandLine), "s (median, process start to exit, no display)",
          1);
    print("export.window_seconds", median(window), "s (median)", 1);
    print("export.command_line_to_window_ratio", median(ratios), "x (median of the rounds)", 2);
    return true;
}

} // namespace

int runExport(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--engine-only") == 0)
        return runEngineOnly(argc, argv);
    const int rounds = takeRounds(argc, argv);
    BenchProgram program("export", argc, argv);
    if (!program.start(std::make_unique<QtScheduler>()))
        return 1;
    MainNib& nib = program.nib();
    const test::TestClips& clips = program.clips();
    MainWindow& window = nib.mainWindow();
    // dividers off the middle, so a place scaled or fitted wrongly shows
    window.spvMain()->setSplitterPosition(QPointF(window.spvMain()->width() * 0.57, 0), false);
    for (SplitSubView* column : window.spvMain()->findChildren<SplitSubView*>())
        column->setSplitterPosition(QPointF(0, column->height() * 0.4), false);
    runEventsFor(300);

    // the panes' places: the test card's edges on the screen against those in the output
    if (!loadFourPanes(program, clips.benchTestCard, "test card")) {
        std::fprintf(stderr, "export: the test card never showed\n");
        return 1;
    }
    runEventsFor(1500);
    VideoExporter& exporter = nib.videoExporter();
    QTemporaryDir folder;
    ExportChoices choices;
    choices.size = QSize(1280, 720);
    choices.sound = ExportSound::None;
    ExportJob card = exporter.jobFor(choices, folder.filePath(QStringLiteral("card.mp4")));
    card.startMs = 0;
    card.endMs = 100;
    const QRect area(window.spvMain()->mapToGlobal(QPoint(0, 0)), window.spvMain()->size());
    const QImage shot = program.x().grab(area);
    if (!exportThroughWindow(exporter, card).result.ok) {
        std::fprintf(stderr, "export: the test card did not export\n");
        return 1;
    }
    QImage cardOut;
    test::readMovieBack(card.outputPath, [&](const QImage& picture, int) {
        cardOut = picture;
        return false;
    });
    if (qEnvironmentVariableIsSet("TETRAPAN_BENCH_SHOTS")) {
        shot.save(folder.filePath(QStringLiteral("screen.png")));
        cardOut.save(QStringLiteral("/tmp/export-card-out.png"));
        shot.save(QStringLiteral("/tmp/export-card-screen.png"));
    }
    const double sx = 1280.0 / area.width(), sy = 720.0 / area.height();
    double worstEdgePx = 0;
    for (int n = 1; n <= 4; ++n) {
        const QWidget* view = nib.qtView(n).movieView();
        const QRect onScreen(view->mapTo(window.spvMain(), QPoint(0, 0)), view->size());
        const QRect shown = pictureEdges(shot, onScreen);
        const QRect out = pictureEdges(cardOut, card.panes[size_t(n - 1)].place);
        // The output's shape is not the window's: the dividers scale with it, and the picture (of the shape
        // seen on the screen) is fitted between them again.
        const QRectF paneOut(onScreen.x() * sx, onScreen.y() * sy, onScreen.width() * sx,
                             onScreen.height() * sy);
        const double aspect = double(shown.width()) / shown.height();
        QSizeF fitted = paneOut.size();
        if (paneOut.width() / paneOut.height() > aspect)
            fitted.setWidth(paneOut.height() * aspect);
        else
            fitted.setHeight(paneOut.width() / aspect);
        QRectF expected(QPointF(), fitted);
        expected.moveCenter(paneOut.center());
        const double edges[] = {
            std::abs(expected.left() - out.left()), std::abs(expected.right() - (out.right() + 1)),
            std::abs(expected.top() - out.top()), std::abs(expected.bottom() - (out.bottom() + 1))};
        worstEdgePx = std::max(worstEdgePx, *std::max_element(std::begin(edges), std::end(edges)));
        std::fprintf(
            stderr,
            "export: pane %d picture on screen %d,%d %dx%d, expected in the output %.1f,%.1f %.1fx%.1f, "
            "found %d,%d %dx%d\n",
            n, shown.x(), shown.y(), shown.width(), shown.height(), expected.x(), expected.y(),
            expected.width(), expected.height(), out.x(), out.y(), out.width(), out.height());
    }

    // 30 s of four 720p barcode panes with offsets, the range an A–B loop's
    if (!loadFourPanes(program, clips.benchBarcode, "720p")) {
        std::fprintf(stderr, "export: the 720p clips never showed\n");
        return 1;
    }
    for (int n = 1; n <= 4; ++n)
        nib.movController().offsets().setOffsetMs(n, offsetMs(OffsetFrames[size_t(n - 1)]));
    PaneTimeline& timeline = nib.paneTimeline();
    timeline.seekAll(RangeFrom, false);
    runEventsFor(500);
    timeline.changeLoop();
    timeline.seekAll(RangeTo, false);
    runEventsFor(500);
    timeline.changeLoop();
    if (!timeline.loopA() || !timeline.loopB()) {
        std::fprintf(stderr, "export: the loop was not set\n");
        return 1;
    }
    choices.sound = ExportSound::HeardPanes;
    const ExportJob job = exporter.jobFor(choices, folder.filePath(QStringLiteral("four.mp4")));
    std::fprintf(stderr, "export: range %lld to %lld ms\n", static_cast<long long>(job.startMs),
                 static_cast<long long>(job.endMs));
    const Run full = exportThroughWindow(exporter, job);
    if (!full.result.ok) {
        std::fprintf(stderr, "export: failed: %s\n", qPrintable(full.result.message));
        return 1;
    }
    const int firstLeaderFrame = int(std::llround(job.startMs * Fps / 1000.0));
    int panesRight = 0, framesRight = 0;
    const test::ReadBack back = test::readMovieBack(job.outputPath, [&](const QImage& picture, int n) {
        int right = 0;
        for (size_t i = 0; i < 4; ++i) {
            const QRect place = test::FrameBarcode::pictureRect(job.panes[i].place.size(), 16.0 / 9.0)
                                    .translated(job.panes[i].place.topLeft());
            const std::optional<int> frame = test::FrameBarcode::read(picture.copy(place));
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
    const int rangeFrames = int(std::llround((job.endMs - job.startMs) * Fps / 1000.0));
    print("export.frames_all_panes_right", framesRight, "frames", 0);
    print("export.frames_read_back", back.pictures, "frames", 0);
    print("export.pane_frames_right", panesRight, "pane frames", 0);
    print("export.pane_frames_total", back.pictures * 4, "pane frames", 0);
    print("export.seconds", full.seconds, "s", 1);
    print("export.speed_vs_real_time", (rangeFrames / double(Fps)) / full.seconds, "x", 2);
    print("export.cpu_seconds", full.cpuSeconds, "s (all threads, the window's included)", 1);
    std::fprintf(stderr, "export: load average %.1f\n", loadAverage());
    print("export.place_error_px", worstEdgePx, "px (worst edge)", 1);
    print("export.length_error_frames", std::abs(back.pictures - rangeFrames), "frames (pictures)", 0);
    print("export.duration_error_frames", std::abs(back.seconds - rangeFrames / double(Fps)) * Fps,
          "frames (container's length)", 2);
    print("export.gui_longest_stall_ms", full.longestStallMs, "ms", 0);

    // the same stalls with nothing exported, for the measure of a busy machine
    print("export.gui_longest_stall_without_export_ms", longestStallOver(5000), "ms (5 s, panes paused)", 0);

    if (!compareWithCommandLine(program, exporter, job, QStringLiteral("720p"), rounds))
        return 1;

    // cancelled at half way
    ExportJob cancelled = job;
    cancelled.outputPath = folder.filePath(QStringLiteral("cancelled.mp4"));
    bool cancelSent = false;
    const Run stopped = exportThroughWindow(exporter, cancelled, [&](int percent) {
        if (percent >= 50 && !cancelSent) {
            cancelSent = true;
            exporter.cancel();
        }
    });
    const QStringList left =
        QDir(folder.path()).entryList({QStringLiteral("cancelled*")}, QDir::Files | QDir::Hidden);
    std::fprintf(stderr, "export: cancel: %s; files: %s\n", qPrintable(stopped.result.message),
                 qPrintable(left.join(' ')));
    print("export.cancelled_files_left", left.size(), "files", 0);
    return 0;
}

} // namespace tetrapan::bench
