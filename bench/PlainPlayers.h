#pragma once

#include <QString>
#include <QtGlobal>

namespace tetrapan::test {
class XServer;
}

namespace tetrapan::bench {

// What four plain players cost, the measure the program is held against.
struct PlainPlayersUsage {
    double cpuSeconds = 0;     // the players' own, all threads
    double xServerSeconds = 0; // the X server's, drawing for them
    double peakRssMb = 0;      // the four together
    qint64 dropped = 0;        // from their start to their quit, as their status lines tell
    bool played = false;       // every player showed its first frame and played to the end of the stretch
};

// Four `mpv --no-config --ao=null --vo=x11` windows of 640x360 in a 2x2 grid at the screen's top left, all on
// the clip: measured over measureMs from settleMs after all four showed their first frames.
PlainPlayersUsage playFourPlainPlayers(test::XServer& x, qint64 xServer, const QString& clip, int settleMs,
                                       int measureMs);

} // namespace tetrapan::bench
