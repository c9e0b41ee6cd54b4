// tetrapan-bench align [--sets N] [--no-long] [--folder DIR]: aligning cuts of one recording by sound and by
// a flash, through the built program as a user does it: each set a playlist written before the program
// starts (the panes standing where the entries' positions say), Playback > Align Panes by Sound (or by Flash)
// by `tetrapan --action`, and the offsets read back from the library the program saved as it quit: what the
// user keeps. Each set is four cuts of a source of its own that start at random points up to 20 s apart,
// each encoded differently (H.264 + AAC, VP9 + Opus, AAC resampled to 44.1 kHz, AAC with white noise 10 dB
// below the sound and the whole at -12 dB); the leader's encoding turns with the set. Prints how many sets
// came out with every offset within 8 ms, how many flash sets within a frame, how many panes of another
// recording's sound kept their offset (not found), the time four 10-minute files take from the command until
// the alignment ended, the GUI thread's longest stall meanwhile (the media controls' answers), and whether a
// film sped up 25/24 plays frame for frame with its original after Align Panes by Sound at Two Points.
#include "BenchCommands.h"
#include "BenchSupport.h"
#include "OutsideProgram.h"
#include "RecordingScreen.h"
#include "VirtualDisplay.h"

#include "AlignClips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tetrapan::bench {

namespace {

using test::AlignClips;
using Encoding = AlignClips::Encoding;

constexpr Encoding Encodings[] = {Encoding::H264Aac, Encoding::Vp9Opus, Encoding::Aac44k,
                                  Encoding::NoisyQuiet};
constexpr int TimeoutMs = 30000;
constexpr int AlignTimeoutMs = 180000;
// The report lies over the top of the panes, where the barcodes are, until it hides itself.
constexpr int ReportShownMs = 12500;
// An offset an unrelated pane starts with: kept, it was not found.
constexpr int UnrelatedOffsetMs = 1234;
const QString Title = QStringLiteral("Aligned");
const QRect Window(0, 0, 1280, 720);
// the alignment's thread, as the kernel names it
const QString AlignerThread = QStringLiteral("PaneAligner");

struct Cuts {
    std::vector<QString> paths;
    std::vector<double> starts; // in the source

