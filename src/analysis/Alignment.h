#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace tetrapan {

// One movie to align: its pane, its file and where it stands now, in seconds of the file.
struct AlignmentPane {
    int viewNo = 0;
    QString path;
    double positionSeconds = 0.0;
};

// What aligning found for one pane against the leader.
struct PaneAlignment {
    enum class Outcome {
        Found,      // lagSeconds holds
        NotFound,   // nothing stood out clearly enough: the pane keeps its offset
        NoSound,    // the movie has no sound track (no picture, for a flash)
        Silent,     // its sound holds nothing to compare
        Unreadable, // its sound (picture) cannot be decoded; problem says why
        Cancelled,
        LeaderUnusable, // the leader's own sound (picture) could not be read; problem says why
    };
    int viewNo = 0;
    Outcome outcome = Outcome::NotFound;
    double lagSeconds = 0.0;      // the pane's time of a moment minus the leader's time of the same moment
    double atLeaderSeconds = 0.0; // that moment in the leader (where it stood, for one window)
    double speed = 0.0; // at two points: the pane's seconds in one of the leader's; 0 when not measured
    double confidence = 0.0;
    bool wholeFiles = false; // the window around the present positions was not enough
    QString problem;
};

// Finds how far each movie is ahead of or behind the leader, by sound or by steps in brightness. It looks
// first in a window around where the panes stand now (the leader's ±LeaderWindow against the other's
// ±OtherWindow, so an offset that is off by up to the difference is found from a minute and a half of
// decoding), and only when nothing clear is found there in the whole files. Runs on the caller's thread,
// checks `cancel` often; `progress` gets the share done, 0 to 1.
class Alignment {
public:
    enum class Method { Sound, Flash };

    static constexpr double LeaderWindowSeconds = 30.0;
    static constexpr double OtherWindowSeconds = 50.0;

    using Progress = std::function<void(double)>;

    static std::vector<PaneAlignment> run(Method method, const AlignmentPane& leader,
                                          const std::vector<AlignmentPane>& others,
                                          const std::atomic<bool>& cancel, const Progress& progress = {});
};

} // namespace tetrapan
