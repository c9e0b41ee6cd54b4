// tetrapan-bench <subcommand>: prints one `name: value unit` line per figure.
#include "BenchCommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace {

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
};

const Subcommand subcommands[] = {
    {"store", "load and save a library of 12,000 playlists and 40,000 entries, each round a process of its own",
     tetrapan::bench::runStore},
    {"app", "the program as a user starts it, four 720p and four 1080p panes playing, against plain mpv",
     tetrapan::bench::runApp},
    {"sync", "switch playlists of four 720p panes, and how far apart the panes play after Sync",
     tetrapan::bench::runSync},
    {"startup", "start the program on 12,000 playlists until its last playlist and four first frames show",
     tetrapan::bench::runStartup},
    {"review",
     "the sync lock at half and double speed, four panes zoomed together, and the CPU zooming costs",
     tetrapan::bench::runReview},
    {"soak", "use the whole program at random for TETRAPAN_SOAK_SECONDS (600); its memory must stay level",
     tetrapan::bench::runSoak},
    {"timeline", "drag the seek bar of four 720p panes with offsets, and loop them from A to B",
     tetrapan::bench::runTimeline},
    {"slowopen", "a pane opens a file whose first read answers late while three play: stalls and memory",
     tetrapan::bench::runSlowOpen},
    {"action", "a command sent with tetrapan --action to the running program: until it is carried out",
     tetrapan::bench::runAction},
    {"align", "align 20 sets of four differently encoded cuts by sound and by a flash; four 10-minute files",
     tetrapan::bench::runAlign},
    {"export", "export four 720p barcode panes with offsets, read every frame back, and cancel one at half way",
     tetrapan::bench::runExport},
    {"recordings", "four cameras' recordings of 60 one-minute files: open, boundaries, jumps, a gap, 10,000 files",
     tetrapan::bench::runRecordings},
};

int usage()
{
    std::fprintf(stderr, "usage: tetrapan-bench <subcommand>\n");
    for (const Subcommand& s : subcommands)
        std::fprintf(stderr, "  %-10s %s\n", s.name, s.summary);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    for (const Subcommand& s : subcommands) {
        if (std::strcmp(argv[1], s.name) == 0)
            return s.run(argc - 1, argv + 1);
    }
    return usage();
}
