#pragma once

// Each subcommand builds its own QApplication/QCoreApplication as it needs.
namespace tetrapan::bench {
int runStore(int argc, char** argv);
int runSync(int argc, char** argv);
int runStartup(int argc, char** argv);
int runSoak(int argc, char** argv);
int runApp(int argc, char** argv);
int runTimeline(int argc, char** argv);
int runReview(int argc, char** argv);
int runSlowOpen(int argc, char** argv);
int runAction(int argc, char** argv);
int runAlign(int argc, char** argv);
int runExport(int argc, char** argv);
int runRecordings(int argc, char** argv);
class ChildBench;
// The compare mode's figures, part of review, each on a start of the program of its own, on the bench's
// display and clips.
int runCompareFigures(ChildBench& program);
} // namespace tetrapan::bench
