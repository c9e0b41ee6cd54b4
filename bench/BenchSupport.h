#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <map>
#include <vector>

namespace tetrapan::test {
class XServer;
}

// Small pieces every benchmark uses.
namespace tetrapan::bench {

// One figure as `name: value unit`, flushed at once so a long run shows its figures as they come.
void print(const char* name, double value, const char* unit, int decimals = 3);
// Lets the event loop run (mpv's events, the panes' painting) for the given time.
void runEventsFor(int ms);
// Runs events until the condition holds; false when it did not within the timeout.
bool runEventsUntil(const std::function<bool()>& condition, int timeoutMs);
// The middle value; 0 for none.
double median(std::vector<double> values);

// CPU time (user and system, all threads) a process has used so far, in seconds; 0 when it is gone.
double cpuSecondsOf(qint64 pid);
// The same for one thread of a process (the main thread's id is the process's).
double threadCpuSecondsOf(qint64 pid, qint64 tid);
// The CPU time of a process's threads so far, in seconds, summed by thread name (the kernel's, up to 15
// characters: mpv names its threads "mpv/mpv core", "mpv/ao", "mpv/demux", ...); a thread that ended is
// counted in the process's total only.
std::map<QString, double> threadCpuSecondsByName(qint64 pid);
// What each name's threads used between two readings, on stderr after the label, most first; for telling
// where a side's CPU goes (TETRAPAN_BENCH_THREADS=1).
void printThreadCpu(const char* label, const std::map<QString, double>& before,
                    const std::map<QString, double>& after);
// CPU time this process has used so far (all threads), in ms, to the microsecond.
double ownCpuMs();
// A process's peak resident memory so far (VmHWM), in MB; 0 when it is gone.
double peakRssMbOf(qint64 pid);
// What a process holds in memory now (VmRSS), in MB; 0 when it is gone.
double residentMbOf(qint64 pid);
// Starts counting this process's peak resident memory again from its present size.
void resetPeakRss();
// The machine's load average over the last minute, to tell how busy it was during a measurement.
double loadAverage();

// A spot inside pane n (1 to 4, down the left column first) of the program's main window on screen, in the
// right half of the pane: the playlist window, which opens over the main window's left, leaves it uncovered.
QPoint paneSpotOnScreen(const QRect& mainWindow, int viewNo);

// Whether a part of the screen shows a picture rather than the black of an empty pane or a new window.
bool showsPicture(const QImage& area);
// Runs events until every area of the screen has shown a picture; false when one did not within the timeout.
bool waitUntilShown(test::XServer& x, const std::vector<QRect>& areas, int timeoutMs);

} // namespace tetrapan::bench
