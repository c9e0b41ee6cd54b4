// tetrapan-bench align [--sets N] [--folder DIR]: aligning cuts of one recording by sound and by a flash.
// Each set is four cuts of a source of its own that start at random points up to 20 s apart, each encoded
// differently (H.264 + AAC, VP9 + Opus, AAC resampled to 44.1 kHz, AAC with white noise 10 dB below the sound
// and the whole at -12 dB); the leader's encoding turns with the set. Prints how many sets came out with
// every offset within 8 ms, how many flash sets within a frame, how many panes of another recording's sound
// were reported as not found, and the time four 10-minute files take.
#include "BenchCommands.h"
#include "BenchSupport.h"

#include "AlignClips.h"
#include "analysis/Alignment.h"

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
using Outcome = PaneAlignment::Outcome;

constexpr Encoding Encodings[] = {Encoding::H264Aac, Encoding::Vp9Opus, Encoding::Aac44k, Encoding::NoisyQuiet};

struct Cuts {
    std::vector<QString> paths;
    std::vector<double> starts; // in the source
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
        const QString path = clips.cut(source, QStringLiteral("%1-%2-%3").arg(prefix).arg(seed).arg(n), start,
                                       cutSeconds, Encodings[(n + turn) % 4]);
        if (path.isEmpty())
            return {};
        cuts.paths.push_back(path);
        cuts.starts.push_back(start);
    }
    return cuts;
}

// The largest error of the offsets found against the truth, in ms; infinite when one was not found.
double largestError(const Cuts& cuts, double position, const std::atomic<bool>& cancel, double* seconds = nullptr)
{
    std::vector<AlignmentPane> others;
    for (int n = 1; n < 4; ++n)
        others.push_back({n + 1, cuts.paths[size_t(n)], position});
    QElapsedTimer clock;
    clock.start();
    const auto results = Alignment::run(Alignment::Method::Sound, {1, cuts.paths[0], position}, others, cancel);
    if (seconds)
        *seconds = double(clock.elapsed()) / 1000.0;
    double worst = 0.0;
    for (size_t n = 0; n < results.size(); ++n) {
        if (results[n].outcome != Outcome::Found)
            return INFINITY;
        const double truth = cuts.starts[0] - cuts.starts[n + 1];
        worst = std::max(worst, std::abs(results[n].lagSeconds - truth) * 1000.0);
    }
    return worst;
}

} // namespace

int runAlign(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
            paths.push_back(clips.flashCut(source, QStringLiteral("flash-%1-%2").arg(set).arg(n),
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
            const double truth = (startFrames[0] - startFrames[n + 1]) / 30.0;
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
        print("align.four_10min_files_s", seconds, "s", 2);
        print("align.four_10min_files_largest_error_ms", error, "ms", 2);
    }
    return 0;
}

} // namespace tetrapan::bench
