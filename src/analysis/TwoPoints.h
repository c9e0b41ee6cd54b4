#pragma once

#include "analysis/Alignment.h"

namespace tetrapan {

// A pane's movie that runs at another speed than the leader's (a 25 fps file sped up from 24 fps, a camera
// whose clock runs slow), aligned by its sound at two points, where the leader stands and near the leader's
// farther end: the two matching pairs of times give the pane's rate against the leader and where it stands.
// The pane's sound is taken to run fast or slow with its picture (pitch and all), so stretching it by the
// right speed makes it match the leader's; the speeds tried at the first point are the usual ratios of frame
// rates (25/24, 1001/1000 and the like), the second point makes the speed exact.
struct TwoPointAlignment {
    PaneAlignment::Outcome outcome = PaneAlignment::Outcome::NotFound;
    QString problem;
    double leaderFirstSeconds = 0.0, paneFirstSeconds = 0.0;   // one moment in the two movies
    double leaderSecondSeconds = 0.0, paneSecondSeconds = 0.0; // another, near an end
    double speed = 1.0;                                        // the pane's seconds per second of the leader
    double confidence = 0.0;

    // The pane's speed against the leader as the panes stand (rate of the pane / rate of the leader)
    // guides where its window is looked for.
    static TwoPointAlignment run(const AlignmentPane& leader, const AlignmentPane& pane, double presentSpeed,
                                 const std::atomic<bool>& cancel, const Alignment::Progress& progress = {});
};

} // namespace tetrapan