    // what the offset of cut n against cut 0 must be: the engine counts time from where a file's time
    // line starts (WebM's 7 ms before zero)
    double truthSeconds(size_t n) const
    {
        return starts[0] - starts[n] + AlignClips::startSeconds(paths[0]) -
               AlignClips::startSeconds(paths[n]);
    }
};

// Four cuts of a new source, starting within 20 s of each other, the encodings turned by `turn`.
Cuts makeCuts(AlignClips& clips, const QString& prefix, int seed, double sourceSeconds, double cutSeconds,
              QRandomGenerator& random, int turn)
{
    Cuts cuts;
    const QString source = clips.source(sourceSeconds, seed);
    if (source.isEmpty())
        return cuts;
    for (int n = 0; n < 4; ++n) {
        const double start = std::round(random.bounded(20.0) * 1e6) / 1e6;
        // a cut's name holds where it starts, so a file of another run is never taken for it
        const QString name =
            QStringLiteral("%1-%2-%3-%4").arg(prefix).arg(seed).arg(n).arg(qint64(start * 1e6));
        const QString path = clips.cut(source, name, start, cutSeconds, Encodings[(n + turn) % 4]);
        if (path.isEmpty())
            return {};
        cuts.paths.push_back(path);
        cuts.starts.push_back(start);
    }
    return cuts;
}

struct Request {
    QStringList files;
    const char* command = "align-panes-by-sound";
    std::map<int, QString> entryAttributes; // positions and offsets the library starts with
    QVariantMap settings;
    bool playFirst = false;
    // after the alignment, while the program still runs
    std::function<void(Outside&, PlayerControls&)> then;
};

Request requestOf(const QStringList& files, const char* command,
                  const std::map<int, QString>& attributes = {})
{
    Request request;
    request.files = files;
    request.command = command;
    request.entryAttributes = attributes;
    return request;
}

struct Aligned {
    bool ran = false;
    double commandToEndS = -1;
    double longestStallMs = 0;
    double playingAloneStallMs = 0;
    std::array<std::optional<double>, 4> offsetsMs; // as saved; none where the entry keeps none, as for 0
    std::array<std::optional<double>, 4> rates;
};

// Whether each of the first `panes` panes shows more than black: a movie in it, however dim (the command is
// taken once two panes hold movies, and would leave out a pane still opening). A pane is a quarter of the
// window below its menu and tool bars, panes 1 and 2 down the left.
bool moviesShown(test::XServer& x, const Outside& program, int panes)
{
    const QImage shot = x.grab(program.main.geometry);
    if (shot.isNull())
        return false;
    const int top = 60;
    for (int n = 1; n <= panes; ++n) {
        const QRect pane(n <= 2 ? 0 : shot.width() / 2, top + (n % 2 ? 0 : (shot.height() - top) / 2),
                         shot.width() / 2, (shot.height() - top) / 2);
        int lit = 0, samples = 0;
        for (int y = pane.top(); y < pane.bottom(); y += 8) {
            for (int x = pane.left(); x < pane.right(); x += 8, ++samples) {
                const QRgb p = shot.pixel(x, y);
                lit += std::max({qRed(p), qGreen(p), qBlue(p)}) > 40;
            }
        }
        if (lit * 10 < samples)
            return false;
    }
    return true;
}

bool alignerRuns(qint64 pid)
{
    return threadCpuSecondsByName(pid).count(AlignerThread) > 0;
}

// Starts the program on the files, sends the command, waits for the alignment's thread to end, quits (which
// saves) and reads the offsets the library keeps.
Aligned alignThroughProgram(const QString& bus, const Request& request)
{
    Aligned aligned;
    Outside program;
    if (!startOutside(program, bus, Title, request.files, Window, request.settings,
                      request.entryAttributes)) {
        std::fprintf(stderr, "align: the program did not start\n");
        return aligned;
    }
    PlayerControls controls(bus);
    test::XServer x;
    if (!runEventsUntil([&] { return moviesShown(x, program, int(request.files.size())); }, TimeoutMs)) {
        const QString saved = QDir::temp().filePath(QStringLiteral("align-bench.png"));
        x.grab(program.main.geometry).save(saved);
        std::fprintf(stderr, "align: the panes never showed their movies (the window: %s)\n",
                     qPrintable(saved));
        return aligned;
    }
    if (request.playFirst) {
        runEventsFor(2000);
        action(program, "play-or-stop-all");
        runEventsFor(2000);
        aligned.playingAloneStallMs = controls.longestGuiWait([] { return false; }, 3000);
    }
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    // refused until the panes have their movies; timed from the send that was taken
    while (!action(program, request.command)) {
        if (sinceFirst.elapsed() > TimeoutMs) {
            std::fprintf(stderr, "align: %s was refused\n", request.command);
            return aligned;
        }
        runEventsFor(200);
        clock.restart();
    }
    bool began = false;
    const auto ended = [&] {
        const bool runs = alignerRuns(program.pid());
        began = began || runs;
        return !runs && (began || clock.elapsed() > 5000);
    };
    aligned.longestStallMs = request.playFirst ? controls.longestGuiWait(ended, AlignTimeoutMs, 10)
                                               : (runEventsUntil(ended, AlignTimeoutMs), 0.0);
    aligned.commandToEndS = clock.nsecsElapsed() / 1e9;
    if (request.then)
        request.then(program, controls);
    if (!program.process->quit()) {
        std::fprintf(stderr, "align: the program did not quit\n");
        return aligned;
    }
    for (int n = 1; n <= 4; ++n) {
        if (const auto offset = savedEntryAttribute(program.home.libraryFile(), n, QStringLiteral("offset")))
            aligned.offsetsMs[size_t(n - 1)] = offset->toDouble();
        if (const auto rate = savedEntryAttribute(program.home.libraryFile(), n, QStringLiteral("rate")))
            aligned.rates[size_t(n - 1)] = rate->toDouble();
    }
    aligned.ran = began;
    return aligned;
}

// Every pane standing at the same time of its movie.
std::map<int, QString> standingAt(double seconds, int panes = 4)
{
    std::map<int, QString> attributes;
    for (int n = 1; n <= panes; ++n)
        attributes[n] = QStringLiteral("position=\"%1\"").arg(qint64(seconds * 1000));
    return attributes;
}

// The largest error of the saved offsets against the truth, in ms; infinite when one was not found.
double largestError(const Aligned& aligned, const Cuts& cuts)
{
    double worst = 0;
    for (size_t n = 1; n < 4; ++n) {
        if (!aligned.offsetsMs[n])
            return INFINITY;
        worst = std::max(worst, std::abs(*aligned.offsetsMs[n] - cuts.truthSeconds(n) * 1000.0));
    }
    return worst;
}

// A 10-minute barcode film (panes 1 and 3) and the same sped up 25/24, from 174 frames later (panes 2 and
// 4); `rounds` times from a wrong offset and the leader at a random place: Align Panes by Sound at Two
// Points with the lock on, then both taken near the end by the media controls and played: whether panes 1
// and 2 show the same frame on the screen. The count of good rounds.
int twoPointRounds(const QString& bus, AlignClips& clips, QRandomGenerator& random, int rounds)
{
    const QString source = clips.source(620.0, 700);
    const QString leader = clips.barcodeCut(source, QStringLiteral("barcode-leader"), 0, 600.0, false);
    const QString faster = clips.barcodeCut(source, QStringLiteral("barcode-faster"), 174, 590.0, true);
    if (leader.isEmpty() || faster.isEmpty()) {
        std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
        return -1;
    }
    test::XServer x;
    int good = 0;
    for (int round = 0; round < rounds; ++round) {
        Request request;
        request.files = {leader, faster, leader, faster};
        request.command = "align-panes-by-sound-at-two-points";
        request.settings = {{QStringLiteral("optSyncLock"), true}};
        request.entryAttributes = standingAt(30.0 + random.bounded(200.0));
        const qint64 wrongMs = qint64(random.bounded(10000)) - 5000;
        for (int n : {2, 4})
            request.entryAttributes[n] += QStringLiteral(" offset=\"%1\"").arg(wrongMs);
        int same = 0, read = 0;
        request.then = [&](Outside& program, PlayerControls& controls) {
            runEventsFor(ReportShownMs);
            controls.moveTo(560.0);
            runEventsFor(1500);
            controls.call(QStringLiteral("Play"));
            runEventsFor(3000);
            RecordingScreen screen(x, program.main.geometry);
            for (int shot = 0; shot < 5; ++shot) {
                const QImage picture = screen.shot();
                if (!screen.picturesFound() && !screen.findPictures(picture))
                    continue;
                const RecordingScreen::Frames frames = screen.frames(picture);
                if (frames[0] && frames[1]) {
                    ++read;
                    same += *frames[0] == *frames[1] ? 1 : 0;
                    std::fprintf(stderr, "align: two points round %d: frames %d and %d\n", round + 1,
                                 *frames[0], *frames[1]);
                }
                runEventsFor(200);
            }
        };
        const Aligned aligned = alignThroughProgram(bus, request);
        std::fprintf(
            stderr, "align: two points round %d: rate %.6f, offset %.0f ms, %d of %d shots the same\n",
            round + 1, aligned.rates[1].value_or(1.0), aligned.offsetsMs[1].value_or(0.0), same, read);
        good += read >= 3 && same == read ? 1 : 0;
    }
    return good;
}

} // namespace

