// tetrapan-bench align [--sets N] [--folder DIR]: aligning cuts of one recording by sound and by a flash.
// Each set is four cuts of a source of its own that start at random points up to 20 s apart, each encoded
// differently (H.264 + AAC, VP9 + Opus, AAC resampled to 44.1 kHz, AAC with white noise 10 dB below the sound
// and the whole at -12 dB); the leader's encoding turns with the set. Prints how many sets came out with
// every offset within 8 ms, how many flash sets within a frame, how many panes of another recording's sound
// were reported as not found, and the time four 10-minute files take.
#include "BenchCommands.h"
#include "BenchProgram.h"
#include "BenchSupport.h"

#include "AlignClips.h"
#include "analysis/Alignment.h"
#include "library/Movie.h"
#include "panes/AlignNotice.h"
#include "panes/MovController.h"
#include "panes/PaneAligner.h"
#include "panes/PaneOffsets.h"
#include "panes/QTMovieSubView.h"
#include "panes/SyncLock.h"
#include "platform/Scheduler.h"
#include "platform/userDefaultsExtension.h"
#include "shell/MainNib.h"
#include "shell/MainWindow.h"
#include "shell/MovieFilesOpener.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tetrapan::bench {

namespace {

using test::AlignClips;
using Encoding = AlignClips::Encoding;
using Outcome = PaneAlignment::Outcome;

constexpr Encoding Encodings[] = {Encoding::H264Aac, Encoding::Vp9Opus, Encoding::Aac44k,
                                  Encoding::NoisyQuiet};

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

// The largest error of the offsets found against the truth, in ms; infinite when one was not found.
double largestError(const Cuts& cuts, double position, const std::atomic<bool>& cancel,
                    double* seconds = nullptr)
{
    std::vector<AlignmentPane> others;
    for (int n = 1; n < 4; ++n)
        others.push_back({n + 1, cuts.paths[size_t(n)], position});
    QElapsedTimer clock;
    clock.start();
    const auto results =
        Alignment::run(Alignment::Method::Sound, {1, cuts.paths[0], position}, others, cancel);
    if (seconds)
        *seconds = double(clock.elapsed()) / 1000.0;
    double worst = 0.0;
    for (size_t n = 0; n < results.size(); ++n) {
        if (results[n].outcome != Outcome::Found)
            return INFINITY;
        const double truth = cuts.truthSeconds(n + 1);
        worst = std::max(worst, std::abs(results[n].lagSeconds - truth) * 1000.0);
    }
    return worst;
}

struct InProgram {
    double commandToOffsetsS = -1;
    double longestStallMs = 0;
    double quietLongestStallMs = 0; // the same time playing without aligning
    double largestErrorMs = INFINITY;
};

// Longest time the GUI thread went without turning its event loop while `during` ran until `done`.
double longestStall(const std::function<void()>& during, const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    double longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, double(clock.elapsed() - lastTick));
        lastTick = clock.elapsed();
    });
    ticks.start(1);
    during();
    runEventsUntil(done, timeoutMs);
    return longest;
}

// The four files in the program's panes, playing, aligned by the menu command.
InProgram alignInProgram(BenchProgram& program, const Cuts& cuts)
{
    InProgram result;
    MainNib& nib = program.nib();
    nib.movieFilesOpener().openFiles(QStringList(cuts.paths.begin(), cuts.paths.end()));
    const auto allOpen = [&nib] {
        for (int n = 1; n <= 4; ++n)
            if (!nib.qtView(n).movie())
                return false;
        return true;
    };
    if (!runEventsUntil(allOpen, 60000)) {
        std::fprintf(stderr, "align: the four long files never opened\n");
        return result;
    }
    runEventsFor(1000);
    nib.movController().changeAllMoviePlay();
    runEventsFor(2000);
    QElapsedTimer quiet;
    quiet.start();
    result.quietLongestStallMs = longestStall([] {}, [&quiet] { return quiet.elapsed() > 3000; }, 4000);

    auto* command = nib.mainWindow().findChild<QAction*>(QStringLiteral("actionAlignBySound"));
    PaneAligner& aligner = nib.paneAligner();
    QElapsedTimer clock;
    bool started = false;
    result.longestStallMs = longestStall(
        [&] {
            clock.start();
            command->trigger();
            started = aligner.isAligning();
        },
        [&] { return !aligner.isAligning(); }, 60000);
    if (!started || aligner.isAligning())
        return result;
    result.commandToOffsetsS = double(clock.elapsed()) / 1000.0;
    result.largestErrorMs = 0;
    for (int n = 2; n <= 4; ++n) {
        const double truth = cuts.truthSeconds(size_t(n - 1)) * 1000.0;
        result.largestErrorMs =
            std::max(result.largestErrorMs, std::abs(double(nib.movController().movieOffsetMs(n)) - truth));
    }
    return result;
}

