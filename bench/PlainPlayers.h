#pragma once

#include <QString>
#include <QtGlobal>

#include <map>

namespace tetrapan::test {
class XServer;
}

namespace tetrapan::bench {

// What four plain players cost, the measure the program is held against.
struct PlainPlayersUsage {
    double cpuSeconds = 0;     // the players' own, all threads
    double xServerSeconds = 0; // the X server's, drawing for them
    double peakRssMb = 0;      // the four together
    qint64 dropped = 0;        // from their start to the end of the stretch, asked once at the end
    // the four's threads by name at the start and the end of the stretch (printThreadCpu)
    std::map<QString, double> threadsBefore, threadsAfter;
    bool played = false; // every player showed its first frame and played to the end of the stretch
};

// What the plain players do with the clip's sound: leave it (as silent panes do, which decode none), or
// decode it into the outputs the program's panes get on this machine (soundOutputs::ofThisMachine: a sound
// server's or device's where one answers, else the null output), as heard panes do.
enum class PlainSound { None, DecodedIntoOutput };

// Four `mpv --no-config --vo=x11` windows of 640x360 in a 2x2 grid at the screen's top left, all on the clip:
// measured over measureMs from settleMs after all four showed their first frames. They print nothing while
// they play (a status line costs a terminal's work the program does not do); their dropped frames are asked
// once at the end, over their IPC sockets.
PlainPlayersUsage playFourPlainPlayers(test::XServer& x, qint64 xServer, const QString& clip, int settleMs,
                                       int measureMs, PlainSound sound = PlainSound::DecodedIntoOutput);

} // namespace tetrapan::bench