int runAlign(int argc, char** argv)
{
    int sets = 20;
    QString folder = QDir::temp().filePath(QStringLiteral("tetrapan-bench-align"));
    bool skipLong = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sets") == 0 && i + 1 < argc)
            sets = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc)
            folder = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--no-long") == 0)
            skipLong = true;
    }
    VirtualDisplay virtualDisplay;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !virtualDisplay.start()) {
        std::fprintf(stderr, "align: no display and Xvfb could not be started\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    test::SessionBus sessionBus;
    const QString bus = sessionBus.address();
    if (bus.isEmpty()) {
        std::fprintf(stderr, "align: no session bus\n");
        return 1;
    }
    std::fprintf(stderr, "align: load average %.2f\n", loadAverage());
    AlignClips clips(folder);
    QRandomGenerator random(20261208);

    int soundGood = 0;
    int unrelatedNotFound = 0;
    double worstMs = 0.0;
    std::vector<double> setSeconds;
    for (int set = 0; set < sets; ++set) {
        const Cuts cuts = makeCuts(clips, QStringLiteral("sound"), set + 1, 150.0, 110.0, random, set);
        if (cuts.paths.empty()) {
            std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
            return 1;
        }
        // the panes stand together somewhere in the first half, as if played with no offsets yet
        const double position = 1.0 + random.bounded(49.0);
        const Aligned aligned =
            alignThroughProgram(bus, requestOf(QStringList(cuts.paths.begin(), cuts.paths.end()),
                                               "align-panes-by-sound", standingAt(position)));
        const double error = largestError(aligned, cuts);
        setSeconds.push_back(aligned.commandToEndS);
        worstMs = std::max(worstMs, error);
        soundGood += error <= 8.0 ? 1 : 0;
        std::fprintf(stderr, "align: sound set %d: largest error %.2f ms, %.2f s\n", set + 1, error,
                     aligned.commandToEndS);

        // a pane of another recording's sound beside the leader keeps the offset it had
        const QString otherSource = clips.source(150.0, 1000 + set);
        const QString unrelated =
            clips.cut(otherSource, QStringLiteral("unrelated-%1").arg(set), 10.0, 110.0, Encodings[set % 4]);
        std::map<int, QString> attributes = standingAt(position, 2);
        attributes[2] += QStringLiteral(" offset=\"%1\"").arg(UnrelatedOffsetMs);
        const Aligned other = alignThroughProgram(
            bus, requestOf({cuts.paths[0], unrelated}, "align-panes-by-sound", attributes));
        const bool kept = other.ran && other.offsetsMs[1] == double(UnrelatedOffsetMs);
        unrelatedNotFound += kept ? 1 : 0;
        std::fprintf(stderr, "align: unrelated %d: offset %.0f ms\n", set + 1,
                     other.offsetsMs[1].value_or(0));
    }
    print("align.sound_sets_within_8ms", soundGood, "sets", 0);
    print("align.sound_sets", sets, "sets", 0);
    print("align.sound_largest_error_ms", worstMs, "ms", 2);
    print("align.sound_set_median_s", median(setSeconds), "s (command until the alignment ended)", 2);
    print("align.unrelated_not_found", unrelatedNotFound, "panes", 0);

    int flashGood = 0;
    for (int set = 0; set < sets; ++set) {
        const int flashFrame = 600 + int(random.bounded(100));
        const QString source = clips.flashSource(45.0, flashFrame);
        QStringList paths;
        std::vector<int> startFrames;
        for (int n = 0; n < 4; ++n) {
            startFrames.push_back(int(random.bounded(600)));
            // named by its source's flash too, so a cut of another run's source is never taken for it
            paths.push_back(clips.flashCut(
                source,
                QStringLiteral("flash-%1-%2-%3-%4").arg(flashFrame).arg(set).arg(n).arg(startFrames.back()),
                startFrames.back() / 30.0, 24.0, (n + set) % 2 == 1));
            if (paths.back().isEmpty()) {
                std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
                return 1;
            }
        }
        // Two cuts may start on the same frame, and an offset found to be 0 is kept as none: each pane
        // starts a second off its truth, so that an offset kept, not found, reads wrong.
        std::array<double, 4> truthMs{};
        std::map<int, QString> attributes;
        for (size_t n = 1; n < 4; ++n) {
            truthMs[n] = ((startFrames[0] - startFrames[n]) / 30.0 + AlignClips::startSeconds(paths[0]) -
                          AlignClips::startSeconds(paths[int(n)])) *
                         1000.0;
            attributes[int(n) + 1] = QStringLiteral("offset=\"%1\"").arg(std::llround(truthMs[n]) + 1000);
        }
        const Aligned aligned =
            alignThroughProgram(bus, requestOf(paths, "align-panes-by-flash", attributes));
        // not aligned.ran: four short cuts may be aligned before the command returns, and the thread never
        // seen; an alignment that did not run leaves every offset a second off
        bool good = true;
        for (size_t n = 1; n < 4; ++n)
            good = good && std::abs(aligned.offsetsMs[n].value_or(0.0) - truthMs[n]) <= 1000.0 / 30.0 + 1.0;
        flashGood += good ? 1 : 0;
        if (!good)
            std::fprintf(stderr,
                         "align: flash set %d missed: offsets %.0f %.0f %.0f ms, truth %.0f %.0f %.0f\n",
                         set + 1, aligned.offsetsMs[1].value_or(0.0), aligned.offsetsMs[2].value_or(0.0),
                         aligned.offsetsMs[3].value_or(0.0), truthMs[1], truthMs[2], truthMs[3]);
    }
    print("align.flash_sets_within_1_frame", flashGood, "sets", 0);

    if (!skipLong) {
        const Cuts cuts = makeCuts(clips, QStringLiteral("long"), 500, 630.0, 600.0, random, 0);
        if (cuts.paths.empty()) {
            std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
            return 1;
        }
        Request request = requestOf(QStringList(cuts.paths.begin(), cuts.paths.end()), "align-panes-by-sound",
                                    standingAt(300.0));
        request.playFirst = true;
        const Aligned measured = alignThroughProgram(bus, request);
        print("align.four_10min_files_command_to_offsets_s", measured.commandToEndS, "s", 2);
        print("align.four_10min_files_offsets_largest_error_ms", largestError(measured, cuts), "ms", 0);
        print("align.gui_longest_stall_ms", measured.longestStallMs, "ms", 0);
        print("align.gui_longest_stall_playing_alone_ms", measured.playingAloneStallMs, "ms", 0);
        const int good = twoPointRounds(bus, clips, random, 5);
        print("align.two_points_25_24_same_frame_at_end", good, "rounds of 5", 0);
    }
    std::fprintf(stderr, "align: load average %.2f\n", loadAverage());
    return 0;
}

} // namespace tetrapan::bench