// A 10-minute barcode film and the same sped up 25/24, from 174 frames later, in panes 1 and 2 of the
// program; `rounds` times from a wrong offset and rate: Align Panes by Sound at Two Points, then with the
// lock on, near the end, whether both panes show the same frame on the screen. The count of good rounds.
int twoPointRounds(BenchProgram& program, AlignClips& clips, QRandomGenerator& random, int rounds)
{
    const QString source = clips.source(620.0, 700);
    const QString leader = clips.barcodeCut(source, QStringLiteral("barcode-leader"), 0, 600.0, false);
    const QString faster = clips.barcodeCut(source, QStringLiteral("barcode-faster"), 174, 590.0, true);
    if (leader.isEmpty() || faster.isEmpty()) {
        std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
        return -1;
    }
    MainNib& nib = program.nib();
    nib.movieFilesOpener().openFiles({leader, faster});
    const auto opened = [&nib, &leader, &faster] {
        return nib.qtView(1).movie() && nib.qtView(1).movie()->filePath() == leader &&
               nib.qtView(2).movie() && nib.qtView(2).movie()->filePath() == faster;
    };
    if (!runEventsUntil(opened, 60000)) {
        std::fprintf(stderr, "align: the barcode pair never opened\n");
        return -1;
    }
    auto* command = nib.mainWindow().findChild<QAction*>(QStringLiteral("actionAlignAtTwoPoints"));
    PaneAligner& aligner = nib.paneAligner();
    PaneOffsets& offsets = nib.movController().offsets();
    const QString lockKey = QLatin1String(SyncLock::OptSyncLock);
    int good = 0;
    const auto stopAll = [&nib] {
        for (int n = 1; n <= 4; ++n)
            nib.qtView(n).setMoviePlay(false);
    };
    for (int round = 0; round < rounds; ++round) {
        stopAll();
        userDefaultsExtension::setDefaultBoolValue(program.settings(), false, lockKey);
        offsets.setRate(2, 1.0);
        offsets.setOffsetMs(2, qint64(random.bounded(10000)) - 5000);
        nib.qtView(1).movie()->setCurrentTime(MovieTime::fromSeconds(30.0 + random.bounded(200.0), 600));
        nib.movController().syncAllMovieTime();
        runEventsFor(1000);
        command->trigger();
        runEventsUntil([&aligner] { return !aligner.isAligning(); }, 60000);
        // read, the report is closed: it lies over the top of the panes, where the barcodes are
        nib.alignNotice().button()->click();
        userDefaultsExtension::setDefaultBoolValue(program.settings(), true, lockKey);
        nib.qtView(1).movie()->setCurrentTime(MovieTime::fromSeconds(560.0, 600));
        nib.movController().syncAllMovieTime();
        runEventsFor(1500);
        nib.movController().changeAllMoviePlay();
        runEventsFor(3000);
        int same = 0, read = 0;
        for (int shot = 0; shot < 5; ++shot) {
            const auto frames = program.shownFrames();
            if (frames[0] && frames[1]) {
                ++read;
                same += *frames[0] == *frames[1] ? 1 : 0;
                std::fprintf(stderr, "align: two points round %d: frames %d and %d\n", round + 1, *frames[0],
                             *frames[1]);
            }
            runEventsFor(200);
        }
        stopAll();
        std::fprintf(stderr,
                     "align: two points round %d: rate %.6f, offset %lld ms, %d of %d shots the same\n",
                     round + 1, offsets.rate(2), static_cast<long long>(offsets.offsetMs(2)), same, read);
        good += read >= 3 && same == read ? 1 : 0;
        runEventsFor(500);
    }
    userDefaultsExtension::setDefaultBoolValue(program.settings(), false, lockKey);
    return good;
}

} // namespace

int runAlign(int argc, char** argv)
{
    BenchProgram program("align", argc, argv);
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
    AlignClips clips(folder);
    QRandomGenerator random(20261208);
    const std::atomic<bool> cancel{false};

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
        const double position = random.bounded(50.0);
        double seconds = 0.0;
        const double error = largestError(cuts, position, cancel, &seconds);
        setSeconds.push_back(seconds);
        worstMs = std::max(worstMs, error);
        soundGood += error <= 8.0 ? 1 : 0;
        std::fprintf(stderr, "align: sound set %d: largest error %.2f ms, %.2f s\n", set + 1, error, seconds);

        // a pane of another recording's sound beside the leader
        const QString otherSource = clips.source(150.0, 1000 + set);
        const QString unrelated =
            clips.cut(otherSource, QStringLiteral("unrelated-%1").arg(set), 10.0, 110.0, Encodings[set % 4]);
        const auto results = Alignment::run(Alignment::Method::Sound, {1, cuts.paths[0], position},
                                            {{2, unrelated, position}}, cancel);
        unrelatedNotFound += results[0].outcome == Outcome::NotFound ? 1 : 0;
        std::fprintf(stderr, "align: unrelated %d: outcome %d, confidence %.2f\n", set + 1,
                     int(results[0].outcome), results[0].confidence);
    }
    print("align.sound_sets_within_8ms", soundGood, "sets", 0);
    print("align.sound_sets", sets, "sets", 0);
    print("align.sound_largest_error_ms", worstMs, "ms", 2);
    print("align.sound_set_median_s", median(setSeconds), "s", 2);
    print("align.unrelated_not_found", unrelatedNotFound, "panes", 0);

    int flashGood = 0;
    for (int set = 0; set < sets; ++set) {
        const int flashFrame = 600 + int(random.bounded(100));
        const QString source = clips.flashSource(45.0, flashFrame);
        std::vector<QString> paths;
        std::vector<int> startFrames;
        for (int n = 0; n < 4; ++n) {
            startFrames.push_back(int(random.bounded(600)));
            paths.push_back(clips.flashCut(
                source, QStringLiteral("flash-%1-%2-%3").arg(set).arg(n).arg(startFrames.back()),
                startFrames.back() / 30.0, 24.0, (n + set) % 2 == 1));
            if (paths.back().isEmpty()) {
                std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
                return 1;
            }
        }
        std::vector<AlignmentPane> others;
        for (int n = 1; n < 4; ++n)
            others.push_back({n + 1, paths[size_t(n)], 0.0});
        const auto results = Alignment::run(Alignment::Method::Flash, {1, paths[0], 0.0}, others, cancel);
        bool good = true;
        for (size_t n = 0; n < results.size(); ++n) {
            const double truth = (startFrames[0] - startFrames[n + 1]) / 30.0 +
                                 AlignClips::startSeconds(paths[0]) - AlignClips::startSeconds(paths[n + 1]);
            good = good && results[n].outcome == Outcome::Found &&
                   std::abs(results[n].lagSeconds - truth) <= 1.0 / 30.0 + 1e-3;
        }
        flashGood += good ? 1 : 0;
        if (!good)
            std::fprintf(stderr, "align: flash set %d missed\n", set + 1);
    }
    print("align.flash_sets_within_1_frame", flashGood, "sets", 0);

    if (!skipLong) {
        const Cuts cuts = makeCuts(clips, QStringLiteral("long"), 500, 630.0, 600.0, random, 0);
        if (cuts.paths.empty()) {
            std::fprintf(stderr, "align: %s\n", qPrintable(clips.error()));
            return 1;
        }
        double seconds = 0.0;
        const double error = largestError(cuts, 300.0, cancel, &seconds);
        print("align.four_10min_files_analysis_s", seconds, "s", 2);
        print("align.four_10min_files_analysis_largest_error_ms", error, "ms", 2);
        if (!program.start(std::make_unique<QtScheduler>()))
            return 1;
        const InProgram measured = alignInProgram(program, cuts);
        print("align.four_10min_files_command_to_offsets_s", measured.commandToOffsetsS, "s", 2);
        print("align.four_10min_files_offsets_largest_error_ms", measured.largestErrorMs, "ms", 0);
        print("align.gui_longest_stall_ms", measured.longestStallMs, "ms", 0);
        print("align.gui_longest_stall_playing_alone_ms", measured.quietLongestStallMs, "ms", 0);
        const int good = twoPointRounds(program, clips, random, 5);
        print("align.two_points_25_24_same_frame_at_end", good, "rounds of 5", 0);
    }
    return 0;
}

} // namespace tetrapan::bench
